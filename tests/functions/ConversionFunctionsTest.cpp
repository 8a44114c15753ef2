// What the conversion script cases cannot show: compression round trips of large and incompressible
// data through the built-ins, hostile compressed input, and byte arrays at the size limit.

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "Failure.h"
#include "host/DataRecord.h"
#include "host/xrCompress.h"
#include "parser/ExpressionParser.h"

using namespace strand;
using strand::test::failure;
using Bytes = Array<uint8_t>;

namespace {

Bytes randomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes;
    bytes.vector().resize(size);
    for (uint8_t& b : bytes.vector())
        b = uint8_t(random());
    return bytes;
}

// Words with noise between them, so that deflate uses back-references and literals both.
Bytes mixedBytes(size_t size) {
    Bytes bytes = randomBytes(size, 7);
    for (size_t i = 0; i < size; ++i)
        if ((i / 1000) % 3 != 2)
            bytes.vector()[i] = uint8_t("the lazy dog jumps "[i % 19]);
    return bytes;
}

// Runs a script over a record whose property b holds the bytes; answers the record.
struct ScriptRun {
    DataRecord record;
    std::string error;

    ScriptRun(const char16_t* text, const Bytes& bytes) {
        ByteArrayValue value;
        value.setBytes(bytes);
        record.getPropertyList()->define(String(u"b"), value, 0);
        Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(text), nullptr);
        ExpressionContext ctx(nullptr, &record);
        error = failure([&] { script->evaluate(ctx); });
    }
    const std::vector<uint8_t>& bytes(const char16_t* name) {
        const Value& value = record.getPropertyList()->find(String(name))->getValue();
        EXPECT_EQ(value.kind(), Value::Kind::ByteArray);
        return static_cast<const ByteArrayValue&>(value).items();
    }
};

TEST(ConversionFunctions, CompressionRoundTrips) {
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"empty", Bytes()},
        {"one byte", Bytes{0x41}},
        {"10 MB", mixedBytes(10'000'000)},
        {"incompressible", randomBytes(1'000'000, 3)},
    };
    for (const auto& c : cases) {
        ScriptRun run(u"z := compress(b); u := uncompress(z)", c.bytes);
        ASSERT_EQ(run.error, "no failure") << c.name;
        EXPECT_EQ(run.bytes(u"u"), c.bytes.vector()) << c.name;
        // The stream is zlib's: the host compressor reads it back.
        Bytes zipped(run.bytes(u"z")), back;
        xrCompress().Decompress(back, zipped);
        EXPECT_EQ(back.vector(), c.bytes.vector()) << c.name;
        EXPECT_EQ(zipped.vector()[0], 0x78) << c.name;
    }
}

TEST(ConversionFunctions, UncompressOfRandomBytesFailsClearly) {
    for (uint32_t seed = 1; seed <= 200; ++seed) {
        ScriptRun run(u"u := uncompress(b)", randomBytes(seed * 7 % 300, seed));
        EXPECT_EQ(run.error.rfind("line 1, Compressed data ", 0), 0u) << seed << ": " << run.error;
    }
}

// Expansion stops at the largest byte array: a result of exactly that size passes, one byte more
// fails without the whole of it ever being held.
TEST(ConversionFunctions, DecompressionBombStopsAtTheByteArrayLimit) {
    const size_t limit = size_t(ArrayValue::kMaxSize);
    Bytes zeros, bomb;
    zeros.vector().assign(limit, 0);
    xrCompress(9).Compress(bomb, zeros);
    ScriptRun atLimit(u"u := uncompress(b)", bomb);
    EXPECT_EQ(atLimit.error, "no failure");
    EXPECT_EQ(atLimit.bytes(u"u").size(), limit);

    zeros.vector().push_back(0);
    xrCompress(9).Compress(bomb, zeros);
    EXPECT_LT(bomb.size(), 100'000u);
    ScriptRun over(u"u := uncompress(b)", bomb);
    EXPECT_EQ(over.error, "line 1, Decompressed data exceeds the limit of 16777216 bytes");
}

// Texts whose bytes would not fit a byte array fail, UTF-8 ones too, whose bytes grow past the limit
// only as they are written.
TEST(ConversionFunctions, TextsTooLongForAByteArrayFail) {
    const size_t limit = size_t(ArrayValue::kMaxSize);
    const std::string tooLong = "line 1, convertstringtobytes(): The result would exceed 16777216 bytes.";
    const struct {
        const char16_t* script;
        size_t length;
        char16_t unit;
        std::string error;
    } cases[] = {
        {u"x := convertstringtobytes(t, 1)", limit, u'a', "no failure"},
        {u"x := convertstringtobytes(t, 1)", limit + 1, u'a', tooLong},
        {u"x := convertstringtobytes(t, 2)", limit / 2 + 1, u'a', tooLong},
        {u"x := convertstringtobytes(t)", limit + 1, u'a', tooLong},
        {u"x := convertstringtobytes(t)", limit / 2, u'\u00e9', "no failure"},
        {u"x := convertstringtobytes(t)", limit / 2 + 1, u'\u00e9', "line 1, "},  // the message's start only
    };
    for (const auto& c : cases) {
        DataRecord record;
        record.getPropertyList()->define(String(u"t"), StringValue(String(c.length, c.unit)), 0);
        Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(c.script), nullptr);
        ExpressionContext ctx(nullptr, &record);
        const std::string failed = failure([&] { script->evaluate(ctx); });
        EXPECT_EQ(c.error == "line 1, " ? failed.substr(0, 8) : failed, c.error) << c.length;
    }
}

}  // namespace
