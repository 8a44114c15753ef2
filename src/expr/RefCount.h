#pragma once
// xrRefCount: the shared handle of expression nodes, variables and their lists. Copies share one
// object and its use count; the count changes with atomic operations, so trees may be held and
// released on several threads; the release that brings the count to 0 deletes the object. A handle
// may be null. The count lives in the object (xrCounted), so a handle is one pointer.

#include <atomic>
#include <concepts>
#include <cstdint>
#include <utility>

class xrCounted {
  public:
    xrCounted() = default;
    xrCounted(const xrCounted&) : m_uses(0) {}
    xrCounted& operator=(const xrCounted&) { return *this; }
    virtual ~xrCounted() = default;

    void addUse() const noexcept { m_uses.fetch_add(1, std::memory_order_relaxed); }
    // True when this was the last use.
    bool dropUse() const noexcept { return m_uses.fetch_sub(1, std::memory_order_acq_rel) == 1; }
    int32_t useCount() const noexcept { return m_uses.load(std::memory_order_relaxed); }

  private:
    mutable std::atomic<int32_t> m_uses{0};
};

template <typename T>
class xrRefCount {
  public:
    xrRefCount() noexcept = default;
    xrRefCount(std::nullptr_t) noexcept {}
    explicit xrRefCount(T* object) noexcept : m_object(object) {
        if (m_object)
            m_object->addUse();
    }
    xrRefCount(const xrRefCount& other) noexcept : xrRefCount(other.m_object) {}
    xrRefCount(xrRefCount&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    template <typename U>
    requires std::convertible_to<U*, T*> xrRefCount(const xrRefCount<U>& other)
    noexcept : xrRefCount(static_cast<T*>(other.get())) {}
    template <typename U>
    requires std::convertible_to<U*, T*> xrRefCount(xrRefCount<U>&& other)
    noexcept : m_object(other.detach()) {}
    ~xrRefCount() { release(m_object); }

    xrRefCount& operator=(const xrRefCount& other) noexcept {
        if (other.m_object)
            other.m_object->addUse();
        release(std::exchange(m_object, other.m_object));
        return *this;
    }
    xrRefCount& operator=(xrRefCount&& other) noexcept {
        if (this != &other)
            release(std::exchange(m_object, std::exchange(other.m_object, nullptr)));
        return *this;
    }

    T* get() const noexcept { return m_object; }
    T* operator->() const noexcept { return m_object; }
    T& operator*() const noexcept { return *m_object; }
    explicit operator bool() const noexcept { return m_object != nullptr; }
    bool operator==(const xrRefCount& other) const noexcept { return m_object == other.m_object; }
    T* detach() noexcept { return std::exchange(m_object, nullptr); }
    void reset() noexcept { release(std::exchange(m_object, nullptr)); }

  private:
    static void release(T* object) noexcept {
        if (object && object->dropUse())
            delete object;
    }

    T* m_object = nullptr;
};

template <typename T, typename... A>
xrRefCount<T> makeRef(A&&... args) {
    return xrRefCount<T>(new T(std::forward<A>(args)...));
}
