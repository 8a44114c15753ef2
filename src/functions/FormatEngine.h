#pragma once
// The format engine of scripts: `format` and the debug messages render their format text with it. A
// directive is '%', then any of the blank, '#', '*', '+', '-', '.' and the digits, then one conversion
// character. The engine reads the directive itself: widths and precisions are computed and bounded
// here, '*' is accepted and ignored (no width is ever read from the arguments), texts stay 16-bit.
// Only the numeric conversions reach the C formatter, with a directive rebuilt from the parsed one,
// so their digits are those of snprintf in the "C" locale.
//
// Every piece a directive produces is cut at kFormatPieceMax characters; a directive may hold
// kFormatDirectiveMax characters. The whole result is bounded by strand::kMaxTextLength.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/String.h"

namespace strand::fn {

inline constexpr size_t kFormatPieceMax = 8192;
inline constexpr size_t kFormatDirectiveMax = 63;

// One directive as written in the format text.
struct FormatDirective {
    size_t length = 0;        // characters from '%' up to and including the conversion character
    char16_t conversion = 0;  // 0 when the format text ends inside the directive
    bool tooLong = false;     // a 64th character would have been collected; length is then 63
    bool leftAlign = false;   // '-'
    bool plusSign = false;    // '+'
    bool spaceSign = false;   // ' '
    bool alternate = false;   // '#'
    bool zeroPad = false;     // '0' among the flags
    int64_t width = -1;       // -1: none; saturates at INT32_MAX
    int64_t precision = -1;   // -1: none; saturates at INT32_MAX
};

// Reads the directive that starts at format[at] (a '%').
FormatDirective scanDirective(std::u16string_view format, size_t at);

// What a conversion character asks of its argument.
enum class FormatConversion { Double, Integer, Text, Literal };
FormatConversion classifyConversion(char16_t conversion);

// The pieces of one directive, appended to `out`. `scratch` is the caller's narrow buffer, reused.
void appendDoublePiece(String& out, const FormatDirective& d, double value, std::string& scratch);
void appendIntegerPiece(String& out, const FormatDirective& d, int32_t value, std::string& scratch);
void appendTextPiece(String& out, const FormatDirective& d, std::u16string_view text);

// The arguments a format consumes, in order, each read only when a directive takes it.
class FormatArguments {
  public:
    virtual ~FormatArguments() = default;
    virtual bool hasNext() const = 0;
    virtual double nextNumber() = 0;
    virtual const String& nextText() = 0;
};

// Renders `format` into `out` (cleared first). Failures raise strand::Exception with the texts of
// `format`, prefixed "line <line>, ": a directive of 64 characters, a directive left without an
// argument, a result longer than strand::kMaxTextLength.
void formatText(String& out, std::u16string_view format, FormatArguments& args, int32_t line,
                std::string& scratch);

}  // namespace strand::fn
