#pragma once
// Printf-style formatting over 16-bit text. The formats are the system's own message texts and
// are read the way their authors wrote them: `%s` and `%ls` both take a text, `%c` a 16-bit
// character, `%d`, `%i` and `%ld` a 32-bit integer (`%lld` a 64-bit one), `%u`, `%x`, `%X` and `%o` an
// unsigned 32-bit integer, `%e`, `%f`, `%g` (and capitals) a double. Arguments are typed, so a mismatch can
// never read past the argument list: a text given to `%d` prints as text, a number given to `%s` prints as
// its shortest text. Numbers are rendered without the C library's locale.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>

#include "host/String.h"

namespace strand {

class FormatArg {
  public:
    enum class Kind { Integer, Unsigned, Double, Text, Char };

    FormatArg(int v) : m_kind(Kind::Integer), m_int(v) {}
    FormatArg(long v) : m_kind(Kind::Integer), m_int(v) {}
    FormatArg(long long v) : m_kind(Kind::Integer), m_int(v) {}
    FormatArg(unsigned v) : m_kind(Kind::Unsigned), m_int(int64_t(v)) {}
    FormatArg(unsigned long v) : m_kind(Kind::Unsigned), m_int(int64_t(v)) {}
    FormatArg(unsigned long long v) : m_kind(Kind::Unsigned), m_int(int64_t(v)) {}
    FormatArg(bool v) : m_kind(Kind::Integer), m_int(v ? 1 : 0) {}
    FormatArg(double v) : m_kind(Kind::Double), m_double(v) {}
    FormatArg(char16_t c) : m_kind(Kind::Char), m_int(c) {}
    FormatArg(const char16_t* text) : m_kind(Kind::Text), m_text(text ? text : u""), m_nullText(!text) {}
    FormatArg(std::u16string_view text) : m_kind(Kind::Text), m_text(text) {}
    FormatArg(const String& text) : m_kind(Kind::Text), m_text(text.view()), m_nullText(text.isNull()) {}
    // Narrow texts are ASCII or UTF-8 and are widened when printed.
    FormatArg(const char* text) : m_kind(Kind::Text), m_narrow(text ? text : ""), m_isNarrow(true) {}
    FormatArg(std::string_view text) : m_kind(Kind::Text), m_narrow(text), m_isNarrow(true) {}

    Kind kind() const { return m_kind; }
    int64_t integer() const;
    double number() const;
    void appendText(String& out) const;

  private:
    Kind m_kind;
    int64_t m_int = 0;
    double m_double = 0;
    std::u16string_view m_text;
    std::string_view m_narrow;
    bool m_nullText = false;
    bool m_isNarrow = false;
};

// One parsed conversion: %[flags][width][.precision][length]conversion.
struct FormatSpec {
    bool leftAlign = false;   // '-'
    bool plusSign = false;    // '+'
    bool spaceSign = false;   // ' '
    bool alternate = false;   // '#'
    bool zeroPad = false;     // '0'
    int width = -1;           // -1: none
    int precision = -1;       // -1: none
    bool wide64 = false;      // "ll", "j", "z", "t", "q" or "I64": 64-bit integers
    char16_t conversion = 0;  // 'd', 's', ...
};

// Renders one argument for a conversion and appends it. `maxPiece` caps the width, the precision and
// the length of the piece (the script formatter caps every piece at 8192 characters).
void appendFormatted(String& out, const FormatSpec& spec, const FormatArg& arg, size_t maxPiece = SIZE_MAX);

// Formats `format` with `args`. A conversion without an argument left prints nothing; an unknown
// conversion is copied as written; "%%" gives '%'.
String formatText(std::u16string_view format, std::span<const FormatArg> args);
String formatText(std::string_view format, std::span<const FormatArg> args);

template <typename F, typename... A>
String formatString(const F& fmt, const A&... args) {
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    return formatText(fmt, std::span<const FormatArg>(list, sizeof...(A)));
}

// Messages about a script's own text are cut after this many code units, so that a huge name or
// literal is not echoed whole.
inline constexpr size_t kMessageCut = 127;

// formatString, cut after kMessageCut code units.
template <typename F, typename... A>
String formatCut(const F& fmt, const A&... args) {
    String text = formatString(fmt, args...);
    if (text.length() > kMessageCut)
        text.resize(kMessageCut);
    return text;
}

// The shortest digits that read back to the same double, written without an exponent when the
// number lies between 1e-7 and 1e21 in magnitude (1000000, 0.000001, 123.25) and with one otherwise
// (1e+21, 9.5e-08, 5e-324); NaN, Infinity and -Infinity for the others. `buffer` holds at least
// kDoubleTextMax characters; the result is the length written.
constexpr size_t kDoubleTextMax = 40;
size_t formatDouble(double value, char* buffer);
void appendDouble(String& out, double value);
String doubleToString(double value);

// Truncates a double toward zero into a signed 32-bit integer; NaN, infinities and values out of
// range give -2147483648, as the x86 conversion instruction does. Every truncation of a script
// number uses it.
constexpr int32_t truncToInt32(double x) noexcept {
    if (!(x > -2147483649.0 && x < 2147483648.0))
        return INT32_MIN;
    return static_cast<int32_t>(x);
}

// The same into 64 bits, with INT64_MIN for NaN, infinities and values out of range.
constexpr int64_t truncToInt64(double x) noexcept {
    if (!(x >= -9223372036854775808.0 && x < 9223372036854775808.0))
        return INT64_MIN;
    return static_cast<int64_t>(x);
}

// Whether a double holds the integer exactly (every integer up to 2^53 in magnitude, and some beyond).
constexpr bool isExactDouble(int64_t i) noexcept {
    const double d = double(i);
    return d >= -9223372036854775808.0 && d < 9223372036854775808.0 && static_cast<int64_t>(d) == i;
}

// The integer an integral double within the 64-bit range stands for; nothing for any other double.
constexpr std::optional<int64_t> exactInteger(double d) noexcept {
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0) ||
        static_cast<double>(static_cast<int64_t>(d)) != d)
        return std::nullopt;
    return static_cast<int64_t>(d);
}

}  // namespace strand
