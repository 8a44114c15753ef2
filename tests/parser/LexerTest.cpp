#include "parser/Tokens.h"

#include <gtest/gtest.h>

#include "host/Exception.h"

using strand::String;
using strand::parser::Grammar;
using strand::parser::tokenize;

namespace {

struct Tok {
    int type;
    const char16_t* text;
    int line;
    int column;
};

// Token types of the building lexer.
enum : int {
    EOF_ = 1,
    SEMI = 4,
    IDENT = 6,
    LPAREN = 7,
    RPAREN = 8,
    DOT_NUMBER = 9,
    NUMBER = 10,
    STRING = 11,
    CSTRING = 12,
    TRUE_ = 13,
    PLUS = 19,
    MINUS = 20,
    STAR = 21,
    SLASH = 22,
    PERCENT = 23,
    DOT = 24,
    EQUAL = 29,
    NOT_EQUAL = 30,
    NUM_NOT_EQUAL = 32,
    IS = 33,
    NOCASE = 36,
    DEFINED = 48,
    ASSIGN = 52,
    APPEND_ASSIGN = 54,
    IF = 58,
    THEN = 59,
    RANGE = 67,
    LOCAL_IDENT = 71,
    GLOBAL_IDENT = 72,
    AT_SIGN = 73,
    MACRO = 82,
    DOLLAR = 83,
    SCRIPT_LOCAL = 86,
};

void expectTokens(const std::u16string& text, std::vector<Tok> expected,
                  Grammar grammar = Grammar::Building) {
    auto tokens = tokenize(String(text), grammar);
    ASSERT_EQ(tokens.size(), expected.size()) << String(text).toUtf8();
    for (size_t i = 0; i < expected.size(); ++i) {
        const Tok& e = expected[i];
        EXPECT_EQ(tokens[i].type, e.type) << String(text).toUtf8() << " token " << i;
        EXPECT_EQ(tokens[i].text, String(e.text)) << String(text).toUtf8() << " token " << i;
        EXPECT_EQ(tokens[i].line, e.line) << String(text).toUtf8() << " token " << i;
        EXPECT_EQ(tokens[i].column, e.column) << String(text).toUtf8() << " token " << i;
    }
}

std::string lexicalError(const std::u16string& text, Grammar grammar = Grammar::Building) {
    try {
        tokenize(String(text), grammar);
    } catch (const strand::Exception& e) {
        return e.getMessage().toUtf8();
    }
    return "no error";
}

}  // namespace

TEST(Lexer, KeywordsIgnoreCaseAndKeepTheirText) {
    expectTokens(u"IF x THEN",
                 {{IF, u"IF", 1, 1}, {IDENT, u"x", 1, 4}, {THEN, u"THEN", 1, 6}, {EOF_, u"", 1, 10}});
    expectTokens(u"if X then",
                 {{IF, u"if", 1, 1}, {IDENT, u"X", 1, 4}, {THEN, u"then", 1, 6}, {EOF_, u"", 1, 10}});
    expectTokens(u"DEFINED Nocase Is True", {{DEFINED, u"DEFINED", 1, 1},
                                             {NOCASE, u"Nocase", 1, 9},
                                             {IS, u"Is", 1, 16},
                                             {TRUE_, u"True", 1, 19},
                                             {EOF_, u"", 1, 23}});
    // Names with sigils are never keywords.
    expectTokens(u"@if 'if'", {{GLOBAL_IDENT, u"if", 1, 1}, {STRING, u"if", 1, 5}, {EOF_, u"", 1, 9}});
    // Keywords fold A to Z only: a dotted capital I makes an identifier.
    expectTokens(u"\u0130F", {{IDENT, u"\u0130F", 1, 1}, {EOF_, u"", 1, 3}});
}

TEST(Lexer, Literals) {
    expectTokens(u"'it''s' ''", {{STRING, u"it's", 1, 1}, {STRING, u"", 1, 9}, {EOF_, u"", 1, 11}});
    expectTokens(u"\"a\\\"b\"", {{CSTRING, u"a\\\"b", 1, 1}, {EOF_, u"", 1, 7}});
    expectTokens(u"\"a\\q\"", {{CSTRING, u"a\\q", 1, 1}, {EOF_, u"", 1, 6}});
    expectTokens(u"\"a\\Nb\"", {{CSTRING, u"a\\Nb", 1, 1}, {EOF_, u"", 1, 7}});
    // A line end inside a literal is part of it and does not count as a new line.
    expectTokens(u"\"a\nb\" x", {{CSTRING, u"a\nb", 1, 1}, {IDENT, u"x", 1, 7}, {EOF_, u"", 1, 8}});
    expectTokens(u"'a\r\nb'x", {{STRING, u"a\r\nb", 1, 1}, {IDENT, u"x", 1, 7}, {EOF_, u"", 1, 8}});
}

TEST(Lexer, Numbers) {
    expectTokens(u"1..10", {{NUMBER, u"1.", 1, 1}, {DOT_NUMBER, u".10", 1, 3}, {EOF_, u"", 1, 6}});
    expectTokens(u"i..10",
                 {{IDENT, u"i", 1, 1}, {RANGE, u"..", 1, 2}, {NUMBER, u"10", 1, 4}, {EOF_, u"", 1, 6}});
    expectTokens(u"1 ..10",
                 {{NUMBER, u"1", 1, 1}, {RANGE, u"..", 1, 3}, {NUMBER, u"10", 1, 5}, {EOF_, u"", 1, 7}});
    expectTokens(u".5e-3 5. 5.e3 1E+2", {{DOT_NUMBER, u".5e-3", 1, 1},
                                         {NUMBER, u"5.", 1, 7},
                                         {NUMBER, u"5.e3", 1, 10},
                                         {NUMBER, u"1E+2", 1, 15},
                                         {EOF_, u"", 1, 19}});
    expectTokens(u"-1", {{MINUS, u"-", 1, 1}, {NUMBER, u"1", 1, 2}, {EOF_, u"", 1, 3}});
    expectTokens(u"0x10", {{NUMBER, u"0", 1, 1}, {IDENT, u"x10", 1, 2}, {EOF_, u"", 1, 5}});
    expectTokens(u"a.b", {{IDENT, u"a", 1, 1}, {DOT, u".", 1, 2}, {IDENT, u"b", 1, 3}, {EOF_, u"", 1, 4}});
    EXPECT_EQ(lexicalError(u"2ex"), "line 1:3: unexpected char: x");
}

TEST(Lexer, OperatorsAndSigils) {
    expectTokens(u"x!=y x!==y", {{IDENT, u"x", 1, 1},
                                 {NOT_EQUAL, u"!=", 1, 2},
                                 {IDENT, u"y", 1, 4},
                                 {IDENT, u"x", 1, 6},
                                 {NUM_NOT_EQUAL, u"!==", 1, 7},
                                 {IDENT, u"y", 1, 10},
                                 {EOF_, u"", 1, 11}});
    expectTokens(u"a %b", {{IDENT, u"a", 1, 1}, {LOCAL_IDENT, u"b", 1, 3}, {EOF_, u"", 1, 5}});
    expectTokens(u"a % b",
                 {{IDENT, u"a", 1, 1}, {PERCENT, u"%", 1, 3}, {IDENT, u"b", 1, 5}, {EOF_, u"", 1, 6}});
    expectTokens(u"@ x", {{AT_SIGN, u"@", 1, 1}, {IDENT, u"x", 1, 3}, {EOF_, u"", 1, 4}});
    expectTokens(u"@'total weight' #t %'x''y'", {{GLOBAL_IDENT, u"total weight", 1, 1},
                                                 {SCRIPT_LOCAL, u"t", 1, 17},
                                                 {LOCAL_IDENT, u"x'y", 1, 20},
                                                 {EOF_, u"", 1, 27}});
    expectTokens(u"$(name) $x",
                 {{MACRO, u"$(name)", 1, 1}, {DOLLAR, u"$", 1, 9}, {IDENT, u"x", 1, 10}, {EOF_, u"", 1, 11}});
    expectTokens(u"x:=y.=z", {{IDENT, u"x", 1, 1},
                              {ASSIGN, u":=", 1, 2},
                              {IDENT, u"y", 1, 4},
                              {APPEND_ASSIGN, u".=", 1, 5},
                              {IDENT, u"z", 1, 7},
                              {EOF_, u"", 1, 8}});
    EXPECT_EQ(lexicalError(u"x!y"), "line 1:2: unexpected char: !");
    EXPECT_EQ(lexicalError(u"# x"), "line 1:1: unexpected char: #");
    EXPECT_EQ(lexicalError(u"a & b"), "line 1:3: unexpected char: &");
    EXPECT_EQ(lexicalError(u"$(my macro)"), "line 1:5: expecting ')', found ' '");
}

TEST(Lexer, CheckingLexerKeepsSigilsAndNumbersLaterTokensItsOwnWay) {
    // From type 63 on the checking lexer counts differently: loop is 67, the local identifier 71.
    expectTokens(u"#t %b @g LOOP $(my macro) ..",
                 {{71, u"#t", 1, 1},
                  {71, u"%b", 1, 4},
                  {72, u"@g", 1, 7},
                  {67, u"LOOP", 1, 10},
                  {73, u"$(my macro)", 1, 15},
                  {66, u"..", 1, 27},
                  {EOF_, u"", 1, 29}},
                 Grammar::Checking);
    strand::Array<String> warnings;
    tokenize(String(u"ELSEIF endif"), Grammar::Checking, &warnings);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0], u"Found identifier 'ELSEIF', perhaps you meant 'ELSIF'?");
    EXPECT_EQ(warnings[1], u"Found identifier 'ENDIF', perhaps you meant 'END IF'?");
    warnings.clear();
    tokenize(String(u"ELSEIF"), Grammar::Building, &warnings);
    EXPECT_TRUE(warnings.isEmpty());
}

TEST(Lexer, CommentsAndWhiteSpace) {
    expectTokens(u"/* a */ /* b */ x", {{IDENT, u"x", 1, 17}, {EOF_, u"", 1, 18}});
    expectTokens(u"/* a /* b */ c */",
                 {{IDENT, u"c", 1, 14}, {STAR, u"*", 1, 16}, {SLASH, u"/", 1, 17}, {EOF_, u"", 1, 18}});
    expectTokens(u"/* a\r\nb */ x", {{IDENT, u"x", 2, 6}, {EOF_, u"", 2, 7}});
    expectTokens(u"a // b", {{IDENT, u"a", 1, 1},
                             {SLASH, u"/", 1, 3},
                             {SLASH, u"/", 1, 4},
                             {IDENT, u"b", 1, 6},
                             {EOF_, u"", 1, 7}});
    expectTokens(u"", {{EOF_, u"", 1, 1}});
    expectTokens(u" \t\r\n\f ", {{EOF_, u"", 2, 3}});
    EXPECT_EQ(lexicalError(u"/* open"),
              "line 1:1: expecting '*', found EOF (the comment that starts here never ends)");
    EXPECT_EQ(lexicalError(u"'open"),
              "line 1:1: expecting ''', found EOF (the string that starts here never ends)");
}

TEST(Lexer, TabsLinesAndColumns) {
    expectTokens(u"\tx", {{IDENT, u"x", 1, 9}, {EOF_, u"", 1, 10}});
    expectTokens(u"ab\tx", {{IDENT, u"ab", 1, 1}, {IDENT, u"x", 1, 9}, {EOF_, u"", 1, 10}});
    expectTokens(u"a\t\tx", {{IDENT, u"a", 1, 1}, {IDENT, u"x", 1, 17}, {EOF_, u"", 1, 18}});
    expectTokens(u"a\r\nb\rc\nd\n\re", {{IDENT, u"a", 1, 1},
                                        {IDENT, u"b", 2, 1},
                                        {IDENT, u"c", 3, 1},
                                        {IDENT, u"d", 4, 1},
                                        {IDENT, u"e", 6, 1},
                                        {EOF_, u"", 6, 2}});
}

TEST(Lexer, SixteenBitText) {
    // Every code unit from U+0080 to U+FFFE is a letter, and texts keep every one of them.
    expectTokens(u"\u00E9t\u00C9 := \u03A9\u00A0x", {{IDENT, u"\u00E9t\u00C9", 1, 1},
                                                     {ASSIGN, u":=", 1, 5},
                                                     {IDENT, u"\u03A9\u00A0x", 1, 8},
                                                     {EOF_, u"", 1, 11}});
    const char16_t lone[] = {u'x', char16_t(0xD800), u' ', u'\'', char16_t(0xDC00), char16_t(0x4E2D), u'\'',
                             0};
    expectTokens(lone, {{IDENT, u"x\xD800", 1, 1}, {STRING, u"\xDC00\u4E2D", 1, 4}, {EOF_, u"", 1, 8}});
    // U+FFFF is no text character and never the end of input.
    EXPECT_EQ(lexicalError(u"x := 1; \uFFFF y := 2"), "line 1:9: unexpected char: \xEF\xBF\xBF");
    EXPECT_EQ(lexicalError(u"'a\uFFFFb'"), "line 1:3: expecting ''', found '\xEF\xBF\xBF'");
    EXPECT_EQ(lexicalError(u"'a\u0001'"), "line 1:3: expecting ''', found '\x01'");
    // The text ends at its first code unit 0.
    expectTokens(std::u16string(u"x\0&", 3), {{IDENT, u"x", 1, 1}, {EOF_, u"", 1, 2}});
}
