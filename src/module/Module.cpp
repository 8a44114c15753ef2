#include "module/Module.h"

#include <dlfcn.h>

#include <mutex>

#include "params/Parameter.h"
#include "params/ParameterCollection.h"
#include "params/ValidationContext.h"
#include "parser/ExpressionParser.h"

namespace strand::module {

namespace {

std::string& identifier() {
    static std::string text;
    return text;
}

std::once_flag& factoryMapOnce() {
    static std::once_flag once;
    return once;
}

template <typename Call>
int32_t guarded(Call call) noexcept {
    try {
        call();
        return 0;
    } catch (...) {
        return 1;
    }
}

}  // namespace

const std::string& libraryIdentifier() {
    return identifier();
}

void attach(const void* handle) {
    CStmLibraryUtils::SetLibraryIdentifier(handle, identifier());
}

std::vector<CStmClassInfo> classList() {
    return {
        {xrExpressionParser::Tag.getName(), String(u"Expression Parser"), kClassKind},
        {CParameter::Tag.getName(), String(u"Component Parameter"), kClassKind},
        {CParameterCollection::Tag.getName(), String(u"Component Parameter Collection"), kClassKind},
    };
}

void ensureFactoryMap() {
    // A failed set-up may be tried again: call_once counts only a call that returned.
    std::call_once(factoryMapOnce(), [] {
        Class::registerClass<xrExpressionParser>();
        Class::registerClass<CParameter>();
        Class::registerClass<CParameterCollection>();
        Class::registerClass<CValidationContext>();
        CStmLibraryUtils::InitFactoryComponentMap();
        for (const CStmClassInfo& entry : classList())
            CStmLibraryUtils::PopulateFactoryComponentMap(entry);
    });
}

int32_t registerClasses() noexcept {
    return guarded([] {
        ensureFactoryMap();
        CStmLibraryUtils::RegisterLibraryClasses(classList(), identifier());
    });
}

int32_t unregisterClasses() noexcept {
    return guarded([] {
        ensureFactoryMap();
        CStmLibraryUtils::UnregisterLibraryClasses(classList(), identifier());
    });
}

LeakDetector& variableLeakDetector() {
    static LeakDetector detector{"xrExpressionVariableImp"};
    return detector;
}

LeakDetector& variableFactoryLeakDetector() {
    static LeakDetector detector{"xrExpressionVariableFactory"};
    return detector;
}

LeakDetector& indexedVariableLeakDetector() {
    static LeakDetector detector{"xrExpressionIndexedVariableImp"};
    return detector;
}

}  // namespace strand::module

extern "C" {

int strand_register_classes(void) {
    return strand::module::registerClasses();
}

int strand_unregister_classes(void) {
    return strand::module::unregisterClasses();
}
}

namespace {

// The load notification of the shared library: the host learns the library's identifier from the
// handle of the module this code is in.
__attribute__((constructor)) void onLibraryLoad() {
    Dl_info info;
    const void* handle =
        dladdr(reinterpret_cast<const void*>(&onLibraryLoad), &info) ? info.dli_fbase : nullptr;
    strand::module::attach(handle);
}

}  // namespace
