#pragma once
// Scanning a text into tokens on its own, for tools and tests: the type, text, line and column of each
// token of the building or the checking lexer, up to and including EOF.

#include <vector>

#include "host/Array.h"
#include "host/String.h"

namespace strand::parser {

enum class Grammar { Building, Checking };

struct TokenInfo {
    int type;
    String text;
    int line;
    int column;
};

// The tokens of the text; a lexical error raises strand::Exception with its message ("line L:C: ...").
// Warnings of the lexer (keyword hints) go to `warnings` when given.
std::vector<TokenInfo> tokenize(const String& text, Grammar grammar, Array<String>* warnings = nullptr);

}  // namespace strand::parser
