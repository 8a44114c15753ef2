// What the date script cases cannot show: one parsed script run over records whose dates change kind
// from record to record, and changed dates stored back into their properties.

#include <gtest/gtest.h>

#include "host/DataRecord.h"
#include "host/DateTimeValue.h"
#include "parser/ExpressionParser.h"

using namespace strand;

namespace {

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
