#include "functions/FunctionFactory.h"

#include "expr/ExpressionList.h"

#include <mutex>
#include <unordered_map>

using strand::String;

namespace {

struct Registry {
    std::unordered_map<String, size_t, strand::StringHashIgnoreCase, strand::StringEqualIgnoreCase> index;
    std::vector<xrFunctionFactory::Entry> entries;  // in id order
    int32_t lastId = 0;
};

Registry& storage() {
    static Registry registry;
    return registry;
}

// The registry with the built-in table walked into it.
Registry& loaded() {
    static std::once_flag once;
    std::call_once(once, [] { strand::detail::registerBuiltinFunctions(); });
    return storage();
}

int32_t registerEntry(Registry& r, const String& name, int32_t minArgs, int32_t maxArgs,
                      xrFunctionFactoryFn factory, const char* family) {
    auto it = r.index.find(name);
    if (it != r.index.end()) {
        xrFunctionFactory::Entry& e = r.entries[it->second];
        e.minArgs = minArgs;
        e.maxArgs = maxArgs;
        e.factory = factory;
        return e.id;
    }
    xrFunctionFactory::Entry e{name, minArgs, maxArgs, ++r.lastId, factory, family};
    r.index.emplace(name, r.entries.size());
    r.entries.push_back(std::move(e));
    return r.lastId;
}

}  // namespace

namespace strand::detail {

void registerBuiltin(const char16_t* name, int32_t minArgs, int32_t maxArgs, xrFunctionFactoryFn factory,
                     const char* family) {
    registerEntry(storage(), String(name), minArgs, maxArgs, factory, family);
}

}  // namespace strand::detail

int32_t xrFunctionFactory::RegisterFunction(const String& name, int32_t minArgs, int32_t maxArgs,
                                            xrFunctionFactoryFn factory) {
    return registerEntry(loaded(), name, minArgs, maxArgs, factory, "");
}

int32_t xrFunctionFactory::DeclareFunction(const String& name, int32_t minArgs, int32_t maxArgs) {
    return registerEntry(loaded(), name, minArgs, maxArgs, nullptr, "");
}

bool xrFunctionFactory::GetNumArguments(const String& name, int32_t& minArgs, int32_t& maxArgs) {
    const Entry* e = Find(name);
    if (!e)
        return false;
    minArgs = e->minArgs;
    maxArgs = e->maxArgs;
    return true;
}

const xrFunctionFactory::Entry* xrFunctionFactory::Find(const String& name) {
    Registry& r = loaded();
    auto it = r.index.find(name);
    return it == r.index.end() ? nullptr : &r.entries[it->second];
}

std::vector<xrFunctionFactory::Entry> xrFunctionFactory::AllFunctions() {
    return loaded().entries;
}

std::optional<String> xrFunctionFactory::ArgumentCountMessage(const String& name, int32_t minArgs,
                                                              int32_t maxArgs, int32_t count, int32_t line) {
    if (maxArgs == -1) {
        if (count >= minArgs)
            return std::nullopt;
        return strand::formatCut(u"line %ld, The function '%ls' requires %ld or more parameters.", line, name,
                                 minArgs);
    }
    if (minArgs == maxArgs) {
        if (count == minArgs)
            return std::nullopt;
        return strand::formatCut(u"line %ld, The function '%ls' requires %ld parameters.", line, name,
                                 minArgs);
    }
    if (count >= minArgs && count <= maxArgs)
        return std::nullopt;
    return strand::formatCut(u"line %ld, The function '%ls' requires %ld to %ld parameters.", line, name,
                             minArgs, maxArgs);
}

std::string xrFunctionFactory::DescribeBounds(int32_t minArgs, int32_t maxArgs) {
    if (maxArgs == -1)
        return std::to_string(minArgs) + " or more";
    if (minArgs == maxArgs)
        return std::to_string(minArgs);
    return std::to_string(minArgs) + " to " + std::to_string(maxArgs);
}

xrRefCount<xrValueExprImp> xrFunctionFactory::GetFunctionByName(
    const String& name, int32_t line, xrExpressionVariableFactory& variables,
    const strand::Ptr<xrBasicExpressionListImp>& arguments) {
    const Entry* entry = Find(name);
    if (!entry)
        throw strand::Exception(
            strand::formatCut(u"line %ld, Unknown function '%ls' found in expression.", line, name));
    if (std::optional<String> message =
            ArgumentCountMessage(name, entry->minArgs, entry->maxArgs, int32_t(arguments->Size()), line))
        throw strand::Exception(*message);
    if (!entry->factory) {
        throw strand::Exception(strand::formatCut(
            u"line %ld, The function function '%ls' has not been implemented.  Contact Halvorn.", line,
            name));
    }
    return entry->factory(line, variables, arguments);
}
