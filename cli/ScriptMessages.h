#pragma once
// What a command says about a script that does not parse or does not pass its statement check: the
// checking grammar's messages when it finds the errors (they carry its hints: `&&` for AND, ELSIF for
// `elif` ...), else its hints and the failure itself. Each message is prefixed with the script's name
// when it has one (`restock.ss: line 3:7: ...`).

#include <string>
#include <vector>

#include "host/String.h"

namespace strand::cli {

std::vector<String> scriptFailureMessages(const String& text, const String& failure, const std::string& name);

// Writes the messages to standard error, each ending with one line feed.
void printScriptFailure(const String& text, const String& failure, const std::string& name);

}  // namespace strand::cli
