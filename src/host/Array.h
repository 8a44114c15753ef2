#pragma once
// Array: the growable array of the host, 0-based in code. Every position is checked; a position
// outside 0 to size - 1 raises InvalidIndexException. (Script positions are 1-based; the nodes
// that read them subtract one before they reach an Array.)

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "host/Exception.h"

namespace strand {

template <typename T>
class Array {
  public:
    using value_type = T;
    using iterator = typename std::vector<T>::iterator;
    using const_iterator = typename std::vector<T>::const_iterator;

    Array() = default;
    Array(std::initializer_list<T> items) : m_items(items) {}
    explicit Array(std::vector<T> items) : m_items(std::move(items)) {}

    size_t size() const noexcept { return m_items.size(); }
    int32_t getSize() const noexcept { return int32_t(m_items.size()); }
    bool isEmpty() const noexcept { return m_items.empty(); }

    T& operator[](size_t i) {
        check(i);
        return m_items[i];
    }
    const T& operator[](size_t i) const {
        check(i);
        return m_items[i];
    }
    T& at(size_t i) { return (*this)[i]; }
    const T& at(size_t i) const { return (*this)[i]; }
    T& back() {
        check(m_items.size() - 1);
        return m_items.back();
    }

    void add(const T& item) { m_items.push_back(item); }
    void add(T&& item) { m_items.push_back(std::move(item)); }
    template <typename... A>
    T& emplace(A&&... args) {
        return m_items.emplace_back(std::forward<A>(args)...);
    }
    // Inserts before position i; i may equal the size (appends).
    void insertAt(size_t i, T item) {
        if (i > m_items.size())
            throw InvalidIndexException(int64_t(i), int64_t(m_items.size()));
        m_items.insert(m_items.begin() + std::ptrdiff_t(i), std::move(item));
    }
    void removeAt(size_t i) {
        check(i);
        m_items.erase(m_items.begin() + std::ptrdiff_t(i));
    }
    void resize(size_t n) { m_items.resize(n); }
    void resize(size_t n, const T& fill) { m_items.resize(n, fill); }
    void reserve(size_t n) { m_items.reserve(n); }
    void clear() noexcept { m_items.clear(); }

    iterator begin() noexcept { return m_items.begin(); }
    iterator end() noexcept { return m_items.end(); }
    const_iterator begin() const noexcept { return m_items.begin(); }
    const_iterator end() const noexcept { return m_items.end(); }

    std::vector<T>& vector() noexcept { return m_items; }
    const std::vector<T>& vector() const noexcept { return m_items; }

    bool operator==(const Array& other) const { return m_items == other.m_items; }

  private:
    void check(size_t i) const {
        if (i >= m_items.size())
            throw InvalidIndexException(int64_t(i), int64_t(m_items.size()) - 1);
    }

    std::vector<T> m_items;
};

}  // namespace strand
