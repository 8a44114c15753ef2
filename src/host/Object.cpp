#include "host/Object.h"

#include <algorithm>
#include <map>
#include <string>

namespace strand {

namespace detail {
// Registers the creatable host classes and interfaces (HostClasses.cpp).
void registerHostClasses();
}  // namespace detail

std::atomic<bool> Object::m_dontUsePools{false};

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, Class, std::less<>> classes;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

// The host's own classes are registered on first use of the registry.
Registry& populatedRegistry() {
    static std::once_flag once;
    std::call_once(once, [] { detail::registerHostClasses(); });
    return registry();
}

}  // namespace

bool Object::isA(const ClassTag& tag) const {
    if (getClassTag() == tag)
        return true;
    const Class* cls = Class::findClass(tag);
    return cls && cls->isInstance(this);
}

Ptr<CountedObject> Class::newInstance() const {
    if (!m_factory)
        throw Exception(u"Class %s cannot be created", m_tag.getName());
    return m_factory();
}

const Class* Class::findClass(std::string_view tagName) {
    Registry& r = populatedRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.classes.find(tagName);
    return it == r.classes.end() ? nullptr : &it->second;
}

void Class::add(const Class& cls) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.classes.insert_or_assign(std::string(cls.m_tag.getName()), cls);
}

std::vector<std::string> Class::registeredNames() {
    Registry& r = populatedRegistry();
    std::lock_guard lock(r.mutex);
    std::vector<std::string> names;
    for (const auto& entry : r.classes)
        names.push_back(entry.first);
    return names;
}

Ptr<CountedObject> newInstance(std::string_view tagName) {
    const Class* cls = Class::findClass(tagName);
    if (!cls || !cls->canCreate())
        return nullptr;
    return cls->newInstance();
}

namespace {
std::mutex& detectorMutex() {
    static std::mutex m;
    return m;
}
std::vector<const LeakDetector*>& detectorList() {
    static std::vector<const LeakDetector*> list;
    return list;
}
}  // namespace

void LeakDetector::add() noexcept {
    m_count.fetch_add(1, std::memory_order_relaxed);
    if (!m_listed.exchange(true)) {
        try {
            std::lock_guard lock(detectorMutex());
            detectorList().push_back(this);
        } catch (...) {
        }
    }
}

std::vector<const LeakDetector*> LeakDetector::all() {
    std::lock_guard lock(detectorMutex());
    return detectorList();
}

}  // namespace strand
