#include "host/BitsetValue.h"

#include <algorithm>
#include <bit>

#include "host/ArrayValues.h"

namespace strand {

namespace {
constexpr size_t wordsFor(int32_t bits) {
    return (size_t(bits) + 63) / 64;
}
}  // namespace

void BitsetValue::resize(int32_t size) {
    if (size < 0 || size > kMaxBits) {
        throw Exception(u"Bitset size %d is outside the range 0 to %d", size, kMaxBits);
    }
    m_words.resize(wordsFor(size), 0);
    m_size = size;
    trimTail();
}

// Bits past the size are always kept off, so counting and comparing may read whole words.
void BitsetValue::trimTail() noexcept {
    if (m_size % 64 && !m_words.empty())
        m_words.back() &= (uint64_t(1) << (m_size % 64)) - 1;
}

void BitsetValue::setAll(bool on) {
    std::fill(m_words.begin(), m_words.end(), on ? ~uint64_t(0) : 0);
    trimTail();
}

bool BitsetValue::isOn(int32_t i) const noexcept {
    if (i < 0 || i >= m_size)
        return false;
    return (m_words[size_t(i) / 64] >> (i % 64)) & 1;
}

void BitsetValue::checkBit(int32_t i) const {
    if (i < 0 || i >= m_size)
        throw InvalidIndexException(i, int64_t(m_size) - 1);
}

void BitsetValue::setOn(int32_t i) {
    checkBit(i);
    m_words[size_t(i) / 64] |= uint64_t(1) << (i % 64);
}

void BitsetValue::setOff(int32_t i) {
    checkBit(i);
    m_words[size_t(i) / 64] &= ~(uint64_t(1) << (i % 64));
}

int32_t BitsetValue::getNext(int32_t pos) const noexcept {
    int64_t start = int64_t(pos) + 1;
    if (start < 0)
        start = 0;
    if (start >= m_size)
        return -1;
    size_t w = size_t(start) / 64;
    uint64_t word = m_words[w] & (~uint64_t(0) << (start % 64));
    for (;;) {
        if (word)
            return int32_t(w * 64 + size_t(std::countr_zero(word)));
        if (++w >= m_words.size())
            return -1;
        word = m_words[w];
    }
}

int32_t BitsetValue::getNumBitsOn() const noexcept {
    int32_t n = 0;
    for (uint64_t w : m_words)
        n += std::popcount(w);
    return n;
}

void BitsetValue::flipAll() {
    for (uint64_t& w : m_words)
        w = ~w;
    trimTail();
}

BitsetValue& BitsetValue::operator&=(const BitsetValue& other) {
    for (size_t i = 0; i < m_words.size(); ++i)
        m_words[i] &= i < other.m_words.size() ? other.m_words[i] : 0;
    return *this;
}

BitsetValue& BitsetValue::operator|=(const BitsetValue& other) {
    for (size_t i = 0; i < m_words.size() && i < other.m_words.size(); ++i)
        m_words[i] |= other.m_words[i];
    trimTail();
    return *this;
}

void BitsetValue::andNot(const BitsetValue& other) {
    for (size_t i = 0; i < m_words.size() && i < other.m_words.size(); ++i)
        m_words[i] &= ~other.m_words[i];
}

void BitsetValue::setFromString(const String& text) {
    for (char16_t c : text) {
        if (c != u'0' && c != u'1')
            throw Exception(u"Cannot read a bitset from the text \"%ls\"", text);
    }
    resize(int32_t(std::min<size_t>(text.length(), size_t(kMaxBits) + 1)));
    setAll(false);
    for (size_t i = 0; i < text.length(); ++i) {
        if (text[i] == u'1')
            m_words[i / 64] |= uint64_t(1) << (i % 64);
    }
}

void BitsetValue::appendText(String& out) const {
    out.reserve(out.length() + size_t(m_size));
    for (int32_t i = 0; i < m_size; ++i)
        out.append(isOn(i) ? u'1' : u'0');
}

void BitsetValue::assignFrom(const Value& source) {
    if (&source == this)
        return;
    if (const auto* bits = dynamic_cast<const BitsetValue*>(&source)) {
        m_words = bits->m_words;
        m_size = bits->m_size;
        return;
    }
    if (const auto* bytes = dynamic_cast<const ByteArrayValue*>(&source)) {
        const auto& items = bytes->items();
        resize(int32_t(std::min<size_t>(items.size() * 8, size_t(INT32_MAX))));
        setAll(false);
        for (size_t j = 0; j < items.size(); ++j) {
            m_words[j / 8] |= uint64_t(items[j]) << ((j % 8) * 8);
        }
        return;
    }
    if (source.kind() == Kind::String) {
        setFromString(source.toString());
        return;
    }
    if (const ArrayValue* array = source.asArray()) {
        resize(array->getSize());
        setAll(false);
        for (int32_t i = 0; i < array->getSize(); ++i) {
            if (array->getElementBool(i))
                setOn(i);
        }
        return;
    }
    if (source.kind() == Kind::Null) {
        resize(0);
        return;
    }
    throw Exception(u"Cannot convert a %ls value to a bitset", source.getClassName());
}

Ptr<Value> BitsetValue::cloneValue() const {
    return cloneAs<BitsetValue>();
}

int BitsetValue::compareSameRank(const Value& other) const {
    const auto& o = static_cast<const BitsetValue&>(other);
    if (m_size != o.m_size)
        return m_size < o.m_size ? -1 : 1;
    for (size_t i = 0; i < m_words.size(); ++i) {
        if (m_words[i] != o.m_words[i])
            return m_words[i] < o.m_words[i] ? -1 : 1;
    }
    return 0;
}

}  // namespace strand
