// The checking parser: the statement and expression rules of StrandScript, building nothing, with the
// diagnostics that only checking gives (argument counts and unknown functions, C style string escapes,
// BREAK outside a loop, and the syntax help of IF, FOR, WHILE and BETWEEN). Every rule without a
// handler of its own reports a syntax error, skips one token and then tokens up to its follow set, so
// one text can give several messages.
header "pre_include_hpp" {
#include "parser/ParserBase.h"
}

options {
    language = "Cpp";
}

class xrScriptCheckParser extends Parser("xrCheckParserBase");

options {
    k = 2;
    importVocab = xrScriptCheckVocab;
    defaultErrorHandler = true;
    buildAST = false;
}

// Statements are separated by ';'; a final ';' is optional. After a statement, a ';' continues the
// sequence unless EOF or another ';' follows it.
script
    :   EOF
    |   statement[0]
        (   options { generateAmbigWarnings = false; }
        :   { LA(2) != antlr::Token::EOF_TYPE && LA(2) != SEMI }? SEMI statement[0]
        )*
        ( SEMI )?
        EOF
    ;

// `loopDepth` counts the FOR and WHILE bodies around the statement.
statement[int loopDepth]
    { noteStatementStart(); }
    :   assignment[0]
    |   ifStatement[loopDepth]
    |   forStatement[loopDepth]
    |   whileStatement[loopDepth]
    |   b:"break" { checkBreak(b, loopDepth); }
    |   "return" assignment[0]
    ;

// Nesting is bounded where one construct holds another (see xrParserBase::NestingGuard): a statement
// in a body, an expression in parentheses, a call's argument or an index, and every link of an
// assignment chain after the first.
nestedStatement[int loopDepth]
    { NestingGuard guard(*this, LT(1)->getLine()); }
    :   statement[loopDepth]
    ;

nested
    { NestingGuard guard(*this, LT(1)->getLine()); }
    :   assignment[0]
    ;

statementList[int loopDepth]
    :   ( nestedStatement[loopDepth] SEMI )*
    ;

ifStatement[int loopDepth]
    :   "if" orExpr "then" statementList[loopDepth]
        ( "elsif" orExpr "then" statementList[loopDepth] )*
        ( "else" { noteElse(); } statementList[loopDepth] )?
        "end" "if"
    ;
    exception catch [antlr::RecognitionException& ex] { reportSyntaxHelp(ex, SyntaxHelp::If); }

forStatement[int loopDepth]
    :   "for" ( IDENT | LOCAL_IDENT | GLOBAL_IDENT ) "in" ( "reverse" )? additive RANGE additive
        "loop" statementList[loopDepth + 1] "end" "loop"
    ;
    exception catch [antlr::RecognitionException& ex] { reportSyntaxHelp(ex, SyntaxHelp::For); }

whileStatement[int loopDepth]
    :   "while" orExpr "loop" statementList[loopDepth + 1] "end" "loop"
    ;
    exception catch [antlr::RecognitionException& ex] { reportSyntaxHelp(ex, SyntaxHelp::While); }

// An operand's optional trailing parts (an assignment, `?`, a comparison, an index, a call's arguments)
// are taken at most once and, when absent, leave the next token to the enclosing rule: a stray token is
// reported where the enclosing construct expected something else (`IF x x` reports the missing THEN).
// `link` counts the assignments of a chain to the left of this one.
assignment[int link]
    { NestingGuard guard(*this, LT(1)->getLine(), link > 1); bool more = true; }
    :   conditional
        (   options { generateAmbigWarnings = false; }
        :   { more }? ( ASSIGN | PLUS_ASSIGN | MINUS_ASSIGN | MULTIPLY_ASSIGN | DIVIDE_ASSIGN | APPEND_ASSIGN )
            // The operator decides alone: a value that is missing (`y := ;`) is reported where it is
            // missing, not at the operator.
            (   options { generateAmbigWarnings = false; }
            :   assignment[link + 1]
            |   { throw antlr::NoViableAltException(LT(1), getFilename()); }
            )
            { more = false; }
        )*
    ;

conditional
    { bool more = true; }
    :   orExpr
        (   options { generateAmbigWarnings = false; }
        :   { more }? QUESTION orExpr COLON orExpr { more = false; }
        )*
    ;

orExpr
    :   andExpr ( "or" andExpr )*
    ;

andExpr
    :   notExpr ( "and" notExpr )*
    ;

notExpr
    :   ( "not" )? comparison
    ;

// At most one comparison; the keyword operators take the modifiers IS, NOT, then CASE or NOCASE.
comparison
    { bool more = true; }
    :   relational
        (   options { generateAmbigWarnings = false; }
        :   { more }?
            (   EQUAL relational
            |   NOT_EQUAL relational
            |   NUM_EQUAL relational
            |   NUM_NOT_EQUAL relational
            |   ( "is" )? ( "not" )? ( "case" | "nocase" )?
                (   "like" relational
                |   "rlike" relational
                |   "eq" relational
                |   "ne" relational
                |   "gt" relational
                |   "ge" relational
                |   "lt" relational
                |   "le" relational
                |   "unique"
                |   between
                |   "defined"
                )
            )
            { more = false; }
        )*
    ;

between
    :   "between" relational "and" relational
    ;
    exception catch [antlr::RecognitionException& ex] { reportSyntaxHelp(ex, SyntaxHelp::Between); }

relational
    { bool more = true; }
    :   additive
        (   options { generateAmbigWarnings = false; }
        :   { more }? ( LESS | GREATER | LESS_EQUAL | GREATER_EQUAL ) additive { more = false; }
        )*
    ;

additive
    :   multiplicative ( ( PLUS | MINUS | DOT ) multiplicative )*
    ;

multiplicative
    :   unary ( ( STAR | SLASH | PERCENT ) unary )*
    ;

unary
    :   ( PLUS | MINUS )? incDec
    ;

incDec
    { bool more = true; }
    :   ( INCREMENT | DECREMENT ) postfix
    |   postfix
        (   options { generateAmbigWarnings = false; }
        :   { more }? ( INCREMENT | DECREMENT ) { more = false; }
        )*
    ;

postfix
    { bool more = true; }
    :   primary
        (   options { generateAmbigWarnings = false; }
        :   { more }? LBRACKET nested RBRACKET { more = false; }
        )*
    ;

// A plain name followed by '(' calls a function; any name otherwise is a variable.
primary
    { int count = -1; }
    :   NUMBER
    |   DOT_NUMBER
    |   STRING
    |   ( options { greedy = true; } : c:CSTRING { checkCString(c); } )+
    |   "true"
    |   "false"
    |   LPAREN nested RPAREN
    |   name:IDENT
        (   options { generateAmbigWarnings = false; }
        :   { count < 0 }? LPAREN { count = 0; }
            ( nested { ++count; } ( COMMA nested { ++count; } )* )?
            RPAREN
            { checkFunctionCall(name, count); }
        )*
    |   LOCAL_IDENT
    |   GLOBAL_IDENT
    ;

