// The hostile inputs of every family in one case file, tests/robustness/hostile.eval: widths and
// directives that would make format claim gigabytes, patterns that backtrack without end or match
// nothing, damaged and exploding compressed data, sizes and positions beyond every limit, nesting one
// level past its bound. Each must end in its own result or its own message, never a crash, a hang or
// an allocation out of proportion to the script; the sanitizer builds run the same cases.

#include <gtest/gtest.h>

#include <string>

#include "EvalCases.h"

namespace {

TEST(HostileCatalogue, EveryCaseGivesItsResult) {
    strand::test::runEvalCaseFile(std::string(STRAND_TEST_DATA_DIR) + "/robustness/hostile.eval");
}

}  // namespace
