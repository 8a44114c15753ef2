// Text evaluation: macro tokens, embedded scripts, expression-typed values, and the bounds on cycles,
// chains and sizes.

#include <gtest/gtest.h>

#include "Component.h"

using namespace strand;
using namespace strand::test;

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

// The text of `name` joined, or "error: " and the failure's message.
std::string evaluated(const Component& c, const char16_t* name, uint32_t mode = kTokens) {
    std::string text;
    const std::string failed = failure([&] { text = c.joined(name, mode); });
    return failed == "no failure" ? text : "error: " + failed;
}

}  // namespace

TEST(ParameterText, TokensAndEmbeddedScripts) {
    Component c;
    c.add(u"One", u"x");
    c.add(u"Empty", u"");
    c.global(u"n", u"1");
    const struct {
        uint32_t mode;
        const char16_t* value;
        const char* text;
    } cases[] = {
        {kTokens, u"$(one)$(ONE)", "xx"},
        {kTokens, u"$() $(", "$() $("},
        {kTokens, u"$(a$(One))", "$(ax)"},
        {kTokens, u"[$(Empty)]", "[]"},
        {kScripts, u"a<EXPR>'b' . 'c'</EXPR>d", "abcd"},
        {kScripts, u"<SQL-SCRIPT>1 + 1</SQL-SCRIPT>", "2"},
        {kScripts, u"<expr>1</expr>", "<expr>1</expr>"},  // tags match in their own case only
        {kScripts, u"<EXPR>@n := @n + 1; @n</EXPR>,<SQL-SCRIPT>@n := @n * 10; @n</SQL-SCRIPT>", "2,20"},
        // A result that holds a tag is evaluated in turn, also a tag it completes.
        {kScripts, u"<EXPR>'<EX' . 'PR>3</EX' . 'PR>'</EXPR>", "3"},
        {kScripts, u"<<EXPR>'EXPR>4</EX' . 'PR>'</EXPR>", "4"},
        {kScripts, u"x<EXPR>''</EXPR>", "x"},
        {kScripts, u"<EXPR>'x'</EXPR>b<SQL-SCRIPT>1",
         "error: Found opening \"<SQL-SCRIPT>\" but not closing: \"xb<SQL-SCRIPT>1\""},
        // Only a statement that does something may come before the last.
        {kScripts, u"<EXPR>1; 2</EXPR>", "error: line 1, Statement doesn't appear to do anything."},
        // The scripts run without a component or a record.
        {kScripts, u"<EXPR>parameter('P')</EXPR>", "error: Could not access parameters."},
        {kScripts, u"<EXPR>x := 1</EXPR>",
         "error: Could not get property list for local variable 'x'.  The most common reason for this "
         "error is attempting to access a local variable from within an initialize or finalize expression.  "
         "Only global variables can be accessed from within an initialize or finalize expression."},
    };
    for (const auto& k : cases) {
        c.add(u"P", k.value);
        EXPECT_EQ(evaluated(c, u"P", k.mode), k.text) << String(k.value).toUtf8();
    }
}

// A parameter's token of itself is not its own value; the globals may have it.
TEST(ParameterText, GlobalsAreTheSecondPass) {
    Component c;
    c.global(u"Self", u"from globals");
    c.add(u"Self", u"[$(Self)]");
    EXPECT_EQ(c.joined(u"Self"), "[from globals]");
    Array<String> out;
    c[u"Self"].getEvaluatedText(c.context.get(), c.parameters.get(), c.parameters.get(), kTokens, out);
    EXPECT_EQ(out, texts({u"[$(Self)]"}));
    // Without collections the context's are used.
    c[u"Self"].getTextWithTokensReplaced(c.context.get(), nullptr, nullptr, out);
    EXPECT_EQ(out, texts({u"[from globals]"}));
}

TEST(ParameterText, TheLegacyRootFolderOfASource) {
    Component c;
    c.global(u"halvornroot", u"/opt/root");
    CParameter& source = c.add(u"Source", u"$(halvornroot)/data/input.csv");
    EXPECT_EQ(c.joined(u"Source"), "data/input.csv");
    source.setValue(u"$(halvornroot)/other/input.csv");
    EXPECT_EQ(c.joined(u"Source"), "/opt/root/other/input.csv");
    c.add(u"NotSource", u"$(halvornroot)/data/input.csv");
    EXPECT_EQ(c.joined(u"NotSource"), "/opt/root/data/input.csv");
    const std::pair<const char16_t*, const char16_t*> cases[] = {{u"$(halvornroot)/data/", u"data/"},
                                                                 {u"$(halvornroot)\\data/x", u"data/x"},
                                                                 {u"$(halvornroot)/data", nullptr},
                                                                 {u"$(halvornroot)/datax/", nullptr},
                                                                 {u"$(halvornroot)data/", nullptr},
                                                                 {u" $(halvornroot)/data/", nullptr},
                                                                 {u"", nullptr}};
    for (const auto& [text, stripped] : cases) {
        String s(text);
        EXPECT_EQ(CParameter::StripLegacyHvnRootPrefix(s), stripped != nullptr) << s.toUtf8();
        EXPECT_EQ(s, String(stripped ? stripped : text));
    }
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
    p.setType(u"ExpressionType");
    EXPECT_EQ(c.joined(u"P", kAll), "3 | 1 | ");
    // Reading the value expands tokens and runs the expression; embedded tags are left alone.
    EXPECT_EQ(p.getValue().toString(), u"3;1;");
    CParameter& q = c.add(u"Q", u"<EXPR>1</EXPR>$(Rate)");
    EXPECT_EQ(q.getValue().toString(), u"<EXPR>1</EXPR>0.25");
    EXPECT_EQ(c.joined(u"Q", kAll), "10.25");
    // A value that is no script fails when read.
    c.add(u"Bad", u"1 +").setType(u"ExpressionType");
    EXPECT_EQ(failure([&] { c[u"Bad"].getValue(); }), "line 1:4: unexpected end of file\n");
}

TEST(ParameterText, CyclesAreRefused) {
    Component c;
    c.add(u"A", u"x$(B)");
    c.add(u"B", u"y$(C)");
    c.add(u"C", u"z$(a)");
    EXPECT_EQ(evaluated(c, u"A"), "error: cyclic macro reference: A -> B -> C -> A");
    EXPECT_EQ(evaluated(c, u"B"), "error: cyclic macro reference: B -> C -> A -> B");
    // Through an expression-typed value that reads itself.
    CParameter& e = c.add(u"E", u"parameter('E') . '!'");
    e.setType(u"ExpressionType");
    EXPECT_EQ(failure([&] { e.getValue(); }), "cyclic macro reference: E -> E");
    // Through a whole-string token.
    c.add(u"W", u"$(V)");
    c.add(u"V", u"$(W)");
    EXPECT_EQ(evaluated(c, u"W"), "error: cyclic macro reference: W -> V -> W");
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
        EXPECT_EQ(evaluated(c, u"C0"), length == 64 ? std::string(63, 'x') + "end"
                                                    : "error: the text of parameter 'C64' nested too deeply: "
                                                      "more than 64 levels");
    }
}

TEST(ParameterText, TheTextOfAParameterIsBounded) {
    // Every level doubles the text of the next.
    Component c, empty;
    for (int i = 1; i < 64; ++i) {
        const String name = formatString(u"P%d", i), value = formatString(u"$(P%d)$(P%d)", i + 1, i + 1);
        if (i < 40)
            c.add(name.c_str(), value.c_str());
        empty.add(name.c_str(), value.c_str());
    }
    c.add(u"P40", u"ab");
    EXPECT_EQ(evaluated(c, u"P1"),
              "error: The evaluated text of parameter 'P16' would exceed 16777216 code units");
    EXPECT_EQ(c.text(u"P30")[0].length(), size_t(2) << 10);
    // Levels of empty texts take no time either.
    empty.add(u"P64", u"");
    EXPECT_EQ(empty.joined(u"P1"), "");
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
    c.add(u"Set", u"@g := 'b'").setType(u"ExpressionType");
    c.add(u"All", {u"$(Reads)", u"$(Set)", u"$(Reads)"});
    EXPECT_EQ(c.joined(u"All"), "a | b | b");
}
