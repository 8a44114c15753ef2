#pragma once
// xrExpressionParser: the entry to the script front end. CheckExpression runs the checking grammar
// over a text and returns its messages. Parses share the parser runtime's null token, whose use count
// is not atomic, so every parse runs under one process-wide lock; scripts that parse while they run
// (eval, rules) may do so from several threads.

#include <mutex>

#include "host/Array.h"
#include "host/String.h"

class xrExpressionParser {
  public:
    // Checks a script; fills `messages` (emptied first) and answers true when the text has errors.
    // Warnings alone do not make it fail. Never throws for a bad script.
    static bool CheckExpression(const strand::String& text, strand::Array<strand::String>& messages);

    // The lock every parse holds.
    static std::recursive_mutex& parseLock();
};
