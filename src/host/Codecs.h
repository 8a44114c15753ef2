#pragma once
// Codecs: exact conversions between byte arrays and text. Hexadecimal, Base64 and the Daylight
// fingerprint encoding carry bytes through text; the UTF-8 pair carries every 16-bit code unit through
// bytes and back unchanged (a lone surrogate included), unlike String::toUtf8(), which is for display;
// urlEncode percent-encodes a text's UTF-8 bytes. Encoders replace their output. A null text given to a
// decoder reads as the empty text.

#include <cstddef>
#include <cstdint>

#include "host/Array.h"
#include "host/String.h"

namespace strand::util {

// The value of a hexadecimal digit (either case), or -1 for any other character.
int hexValue(char16_t c) noexcept;

// Byte arrays as hexadecimal text: two digits per byte, upper case when encoding.
struct Hex {
    static void Encode(const Array<uint8_t>& bytes, String& out);
    // Accepts upper and lower case digits; ASCII white space (blank, tab, line feed, vertical tab,
    // form feed, carriage return) between digit pairs is skipped, but not inside a pair. Returns false
    // on an odd number of digits or any other character; out then holds the bytes decoded before the
    // fault.
    static bool Decode(const String& text, Array<uint8_t>& out);
};

// Base64 over the standard alphabet A-Z a-z 0-9 + / with '=' padding when encoding.
struct Base64 {
    static void Encode(const Array<uint8_t>& bytes, String& out);
    // Skips CR, LF, blank and tab anywhere. Accepts input with or without padding; when padding is
    // present it must complete the last group of four and nothing but white space may follow it.
    // Returns false for any other character, misplaced or surplus padding, or a single character left
    // over after the last group of four; out is then emptied. Unused low bits of the last character
    // are ignored.
    static bool Decode(const String& text, Array<uint8_t>& out);
};

// The Daylight ASCII encoding of binary fingerprints.
//  - Alphabet of 64 characters, value 0 to 63 in this order: '.', '+', '0'-'9', 'A'-'Z', 'a'-'z'.
//  - The bytes are taken three at a time, the first byte the most significant of a 24-bit group, and
//    each group becomes four characters, most significant six bits first.
//  - A last group of one or two bytes is completed with zero bytes before it is encoded.
//  - One more character follows: '1', '2' or '3', the number of genuine bytes in the last group
//    ('3' when the length is a multiple of three). A text is therefore always 4n + 1 characters
//    long, and no bytes encode as "3". Example: the ten bytes "PyDaylight" encode as
//    "I5Z2MLZgOKRcR...1".
// Decoding also reads ',' as the value 1: older writers of the encoding used it where '+' is now
// written. A text is malformed when its length is not 4n + 1, its final character is not '1', '2' or
// '3' (only "3" may stand alone), or any other character is outside the alphabet. The content of
// the completing zero bytes is not checked.
struct Daylight {
    static void Encode(const Array<uint8_t>& bytes, String& out);
    // Returns false on a malformed text; out is then emptied.
    static bool Decode(const String& text, Array<uint8_t>& out);
};

// UTF-8 for byte arrays; replaces out. Every 16-bit code unit survives a round trip: a surrogate pair
// becomes one 4-byte sequence, a lone surrogate its own 3-byte sequence. No terminating zero byte is
// written.
void ConvertStringtoUTF8(const String& text, Array<uint8_t>& out);

// Strict decoder; replaces out. A byte below 0x80 is one character; 110xxxxx, 1110xxxx, 11110xxx lead
// 2-, 3- and 4-byte sequences whose continuation bytes must all be 10xxxxxx. Refused: a stray
// continuation byte, a lead byte C0, C1 or F5 to FF, an overlong form, a sequence cut short or missing
// a continuation byte, a code point above U+10FFFF. Accepted: a 3-byte encoded surrogate (ED A0 80
// gives the single code unit U+D800), so that the output of ConvertStringtoUTF8 always decodes back.
// Code points above U+FFFF become surrogate pairs. Returns false when refused; out is then the empty
// text.
bool ConvertUTF8toString(const uint8_t* bytes, size_t count, String& out);
inline bool ConvertUTF8toString(const Array<uint8_t>& bytes, String& out) {
    return ConvertUTF8toString(bytes.vector().data(), bytes.size(), out);
}

// Percent-encoding of the text's UTF-8 bytes (a lone surrogate as its 3-byte form). The unreserved
// characters A-Z a-z 0-9 - . _ ~ are kept. The reserved characters : / ? # [ ] @ ! $ & ' ( ) * + , ; =
// are encoded when encodeReserved is set and kept otherwise. Every other byte becomes '%' and two upper
// case hexadecimal digits (a blank becomes %20). A null text gives the empty text.
String urlEncode(const String& text, bool encodeReserved);
// The same into `out`, with `bytes` as the scratch of the UTF-8 form: both keep their storage from
// call to call.
void urlEncodeInto(const String& text, bool encodeReserved, String& out, Array<uint8_t>& bytes);

}  // namespace strand::util
