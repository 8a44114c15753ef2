// One test per case file of tests/scripts/*.eval, named after the file, so that `ctest -R strings`
// runs the cases of one family and a failure names the file and the case.

#include <gtest/gtest.h>

#include <filesystem>

#include "EvalCases.h"

namespace {

class ScriptFile : public ::testing::TestWithParam<std::string> {};

TEST_P(ScriptFile, EveryCaseGivesItsResult) {
    strand::test::runEvalCaseFile(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Eval, ScriptFile, ::testing::ValuesIn(strand::test::evalCaseFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return std::filesystem::path(info.param).stem().string();
                         });

}  // namespace
