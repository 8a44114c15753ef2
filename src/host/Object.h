#pragma once
// The host object model. Every host object is an Object with a class tag, a dotted name such as
// "Halvorn.data.Parameter". Objects shared between owners are CountedObjects held by Ptr; the last
// release hands the object to deleteInstance, which destroys it or, for pooled classes, returns it
// to its pool. Classes are found by tag name (Class::findClass) and created by tag (newInstance);
// isA/findAs/getAs ask an object whether it is of a class or interface.

#include <atomic>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "host/Exception.h"
#include "host/String.h"

namespace strand {

// A class's dotted name. Tags compare by name.
class ClassTag {
  public:
    constexpr explicit ClassTag(const char* name) noexcept : m_name(name) {}
    constexpr const char* getName() const noexcept { return m_name; }
    String getWideName() const { return String::fromAscii(m_name); }
    bool operator==(const ClassTag& other) const noexcept {
        return m_name == other.m_name || std::strcmp(m_name, other.m_name) == 0;
    }

  private:
    const char* m_name;
};

// The declarations of class tags as static members.
using ClassTagDecl = ClassTag;

class Object {
  public:
    static constexpr ClassTag Tag{"Halvorn.Object"};

    Object() = default;
    Object(const Object&) = default;
    Object& operator=(const Object&) = default;
    virtual ~Object() = default;

    virtual const ClassTag& getClassTag() const { return Tag; }
    // True when this object is of the class or interface registered under the tag.
    bool isA(const ClassTag& tag) const;
    // Destroys the object; pooled classes return it to their pool instead.
    virtual void deleteInstance() { delete this; }

    // Set by the host to switch every pool off: returned objects are then destroyed.
    static std::atomic<bool> m_dontUsePools;
};

// An object with an atomic use count. A new object has the count 0; the first Ptr takes it to 1,
// and the release that brings it back to 0 calls FinalRelease, which calls deleteInstance.
class CountedObject : public virtual Object {
  public:
    CountedObject() = default;
    // Copies are new objects with their own count.
    CountedObject(const CountedObject&) : Object(), m_refs(0) {}
    CountedObject& operator=(const CountedObject&) { return *this; }

    void addRef() const noexcept { m_refs.fetch_add(1, std::memory_order_relaxed); }
    void release() const {
        if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            const_cast<CountedObject*>(this)->FinalRelease();
        }
    }
    int32_t getRefCount() const noexcept { return m_refs.load(std::memory_order_relaxed); }

  protected:
    virtual void FinalRelease() { deleteInstance(); }

  private:
    mutable std::atomic<int32_t> m_refs{0};
};

// Counted pointer to a CountedObject (or to an interface that derives from it).
template <typename T>
class Ptr {
  public:
    Ptr() noexcept = default;
    Ptr(std::nullptr_t) noexcept {}
    Ptr(T* p) noexcept : m_p(p) {
        if (m_p)
            m_p->addRef();
    }
    Ptr(const Ptr& other) noexcept : Ptr(other.m_p) {}
    Ptr(Ptr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    template <typename U>
    requires std::convertible_to<U*, T*> Ptr(const Ptr<U>& other)
    noexcept : Ptr(static_cast<T*>(other.get())) {}
    template <typename U>
    requires std::convertible_to<U*, T*> Ptr(Ptr<U>&& other)
    noexcept : m_p(other.detach()) {}
    ~Ptr() {
        if (m_p)
            m_p->release();
    }

    Ptr& operator=(const Ptr& other) {
        reset(other.m_p);
        return *this;
    }
    Ptr& operator=(Ptr&& other) noexcept {
        if (this != &other) {
            T* old = std::exchange(m_p, std::exchange(other.m_p, nullptr));
            if (old)
                old->release();
        }
        return *this;
    }
    Ptr& operator=(std::nullptr_t) {
        reset();
        return *this;
    }

    void reset(T* p = nullptr) {
        if (p)
            p->addRef();
        T* old = std::exchange(m_p, p);
        if (old)
            old->release();
    }
    // Gives up ownership without releasing.
    T* detach() noexcept { return std::exchange(m_p, nullptr); }

    T* get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    T& operator*() const noexcept { return *m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    bool operator==(const Ptr& other) const noexcept { return m_p == other.m_p; }
    bool operator==(std::nullptr_t) const noexcept { return m_p == nullptr; }

  private:
    T* m_p = nullptr;
};

template <typename T, typename... A>
Ptr<T> makePtr(A&&... args) {
    return Ptr<T>(new T(std::forward<A>(args)...));
}

// The object as T, or null.
template <typename T, typename U>
T* findAs(U* object) noexcept {
    return object ? dynamic_cast<T*>(object) : nullptr;
}
template <typename T, typename U>
Ptr<T> findAs(const Ptr<U>& object) noexcept {
    return Ptr<T>(findAs<T>(object.get()));
}
// The object as T; raises when it is not one.
template <typename T, typename U>
T* getAs(U* object) {
    T* found = findAs<T>(object);
    if (!found)
        throw Exception(u"Object is not a %s", T::Tag.getName());
    return found;
}

// A registered class or interface: its tag, how to test an object against it, and for creatable
// classes how to make one.
class Class {
  public:
    using Factory = Ptr<CountedObject> (*)();
    using Matcher = bool (*)(const Object*);

    Class(const ClassTag& tag, Factory factory, Matcher matcher) noexcept
        : m_tag(tag), m_factory(factory), m_matcher(matcher) {}

    const ClassTag& getTag() const noexcept { return m_tag; }
    bool canCreate() const noexcept { return m_factory != nullptr; }
    bool isInstance(const Object* object) const { return object && m_matcher(object); }
    // A new object of the class; raises for interfaces and abstract classes.
    Ptr<CountedObject> newInstance() const;

    // The class registered under the tag name, or null.
    static const Class* findClass(std::string_view tagName);
    static const Class* findClass(const ClassTag& tag) { return findClass(std::string_view(tag.getName())); }
    // Registers (or replaces) a class. Creatable when T is a concrete class that can be made with no
    // arguments; a static T::newInstance() is used when T has one (pooled classes).
    template <typename T>
    static void registerClass(const ClassTag& tag = T::Tag) {
        Factory factory = nullptr;
        if constexpr (requires { T::newInstance(); }) {
            factory = []() -> Ptr<CountedObject> { return Ptr<CountedObject>(T::newInstance()); };
        } else if constexpr (!std::is_abstract_v<T> && std::is_default_constructible_v<T>) {
            factory = []() -> Ptr<CountedObject> { return Ptr<CountedObject>(new T()); };
        }
        add(Class(tag, factory, [](const Object* o) { return dynamic_cast<const T*>(o) != nullptr; }));
    }
    static void add(const Class& cls);
    // Every registered tag name, sorted.
    static std::vector<std::string> registeredNames();

  private:
    ClassTag m_tag;
    Factory m_factory;
    Matcher m_matcher;
};

// Creates an object by tag name; null when no creatable class has that name.
Ptr<CountedObject> newInstance(std::string_view tagName);
inline Ptr<CountedObject> newInstance(const ClassTag& tag) {
    return newInstance(std::string_view(tag.getName()));
}
template <typename T>
Ptr<T> newInstanceAs(const ClassTag& tag) {
    return findAs<T>(newInstance(tag));
}

// Counts the live objects of a class, so that tests and hosts can find objects never released.
class LeakDetector {
  public:
    constexpr explicit LeakDetector(const char* name) noexcept : m_name(name) {}
    void add() noexcept;
    void remove() noexcept { m_count.fetch_sub(1, std::memory_order_relaxed); }
    int32_t count() const noexcept { return m_count.load(std::memory_order_relaxed); }
    const char* getName() const noexcept { return m_name; }
    // Every detector that has counted an object so far.
    static std::vector<const LeakDetector*> all();

  private:
    const char* m_name;
    std::atomic<int32_t> m_count{0};
    std::atomic<bool> m_listed{false};
};

// An object that a pool hands out and takes back. onActivate restores the initial state when the
// pool hands a recycled object out; onDeactivate drops what the object holds when it comes back.
class PooledObject : public virtual CountedObject {
  public:
    virtual void onActivate() {}
    virtual void onDeactivate() {}

    bool isInPool() const noexcept { return m_inPool; }

  private:
    template <typename T, int Limit>
    friend class PooledClassImp;
    bool m_inPool = false;
};

// The pool of one class: free objects, the count handed out, a lock and a limit (-1: none). While
// the handed-out count is below the limit, returned objects are kept for reuse; beyond it, and
// whenever pools are switched off, they are destroyed.
template <typename T, int Limit>
class PooledClassImp {
  public:
    explicit PooledClassImp(const char* className) noexcept : m_className(className) {}
    ~PooledClassImp() {
        for (T* object : m_free)
            delete object;
    }
    PooledClassImp(const PooledClassImp&) = delete;
    PooledClassImp& operator=(const PooledClassImp&) = delete;

    T* allocate() {
        std::lock_guard lock(m_mutex);
        T* object;
        if (m_free.empty()) {
            object = new T();
        } else {
            object = m_free.back();
            m_free.pop_back();
            object->m_inPool = false;
            object->onActivate();
        }
        ++m_outstanding;
        return object;
    }
    T* allocateCopy(const T& source) {
        T* object = allocate();
        *object = source;
        return object;
    }
    void deallocate(T* object) { delete object; }

    void returnObject(T* object) {
        if (int32_t refs = object->getRefCount(); refs != 0) {
            throw Exception(u"Tried to deleteInstance() an object with nonzero ref count: %d\n", refs);
        }
        std::unique_lock lock(m_mutex);
        if (!Object::m_dontUsePools && (Limit == -1 || m_outstanding < Limit)) {
            // A second return of the same object, or a return with nothing outstanding, is a leak.
            if (object->m_inPool || m_outstanding == 0) {
                throw Exception(u"Object leak, object being returned to pool when none were outstanding...");
            }
            lock.unlock();
            object->onDeactivate();
            lock.lock();
            --m_outstanding;
            object->m_inPool = true;
            m_free.push_back(object);
            return;
        }
        --m_outstanding;
        lock.unlock();
        delete object;
    }

    int32_t outstanding() const {
        std::lock_guard lock(m_mutex);
        return m_outstanding;
    }
    size_t freeCount() const {
        std::lock_guard lock(m_mutex);
        return m_free.size();
    }
    const char* getClassName() const noexcept { return m_className; }

  private:
    const char* m_className;
    mutable std::mutex m_mutex;
    std::vector<T*> m_free;
    int32_t m_outstanding = 0;
};

}  // namespace strand
