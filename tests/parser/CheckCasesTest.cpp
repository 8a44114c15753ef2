// Runs the checking cases of tests/scripts/check.cases: each script is checked, and its messages and
// result must be exactly those listed.

#include <gtest/gtest.h>

#include "CaseFile.h"
#include "parser/ExpressionParser.h"

using strand::String;

TEST(CheckCases, EveryCaseGivesItsMessages) {
    auto cases = strand::test::readCases(STRAND_TEST_DATA_DIR "/scripts/check.cases", {"check"});
    ASSERT_GT(cases.size(), 50u);
    for (const auto& c : cases) {
        strand::Array<String> messages;
        const bool failed = xrExpressionParser::CheckExpression(c.script, messages);
        const auto expected = c.all("msg");
        const auto result = c.all("result");
        ASSERT_EQ(result.size(), 1u) << c.where() << ": a case needs one result";
        std::string actual;
        for (const auto& m : messages)
            actual += "msg: " + strand::test::escape(m) + "\n";
        std::string wanted;
        for (const auto& m : expected)
            wanted += "msg: " + strand::test::escape(m) + "\n";
        EXPECT_EQ(actual, wanted) << c.where() << "\ncheck: " << strand::test::escape(c.script);
        EXPECT_EQ(failed ? "errors" : "clean", result[0].toUtf8()) << c.where();
    }
}
