#pragma once
// BitsetValue: a fixed number of bits, positions 0-based here (scripts count from 1). Sizes are
// checked before anything is allocated: a negative size or one above kMaxBits raises. Setting or
// clearing a bit outside the size raises InvalidIndexException; testing one is false.
//
// Text form: one character per bit, '1' on and '0' off, bit 0 first. Its number and integer forms are
// the count of bits that are on, its boolean form whether any is. BitFingerprintValue is the same
// value under the fingerprint class.

#include <cstdint>
#include <vector>

#include "host/Value.h"

namespace strand {

class BitsetValue : public Value {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.BitsetValue"};
    static constexpr int32_t kMaxBits = 1 << 28;

    BitsetValue() = default;
    explicit BitsetValue(int32_t size) { resize(size); }

    const ClassTag& getClassTag() const override { return Tag; }
    Kind kind() const noexcept override { return Kind::Bitset; }
    const char16_t* getClassName() const noexcept override { return u"Bitset"; }

    void appendText(String& out) const override;
    double getDouble() const override { return double(getNumBitsOn()); }
    int64_t getInteger() const override { return getNumBitsOn(); }
    bool getBool() const override { return getNext(-1) >= 0; }
    // Bitsets, byte arrays (bit 8j + b from bit b of byte j), texts of '0' and '1', arrays (an element
    // that is true turns its bit on) and null values convert; other values raise.
    void assignFrom(const Value& source) override;
    Ptr<Value> cloneValue() const override;
    // All bits off; the size stays.
    void clear() override { setAll(false); }

    int32_t getSize() const noexcept { return m_size; }
    // New bits are off.
    void resize(int32_t size);
    void setAll(bool on);
    bool isOn(int32_t i) const noexcept;
    void setOn(int32_t i);
    void setOff(int32_t i);
    // The first bit that is on strictly after position `pos` (-1 searches from the start), or -1.
    int32_t getNext(int32_t pos) const noexcept;
    int32_t getNumBitsOn() const noexcept;
    void flipAll();
    // Combine with another bitset; bits beyond the other's size count as off. The size stays.
    BitsetValue& operator&=(const BitsetValue& other);
    BitsetValue& operator|=(const BitsetValue& other);
    void andNot(const BitsetValue& other);
    // Reads '0' and '1' characters; anything else raises.
    void setFromString(const String& text);

  protected:
    int compareSameRank(const Value& other) const override;
    template <typename D>
    Ptr<Value> cloneAs() const {
        Ptr<D> copy = makePtr<D>();
        copy->m_words = m_words;
        copy->m_size = m_size;
        return copy;
    }

  private:
    void checkBit(int32_t i) const;
    void trimTail() noexcept;

    std::vector<uint64_t> m_words;
    int32_t m_size = 0;
};

class BitFingerprintValue final : public BitsetValue {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.BitFingerprintValue"};
    using BitsetValue::BitsetValue;
    const ClassTag& getClassTag() const override { return Tag; }
    const char16_t* getClassName() const noexcept override { return u"BitFingerprint"; }
    Ptr<Value> cloneValue() const override { return cloneAs<BitFingerprintValue>(); }
};

}  // namespace strand
