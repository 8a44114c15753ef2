// A script run record after record allocates nothing once its nodes have warmed up: each node keeps
// its result text, its compiled pattern and its scratch, and the record's properties keep their values'
// storage. Counted with a replacement of the global allocation functions, switched on for this thread
// only while the records run.

#include <gtest/gtest.h>

#include <string>

#include "AllocationHooks.h"
#include "host/Context.h"
#include "host/DataRecord.h"
#include "parser/ExpressionParser.h"

namespace allocations = strand::test::allocations;

using namespace strand;

namespace {

// The fields of the peer workloads' wide input, refilled in place record after record as the
// command's reader does: the texts keep their storage, and what the script added goes.
struct Records {
    DataRecord record;
    CProperty *id, *name, *code, *price, *quantity, *text, *date;
    std::u16string scratch;

    Records() {
        iPropertyCollection& list = *record.getPropertyList();
        auto field = [&](const char16_t* n) { return &static_cast<CProperty&>(*list.define(String(n), 0)); };
        id = field(u"id"), name = field(u"name"), code = field(u"code"), price = field(u"price");
        quantity = field(u"quantity"), text = field(u"text"), date = field(u"date");
        // Room for the longest value of each text, as a reader's buffers have after a few records.
        for (CProperty* p : {name, code, text, date})
            p->editText().reserve(64);
        scratch.reserve(64);
    }

    void fill(int k) {
        record.getPropertyList()->truncate(7);
        id->setInteger(k);
        setText(name, k % 2 ? "Quartz_nickel" : "washer_apple");
        setText(code, k % 3 ? "R69922" : "F3496");
        // Values of the same lengths throughout, so that no result outgrows what it held: growth is
        // not what is counted.
        price->setDouble(100.5 + k % 250);
        quantity->setInteger(10 + k % 90);
        setText(text,
                "mill " + std::to_string(1000 + k * 37 % 9000) + " to zone " + std::to_string(100 + k % 900));
        setText(date, k % 2 ? "2027-07-14" : "1994-12-11");
    }
    void setText(CProperty* p, const std::string& ascii) {
        std::u16string& to = p->editText();
        to.clear();
        for (char c : ascii)
            to.push_back(char16_t(c));
    }
};

struct Case {
    const char* what;
    const char16_t* script;
};

const Case kCases[] = {
    {"string building",
     u"label := toupper(name) . '-' . substring(code, 1, 3) . '#' . id; lcode := tolower(code)"},
    {"regex substitution", u"masked := rsubst(text, '[0-9]+', '#')"},
    {"substitution with a reference", u"masked := rsubst(text, '([a-z]+)', '<$1>', 'g')"},
    {"formatting", u"third := format('%.2f', price / 3); year := integer(substring(date, 1, 4))"},
    {"loop and global",
     u"#acc := 0; FOR i IN 1 .. 10 LOOP #acc += i; END LOOP; loopsum := #acc + quantity; "
     u"@n += 1; seq := @n"},
    {"encodings", u"u := urlencode(text); h := converttohex(code); b := converttobase64(name)"},
    {"texts",
     u"t := trim(' ' . name . ' '); r := strreplace(text, 'to', 'TO'); s := string(price) . string(id)"},
    {"format of texts", u"f := format('%s-%5d|%-8s|%x', name, quantity, code, id)"},
};

}  // namespace

TEST(PerRecordAllocation, WarmedScriptsAllocateNothingPerRecord) {
    for (const Case& c : kCases) {
        ComponentContext component;
        component.getGlobalProperties()->define(String(u"n"), DoubleValue(0), 0);
        Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(c.script), &component);
        Records records;
        ExpressionContext ctx(&component, &records.record);
        // Warm-up: the nodes reach the size of their largest result, the spares of the record fill.
        for (int k = 1000; k <= 1050; ++k) {
            records.fill(k);
            script->evaluate(ctx);
        }
        long counted = 0;
        for (int k = 1051; k <= 1250; ++k) {
            records.fill(k);
            allocations::count = 0;
            allocations::counting = true;
            script->evaluate(ctx);
            allocations::counting = false;
            counted += allocations::count;
        }
        EXPECT_EQ(counted, 0) << c.what << ": " << String(c.script).toUtf8();
    }
}
