// CSV and TSV fields: number inference, splitting records, strict UTF-8 and writing fields back.
#include "RecordFormats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "host/Exception.h"

namespace strand::cli {
namespace {

using V = std::vector<std::string>;

// The pieces of `list` between its bars.
template <typename C>
std::vector<std::basic_string<C>> bars(std::basic_string_view<C> list) {
    std::vector<std::basic_string<C>> out;
    for (size_t at = 0, bar = 0; bar != list.npos; at = bar + 1) {
        bar = list.find(C('|'), at);
        out.emplace_back(list.substr(at, bar == list.npos ? list.npos : bar - at));
    }
    return out;
}

// Integers and numbers read as the C library reads them (18 digits take the quick way, 19 the careful
// one; past the fast path's 15 digits a number must still round to nearest); codes and what is no number
// at all stay text.
TEST(ReadNumber, InfersIntegersAndNumbersButKeepsCodesAsText) {
    for (const std::string& text : bars<char>("0|-0|+3|-17|9223372036854775807|-9223372036854775808|"
                                              "123456789012345678|-999999999999999999|1234567890123456789")) {
        const auto number = readNumber(text);
        ASSERT_TRUE(number && number->kind == FieldNumber::Kind::Integer) << text;
        EXPECT_EQ(number->integer, std::strtoll(text.c_str(), nullptr, 10)) << text;
    }
    for (const std::string& text :
         bars<char>("1.50|.5|5.|-0.25|2e3|1E-2|0.1|0e0|1.7976931348623157e308|"
                    "0.30000000000000004|9007199254740993.0|2.2250738585072014e-308|4.9e-324")) {
        const auto number = readNumber(text);
        ASSERT_TRUE(number && number->kind == FieldNumber::Kind::Double) << text;
        EXPECT_EQ(number->number, std::strtod(text.c_str(), nullptr)) << text;
    }
    // Too long for 64 bits, not finite, codes with a superfluous 0, and the rest.
    for (const std::string& text :
         bars<char>("9223372036854775808|123456789012345678901234567890|1e999|01|007|00.5|"
                    "-||+|.| 5|5 |0x10|1,5|1e|e3|-.e1|NaN|Infinity|1_000"))
        EXPECT_FALSE(readNumber(text).has_value()) << text;
}

// Parses every record of `input` (all of it in one window) into fields' contents joined by |.
V records(Format format, std::string_view input) {
    DelimitedParser parser(format);
    V out;
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

std::string parseFailure(std::string_view input) {
    try {
        DelimitedParser(Format::Csv).parse(input, true);
    } catch (const Exception& e) {
        return String(e.getErrorMessageBlock()).toUtf8();
    }
    return "no failure";
}

TEST(DelimitedParser, SplitsCsvAndTsvRecords) {
    const std::pair<std::string_view, V> csv[] = {
        {"a,b\n1,2\n", {"a|b", "1|2"}},
        {"a,b\r\n1,2\r\n", {"a|b", "1|2"}},
        {"a,b\n1,2", {"a|b", "1|2"}},  // no final line break
        {"\"x,y\",\"say \"\"hi\"\"\"\n", {"q:x,y|q:say \"hi\""}},
        {"\"two\nlines\",3\n", {"q:two\nlines|3"}},
        {",\"\",\n", {"|q:|"}},
        {"a\"b,c\n", {"a\"b|c"}},  // a stray quote stays
    };
    for (const auto& [input, expected] : csv)
        EXPECT_EQ(records(Format::Csv, input), expected) << input;
    EXPECT_EQ(records(Format::Tsv, "a\tb\n1\\t2\tx\\\\y\\n\n"), (V{"a|b", "1\t2|x\\y\n"}));
    EXPECT_EQ(records(Format::Tsv, "\"q\"\t\\N\t\n"), (V{"\"q\"|\\N|"}));  // no quoting in TSV
    EXPECT_EQ(parseFailure("a,\"open\n"), "A quoted field never ends: the input ends inside it");
    EXPECT_EQ(parseFailure("x,\"ab\"c\n"), "Text follows the closing quote of field 2");
}

TEST(DelimitedParser, KeepsRawBytesCountsLinesAndAsksForMore) {
    DelimitedParser parser(Format::Csv);
    ASSERT_EQ(parser.parse("\"a\nb\",\"c\"\"\"\nnext\n", true), DelimitedParser::Status::Record);
    EXPECT_EQ(parser.fields()[0].raw, "\"a\nb\"");
    EXPECT_EQ(parser.fields()[1].raw, "\"c\"\"\"");
    EXPECT_EQ(parser.fields()[1].content, "c\"");
    EXPECT_EQ(parser.lines(), 2);
    EXPECT_EQ(parser.parse("a,\"open", false), DelimitedParser::Status::NeedMore);
    EXPECT_EQ(parser.parse("a,b", false), DelimitedParser::Status::NeedMore);  // line not ended yet
    EXPECT_EQ(parser.parse("", true), DelimitedParser::Status::End);
}

TEST(Utf8, DecodesAndEncodesStrictly) {
    std::u16string out;
    EXPECT_TRUE(decodeUtf8("h\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", out));
    EXPECT_EQ(out, u"h\u00e9 \u20ac \U0001F600");
    for (const char* bytes :
         {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xC3", "\xFF"})
        EXPECT_FALSE(decodeUtf8(bytes, out)) << bytes;
    EXPECT_TRUE(isAscii("plain text, long enough for whole words"));
    EXPECT_FALSE(isAscii("plain text, long enough \xC3\xA9 words"));
    EXPECT_FALSE(isAscii("short\x80"));
    EXPECT_TRUE(isAscii(""));
    TextBuffer utf8;
    EXPECT_TRUE(appendUtf8(u"\u00e9\U0001F600", utf8));
    EXPECT_EQ(utf8.view(), "\xC3\xA9\xF0\x9F\x98\x80");
    // Half a pair has no UTF-8 form: refused, never replaced.
    for (const std::u16string& text :
         {std::u16string{char16_t(0xD800)}, std::u16string{u'a', char16_t(0xDC00)},
          std::u16string{char16_t(0xD800), u'a'}, std::u16string{char16_t(0xDBFF), char16_t(0xDBFF)}})
        EXPECT_FALSE(appendUtf8(text, utf8));
}

std::string csv(std::string_view text) {
    TextBuffer out;
    appendCsvField(text, out);
    return std::string(out.view());
}

TEST(WriteFields, QuotesCsvOnlyWhereReadingBackNeedsIt) {
    // 007 reads back as text anyway; the others are quoted, their quotes doubled.
    for (const std::string& text : bars<char>("plain|007"))
        EXPECT_EQ(csv(text), text);
    for (const std::string& text : bars<char>("12|1.5||a,b|two\nlines|cr\r| edge|edge "))
        EXPECT_EQ(csv(text), "\"" + text + "\"") << text;
    EXPECT_EQ(csv("say \"hi\""), "\"say \"\"hi\"\"\"");
    TextBuffer tsv;
    appendTsvField("a\tb\nc\\d\re", tsv);
    appendTsvField("12", tsv);
    EXPECT_EQ(tsv.view(), "a\\tb\\nc\\\\d\\re12");
}

TEST(WriteFields, ThePlainCsvPathWritesWhatTheFullOneWrites) {
    // Whenever the quick path takes a text, its bytes are those of UTF-8 then the CSV rules; every
    // text that needs quotes, a number's protection or UTF-8 beyond ASCII is left to the full path.
    // Longer texts go eight units at a time; each kind of stop in the second eight.
    const auto quick =
        bars<char16_t>(u"plain|QUARTZ-R69#12|a1|1a|a;b|a long plain text of ASCII alone|sixteen units ok");
    const auto full = bars<char16_t>(
        u"007|12|1.5|-3|.5|1.|| edge|edge |a,b|say \"hi\"|two\nlines|cr\r|caf\u00e9|\u0131|"
        u"a long te,t more|a long te\"t more|a long te\nt more|a long te\rt more|"
        u"a long te\u00e9t more|a long te\u0100t more");
    for (const std::u16string& text : quick) {
        TextBuffer fast, utf8, slow;
        EXPECT_TRUE(appendPlainCsvText(text, fast, ',')) << String(text).toUtf8();
        ASSERT_TRUE(appendUtf8(text, utf8));
        appendCsvField(utf8.view(), slow);
        EXPECT_EQ(fast.view(), slow.view());
    }
    for (const std::u16string& text : full) {
        TextBuffer fast;
        EXPECT_FALSE(appendPlainCsvText(text, fast, ',')) << String(text).toUtf8();
        EXPECT_TRUE(fast.view().empty());
    }
    TextBuffer semicolon;
    EXPECT_FALSE(appendPlainCsvText(u"a;b", semicolon, ';'));
}

TEST(WriteFields, JsonNumbersAndFormatNames) {
    for (const std::string& yes : bars<char>("0|-1|1.50|1e3|-0.5E-2"))
        EXPECT_TRUE(isJsonNumber(yes)) << yes;
    for (const std::string& no : bars<char>("+3|007|.5|5.|0x1||1e|NaN"))
        EXPECT_FALSE(isJsonNumber(no)) << no;
    EXPECT_EQ(formatFromName("csv"), Format::Csv);
    EXPECT_EQ(formatFromName("ndjson"), Format::JsonLines);
    EXPECT_FALSE(formatFromName("xml").has_value());
    EXPECT_EQ(formatFromPath("data/x.tab"), Format::Tsv);
    EXPECT_EQ(formatFromPath("x.JSONL"), Format::JsonLines);
    EXPECT_FALSE(formatFromPath("x.txt").has_value());
    EXPECT_FALSE(formatFromPath("csv").has_value());
}

// The scanners work eight bytes at a time: put what they look for at every offset of a word.
TEST(WordScans, FindWhatTheyLookForAtEveryOffset) {
    for (size_t at = 0; at < 40; ++at) {
        SCOPED_TRACE(at);
        const std::string head(at, 'x');
        const std::u16string wideHead(at, u'x');
        EXPECT_EQ(records(Format::Csv, head + ",yyyyyyyyyy\n"), (V{head + "|yyyyyyyyyy"}));
        EXPECT_EQ(records(Format::Csv, head + "y\r\nnext\n"), (V{head + "y", "next"}));
        EXPECT_EQ(records(Format::Csv, head + "y\nnext\n"), (V{head + "y", "next"}));
        EXPECT_EQ(csv(head + "\"" + "zzzzzzzz"), "\"" + head + "\"\"zzzzzzzz\"");
        EXPECT_EQ(csv(head + "\r" + "zzzzzzzz"), "\"" + head + "\rzzzzzzzz\"");
        EXPECT_EQ(csv(head + "zzzzzzzz"), head + "zzzzzzzz");
        std::u16string wide;
        ASSERT_TRUE(decodeUtf8(head + "\xC3\xA9" + "tail-of-text", wide));
        EXPECT_EQ(wide, wideHead + u"\u00e9tail-of-text");
        EXPECT_FALSE(decodeUtf8(head + "\xC3" + "tail-of-text", wide));
        TextBuffer out;
        appendUtf8(wideHead + u"\u00e9tail-of-text" + u"\u0141tail-of-text", out);
        EXPECT_EQ(out.view(), head + "\xC3\xA9" + "tail-of-text" + "\xC5\x81" + "tail-of-text");
        EXPECT_TRUE(isAscii(head + "tail-of-text-long-enough"));
        EXPECT_FALSE(isAscii(head + "\x80" + "tail-of-text-long-enough"));
        std::u16string widened;
        widenAscii(head + "0123456789abcdefghij", widened);
        EXPECT_EQ(widened, wideHead + u"0123456789abcdefghij");
    }
}

}  // namespace
}  // namespace strand::cli
