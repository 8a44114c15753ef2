#pragma once
// Locks and interlocked counts. A critical section may be entered again by the thread that holds
// it; Guard holds one for a scope and UnGuard lets it go for a scope inside a Guard.

#include <atomic>
#include <cstdint>
#include <mutex>

namespace strand {

class AutoCriticalSection {
  public:
    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }

  private:
    std::recursive_mutex m_mutex;
};

// Made when the library loads and never destroyed before the last use.
using ForcedCriticalSection = AutoCriticalSection;

class Guard {
  public:
    explicit Guard(AutoCriticalSection& section) : m_section(section) { m_section.lock(); }
    ~Guard() { m_section.unlock(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

  private:
    AutoCriticalSection& m_section;
};

class UnGuard {
  public:
    explicit UnGuard(AutoCriticalSection& section) : m_section(section) { m_section.unlock(); }
    ~UnGuard() { m_section.lock(); }
    UnGuard(const UnGuard&) = delete;
    UnGuard& operator=(const UnGuard&) = delete;

  private:
    AutoCriticalSection& m_section;
};

inline int32_t InterlockedIncrement(std::atomic<int32_t>& value) noexcept {
    return ++value;
}
inline int32_t InterlockedDecrement(std::atomic<int32_t>& value) noexcept {
    return --value;
}

}  // namespace strand
