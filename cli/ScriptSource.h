#pragma once
// Where a command reads its script from: a file, standard input ("-") or the text of -e. Scripts are
// UTF-8; a leading byte-order mark is dropped, and bytes that are not UTF-8 are refused with the
// offset of the first bad one.

#include <optional>
#include <string>

#include "host/String.h"

namespace strand::cli {

struct ScriptSource {
    std::string file;                 // a path, or "-" for standard input
    std::optional<std::string> text;  // -e TEXT
};

// The script as 16-bit text; raises strand::Exception when it cannot be read or decoded.
String readScript(const ScriptSource& source);
// Decodes UTF-8 input (the byte-order mark dropped); raises on invalid bytes, naming `what`.
String decodeUtf8Input(const std::string& bytes, const std::string& what);
// Writes 16-bit text to a stream as UTF-8.
void writeUtf8(std::FILE* out, const String& text);

}  // namespace strand::cli
