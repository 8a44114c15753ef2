#pragma once
// BaseString: the text type of the whole system. Text is a sequence of 16-bit code units
// (`strand::String`), kept with value semantics. A text may be null, which is distinct from the
// empty text: a null text equals only a null text and sorts before every other text. Case-blind
// comparison and hashing fold only the letters A to Z; every other code unit compares exactly.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

namespace strand {

// The most code units a text made by a script may hold: an operation that would pass it fails with a
// message instead of exhausting memory.
inline constexpr size_t kMaxTextLength = size_t(1) << 28;

// A to Z onto a to z; nothing else is folded.
template <typename C>
constexpr C foldAsciiCase(C c) noexcept {
    return (c >= C('A') && c <= C('Z')) ? C(c + 32) : c;
}

template <typename C>
constexpr C upperAsciiCase(C c) noexcept {
    return (c >= C('a') && c <= C('z')) ? C(c - 32) : c;
}

template <typename C>
class BaseString {
  public:
    using Char = C;
    using View = std::basic_string_view<C>;
    using Std = std::basic_string<C>;
    static constexpr size_t npos = Std::npos;

    // A default text is null.
    BaseString() noexcept = default;
    BaseString(const C* text) : m_null(text == nullptr) {
        if (text)
            m_str = text;
    }
    BaseString(const C* text, size_t length) : m_str(text, length), m_null(false) {}
    BaseString(View text) : m_str(text), m_null(false) {}
    BaseString(const Std& text) : m_str(text), m_null(false) {}
    BaseString(Std&& text) noexcept : m_str(std::move(text)), m_null(false) {}
    BaseString(size_t count, C c) : m_str(count, c), m_null(false) {}
    BaseString(std::nullptr_t) noexcept {}

    static BaseString null() noexcept { return BaseString(); }
    static BaseString empty() { return BaseString(View()); }

    bool isNull() const noexcept { return m_null; }
    // Null or of length 0.
    bool isEmpty() const noexcept { return m_str.empty(); }
    size_t length() const noexcept { return m_str.size(); }
    size_t size() const noexcept { return m_str.size(); }

    // Always a zero-terminated buffer; a null text gives the empty buffer.
    const C* c_str() const noexcept { return m_str.c_str(); }
    // The characters, or nullptr for a null text.
    const C* ptr() const noexcept { return m_null ? nullptr : m_str.c_str(); }
    const C* data() const noexcept { return m_str.data(); }
    C* data() noexcept { return m_str.data(); }
    View view() const noexcept { return View(m_str); }
    operator View() const noexcept { return View(m_str); }
    const Std& str() const noexcept { return m_str; }
    Std& mutableStr() noexcept {
        m_null = false;
        return m_str;
    }

    C operator[](size_t i) const noexcept { return m_str[i]; }
    C& operator[](size_t i) noexcept { return m_str[i]; }
    C at(size_t i) const { return m_str.at(i); }
    C back() const noexcept { return m_str.back(); }

    auto begin() const noexcept { return m_str.begin(); }
    auto end() const noexcept { return m_str.end(); }

    // Mutation. Every mutation leaves a non-null text, except setNull().
    void setNull() noexcept {
        m_str.clear();
        m_null = true;
    }
    void clear() noexcept {
        m_str.clear();
        m_null = false;
    }
    void reserve(size_t n) { m_str.reserve(n); }
    void resize(size_t n, C c = C(0)) {
        m_str.resize(n, c);
        m_null = false;
    }
    BaseString& assign(View text) {
        m_str.assign(text);
        m_null = false;
        return *this;
    }
    BaseString& append(View text) {
        m_str.append(text);
        m_null = false;
        return *this;
    }
    BaseString& append(const C* text, size_t n) {
        m_str.append(text, n);
        m_null = false;
        return *this;
    }
    BaseString& append(size_t count, C c) {
        m_str.append(count, c);
        m_null = false;
        return *this;
    }
    BaseString& append(C c) {
        m_str.push_back(c);
        m_null = false;
        return *this;
    }
    BaseString& append(const C* text) { return text ? append(View(text)) : *this; }
    BaseString& operator+=(View text) { return append(text); }
    BaseString& operator+=(const C* text) { return text ? append(View(text)) : *this; }
    BaseString& operator+=(C c) { return append(c); }
    void insert(size_t pos, View text) {
        m_str.insert(pos, text);
        m_null = false;
    }
    void erase(size_t pos, size_t count = npos) { m_str.erase(pos, count); }
    void pushBack(C c) { append(c); }

    BaseString substr(size_t pos, size_t count = npos) const {
        if (pos >= m_str.size())
            return BaseString(View());
        return BaseString(m_str.substr(pos, count));
    }

    // Searching (exact).
    size_t find(View needle, size_t from = 0) const noexcept { return m_str.find(needle, from); }
    size_t find(C c, size_t from = 0) const noexcept { return m_str.find(c, from); }
    size_t rfind(View needle, size_t from = npos) const noexcept { return m_str.rfind(needle, from); }
    bool contains(View needle) const noexcept { return m_str.find(needle) != npos; }
    bool startsWith(View prefix) const noexcept { return view().starts_with(prefix); }
    bool endsWith(View suffix) const noexcept { return view().ends_with(suffix); }

    // Searching folding A to Z.
    size_t findIgnoreCase(View needle, size_t from = 0) const noexcept {
        if (needle.size() > m_str.size())
            return npos;
        for (size_t i = from; i + needle.size() <= m_str.size(); ++i) {
            if (equalFolded(View(m_str).substr(i, needle.size()), needle))
                return i;
        }
        return npos;
    }

    // Exact comparison: a null text equals only a null text.
    bool operator==(const BaseString& other) const noexcept {
        return m_null == other.m_null && m_str == other.m_str;
    }
    bool operator!=(const BaseString& other) const noexcept { return !(*this == other); }
    // Comparison with a literal: a null text equals no literal.
    bool operator==(View other) const noexcept { return !m_null && View(m_str) == other; }
    bool operator==(const C* other) const noexcept {
        return other ? (!m_null && View(m_str) == View(other)) : m_null;
    }

    // Total order: null first, then by code units.
    int compare(const BaseString& other) const noexcept {
        if (m_null || other.m_null)
            return int(other.m_null) - int(m_null);
        int c = m_str.compare(other.m_str);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    bool operator<(const BaseString& other) const noexcept { return compare(other) < 0; }

    // Case-blind for A to Z; a null text equals only a null text.
    bool equalsIgnoreCase(const BaseString& other) const noexcept {
        return m_null == other.m_null && equalFolded(view(), other.view());
    }
    bool equalsIgnoreCase(View other) const noexcept { return !m_null && equalFolded(view(), other); }
    // Null first, then by folded code units.
    int compareIgnoreCase(const BaseString& other) const noexcept {
        if (m_null || other.m_null)
            return int(other.m_null) - int(m_null);
        return compareFolded(view(), other.view());
    }

    static bool equalFolded(View a, View b) noexcept {
        if (a.size() != b.size())
            return false;
        // Names usually match exactly: compare a machine word at a time and fold only the words
        // that differ.
        constexpr size_t kWord = sizeof(uint64_t) / sizeof(C);
        size_t i = 0;
        for (; i + kWord <= a.size(); i += kWord) {
            uint64_t x, y;
            std::memcpy(&x, a.data() + i, sizeof x);
            std::memcpy(&y, b.data() + i, sizeof y);
            if (x == y)
                continue;
            for (size_t j = i; j < i + kWord; ++j) {
                if (a[j] != b[j] && foldAsciiCase(a[j]) != foldAsciiCase(b[j]))
                    return false;
            }
        }
        for (; i < a.size(); ++i) {
            if (a[i] != b[i] && foldAsciiCase(a[i]) != foldAsciiCase(b[i]))
                return false;
        }
        return true;
    }
    static int compareFolded(View a, View b) noexcept {
        size_t n = a.size() < b.size() ? a.size() : b.size();
        for (size_t i = 0; i < n; ++i) {
            C x = foldAsciiCase(a[i]), y = foldAsciiCase(b[i]);
            if (x != y)
                return x < y ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }

    // h = h * 31 + c over the code units, in unsigned 32-bit arithmetic.
    uint32_t hash() const noexcept {
        uint32_t h = 0;
        for (C c : m_str)
            h = h * 31u + uint32_t(c);
        return h;
    }
    // The same over the folded code units.
    uint32_t hashIgnoreCase() const noexcept { return hashFolded(view()); }
    static uint32_t hashFolded(View text) noexcept {
        uint32_t h = 0;
        for (C c : text)
            h = h * 31u + uint32_t(foldAsciiCase(c));
        return h;
    }

    // Copies with A to Z folded, or a to z raised; other code units unchanged.
    BaseString toLowerAscii() const {
        BaseString r(*this);
        for (C& c : r.m_str)
            c = foldAsciiCase(c);
        return r;
    }
    BaseString toUpperAscii() const {
        BaseString r(*this);
        for (C& c : r.m_str)
            c = upperAsciiCase(c);
        return r;
    }

    // Text edges (defined for 16-bit text in String.cpp).
    static BaseString fromUtf8(std::string_view utf8);
    static BaseString fromAscii(std::string_view ascii) {
        BaseString r(View{});
        r.m_str.reserve(ascii.size());
        for (char ch : ascii)
            r.m_str.push_back(C(static_cast<unsigned char>(ch)));
        return r;
    }
    std::string toUtf8() const;

  private:
    Std m_str;
    bool m_null = true;
};

using String = BaseString<char16_t>;

inline String operator+(String left, std::u16string_view right) {
    left.append(right);
    return left;
}

// Hash functors for containers keyed by text.
struct StringHash {
    size_t operator()(const String& s) const noexcept { return s.hash(); }
};
struct StringHashIgnoreCase {
    size_t operator()(const String& s) const noexcept { return s.hashIgnoreCase(); }
};
struct StringEqualIgnoreCase {
    bool operator()(const String& a, const String& b) const noexcept { return a.equalsIgnoreCase(b); }
};

template <>
String String::fromUtf8(std::string_view utf8);
template <>
std::string String::toUtf8() const;

// Decodes UTF-8 into 16-bit text. Malformed sequences become U+FFFD, one per bad byte;
// code points above U+FFFF become surrogate pairs.
void appendUtf8ToUtf16(std::string_view utf8, std::u16string& out);
// Encodes 16-bit text as UTF-8 for output. Surrogate pairs are combined; a lone surrogate
// cannot be shown and becomes U+FFFD.
void appendUtf16ToUtf8(std::u16string_view text, std::string& out);

}  // namespace strand

template <>
struct std::hash<strand::String> {
    size_t operator()(const strand::String& s) const noexcept { return s.hash(); }
};
