#pragma once
// Where a command reads its script from: a file, standard input ("-") or the text of -e. Scripts are
// UTF-8 (strict: no encoded surrogates, no overlong forms); a leading byte-order mark is dropped, and
// bytes that are not UTF-8 are refused with the offset of the first bad one. A script is at most
// kMaxScriptBytes long; its bytes are checked as they are read, so an endless or binary source is
// refused at once.

#include <cstdio>
#include <optional>
#include <string>

#include "host/String.h"

namespace strand::cli {

inline constexpr size_t kMaxScriptBytes = size_t(64) << 20;

struct ScriptSource {
    std::string file;                 // a path, or "-" for standard input
    std::optional<std::string> text;  // -e TEXT
};

// The script as 16-bit text; raises strand::Exception when it cannot be read or decoded.
String readScript(const ScriptSource& source);
// Decodes UTF-8 input (the byte-order mark dropped); raises on invalid bytes, naming `what`.
String decodeUtf8Input(const std::string& bytes, const std::string& what);
// Writes 16-bit text to a stream as UTF-8 (for messages and results shown to people).
void writeUtf8(std::FILE* out, const String& text);

}  // namespace strand::cli
