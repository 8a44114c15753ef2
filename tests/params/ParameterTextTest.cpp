// Text evaluation: macro tokens, embedded scripts, expression-typed values, and the bounds on cycles,
// chains and sizes.

#include <gtest/gtest.h>

#include "Component.h"

using namespace strand;
using strand::test::Component;
using strand::test::failure;
using strand::test::texts;

namespace {

constexpr uint32_t kTokens = CParameter::kReplaceMacroTokens;
constexpr uint32_t kScripts = CParameter::kEvaluateEmbeddedScripts;
constexpr uint32_t kAll =
    CParameter::kReplaceMacroTokens | CParameter::kEvaluateEmbeddedScripts | CParameter::kEvaluateExpression;

String repeat(std::u16string_view piece, size_t times) {
    String s(String::View{});
    for (size_t i = 0; i < times; ++i)
        s.append(piece);
    return s;
}

}  // namespace

TEST(ParameterText, MacroTokens) {
    Component c;
    c.add(u"One", u"x");
    c.add(u"Two", {u"a", u"b"});
    c.add(u"Empty", u"");
    struct Case {
        const char16_t* value;
        const char* text;
    };
    const Case cases[] = {
        {u"before $(One) after", "before x after"},
        {u"[$(Two)]", "[a,b]"},
        {u"$(Two)", "a | b"},  // a whole-string token: the parameter's strings
        {u"$(one)$(ONE)", "xx"},
        {u"$(Nosuch) stays", "$(Nosuch) stays"},
        {u"$(One", "$(One"},
        {u"$() $(", "$() $("},
        {u"$(a$(One))", "$(ax)"},
        {u"[$(Empty)]", "[]"},
        {u"no token", "no token"},
    };
    for (const Case& k : cases) {
        c.add(u"P", k.value);
        EXPECT_EQ(c.joined(u"P"), k.text) << String(k.value).toUtf8();
    }
    c.add(u"P", {u"$(One)", u"-$(Two)-"});
    EXPECT_EQ(c.joined(u"P"), "x | -a,b-");
}

TEST(ParameterText, GlobalsAreTheSecondPass) {
    Component c;
    c.global(u"Folder", u"/data");
    c.global(u"Self", u"from globals");
    c.add(u"Self", u"[$(Self)]");
    c.add(u"Out", u"$(Folder)/$(Name).csv");
    c.add(u"Name", u"report");
    EXPECT_EQ(c.joined(u"Out"), "/data/report.csv");
    // A parameter's token of itself is not its own value; the globals may have it.
    EXPECT_EQ(c.joined(u"Self"), "[from globals]");
    Array<String> out;
    c[u"Self"].getEvaluatedText(c.context.get(), c.parameters.get(), c.parameters.get(), kTokens, out);
    EXPECT_EQ(out, texts({u"[$(Self)]"}));
    // Without collections the context's are used.
    c[u"Out"].getTextWithTokensReplaced(c.context.get(), nullptr, nullptr, out);
    EXPECT_EQ(out, texts({u"/data/report.csv"}));
}

TEST(ParameterText, TheLegacyRootFolderOfASource) {
    Component c;
    c.global(u"halvornroot", u"/opt/root");
    CParameter& source = c.add(u"Source", u"$(halvornroot)/data/input.csv");
    EXPECT_EQ(c.joined(u"Source"), "data/input.csv");
    source.setValue(u"$(HALVORNROOT)\\Data\\input.csv");
    EXPECT_EQ(c.joined(u"Source"), "Data\\input.csv");
    source.setValue(u"$(halvornroot)/other/input.csv");
    EXPECT_EQ(c.joined(u"Source"), "/opt/root/other/input.csv");
    c.add(u"NotSource", u"$(halvornroot)/data/input.csv");
    EXPECT_EQ(c.joined(u"NotSource"), "/opt/root/data/input.csv");

    const struct {
        const char16_t* text;
        const char16_t* stripped;
    } cases[] = {
        {u"$(halvornroot)/data/", u"data/"},
        {u"$(halvornroot)\\data/x", u"data/x"},
        {u"$(halvornroot)/data", nullptr},
        {u"$(halvornroot)/datax/", nullptr},
        {u"$(halvornroot)data/", nullptr},
        {u" $(halvornroot)/data/", nullptr},
        {u"", nullptr},
    };
    for (const auto& k : cases) {
        String s(k.text);
        EXPECT_EQ(CParameter::StripLegacyHvnRootPrefix(s), k.stripped != nullptr) << s.toUtf8();
        EXPECT_EQ(s, k.stripped ? String(k.stripped) : String(k.text));
    }
}

TEST(ParameterText, EmbeddedScripts) {
    Component c;
    c.global(u"n", u"1");
    struct Case {
        const char16_t* value;
        const char* text;
    };
    const Case cases[] = {
        {u"a<EXPR>'b' . 'c'</EXPR>d", "abcd"},
        {u"<SQL-SCRIPT>1 + 1</SQL-SCRIPT>", "2"},
        {u"<expr>1</expr>", "<expr>1</expr>"},  // tags match in their own case only
        {u"<EXPR>@n := @n + 1; @n</EXPR>,<SQL-SCRIPT>@n := @n * 10; @n</SQL-SCRIPT>", "2,20"},
        {u"<SQL-SCRIPT>@n := @n + 1; @n</SQL-SCRIPT>,<EXPR>@n := @n * 10; @n</EXPR>", "21,210"},
        // A result that holds a tag is evaluated in turn, also a tag it completes.
        {u"<EXPR>'<EX' . 'PR>3</EX' . 'PR>'</EXPR>", "3"},
        {u"<<EXPR>'EXPR>4</EX' . 'PR>'</EXPR>", "4"},
        {u"x<EXPR>''</EXPR>", "x"},
    };
    for (const Case& k : cases) {
        c.add(u"P", k.value);
        EXPECT_EQ(c.joined(u"P", kScripts), k.text) << String(k.value).toUtf8();
    }
    c.add(u"P", u"a<EXPR>1");
    EXPECT_EQ(failure([&] { c.text(u"P", kScripts); }),
              "Found opening \"<EXPR>\" but not closing: \"a<EXPR>1\"");
    c.add(u"P", u"<EXPR>'x'</EXPR>b<SQL-SCRIPT>1");
    EXPECT_EQ(failure([&] { c.text(u"P", kScripts); }),
              "Found opening \"<SQL-SCRIPT>\" but not closing: \"xb<SQL-SCRIPT>1\"");
    // Only a statement that does something may come before the last.
    c.add(u"P", u"<EXPR>1; 2</EXPR>");
    EXPECT_EQ(failure([&] { c.text(u"P", kScripts); }), "line 1, Statement doesn't appear to do anything.");
    // The scripts run without a component or a record.
    c.add(u"P", u"<EXPR>parameter('P')</EXPR>");
    EXPECT_EQ(failure([&] { c.text(u"P", kScripts); }), "Could not access parameters.");
    c.add(u"P", u"<EXPR>x := 1</EXPR>");
    EXPECT_EQ(failure([&] { c.text(u"P", kScripts); }).substr(0, 46),
              "Could not get property list for local variable");
}

TEST(ParameterText, ManyTagsTakeLinearTime) {
    Component c;
    c.add(u"P", repeat(u"<EXPR>'ab'</EXPR>-", 100000).c_str());
    const Array<String> out = c.text(u"P", kScripts);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], repeat(u"ab-", 100000));
}

TEST(ParameterText, ExpressionTypedValues) {
    Component c;
    c.add(u"Rate", u"0.25");
    CParameter& p = c.add(u"P", {u"1 + 2", u"'$(Rate)' * 4", u""});
    p.setType(String(u"ExpressionType"));
    EXPECT_EQ(c.joined(u"P", kAll), "3 | 1 | ");
    // Reading the value expands tokens and runs the expression; embedded tags are left alone.
    EXPECT_EQ(p.getValue().toString(), u"3;1;");
    CParameter& q = c.add(u"Q", u"<EXPR>1</EXPR>$(Rate)");
    EXPECT_EQ(q.getValue().toString(), u"<EXPR>1</EXPR>0.25");
    EXPECT_EQ(c.joined(u"Q", kAll), "10.25");
    // A value that is no script fails when read.
    c.add(u"Bad", u"1 +").setType(String(u"ExpressionType"));
    EXPECT_EQ(failure([&] { c[u"Bad"].getValue(); }), "line 1:4: unexpected end of file\n");
}

TEST(ParameterText, CyclesAreRefused) {
    Component c;
    c.add(u"A", u"x$(B)");
    c.add(u"B", u"y$(C)");
    c.add(u"C", u"z$(a)");
    EXPECT_EQ(failure([&] { c.text(u"A"); }), "cyclic macro reference: A -> B -> C -> A");
    EXPECT_EQ(failure([&] { c.text(u"B"); }), "cyclic macro reference: B -> C -> A -> B");
    // Through an expression-typed value that reads itself.
    CParameter& e = c.add(u"E", u"parameter('E') . '!'");
    e.setType(String(u"ExpressionType"));
    EXPECT_EQ(failure([&] { e.getValue(); }), "cyclic macro reference: E -> E");
    // Through a whole-string token.
    c.add(u"W", u"$(V)");
    c.add(u"V", u"$(W)");
    EXPECT_EQ(failure([&] { c.text(u"W"); }), "cyclic macro reference: W -> V -> W");
    // A diamond is no cycle.
    c.add(u"Top", u"$(L)$(R)");
    c.add(u"L", u"<$(Bottom)");
    c.add(u"R", u"$(Bottom)>");
    c.add(u"Bottom", u"b");
    EXPECT_EQ(c.joined(u"Top"), "<bb>");
}

TEST(ParameterText, ChainsNestUpToTheBound) {
    for (const int length : {64, 65, 10000}) {
        Component c;
        for (int i = 0; i < length; ++i) {
            const String value = i + 1 < length ? formatString(u"x$(C%d)", i + 1) : String(u"end");
            c.add(formatString(u"C%d", i).c_str(), value.c_str());
        }
        if (length == 64) {
            EXPECT_EQ(c.joined(u"C0"), std::string(63, 'x') + "end");
            continue;
        }
        EXPECT_EQ(failure([&] { c.text(u"C0"); }),
                  "the text of parameter 'C64' nested too deeply: more than 64 levels");
    }
}

TEST(ParameterText, TheTextOfAParameterIsBounded) {
    Component c;
    // Every level doubles the text of the next.
    for (int i = 1; i < 40; ++i)
        c.add(formatString(u"P%d", i).c_str(), formatString(u"$(P%d)$(P%d)", i + 1, i + 1).c_str());
    c.add(u"P40", u"ab");
    EXPECT_EQ(failure([&] { c.text(u"P1"); }),
              "The evaluated text of parameter 'P16' would exceed 16777216 code units");
    EXPECT_EQ(c.text(u"P30")[0].length(), size_t(2) << 10);
    // Levels of empty texts take no time either.
    Component empty;
    for (int i = 1; i < 64; ++i)
        empty.add(formatString(u"P%d", i).c_str(), formatString(u"$(P%d)$(P%d)", i + 1, i + 1).c_str());
    empty.add(u"P64", u"");
    EXPECT_EQ(empty.joined(u"P1"), "");
}

TEST(ParameterText, EmbeddedScriptsThatKeepBringingATagBackEnd) {
    Component c;
    // The script's result is the same tag and script again.
    c.global(u"s", u"'<EX' . 'PR>' . @s . '</EX' . 'PR>'");
    c.add(u"P", u"<EXPR>'<EX' . 'PR>' . @s . '</EX' . 'PR>'</EXPR>");
    EXPECT_EQ(failure([&] { c.text(u"P", kScripts); }),
              "the embedded scripts of parameter 'P' nested too deeply: more than 64 levels");
}

TEST(ParameterText, KeptTextsFollowChanges) {
    Component c;
    CParameter& leaf = c.add(u"Leaf", u"1");
    c.add(u"Top", u"$(Leaf)$(Leaf)");
    {
        CParameter::TextBatch batch;
        EXPECT_EQ(c.joined(u"Top"), "11");
        leaf.setValue(u"2");
        EXPECT_EQ(c.joined(u"Top"), "22");
    }
    EXPECT_EQ(c.joined(u"Top"), "22");
    // A script may change what a token reads: texts made before it are not reused after it.
    c.global(u"g", u"a");
    c.add(u"Reads", u"$(g)");
    c.add(u"Set", u"@g := 'b'").setType(String(u"ExpressionType"));
    c.add(u"All", {u"$(Reads)", u"$(Set)", u"$(Reads)"});
    EXPECT_EQ(c.joined(u"All"), "a | b | b");
}
