// The format engine against the C formatter: every numeric directive of the table, applied to every
// value, must give the bytes snprintf gives for the same directive (the process runs in the "C" locale).

#include "functions/FormatEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "host/Exception.h"

namespace {

using strand::String;

class Numbers final : public strand::fn::FormatArguments {
  public:
    explicit Numbers(std::vector<double> values) : m_values(std::move(values)) {}
    bool hasNext() const override { return m_next < m_values.size(); }
    double nextNumber() override { return m_values[m_next++]; }
    const String& nextText() override {
        m_text = String(u"t");
        ++m_next;
        return m_text;
    }

  private:
    std::vector<double> m_values;
    size_t m_next = 0;
    String m_text;
};

std::string format(const std::string& directive, double value) {
    Numbers args({value});
    String out;
    std::string scratch;
    const std::u16string wide(directive.begin(), directive.end());
    strand::fn::formatText(out, wide, args, 1, scratch);
    return std::string(out.view().begin(), out.view().end());
}

template <typename T>
std::string reference(const std::string& directive, T value) {
    std::vector<char> buffer(20000);
    const int n = std::snprintf(buffer.data(), buffer.size(), directive.c_str(), value);
    return std::string(buffer.data(), size_t(std::max(n, 0)));
}

// Every directive made of a flag set, a size and one of the conversions, applied to every value, against
// snprintf given the same directive and the value as `convert` makes it.
template <typename Convert>
void expectAsSnprintf(const char* conversions, const std::vector<double>& values, Convert convert) {
    const std::vector<std::string> flags = {"", "-", "+", " ", "#", "0", "-+", "+0", " 0", "#0", "-#"};
    const std::vector<std::string> sizes = {"",   "1",   "12",  "30",    ".0",  ".1",      ".2",  "5.2",
                                            ".3", ".17", "8.3", "25.20", "0.0", "300.250", ".40", ".41"};
    for (const char* conversion = conversions; *conversion; ++conversion)
        for (const std::string& flag : flags)
            for (const std::string& size : sizes)
                for (const double value : values) {
                    const std::string directive = "%" + flag + size + *conversion;
                    ASSERT_EQ(format(directive, value), reference(directive, convert(value)))
                        << directive << " " << value;
                }
}

TEST(FormatEngine, DirectivesMatchSnprintf) {
    const double inf = std::numeric_limits<double>::infinity();
    expectAsSnprintf(
        "eEfgG", {0.0,     -0.0,   1.0,          -1.0,        0.5,  1.5,    2.5,    0.125,
                  3.14159, -2.675, 1e-5,         123456789.0, 1e21, 1e-300, 5e-324, 1.7976931348623157e308,
                  inf,     -inf,   std::nan(""), 0.1 + 0.2},
        [](double v) { return v; });
    expectAsSnprintf("dioxX", {0, 1, -1, 7.9, -7.9, 255, 2147483647, -2147483648.0, 1e10, 65.0},
                     [](double v) { return strand::truncToInt32(v); });
}

// The first 8192 characters are those an unbounded formatter would write (the script cases of huge
// decimal widths and precisions check their lengths and ends).
TEST(FormatEngine, HugeWidthsAndPrecisionsKeepThePiecesOfTheUnboundedOutput) {
    const struct {
        const char* directive;
        double value;
        std::string head;
    } cases[] = {
        {"%#0999999999x", 255, "0x" + std::string(8190, '0')},
        {"%.999999999e", 1, "1." + std::string(8190, '0')},
        {"%999999999f", 1, std::string(8192, ' ')},
        {"%8193d", 1, std::string(8192, ' ')},
        {"%8192d", 1, std::string(8191, ' ') + "1"},
        {"%.999999999g", 0.5, "0.5"},
        {"%99999999999999999999999d", 1, std::string(8192, ' ')},
    };
    for (const auto& c : cases)
        EXPECT_EQ(format(c.directive, c.value), c.head) << c.directive;
}

TEST(FormatEngine, ScannerReadsFlagsWidthAndPrecision) {
    const struct {
        std::u16string text;
        size_t length;
        char16_t conversion;
        int64_t width, precision;
        bool left, zero;
    } cases[] = {
        {u"%-05.3f", 7, u'f', 5, 3, true, true},
        {u"%10", 3, 0, 10, -1, false, false},
        {u"%.x", 3, u'x', -1, 0, false, false},
        {u"%5-3d", 5, u'd', 53, -1, false, false},
    };
    for (const auto& c : cases) {
        const strand::fn::FormatDirective d = strand::fn::scanDirective(c.text, 0);
        EXPECT_EQ(std::tuple(d.length, d.conversion, d.width, d.precision, d.leftAlign, d.zeroPad, d.tooLong),
                  std::tuple(c.length, c.conversion, c.width, c.precision, c.left, c.zero, false))
            << std::string(c.text.begin(), c.text.end());
    }
    // 63 characters fit, a 64th does not, whether it is the conversion or not.
    EXPECT_FALSE(strand::fn::scanDirective(u"%" + std::u16string(61, u'1') + u"d", 0).tooLong);
    EXPECT_TRUE(strand::fn::scanDirective(u"%" + std::u16string(62, u'1') + u"d", 0).tooLong);
    EXPECT_TRUE(strand::fn::scanDirective(u"%" + std::u16string(70, u'1'), 0).tooLong);
    EXPECT_FALSE(strand::fn::scanDirective(u"%" + std::u16string(62, u'1'), 0).tooLong);
}

TEST(FormatEngine, TextPiecesStaySixteenBit) {
    const struct {
        const char16_t *directive, *text, *expected;
    } cases[] = {
        {u"%5s", u"\u00e9\u4e2d", u"   \u00e9\u4e2d"},
        {u"%-4s", u"\U0001F600", u"\U0001F600  "},
        {u"%.1s", u"\u4e2dx", u"\u4e2d"},
        {u"%s", u"", u""},
    };
    for (const auto& c : cases) {
        String out;
        strand::fn::appendTextPiece(out, strand::fn::scanDirective(c.directive, 0), c.text);
        EXPECT_EQ(out.view(), c.expected) << String(c.directive).toUtf8();
    }
}

}  // namespace
