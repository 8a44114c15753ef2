#pragma once
// strand::util: the number, coercion and text helpers that every part of the system shares.
// Numbers are read without the C library's locale: a host that switched LC_NUMERIC still reads
// "1.5" as one and a half.

#include <ctime>
#include <optional>
#include <string_view>

#include "host/Array.h"
#include "host/String.h"

namespace strand::util {

// The white space that number reading skips: blank, tab, line feed, vertical tab, form feed,
// carriage return.
constexpr bool isAsciiSpace(char16_t c) noexcept {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Skips leading white space and converts the longest numeric prefix (an optional sign, digits with
// an optional fraction and exponent, or inf, infinity, nan in any case); 0.0 when there is none.
// `consumed`, when given, receives the number of code units used (0 when there was no number).
double stringToDouble(std::u16string_view text, size_t* consumed = nullptr);

// The whole text (blanks around it allowed) as a number, or nothing.
std::optional<double> parseDouble(std::u16string_view text);
// The whole text (blanks around it allowed) as a decimal integer with an optional sign within the
// 64-bit range, or nothing.
std::optional<int64_t> parseInteger(std::u16string_view text);
// "true", "false", "1", "0", "1." or "0." (A to Z folded, blanks around allowed), or nothing.
std::optional<bool> parseBoolean(std::u16string_view text);

// Whether a text can be read as a number. Strict: the whole text must be a number (blanks around it
// allowed); not strict: a numeric prefix is enough.
bool canCoerceToDouble(const String& text, bool strict);
// The same for a decimal integer within the 64-bit range.
bool canCoerceToInteger(const String& text, bool strict);
// Whether a text is one of the boolean words of parseBoolean.
bool canCoerceToBoolean(const String& text);

// The texts joined with the separator between them.
String multipleStringsToSingleString(const Array<String>& strings, std::u16string_view separator);
// The text split at every occurrence of the separator. An empty text gives no strings; an empty
// separator gives the whole text as one string.
Array<String> splitText(const String& text, std::u16string_view separator);

// The local calendar time of a moment given in seconds since 1970 (thread-safe).
bool localtime(int64_t seconds, std::tm& out);

// A fresh GUID in registry form: 32 upper-case hexadecimal digits in groups 8-4-4-4-12 between braces.
String createGuid();

}  // namespace strand::util
