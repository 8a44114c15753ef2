// What the date script cases cannot show: the statement check of the constructors, and one parsed
// script run over records whose dates change kind from record to record.

#include <gtest/gtest.h>

#include <functional>

#include "Failure.h"
#include "host/DataRecord.h"
#include "host/DateTimeValue.h"
#include "parser/ExpressionParser.h"

using namespace strand;
using strand::test::failure;

namespace {

std::string checkLast(const char16_t* text) {
    Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(text), nullptr);
    return failure([&] { script->doesSomethingCheck(true); });
}

TEST(DateFunctions, ConstructorsAloneFailTheStatementCheck) {
    struct Case {
        const char16_t* script;
        const char* message;
    };
    const char* hint = "Statement doesn't appear to do anything. Try assigning the return value. E.g.:\n  ";
    const Case cases[] = {
        {u"date('2001-11-12')", "d := date('2001-11-12', '%Y-%m-%d');"},
        {u"datecurrent()", "d := datecurrent();"},
        {u"DATEFROMYMD(2006, 12, 25)", "d := DateFromYMD(2006, 12, 25);"},
        {u"time('18:31:01')", "t := time('18:31:01', '%H:%M:%S');"},
        {u"timecurrent()", "t := timecurrent();"},
        {u"timefromHMS(13, 30, 0)", "t := timeFromHMS(13, 30, 0);"},
        {u"datetimecurrent()", "filetime := datetimecurrent();"},
        {u"datetime('2001-11-12 18:31:01')",
         "filetime := datetime('2001-11-12 18:31:01', '%Y-%m-%d %H:%M:%S');"},
        {u"datetimefromYMDHMS(2001, 12, 25, 12, 0, 0)",
         "filetime := datetimefromYMDHMS(2001, 12, 25, 12, 0, 0);"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(checkLast(c.script), std::string("line 1, ") + hint + c.message)
            << String(c.script).toUtf8();
    EXPECT_EQ(checkLast(u"x := 1;\n\ndatecurrent()"), std::string("line 3, ") + hint + "d := datecurrent();");
}

TEST(DateFunctions, OtherDateFunctionsKeepTheDefaultCheck) {
    EXPECT_EQ(checkLast(u"dateyear(d)"), "line 1, Statement doesn't appear to do anything.");
    EXPECT_EQ(checkLast(u"getdate()"), "line 1, Statement doesn't appear to do anything.");
    EXPECT_EQ(checkLast(u"dateisdst(d)"), "line 1, Statement doesn't appear to do anything.");
    for (const char16_t* effect : {u"datesetyear(d, 2001)", u"dateadddays(d, 1)", u"datesetlocale('C')",
                                   u"datechangetimezone(d, 'UTC')", u"x := datecurrent()"})
        EXPECT_EQ(checkLast(effect), "no failure") << String(effect).toUtf8();
}

// Each evaluation reads its date afresh: a text, a date-time value, a text that is no date, a number.
TEST(DateFunctions, OneScriptOverRecordsOfEveryKind) {
    Ptr<xrExpressionListImp> script =
        xrExpressionParser::ParseExpression(String(u"dateyear(d) . ' ' . datetext(date(d))"), nullptr);
    DateTimeValue christmas;
    christmas.set(2006, 12, 25, 12, 0, 0, 0);
    christmas.setDateTimeFormat(u"%d.%m.%Y");
    struct Case {
        Ptr<Value> value;
        const char* text;
    };
    const Case cases[] = {
        {makePtr<StringValue>(String(u"2001-11-12")), "2001 2001-11-12"},
        {christmas.cloneValue(), "2006 25.12.2006"},
        {makePtr<StringValue>(String(u"no date")), "-9999 "},
        {makePtr<DoubleValue>(2451545.0), "-9999 2000-01-01"},
        {makePtr<StringValue>(String(u"12/25/2006 10:00")), "2006 2006-12-25"},
    };
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            DataRecord record;
            record.getPropertyList()->define(String(u"d"), *c.value, 0);
            ExpressionContext ctx(nullptr, &record);
            EXPECT_EQ(script->getString(ctx).toUtf8(), c.text);
        }
    }
}

// A changed date goes back into the property as a date-time value, in place when it already is one.
TEST(DateFunctions, ChangedDatesAreStoredBack) {
    Ptr<xrExpressionListImp> script =
        xrExpressionParser::ParseExpression(String(u"dateaddmonths(d, 1); dateaddmonths(e, 1)"), nullptr);
    DataRecord record;
    record.getPropertyList()->define(String(u"d"), StringValue(String(u"2006-01-31")), 0);
    DateTimeValue e;
    e.set(2006, 3, 31, -1, -1, -1, -1);
    record.getPropertyList()->define(String(u"e"), e, 0);
    ExpressionContext ctx(nullptr, &record);
    script->evaluate(ctx);
    const Value& d = record.getPropertyList()->find(String(u"d"))->getValue();
    ASSERT_EQ(d.kind(), Value::Kind::DateTime);
    EXPECT_EQ(d.toString(), u"2006-02-28");
    EXPECT_EQ(record.getPropertyList()->find(String(u"e"))->getValue().toString(), u"2006-04-30");
}

}  // namespace
