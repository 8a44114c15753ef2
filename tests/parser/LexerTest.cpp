#include "parser/Tokens.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "host/Exception.h"

using strand::String;
using strand::parser::Grammar;
using strand::parser::tokenize;

namespace {

// Token types of the building lexer, by the names its vocabulary gives them.
const std::map<int, const char*> kNames = {
    {1, "EOF"},      {6, "IDENT"},    {9, "DOT_NUMBER"},    {10, "NUMBER"},        {11, "STRING"},
    {12, "CSTRING"}, {13, "TRUE"},    {20, "MINUS"},        {21, "STAR"},          {22, "SLASH"},
    {23, "PERCENT"}, {24, "DOT"},     {30, "NOT_EQUAL"},    {32, "NUM_NOT_EQUAL"}, {33, "IS"},
    {36, "NOCASE"},  {48, "DEFINED"}, {52, "ASSIGN"},       {54, "APPEND_ASSIGN"}, {58, "IF"},
    {59, "THEN"},    {67, "RANGE"},   {71, "LOCAL_IDENT"},  {72, "GLOBAL_IDENT"},  {73, "AT_SIGN"},
    {82, "MACRO"},   {83, "DOLLAR"},  {86, "SCRIPT_LOCAL"},
};

// The tokens as "TYPE:text@line:column", separated by spaces; code units outside printable ASCII are
// written \uXXXX. The checking lexer's types are written as numbers.
std::string tokens(const std::u16string& text, Grammar grammar = Grammar::Building) {
    std::string out;
    for (const auto& token : tokenize(String(text), grammar)) {
        const auto name = kNames.find(token.type);
        out += out.empty() ? "" : " ";
        out +=
            grammar == Grammar::Building && name != kNames.end() ? name->second : std::to_string(token.type);
        out += ':';
        for (const char16_t c : token.text.view()) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", unsigned(c));
            out += c >= 0x20 && c < 0x7F ? std::string(1, char(c)) : escaped;
        }
        out += "@" + std::to_string(token.line) + ":" + std::to_string(token.column);
    }
    return out;
}

std::string lexicalError(const std::u16string& text) {
    try {
        tokenize(String(text), Grammar::Building);
    } catch (const strand::Exception& e) {
        return e.getMessage().toUtf8();
    }
    return "no error";
}

}  // namespace

TEST(Lexer, TokensTheirTextsAndPositions) {
    const char16_t lone[] = {u'x', 0xD800, u' ', u'\'', 0xDC00, 0x4E2D, u'\'', 0};
    const struct {
        std::u16string text;
        const char* tokens;
    } cases[] = {
        // Keywords ignore case and keep their text; names with sigils are never keywords; keywords fold
        // A to Z only, so that a dotted capital I makes an identifier.
        {u"if X then", "IF:if@1:1 IDENT:X@1:4 THEN:then@1:6 EOF:@1:10"},
        {u"DEFINED Nocase Is True",
         "DEFINED:DEFINED@1:1 NOCASE:Nocase@1:9 IS:Is@1:16 TRUE:True@1:19 EOF:@1:23"},
        {u"@if 'if'", "GLOBAL_IDENT:if@1:1 STRING:if@1:5 EOF:@1:9"},
        {u"\u0130F", "IDENT:\\u0130F@1:1 EOF:@1:3"},
        // Literals. A line end inside one is part of it and does not count as a new line.
        {u"'it''s' ''", "STRING:it's@1:1 STRING:@1:9 EOF:@1:11"},
        {u"\"a\\\"b\"", "CSTRING:a\\\"b@1:1 EOF:@1:7"},
        {u"\"a\\q\" \"a\\Nb\"", "CSTRING:a\\q@1:1 CSTRING:a\\Nb@1:7 EOF:@1:13"},
        {u"\"a\nb\" x", "CSTRING:a\\u000Ab@1:1 IDENT:x@1:7 EOF:@1:8"},
        {u"'a\r\nb'x", "STRING:a\\u000D\\u000Ab@1:1 IDENT:x@1:7 EOF:@1:8"},
        // Numbers, ranges and dots.
        {u"1..10", "NUMBER:1.@1:1 DOT_NUMBER:.10@1:3 EOF:@1:6"},
        {u"i..10", "IDENT:i@1:1 RANGE:..@1:2 NUMBER:10@1:4 EOF:@1:6"},
        {u"1 ..10", "NUMBER:1@1:1 RANGE:..@1:3 NUMBER:10@1:5 EOF:@1:7"},
        {u".5e-3 5. 5.e3 1E+2",
         "DOT_NUMBER:.5e-3@1:1 NUMBER:5.@1:7 NUMBER:5.e3@1:10 NUMBER:1E+2@1:15 EOF:@1:19"},
        {u"-1 0x10", "MINUS:-@1:1 NUMBER:1@1:2 NUMBER:0@1:4 IDENT:x10@1:5 EOF:@1:8"},
        {u"a.b", "IDENT:a@1:1 DOT:.@1:2 IDENT:b@1:3 EOF:@1:4"},
        // Operators and sigils.
        {u"x!=y x!==y",
         "IDENT:x@1:1 NOT_EQUAL:!=@1:2 IDENT:y@1:4 IDENT:x@1:6 NUM_NOT_EQUAL:!==@1:7 IDENT:y@1:10 EOF:@1:11"},
        {u"a %b", "IDENT:a@1:1 LOCAL_IDENT:b@1:3 EOF:@1:5"},
        {u"a % b", "IDENT:a@1:1 PERCENT:%@1:3 IDENT:b@1:5 EOF:@1:6"},
        {u"@ x", "AT_SIGN:@@1:1 IDENT:x@1:3 EOF:@1:4"},
        {u"@'total weight' #t %'x''y'",
         "GLOBAL_IDENT:total weight@1:1 SCRIPT_LOCAL:t@1:17 LOCAL_IDENT:x'y@1:20 EOF:@1:27"},
        {u"$(name) $x", "MACRO:$(name)@1:1 DOLLAR:$@1:9 IDENT:x@1:10 EOF:@1:11"},
        {u"x:=y.=z", "IDENT:x@1:1 ASSIGN::=@1:2 IDENT:y@1:4 APPEND_ASSIGN:.=@1:5 IDENT:z@1:7 EOF:@1:8"},
        // Comments (which do not nest) and white space.
        {u"/* a */ /* b */ x", "IDENT:x@1:17 EOF:@1:18"},
        {u"/* a /* b */ c */", "IDENT:c@1:14 STAR:*@1:16 SLASH:/@1:17 EOF:@1:18"},
        {u"/* a\r\nb */ x", "IDENT:x@2:6 EOF:@2:7"},
        {u"a // b", "IDENT:a@1:1 SLASH:/@1:3 SLASH:/@1:4 IDENT:b@1:6 EOF:@1:7"},
        {u"", "EOF:@1:1"},
        {u" \t\r\n\f ", "EOF:@2:3"},
        // Tabs stop every eight columns; every kind of line end counts once.
        {u"\tx", "IDENT:x@1:9 EOF:@1:10"},
        {u"ab\tx", "IDENT:ab@1:1 IDENT:x@1:9 EOF:@1:10"},
        {u"a\t\tx", "IDENT:a@1:1 IDENT:x@1:17 EOF:@1:18"},
        {u"a\r\nb\rc\nd\n\re", "IDENT:a@1:1 IDENT:b@2:1 IDENT:c@3:1 IDENT:d@4:1 IDENT:e@6:1 EOF:@6:2"},
        // Every code unit from U+0080 to U+FFFE is a letter, and texts keep every one of them; the
        // text ends at its first code unit 0.
        {u"\u00E9t\u00C9 := \u03A9\u00A0x",
         "IDENT:\\u00E9t\\u00C9@1:1 ASSIGN::=@1:5 IDENT:\\u03A9\\u00A0x@1:8 EOF:@1:11"},
        {lone, "IDENT:x\\uD800@1:1 STRING:\\uDC00\\u4E2D@1:4 EOF:@1:8"},
        {std::u16string(u"x\0&", 3), "IDENT:x@1:1 EOF:@1:2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tokens(c.text), c.tokens) << String(c.text).toUtf8();
}

TEST(Lexer, CheckingLexerKeepsSigilsAndNumbersLaterTokensItsOwnWay) {
    // From type 63 on the checking lexer counts differently: loop is 67, the local identifier 71.
    EXPECT_EQ(tokens(u"#t %b @g LOOP $(my macro) ..", Grammar::Checking),
              "71:#t@1:1 71:%b@1:4 72:@g@1:7 67:LOOP@1:10 73:$(my macro)@1:15 66:..@1:27 1:@1:29");
    // Only the checking lexer hints at misspelt keywords.
    strand::Array<String> warnings;
    tokenize(String(u"ELSEIF endif"), Grammar::Building, &warnings);
    EXPECT_TRUE(warnings.isEmpty());
}

TEST(Lexer, Errors) {
    const struct {
        const char16_t* text;
        const char* error;
    } cases[] = {
        {u"2ex", "line 1:3: unexpected char: x"},
        {u"x!y", "line 1:2: unexpected char: !"},
        {u"# x", "line 1:1: unexpected char: #"},
        {u"$(my macro)", "line 1:5: expecting ')', found ' '"},
        {u"/* open", "line 1:1: expecting '*', found EOF (the comment that starts here never ends)"},
        // U+FFFF is no text character and never the end of input.
        {u"'a\uFFFFb'", "line 1:3: expecting ''', found '\xEF\xBF\xBF'"},
        {u"'a\u0001'", "line 1:3: expecting ''', found '\x01'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lexicalError(c.text), c.error) << String(c.text).toUtf8();
}
