#pragma once
// The evaluation cases of tests/scripts/*.eval: each script is parsed and evaluated once, and its
// result, its failure, or the properties it leaves must be exactly those listed.
//   eval: <script>                 the case
//   double|int|text|bool|null|texts|doubles|ints: <name> <value>   a record property ('|' separates
//                                  elements of the array kinds); prefixed "global-" for a global
//   norecord:                      evaluate without a data record
//   env: <NAME>=<value>            an environment variable for the case (TZ, LC_TIME...), restored after
//   as: value|string|number|bool|none   the operation asked (value by default)
//   value: <text>                  the expected result text
//   error: <text>                  the expected failure (the whole message block)
//   parse-error: <text>            the expected failure of the parse
//   after: <name> <text>           a record property's text after the run ("global-after" for a global,
//                                  "missing" as the text for a property that must not exist)
//   ok:                            the run succeeds (with no other expectation)

#include <string>
#include <vector>

namespace strand::test {

// The .eval files of tests/scripts, by path, in name order.
std::vector<std::string> evalCaseFiles();
// Runs every case of one file, reporting each mismatch as a test failure that names the case.
void runEvalCaseFile(const std::string& path);

}  // namespace strand::test
