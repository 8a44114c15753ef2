// CSV and TSV fields: number inference, splitting records, strict UTF-8 and writing fields back.
#include "RecordFormats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "host/Exception.h"

namespace strand::cli {
namespace {

struct NumberCase {
    const char* text;
    const char* kind;  // "int", "double" or "text"
    double value;
};

TEST(ReadNumber, InfersIntegersAndNumbersButKeepsCodesAsText) {
    const NumberCase cases[] = {
        {"0", "int", 0},
        {"-0", "int", 0},
        {"42", "int", 42},
        {"+3", "int", 3},
        {"-17", "int", -17},
        {"9223372036854775807", "int", 9223372036854775807.0},
        {"-9223372036854775808", "int", -9223372036854775808.0},
        {"9223372036854775808", "text", 0},                   // too long for 64 bits
        {"123456789012345678", "int", 123456789012345678.0},  // 18 digits, the quick way
        {"-999999999999999999", "int", -999999999999999999.0},
        {"1234567890123456789", "int", 1234567890123456789.0},  // 19 digits
        {"-", "text", 0},
        {"01", "text", 0},
        {"1.50", "double", 1.5},
        {".5", "double", 0.5},
        {"5.", "double", 5},
        {"-0.25", "double", -0.25},
        {"2e3", "double", 2000},
        {"1E-2", "double", 0.01},
        {"0.1", "double", 0.1},
        {"0e0", "double", 0},
        {"123456789012345678901234567890", "text", 0},
        {"1.7976931348623157e308", "double", 1.7976931348623157e308},
        {"1e999", "text", 0},  // not finite
        {"007", "text", 0},
        {"00.5", "text", 0},
        {"", "text", 0},
        {" 5", "text", 0},
        {"5 ", "text", 0},
        {"0x10", "text", 0},
        {"1,5", "text", 0},
        {"1e", "text", 0},
        {"e3", "text", 0},
        {".", "text", 0},
        {"+", "text", 0},
        {"-.e1", "text", 0},
        {"NaN", "text", 0},
        {"Infinity", "text", 0},
        {"1_000", "text", 0},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.text);
        const auto number = readNumber(c.text);
        if (std::string(c.kind) == "text") {
            EXPECT_FALSE(number.has_value());
            continue;
        }
        ASSERT_TRUE(number.has_value());
        if (std::string(c.kind) == "int") {
            EXPECT_EQ(number->kind, FieldNumber::Kind::Integer);
            EXPECT_EQ(double(number->integer), c.value);
        } else {
            EXPECT_EQ(number->kind, FieldNumber::Kind::Double);
            EXPECT_EQ(number->number, c.value);
        }
    }
}

TEST(ReadNumber, LongMantissasRoundCorrectly) {
    // Past the fast path's 15 digits the conversion must still round to nearest.
    EXPECT_EQ(readNumber("0.30000000000000004")->number, 0.30000000000000004);
    EXPECT_EQ(readNumber("9007199254740993.0")->number, 9007199254740992.0);
    EXPECT_EQ(readNumber("2.2250738585072014e-308")->number, 2.2250738585072014e-308);
    EXPECT_EQ(readNumber("4.9e-324")->number, 4.9e-324);
}

// Parses every record of `input` (all of it in one window) into fields' contents joined by |.
std::vector<std::string> records(Format format, std::string_view input) {
    DelimitedParser parser(format);
    std::vector<std::string> out;
    for (;;) {
        const auto status = parser.parse(input, true);
        if (status == DelimitedParser::Status::End)
            return out;
        EXPECT_EQ(status, DelimitedParser::Status::Record);
        std::string row;
        for (size_t i = 0; i < parser.fields().size(); ++i) {
            const Field& f = parser.fields()[i];
            row += (i ? "|" : "") + std::string(f.quoted ? "q:" : "") + std::string(f.content);
        }
        out.push_back(row);
        input.remove_prefix(parser.consumed());
    }
}

TEST(DelimitedParser, SplitsCsvRecords) {
    using V = std::vector<std::string>;
    EXPECT_EQ(records(Format::Csv, "a,b\n1,2\n"), (V{"a|b", "1|2"}));
    EXPECT_EQ(records(Format::Csv, "a,b\r\n1,2\r\n"), (V{"a|b", "1|2"}));
    EXPECT_EQ(records(Format::Csv, "a,b\n1,2"), (V{"a|b", "1|2"}));  // no final line break
    EXPECT_EQ(records(Format::Csv, "\"x,y\",\"say \"\"hi\"\"\"\n"), (V{"q:x,y|q:say \"hi\""}));
    EXPECT_EQ(records(Format::Csv, "\"two\nlines\",3\n"), (V{"q:two\nlines|3"}));
    EXPECT_EQ(records(Format::Csv, ",\"\",\n"), (V{"|q:|"}));
    EXPECT_EQ(records(Format::Csv, "a\"b,c\n"), (V{"a\"b|c"}));  // a stray quote stays
}

TEST(DelimitedParser, KeepsRawBytesAndCountsLines) {
    DelimitedParser parser(Format::Csv);
    ASSERT_EQ(parser.parse("\"a\nb\",\"c\"\"\"\nnext\n", true), DelimitedParser::Status::Record);
    EXPECT_EQ(parser.fields()[0].raw, "\"a\nb\"");
    EXPECT_EQ(parser.fields()[1].raw, "\"c\"\"\"");
    EXPECT_EQ(parser.fields()[1].content, "c\"");
    EXPECT_EQ(parser.lines(), 2);
}

TEST(DelimitedParser, AsksForMoreInsideARecord) {
    DelimitedParser parser(Format::Csv);
    EXPECT_EQ(parser.parse("a,\"open", false), DelimitedParser::Status::NeedMore);
    EXPECT_EQ(parser.parse("a,b", false), DelimitedParser::Status::NeedMore);  // line not ended yet
    EXPECT_EQ(parser.parse("", true), DelimitedParser::Status::End);
}

TEST(DelimitedParser, RejectsBrokenQuoting) {
    DelimitedParser parser(Format::Csv);
    try {
        parser.parse("a,\"open\n", true);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(String(e.getErrorMessageBlock()).toUtf8(),
                  "A quoted field never ends: the input ends inside it");
    }
    try {
        parser.parse("x,\"ab\"c\n", true);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(String(e.getErrorMessageBlock()).toUtf8(), "Text follows the closing quote of field 2");
    }
}

TEST(DelimitedParser, UnescapesTsv) {
    using V = std::vector<std::string>;
    EXPECT_EQ(records(Format::Tsv, "a\tb\n1\\t2\tx\\\\y\\n\n"), (V{"a|b", "1\t2|x\\y\n"}));
    EXPECT_EQ(records(Format::Tsv, "\"q\"\t\\N\t\n"), (V{"\"q\"|\\N|"}));  // no quoting in TSV
}

TEST(Utf8, DecodesStrictly) {
    std::u16string out;
    EXPECT_TRUE(decodeUtf8("h\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", out));
    EXPECT_EQ(out, u"h\u00e9 \u20ac \U0001F600");
    const char* invalid[] = {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                             "\x80",     "\xC3",         "\xFF"};
    for (const char* bytes : invalid)
        EXPECT_FALSE(decodeUtf8(bytes, out)) << bytes;
    EXPECT_TRUE(isAscii("plain text, long enough for whole words"));
    EXPECT_FALSE(isAscii("plain text, long enough \xC3\xA9 words"));
    EXPECT_FALSE(isAscii("short\x80"));
    EXPECT_TRUE(isAscii(""));
}

std::string csv(std::string_view text) {
    TextBuffer out;
    appendCsvField(text, out);
    return std::string(out.view());
}

std::string tsv(std::string_view text) {
    TextBuffer out;
    appendTsvField(text, out);
    return std::string(out.view());
}

TEST(WriteFields, QuotesCsvOnlyWhereReadingBackNeedsIt) {
    EXPECT_EQ(csv("plain"), "plain");
    EXPECT_EQ(csv("007"), "007");  // reads back as text anyway
    EXPECT_EQ(csv("12"), "\"12\"");
    EXPECT_EQ(csv("1.5"), "\"1.5\"");
    EXPECT_EQ(csv(""), "\"\"");
    EXPECT_EQ(csv("a,b"), "\"a,b\"");
    EXPECT_EQ(csv("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(csv("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(csv("cr\r"), "\"cr\r\"");
    EXPECT_EQ(csv(" edge"), "\" edge\"");
    EXPECT_EQ(csv("edge "), "\"edge \"");
}

TEST(WriteFields, ThePlainCsvPathWritesWhatTheFullOneWrites) {
    // Whenever the quick path takes a text, its bytes are those of UTF-8 then the CSV rules; every
    // text that needs quotes, a number's protection or UTF-8 beyond ASCII is left to the full path.
    const std::vector<std::pair<std::u16string, bool>> cases = {
        {u"plain", true},
        {u"QUARTZ-R69#12", true},
        {u"007", false},
        {u"a1", true},
        {u"1a", true},
        {u"12", false},
        {u"1.5", false},
        {u"-3", false},
        {u".5", false},
        {u"1.", false},
        {u"", false},
        {u" edge", false},
        {u"edge ", false},
        {u"a,b", false},
        {u"a;b", true},
        {u"say \"hi\"", false},
        {u"two\nlines", false},
        {u"cr\r", false},
        {u"caf\u00e9", false},
        {u"\u0131", false},
        // Longer texts go eight units at a time; each kind of stop in the second eight.
        {u"a long plain text of ASCII alone", true},
        {u"a long te,t more", false},
        {u"a long te\"t more", false},
        {u"a long te\nt more", false},
        {u"a long te\rt more", false},
        {u"a long te\u00e9t more", false},
        {u"a long te\u0100t more", false},
        {u"sixteen units ok", true},
    };
    for (const auto& [text, quick] : cases) {
        TextBuffer fast;
        EXPECT_EQ(appendPlainCsvText(text, fast, ','), quick) << String(text).toUtf8();
        TextBuffer utf8;
        ASSERT_TRUE(appendUtf8(text, utf8));
        TextBuffer full;
        appendCsvField(utf8.view(), full);
        if (quick)
            EXPECT_EQ(fast.view(), full.view());
        else
            EXPECT_TRUE(fast.view().empty());
    }
    TextBuffer semicolon;
    EXPECT_FALSE(appendPlainCsvText(u"a;b", semicolon, ';'));
}

TEST(WriteFields, EscapesTsv) {
    EXPECT_EQ(tsv("a\tb\nc\\d\re"), "a\\tb\\nc\\\\d\\re");
    EXPECT_EQ(tsv("12"), "12");
}

TEST(WriteFields, Utf8AndJsonNumbers) {
    TextBuffer out;
    EXPECT_TRUE(appendUtf8(u"\u00e9\U0001F600", out));
    EXPECT_EQ(out.view(), "\xC3\xA9\xF0\x9F\x98\x80");
    // Half a pair has no UTF-8 form: refused, never replaced.
    const std::u16string lone[] = {{char16_t(0xD800)},
                                   {u'a', char16_t(0xDC00)},
                                   {char16_t(0xD800), u'a'},
                                   {char16_t(0xDBFF), char16_t(0xDBFF)}};
    for (const std::u16string& text : lone)
        EXPECT_FALSE(appendUtf8(text, out));
    for (const char* yes : {"0", "-1", "1.50", "1e3", "-0.5E-2"})
        EXPECT_TRUE(isJsonNumber(yes)) << yes;
    for (const char* no : {"+3", "007", ".5", "5.", "0x1", "", "1e", "NaN"})
        EXPECT_FALSE(isJsonNumber(no)) << no;
}

TEST(Formats, FromNamesAndExtensions) {
    EXPECT_EQ(formatFromName("csv"), Format::Csv);
    EXPECT_EQ(formatFromName("ndjson"), Format::JsonLines);
    EXPECT_FALSE(formatFromName("xml").has_value());
    EXPECT_EQ(formatFromPath("data/x.tab"), Format::Tsv);
    EXPECT_EQ(formatFromPath("x.JSONL"), Format::JsonLines);
    EXPECT_FALSE(formatFromPath("x.txt").has_value());
    EXPECT_FALSE(formatFromPath("csv").has_value());
}

}  // namespace
}  // namespace strand::cli

namespace strand::cli {
namespace {

// The scanners work eight bytes at a time: put what they look for at every offset of a word.
TEST(WordScans, FindWhatTheyLookForAtEveryOffset) {
    for (size_t at = 0; at < 40; ++at) {
        SCOPED_TRACE(at);
        const std::string head(at, 'x');
        EXPECT_EQ(records(Format::Csv, head + ",yyyyyyyyyy\n"),
                  (std::vector<std::string>{head + "|yyyyyyyyyy"}));
        EXPECT_EQ(records(Format::Csv, head + "y\r\nnext\n"), (std::vector<std::string>{head + "y", "next"}));
        EXPECT_EQ(records(Format::Csv, head + "y\nnext\n"), (std::vector<std::string>{head + "y", "next"}));
        EXPECT_EQ(csv(head + "\"" + "zzzzzzzz"), "\"" + head + "\"\"zzzzzzzz\"");
        EXPECT_EQ(csv(head + "\r" + "zzzzzzzz"), "\"" + head + "\rzzzzzzzz\"");
        EXPECT_EQ(csv(head + "zzzzzzzz"), head + "zzzzzzzz");
        std::u16string wide;
        ASSERT_TRUE(decodeUtf8(head + "\xC3\xA9" + "tail-of-text", wide));
        EXPECT_EQ(wide, std::u16string(at, u'x') + u"\u00e9tail-of-text");
        EXPECT_FALSE(decodeUtf8(head + "\xC3" + "tail-of-text", wide));
        TextBuffer out;
        appendUtf8(std::u16string(at, u'x') + u"\u00e9tail-of-text", out);
        EXPECT_EQ(out.view(), head + "\xC3\xA9" + "tail-of-text");
        TextBuffer high;
        appendUtf8(std::u16string(at, u'x') + u"\u0141tail-of-text", high);
        EXPECT_EQ(high.view(), head + "\xC5\x81" + "tail-of-text");
        EXPECT_TRUE(isAscii(head + "tail-of-text-long-enough"));
        EXPECT_FALSE(isAscii(head + "\x80" + "tail-of-text-long-enough"));
        std::u16string widened;
        widenAscii(head + "0123456789abcdefghij", widened);
        EXPECT_EQ(widened, std::u16string(at, u'x') + u"0123456789abcdefghij");
    }
}

}  // namespace
}  // namespace strand::cli
