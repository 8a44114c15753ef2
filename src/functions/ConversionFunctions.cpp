// The conversion and encoding built-ins: the script's scalar kinds into one another, texts into
// character codes, texts into bytes in four encodings and back, bytes into their hexadecimal, Base64
// and Daylight text forms and back, and compression of bytes. The codecs are the host's
// (host/Codecs.h) and the compressor is xrCompress; the nodes settle how arguments become bytes, which
// codec is called, and the messages.
//
// A byte argument is read from its value: an array gives the integer form of each element cut to 8
// bits, any other value with one element its integer form as one byte, a value without elements no
// bytes. compress and uncompress convert their argument into a byte array instead, so that a text
// gives its UTF-8 bytes.
//
// Byte results live in the node and are refilled at every evaluation; a decoder that stops early never
// leaves the previous record's bytes behind.

#include "functions/ConversionFunctions.h"

#include <cstdint>
#include <vector>

#include "functions/FunctionNode.h"
#include "host/BitsetValue.h"
#include "host/Codecs.h"
#include "host/Util.h"
#include "host/xrCompress.h"

using strand::ArrayValue;
using strand::BitFingerprintValue;
using strand::BitsetValue;
using strand::ByteArrayValue;
using strand::ExpressionContext;
using strand::String;
using strand::Value;

namespace {

using Bytes = strand::Array<uint8_t>;

// The bytes of a value, replacing `out`.
void readBytes(const Value& value, Bytes& out) {
    std::vector<uint8_t>& bytes = out.vector();
    if (value.kind() == Value::Kind::ByteArray) {
        bytes = static_cast<const ByteArrayValue&>(value).items();
        return;
    }
    bytes.clear();
    if (const ArrayValue* array = value.asArray()) {
        bytes.resize(size_t(array->getSize()));
        for (int32_t i = 0; i < array->getSize(); ++i)
            bytes[size_t(i)] = uint8_t(uint64_t(array->getElementInteger(i)) & 0xFF);
        return;
    }
    if (value.getNumValues() == 1)
        bytes.push_back(uint8_t(uint64_t(value.getInteger()) & 0xFF));
}

// The shared work of the conversion built-ins: byte arguments, and turning a failure of a host
// operation (a byte array too long, a damaged compressed stream) into a script error of the call.
template <typename Base>
class xrConversionExprImp : public xrFunctionExprImp<Base> {
  public:
    using xrFunctionExprImp<Base>::xrFunctionExprImp;
    using xrFunctionExprImp<Base>::atCallLine;

  protected:
    const Bytes& bytesArg(ExpressionContext& ctx, size_t i) {
        readBytes(this->valueArg(ctx, i), m_bytes);
        return m_bytes;
    }
    // Stores bytes into a byte array result, which refuses more than ArrayValue::kMaxSize of them.
    const ByteArrayValue& setResultBytes(ByteArrayValue& result, const Bytes& bytes) const {
        atCallLine([&] { result.setBytes(bytes); });
        return result;
    }

    Bytes m_bytes;
};

// How a byte or fingerprint result names its function in its messages.
struct xrResultTexts {
    const char16_t* quotedName;  // 'convertfromhex', or 'compress' or 'uncompress'
    bool passesCheck = false;    // used alone, the statement still does something
};

// A built-in whose result is a host value meant for a property or another function: it has no text,
// number or boolean form, and alone as a statement it would be lost.
template <const xrResultTexts& Texts>
class xrBytesResultExprImp : public xrConversionExprImp<xrValueResultExprImp> {
  public:
    using xrConversionExprImp::xrConversionExprImp;

    const String& AsString(ExpressionContext&) override {
        throw strand::Exception(u"Cannot evaluate %ls as a string.", Texts.quotedName);
    }
    double AsDouble(ExpressionContext&) override {
        throw strand::Exception(u"Cannot evaluate %ls as a number.", Texts.quotedName);
    }
    bool AsBool(ExpressionContext&) override {
        throw strand::Exception(u"Cannot evaluate %ls as a boolean.", Texts.quotedName);
    }
    void Evaluate(ExpressionContext&) override { throwMustAssign(); }
    void DoesSomethingCheck() const override {
        if (!Texts.passesCheck)
            throwMustAssign();
    }

  private:
    [[noreturn]] static void throwMustAssign() {
        throw strand::Exception(u"You must assign the result of the %ls function.", Texts.quotedName);
    }
};

// ---- Scalar conversions ------------------------------------------------------------------------------

// boolean(x)
class xrBooleanConvExprImp final : public xrFunctionExprImp<xrBooleanExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    bool AsBool(ExpressionContext& ctx) override { return boolArg(ctx, 0); }
};

// double(x)
class xrDoubleConvExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    double AsDouble(ExpressionContext& ctx) override { return numberArg(ctx, 0); }
};

// string(x): the argument's own text, valid until this call is evaluated again.
class xrStringConvExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override { return textArg(ctx, 0); }
};

// integer(x): an integer value from the integer form of x's value.
class xrIntegerConvExprImp final : public xrFunctionExprImp<xrValueResultExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        m_result.set(valueArg(ctx, 0).getInteger());
        return m_result;
    }
    void Evaluate(ExpressionContext&) override {
        throw error(
            u"You must use the resulting value from integer to assign to a property or in another "
            u"expression.");
    }

  private:
    strand::IntegerValue m_result;
};

// isinteger(t), isnumber(t): the whole text, blanks around it allowed.
template <bool (*Test)(const String&, bool)>
class xrIsNumberExprImp final : public xrFunctionExprImp<xrBooleanExprImp> {
  public:
    using xrFunctionExprImp<xrBooleanExprImp>::xrFunctionExprImp;
    bool AsBool(ExpressionContext& ctx) override { return Test(this->textArg(ctx, 0), true); }
};

using xrIsIntegerExprImp = xrIsNumberExprImp<strand::util::canCoerceToInteger>;
using xrIsDoubleExprImp = xrIsNumberExprImp<strand::util::canCoerceToDouble>;

// ---- Characters --------------------------------------------------------------------------------------

// asc(t): the code of the first 16-bit character; 0 for an empty text.
class xrAscExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        const String& text = textArg(ctx, 0);
        return text.isEmpty() ? 0.0 : double(text[0]);
    }
};

// chr(n): one character of code 0 to 65533; 0xFFFE and 0xFFFF are no characters.
class xrChrExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        const int32_t code = intArg(ctx, 0);
        if (code < 0 || code >= 0xFFFE)
            throw strand::Exception(u"Invalid character code in chr function (%d)", code);
        m_result.resize(1);
        m_result[0] = char16_t(code);
        return m_result;
    }

  private:
    String m_result;
};

// urlencode(t): reserved characters are encoded too.
class xrUrlEncodeExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        strand::util::urlEncodeInto(textArg(ctx, 0), true, m_result, m_bytes);
        checkTextLength(ctx, m_result.length(), u"urlencode");
        return m_result;
    }

  private:
    String m_result;
    strand::Array<uint8_t> m_bytes;
};

// ---- Bytes and their text forms ----------------------------------------------------------------------

using EncodeFn = void (*)(const Bytes&, String&);

// converttohex(bytes), converttobase64(bytes): two upper case digits per byte; Base64 with padding and
// without line breaks.
template <EncodeFn Encode>
class xrEncodeBytesExprImp final : public xrConversionExprImp<xrStringExprImp> {
  public:
    using xrConversionExprImp<xrStringExprImp>::xrConversionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        Encode(this->bytesArg(ctx, 0), m_result);
        return m_result;
    }

  private:
    String m_result;
};

using xrConvertToHexExprImp = xrEncodeBytesExprImp<strand::util::Hex::Encode>;
using xrConvertToBase64ExprImp = xrEncodeBytesExprImp<strand::util::Base64::Encode>;

constexpr xrResultTexts kFromHexTexts{u"'convertfromhex'"};
constexpr xrResultTexts kFromBase64Texts{u"'convertfrombase64'"};
constexpr xrResultTexts kCompressTexts{u"'compress' or 'uncompress'"};
constexpr xrResultTexts kStringToBytesTexts{u"'convertstringtobytes'"};
constexpr xrResultTexts kFromDaylightTexts{u"'convertfromdaylight'"};
constexpr xrResultTexts kDaylightFingerprintTexts{u"'convertfromdaylight'", true};

// convertfromhex(t): never fails; a text that is not hexadecimal all through gives the bytes of the
// digit pairs before the first fault.
class xrConvertFromHexExprImp final : public xrBytesResultExprImp<kFromHexTexts> {
  public:
    using xrBytesResultExprImp::xrBytesResultExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        // The decoder replaces m_bytes whether or not it reads the text to its end.
        strand::util::Hex::Decode(textArg(ctx, 0), m_bytes);
        return setResultBytes(m_result, m_bytes);
    }

  private:
    ByteArrayValue m_result;
};

// convertfrombase64(t)
class xrConvertFromBase64ExprImp final : public xrBytesResultExprImp<kFromBase64Texts> {
  public:
    using xrBytesResultExprImp::xrBytesResultExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        if (!strand::util::Base64::Decode(textArg(ctx, 0), m_bytes))
            throw strand::Exception(u"convertfrombase64: Can't decode given String");
        return setResultBytes(m_result, m_bytes);
    }

  private:
    ByteArrayValue m_result;
};

// compress(bytes), uncompress(bytes): the zlib format at level 9. An expansion stops at the largest
// byte array, so a small hostile input cannot claim more memory than that.
template <bool Expand>
class xrCompressExprImp final : public xrBytesResultExprImp<kCompressTexts> {
  public:
    using xrBytesResultExprImp<kCompressTexts>::xrBytesResultExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        const Value& value = this->valueArg(ctx, 0);
        const ByteArrayValue* in = &m_in;
        if (value.kind() == Value::Kind::ByteArray)
            in = &static_cast<const ByteArrayValue&>(value);
        else
            this->atCallLine([&] { value.assignTo(m_in); });
        this->m_bytes.vector() = in->items();
        this->atCallLine([&] {
            if (Expand)
                m_compressor.Decompress(m_out, this->m_bytes);
            else
                m_compressor.Compress(m_out, this->m_bytes);
        });
        return this->setResultBytes(m_result, m_out);
    }

  private:
    const strand::xrCompress m_compressor{9, size_t(ArrayValue::kMaxSize)};
    ByteArrayValue m_in;
    Bytes m_out;
    ByteArrayValue m_result;
};

// ---- Encoding styles -----------------------------------------------------------------------------------

// The encodings of texts as bytes: 1 the low 8 bits of each character, 2 and 3 two bytes per character
// (high byte first, low byte first), 8 UTF-8. No byte-order mark is written or expected.
bool isEncodingStyle(int32_t style) {
    return style == 1 || style == 2 || style == 3 || style == 8;
}

// convertstringtobytes(t [, style])
class xrStringToBytesExprImp final : public xrBytesResultExprImp<kStringToBytesTexts> {
  public:
    using xrBytesResultExprImp::xrBytesResultExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        const String& text = textArg(ctx, 0);
        const int32_t style = intArgOr(ctx, 1, 8);
        if (!isEncodingStyle(style))
            throw error(u"convertstringtobytes(): Invalid encoding style: %d", style);
        // Every character gives at least one byte: refuse before building what could not be stored.
        const size_t perChar = style == 2 || style == 3 ? 2 : 1;
        if (text.length() * perChar > size_t(ArrayValue::kMaxSize))
            throw error(u"convertstringtobytes(): The result would exceed %d bytes.", ArrayValue::kMaxSize);
        std::vector<uint8_t>& bytes = m_bytes.vector();
        bytes.clear();
        switch (style) {
            case 1:
                for (char16_t c : text)
                    bytes.push_back(uint8_t(c));
                break;
            case 2:
            case 3:
                for (char16_t c : text) {
                    bytes.push_back(uint8_t(style == 2 ? c >> 8 : c));
                    bytes.push_back(uint8_t(style == 2 ? c : c >> 8));
                }
                break;
            default:
                strand::util::ConvertStringtoUTF8(text, m_bytes);
                break;
        }
        return setResultBytes(m_result, m_bytes);
    }

  private:
    ByteArrayValue m_result;
};

// convertbytestostring(bytes [, style]): styles 2 and 3 need an even number of bytes; style 8 refuses
// what is not UTF-8 (overlong forms, code points above U+10FFFF, missing continuation bytes), but takes
// a 3-byte encoded surrogate, so that every text that went into bytes comes back.
class xrBytesToStringExprImp final : public xrConversionExprImp<xrStringExprImp> {
  public:
    using xrConversionExprImp::xrConversionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        const std::vector<uint8_t>& bytes = bytesArg(ctx, 0).vector();
        const int32_t style = intArgOr(ctx, 1, 8);
        if (!isEncodingStyle(style))
            throw error(u"convertbytestostring(): Invalid encoding style: %d", style);
        m_result.clear();
        switch (style) {
            case 1:
                for (uint8_t b : bytes)
                    m_result.append(char16_t(b));
                break;
            case 2:
            case 3:
                if (bytes.size() % 2 != 0)
                    throw strand::Exception(u"Invalid UTF-16 stream.");
                for (size_t i = 0; i < bytes.size(); i += 2) {
                    const unsigned high = style == 2 ? bytes[i] : bytes[i + 1];
                    const unsigned low = style == 2 ? bytes[i + 1] : bytes[i];
                    m_result.append(char16_t(high << 8 | low));
                }
                break;
            default:
                if (!strand::util::ConvertUTF8toString(m_bytes, m_result))
                    throw strand::Exception(u"Invalid UTF-8 stream.");
                break;
        }
        return m_result;
    }

  private:
    String m_result;
};

// ---- Fingerprints in Daylight form ---------------------------------------------------------------------

// The fingerprint of a Daylight text: 8 bits per byte, bit 8j + b from bit b of byte j. A text that is
// no Daylight form fails rather than giving an empty fingerprint.
template <const xrResultTexts& Texts>
class xrFromDaylightExprImp : public xrBytesResultExprImp<Texts> {
  public:
    using xrBytesResultExprImp<Texts>::xrBytesResultExprImp;

  protected:
    const BitFingerprintValue& fingerprintOf(const String& text) {
        if (!strand::util::Daylight::Decode(text, this->m_bytes))
            throw this->error(u"convertfromdaylight: Can't decode given String");
        this->setResultBytes(m_packed, this->m_bytes);
        m_result.assignFrom(m_packed);
        return m_result;
    }

  private:
    ByteArrayValue m_packed;
    BitFingerprintValue m_result;
};

// convertfromdaylight(t)
class xrConvertFromDaylightExprImp final : public xrFromDaylightExprImp<kFromDaylightTexts> {
  public:
    using xrFromDaylightExprImp::xrFromDaylightExprImp;
    const Value& AsValue(ExpressionContext& ctx) override { return fingerprintOf(textArg(ctx, 0)); }
};

// convert_daylight_fingerprint(p): the fingerprint of p's text; alone as a statement it is stored back
// into p.
class xrDaylightFingerprintExprImp final : public xrFromDaylightExprImp<kDaylightFingerprintTexts> {
  public:
    xrDaylightFingerprintExprImp(int32_t line, const xrArguments& arguments)
        : xrFromDaylightExprImp(line, arguments) {
        if (!arg(0).IsProperty())
            throw error(u"The first argument to 'convert_daylight_fingerprint' must be a property.");
    }
    const Value& AsValue(ExpressionContext& ctx) override { return fingerprintOf(textArg(ctx, 0)); }
    void Evaluate(ExpressionContext& ctx) override {
        xrExpressionVariableInterface* variable =
            variableArg(ctx, 0, u"The first argument to 'convert_daylight_fingerprint' must be a property.");
        variable->GetValue(ctx).getText(m_text);
        variable->SetValue(ctx, fingerprintOf(m_text));
    }

  private:
    String m_text;
};

// converttodaylight(x): x a bitset or fingerprint, a byte array (its bytes as they are), a text of
// '0' and '1', or any value a bitset converts from.
class xrConvertToDaylightExprImp final : public xrConversionExprImp<xrStringExprImp> {
  public:
    using xrConversionExprImp::xrConversionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        const Value& value = valueArg(ctx, 0);
        if (value.kind() == Value::Kind::ByteArray) {
            m_bytes.vector() = static_cast<const ByteArrayValue&>(value).items();
        } else {
            const BitsetValue* bits = &m_bits;
            if (value.kind() == Value::Kind::Bitset)
                bits = &static_cast<const BitsetValue&>(value);
            else
                atCallLine([&] { m_bits.assignFrom(value); });
            if (bits->getSize() % 8 != 0)
                throw strand::Exception(u"Illegal fingerprint size %d, number of bits is not divisible by 8.",
                                        bits->getSize());
            atCallLine([&] { m_packed.assignFrom(*bits); });
            m_bytes.vector() = m_packed.items();
        }
        strand::util::Daylight::Encode(m_bytes, m_result);
        return m_result;
    }

  private:
    BitsetValue m_bits;
    ByteArrayValue m_packed;
    String m_result;
};

}  // namespace

namespace strand::conversions {

STRAND_BUILTIN_FACTORY(makeAsc, xrAscExprImp)
STRAND_BUILTIN_FACTORY(makeChr, xrChrExprImp)
STRAND_BUILTIN_FACTORY(makeConvertToHex, xrConvertToHexExprImp)
STRAND_BUILTIN_FACTORY(makeConvertFromHex, xrConvertFromHexExprImp)
STRAND_BUILTIN_FACTORY(makeConvertToBase64, xrConvertToBase64ExprImp)
STRAND_BUILTIN_FACTORY(makeConvertFromBase64, xrConvertFromBase64ExprImp)
STRAND_BUILTIN_FACTORY(makeCompress, xrCompressExprImp<false>)
STRAND_BUILTIN_FACTORY(makeUncompress, xrCompressExprImp<true>)
STRAND_BUILTIN_FACTORY(makeConvertStringToBytes, xrStringToBytesExprImp)
STRAND_BUILTIN_FACTORY(makeConvertBytesToString, xrBytesToStringExprImp)
STRAND_BUILTIN_FACTORY(makeConvertFromDaylight, xrConvertFromDaylightExprImp)
STRAND_BUILTIN_FACTORY(makeConvertDaylightFingerprint, xrDaylightFingerprintExprImp)
STRAND_BUILTIN_FACTORY(makeConvertToDaylight, xrConvertToDaylightExprImp)
STRAND_BUILTIN_FACTORY(makeBoolean, xrBooleanConvExprImp)
STRAND_BUILTIN_FACTORY(makeInteger, xrIntegerConvExprImp)
STRAND_BUILTIN_FACTORY(makeDouble, xrDoubleConvExprImp)
STRAND_BUILTIN_FACTORY(makeString, xrStringConvExprImp)
STRAND_BUILTIN_FACTORY(makeIsInteger, xrIsIntegerExprImp)
STRAND_BUILTIN_FACTORY(makeIsNumber, xrIsDoubleExprImp)
STRAND_BUILTIN_FACTORY(makeUrlEncode, xrUrlEncodeExprImp)

}  // namespace strand::conversions
