// The bitset and binary-integer built-ins. The binary functions combine the 32-bit integer forms of
// their arguments into an integer value; the bitset functions create, combine, query and edit
// strand::BitsetValue. Positions in scripts count from 1: position k is bit k - 1 of the value.
//
// Sizes and positions are read as the integer form of the argument's value. A size outside 0 to 2^28
// bits fails before anything is allocated; setting or clearing a bit outside 1 to the size fails,
// testing one is false. bitsetnext finds the first bit strictly after the position given, so that
// `k := bitsetnext(bs, k)` from k = 0 walks the bits that are on and ends with 0.

#include "functions/BitsetFunctions.h"

#include <cstdint>

#include "functions/FunctionNode.h"
#include "host/BitsetValue.h"

using strand::BitsetValue;
using strand::ExpressionContext;
using strand::String;
using strand::Value;

namespace {

constexpr const char16_t* kNotAProperty =
    u"The first argument must be a property that holds the bitset to change.";

// The integer form of a value in 32 bits; one outside the range gives -2147483648, as every truncation
// of a script number does.
int32_t int32Of(const Value& value) {
    const int64_t i = value.getInteger();
    return i >= INT32_MIN && i <= INT32_MAX ? int32_t(i) : INT32_MIN;
}

// The shared readings of the bitset built-ins.
template <typename Base>
class xrBitsetExprBase : public xrFunctionExprImp<Base> {
  public:
    using xrFunctionExprImp<Base>::xrFunctionExprImp;
    using xrFunctionExprImp<Base>::atCallLine;

  protected:
    // A bitset argument, read in place when it is one, else converted into `holder`. Use it before
    // another argument is evaluated.
    const BitsetValue& bitsetArg(ExpressionContext& ctx, size_t i, BitsetValue& holder) const {
        return bitsetFrom(this->valueArg(ctx, i), holder);
    }
    // A bitset argument copied into `into`, which later arguments cannot change.
    BitsetValue& ownBitsetArg(ExpressionContext& ctx, size_t i, BitsetValue& into) const {
        const Value& value = this->valueArg(ctx, i);
        atCallLine([&] { into.assignFrom(value); });
        return into;
    }
    const BitsetValue& bitsetFrom(const Value& value, BitsetValue& holder) const {
        if (value.kind() == Value::Kind::Bitset)
            return static_cast<const BitsetValue&>(value);
        atCallLine([&] { holder.assignFrom(value); });
        return holder;
    }
    // A number of bits: 0 to BitsetValue::kMaxBits.
    int32_t sizeArg(ExpressionContext& ctx, size_t i) {
        const Value& value = this->valueArg(ctx, i);
        const int64_t size = value.getInteger();
        if (size < 0 || size > BitsetValue::kMaxBits) {
            value.getText(m_text);
            throw this->error(u"Bitset size %ls is outside the range 0 to %d.", m_text,
                              BitsetValue::kMaxBits);
        }
        return int32_t(size);
    }
    // A 1-based bit position in 64 bits, read from the argument's integer form.
    // A position to look at or after: a number past the 64-bit range (up to infinity) lies past every
    // bit, where its integer form would put it before them; NaN and minus infinity lie before them.
    int64_t positionArg(ExpressionContext& ctx, size_t i) const {
        const Value& value = this->valueArg(ctx, i);
        if (value.getDouble() >= 9223372036854775808.0)
            return INT64_MAX;
        return value.getInteger();
    }

    String m_text;
};

// How a value-result built-in names itself in its messages, and the statement its hint suggests.
struct xrResultTexts {
    const char16_t* name;
    const char16_t* example;
};

// A built-in whose result is a host value meant for a property or another expression: it has no number
// or boolean form, and alone as a statement it would be lost.
template <const xrResultTexts& Texts>
class xrBitValueExprImp : public xrBitsetExprBase<xrValueResultExprImp> {
  public:
    using xrBitsetExprBase::xrBitsetExprBase;

    double AsDouble(ExpressionContext&) override {
        throw strand::Exception(u"Cannot evaluate '%ls' as a number.", Texts.name);
    }
    bool AsBool(ExpressionContext&) override {
        throw strand::Exception(u"Cannot evaluate '%ls' as a boolean.", Texts.name);
    }
    void Evaluate(ExpressionContext&) override {
        throw error(
            u"You must use the resulting value from %ls to assign to a property or in another expression.",
            Texts.name);
    }
    void DoesSomethingCheck() const override { throwStatementHint(*this, Texts); }

    static void throwStatementHint(const xrValueExprImp& node, const xrResultTexts& texts) {
        throw node.error(
            u"Statement doesn't appear to do anything. Try assigning the return value of the %ls function. "
            u"E.g.:\n  %ls",
            texts.name, texts.example);
    }
};

// ---- Binary integers ---------------------------------------------------------------------------------

constexpr xrResultTexts kBinaryAndTexts{u"binaryand", u"andval := binaryand(val1, val2);"};
constexpr xrResultTexts kBinaryOrTexts{u"binaryor", u"andval := binaryor(val1, val2);"};
constexpr xrResultTexts kBinaryXorTexts{u"binaryxor", u"xorval := binaryxor(val1, val2);"};
constexpr xrResultTexts kBinaryNotTexts{u"binarynot", u"notval := binarynot(val1);"};

int32_t andOf(int32_t a, int32_t b) {
    return a & b;
}
int32_t orOf(int32_t a, int32_t b) {
    return a | b;
}
int32_t xorOf(int32_t a, int32_t b) {
    return a ^ b;
}
int32_t notOf(int32_t a, int32_t) {
    return ~a;
}

// binaryand(a, b), binaryor(a, b), binaryxor(a, b), binarynot(a): 32 bits, as an integer value.
template <const xrResultTexts& Texts, int32_t (*Op)(int32_t, int32_t)>
class xrBinaryExprImp final : public xrBitValueExprImp<Texts> {
  public:
    using xrBitValueExprImp<Texts>::xrBitValueExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        const int32_t a = int32Of(this->valueArg(ctx, 0));
        const int32_t b = this->hasArg(1) ? int32Of(this->valueArg(ctx, 1)) : 0;
        m_result.set(Op(a, b));
        return m_result;
    }

  private:
    strand::IntegerValue m_result;
};

using xrBinaryAndExprImp = xrBinaryExprImp<kBinaryAndTexts, andOf>;
using xrBinaryOrExprImp = xrBinaryExprImp<kBinaryOrTexts, orOf>;
using xrBinaryXorExprImp = xrBinaryExprImp<kBinaryXorTexts, xorOf>;
using xrBinaryNotExprImp = xrBinaryExprImp<kBinaryNotTexts, notOf>;

// ---- New bitsets -------------------------------------------------------------------------------------

constexpr xrResultTexts kBitsetCreateTexts{u"bitsetcreate", u"newbitset := bitsetcreate(1024);"};
constexpr xrResultTexts kBitsetAndTexts{u"bitsetand", u"newbitset := bitsetand(bs1, bs2);"};
constexpr xrResultTexts kBitsetOrTexts{u"bitsetor", u"newbitset := bitsetor(bs1, bs2);"};
constexpr xrResultTexts kBitsetAndNotTexts{u"bitsetandnot", u"newbitset := bitsetandnot(bs1, bs2);"};

// bitsetcreate(n): n bits, all off.
class xrBitsetCreateExprImp final : public xrBitValueExprImp<kBitsetCreateTexts> {
  public:
    using xrBitValueExprImp::xrBitValueExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        const int32_t size = sizeArg(ctx, 0);
        m_result.resize(size);
        m_result.setAll(false);
        return m_result;
    }

  private:
    BitsetValue m_result;
};

void andInto(BitsetValue& a, const BitsetValue& b) {
    a &= b;
}
void orInto(BitsetValue& a, const BitsetValue& b) {
    a |= b;
}
void andNotInto(BitsetValue& a, const BitsetValue& b) {
    a.andNot(b);
}

// bitsetand(a, b), bitsetor(a, b), bitsetandnot(a, b): the size of the longer; the shorter counts as
// off beyond its end.
template <const xrResultTexts& Texts, void (*Combine)(BitsetValue&, const BitsetValue&)>
class xrBitsetCombineExprImp final : public xrBitValueExprImp<Texts> {
  public:
    using xrBitValueExprImp<Texts>::xrBitValueExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        this->ownBitsetArg(ctx, 0, m_result);
        const BitsetValue& other = this->bitsetArg(ctx, 1, m_other);
        if (other.getSize() > m_result.getSize())
            m_result.resize(other.getSize());
        Combine(m_result, other);
        return m_result;
    }

  private:
    BitsetValue m_result;
    BitsetValue m_other;
};

using xrBitsetAndExprImp = xrBitsetCombineExprImp<kBitsetAndTexts, andInto>;
using xrBitsetOrExprImp = xrBitsetCombineExprImp<kBitsetOrTexts, orInto>;
using xrBitsetAndNotExprImp = xrBitsetCombineExprImp<kBitsetAndNotTexts, andNotInto>;

// ---- Queries -----------------------------------------------------------------------------------------

constexpr xrResultTexts kBitsetCountTexts{u"bitsetcount", u"count := bitsetcount(bs1);"};
constexpr xrResultTexts kBitsetSizeTexts{u"bitsetsize", u"numBits := bitsetsize(bs1);"};
constexpr xrResultTexts kBitsetTestTexts{u"bitsettest", u"bitIsOn := bitsettest(bs1, bit);"};
constexpr xrResultTexts kBitsetNextTexts{u"bitsetnext", u"nextBit := bitsetnext(bs1, bit);"};

template <typename Base, const xrResultTexts& Texts>
class xrBitsetQueryExprImp : public xrBitsetExprBase<Base> {
  public:
    using xrBitsetExprBase<Base>::xrBitsetExprBase;
    void DoesSomethingCheck() const override { xrBitValueExprImp<Texts>::throwStatementHint(*this, Texts); }

  protected:
    BitsetValue m_bits;
};

// bitsetcount(bs)
class xrBitsetCountExprImp final : public xrBitsetQueryExprImp<xrNumericExprImp, kBitsetCountTexts> {
  public:
    using xrBitsetQueryExprImp::xrBitsetQueryExprImp;
    double AsDouble(ExpressionContext& ctx) override { return bitsetArg(ctx, 0, m_bits).getNumBitsOn(); }
};

// bitsetsize(bs)
class xrBitsetSizeExprImp final : public xrBitsetQueryExprImp<xrNumericExprImp, kBitsetSizeTexts> {
  public:
    using xrBitsetQueryExprImp::xrBitsetQueryExprImp;
    double AsDouble(ExpressionContext& ctx) override { return bitsetArg(ctx, 0, m_bits).getSize(); }
};

// bitsettest(bs, k): false outside 1 to the size.
class xrBitsetTestExprImp final : public xrBitsetQueryExprImp<xrBooleanExprImp, kBitsetTestTexts> {
  public:
    using xrBitsetQueryExprImp::xrBitsetQueryExprImp;
    bool AsBool(ExpressionContext& ctx) override {
        const BitsetValue& bits = ownBitsetArg(ctx, 0, m_bits);
        const int64_t k = positionArg(ctx, 1);
        return k >= 1 && k <= bits.getSize() && bits.isOn(int32_t(k - 1));
    }
};

// bitsetnext(bs, k): the position of the first bit on after position k, or 0; k = 0 (or less) searches
// from the start.
class xrBitsetNextExprImp final : public xrBitsetQueryExprImp<xrNumericExprImp, kBitsetNextTexts> {
  public:
    using xrBitsetQueryExprImp::xrBitsetQueryExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        const BitsetValue& bits = ownBitsetArg(ctx, 0, m_bits);
        const int64_t k = positionArg(ctx, 1);
        if (k >= bits.getSize())
            return 0;
        const int32_t found = bits.getNext(k <= 0 ? -1 : int32_t(k - 1));
        return found < 0 ? 0 : double(found) + 1;
    }
};

// ---- Editing a property --------------------------------------------------------------------------------

// The void built-ins change the bitset a property holds: the property's value is converted into the
// node's bitset, changed there and stored back, so that a property holding bits in another form ends up
// holding a bitset. Nothing is stored when the change fails.
class xrBitsetEditExprImp : public xrBitsetExprBase<xrVoidExprImp> {
  public:
    using xrBitsetExprBase::xrBitsetExprBase;

    void Evaluate(ExpressionContext& ctx) final {
        xrExpressionVariableInterface* variable = variableArg(ctx, 0, kNotAProperty);
        const Value& value = variable->GetValue(ctx);
        atCallLine([&] { m_bits.assignFrom(value); });
        change(ctx, m_bits);
        variable->SetValue(ctx, m_bits);
    }

  protected:
    // Evaluates the further arguments and changes the bits.
    virtual void change(ExpressionContext& ctx, BitsetValue& bits) = 0;

    // The 0-based bit of a 1-based position argument, which must lie within the bitset.
    int32_t bitArg(ExpressionContext& ctx, size_t i, const BitsetValue& bits) {
        const Value& value = valueArg(ctx, i);
        const int64_t k = value.getInteger();
        if (k < 1 || k > bits.getSize()) {
            value.getText(m_text);
            throw error(u"Bit position %ls is outside the bitset of %d bits.", m_text, bits.getSize());
        }
        return int32_t(k - 1);
    }

  private:
    BitsetValue m_bits;
};

// bitsetresize(p, n): new bits are off.
class xrBitsetResizeExprImp final : public xrBitsetEditExprImp {
  public:
    using xrBitsetEditExprImp::xrBitsetEditExprImp;

  protected:
    void change(ExpressionContext& ctx, BitsetValue& bits) override { bits.resize(sizeArg(ctx, 1)); }
};

// bitsetclear(p): every bit off; the size stays.
class xrBitsetClearExprImp final : public xrBitsetEditExprImp {
  public:
    using xrBitsetEditExprImp::xrBitsetEditExprImp;

  protected:
    void change(ExpressionContext&, BitsetValue& bits) override { bits.clear(); }
};

// bitseton(p, k), bitsetoff(p, k)
template <bool On>
class xrBitsetSetExprImp final : public xrBitsetEditExprImp {
  public:
    using xrBitsetEditExprImp::xrBitsetEditExprImp;

  protected:
    void change(ExpressionContext& ctx, BitsetValue& bits) override {
        const int32_t bit = bitArg(ctx, 1, bits);
        if (On)
            bits.setOn(bit);
        else
            bits.setOff(bit);
    }
};

// bitsetflipall(p)
class xrBitsetFlipAllExprImp final : public xrBitsetEditExprImp {
  public:
    using xrBitsetEditExprImp::xrBitsetEditExprImp;

  protected:
    void change(ExpressionContext&, BitsetValue& bits) override { bits.flipAll(); }
};

}  // namespace

namespace strand::bitsets {

STRAND_BUILTIN_FACTORY(makeBinaryAnd, xrBinaryAndExprImp)
STRAND_BUILTIN_FACTORY(makeBinaryOr, xrBinaryOrExprImp)
STRAND_BUILTIN_FACTORY(makeBinaryXor, xrBinaryXorExprImp)
STRAND_BUILTIN_FACTORY(makeBinaryNot, xrBinaryNotExprImp)
STRAND_BUILTIN_FACTORY(makeBitsetAnd, xrBitsetAndExprImp)
STRAND_BUILTIN_FACTORY(makeBitsetCreate, xrBitsetCreateExprImp)
STRAND_BUILTIN_FACTORY(makeBitsetOr, xrBitsetOrExprImp)
STRAND_BUILTIN_FACTORY(makeBitsetAndNot, xrBitsetAndNotExprImp)
STRAND_BUILTIN_FACTORY(makeBitsetCount, xrBitsetCountExprImp)
STRAND_BUILTIN_FACTORY(makeBitsetSize, xrBitsetSizeExprImp)
STRAND_BUILTIN_FACTORY(makeBitsetResize, xrBitsetResizeExprImp)
STRAND_BUILTIN_FACTORY(makeBitsetClear, xrBitsetClearExprImp)
STRAND_BUILTIN_FACTORY(makeBitsetOn, xrBitsetSetExprImp<true>)
STRAND_BUILTIN_FACTORY(makeBitsetOff, xrBitsetSetExprImp<false>)
STRAND_BUILTIN_FACTORY(makeBitsetFlipAll, xrBitsetFlipAllExprImp)
STRAND_BUILTIN_FACTORY(makeBitsetTest, xrBitsetTestExprImp)
STRAND_BUILTIN_FACTORY(makeBitsetNext, xrBitsetNextExprImp)

}  // namespace strand::bitsets
