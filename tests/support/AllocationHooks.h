#pragma once
// Replacements of the global allocation functions that count the allocations of the calling thread
// while counting is on, and can make one of them fail. Include this header in exactly one source
// file of a test program: it defines the program's operator new and delete.

#include <cstdlib>
#include <new>

namespace strand::test::allocations {

inline thread_local bool counting = false;
inline thread_local long count = 0;
inline thread_local long failAt = 0;  // the allocation that throws bad_alloc; 0: none

inline void* allocate(std::size_t size) {
    if (counting && ++count == failAt)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

}  // namespace strand::test::allocations

// The replacements hand out malloc's blocks and give them back to free, which the compiler cannot tell
// from a mismatch once it inlines them into their callers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    return strand::test::allocations::allocate(size);
}
void* operator new[](std::size_t size) {
    return strand::test::allocations::allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

#pragma GCC diagnostic pop
