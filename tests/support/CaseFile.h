#pragma once
// Reading the script case files of tests/scripts: line-oriented, one directive per line.
//   ## Group title            starts a group of cases (used in failure messages)
//   check: <script>           starts a case; further directives belong to it until the next case
//   <key>: <text>             a directive of the case (msg, result, ...)
//   # comment                 ignored, as are blank lines
// Scripts and texts are escaped: \n \r \t \f \0 \\ and \uXXXX stand for their characters.

#include <string>
#include <vector>

#include "host/String.h"

namespace strand::test {

struct Directive {
    std::string key;
    String text;
};

struct ScriptCase {
    std::string file;
    int line = 0;
    std::string group;
    std::string kind;  // the key that started the case
    String script;
    std::vector<Directive> directives;

    std::string where() const { return file + ":" + std::to_string(line) + " [" + group + "]"; }
    std::vector<String> all(const std::string& key) const;
};

std::vector<ScriptCase> readCases(const std::string& path, const std::vector<std::string>& caseKinds);
String unescape(const std::string& utf8);
std::string escape(const String& text);

}  // namespace strand::test
