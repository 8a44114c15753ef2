// The building parser: the statement and expression rules of StrandScript, building one node per
// construct through xrBuildParserBase. Every node takes the line of its own token (an operator, the
// keyword of a statement, the first token of a literal). Every rule without a handler of its own
// reports a syntax error, skips one token and then tokens up to its follow set; what it leaves is a
// null node, and a parse with errors returns no tree.
header "pre_include_hpp" {
#include "parser/BuildParserBase.h"
#include "expr/AssignmentNodes.h"
#include "expr/ComparisonNodes.h"
#include "expr/LiteralNodes.h"
#include "expr/OperatorNodes.h"
#include "expr/VariableNodes.h"
}

options {
    language = "Cpp";
}

class xrScriptParser extends Parser("xrBuildParserBase");

options {
    k = 2;
    importVocab = xrScriptVocab;
    defaultErrorHandler = true;
    buildAST = false;
}

{
private:
    // Whether a token can start a statement.
    static bool startsStatement(int type) {
        switch (type) {
            case IDENT: case LPAREN: case DOT_NUMBER: case NUMBER: case STRING: case CSTRING:
            case LITERAL_true: case LITERAL_false: case INCREMENT: case DECREMENT: case PLUS: case MINUS:
            case LITERAL_not: case LITERAL_if: case LITERAL_for: case LITERAL_while: case LITERAL_break:
            case LITERAL_return: case LOCAL_IDENT: case GLOBAL_IDENT: case SCRIPT_LOCAL_IDENT:
                return true;
            default:
                return false;
        }
    }
}

// Statements are separated by ';'; a final ';' is optional; an empty statement is an error.
script returns [strand::Ptr<xrExpressionListImp> list]
    { list = xrExpressionListImp::newInstance(); xrNodeRef s; }
    :   EOF
    |   s=statement { add(list, s); }
        (   options { generateAmbigWarnings = false; }
        :   { startsStatement(LA(2)) }? SEMI s=statement { add(list, s); }
        )*
        ( SEMI )?
        EOF
    ;

// A comma-separated list of expressions, one entry each.
expressionList returns [strand::Ptr<xrExpressionListImp> list]
    { list = xrExpressionListImp::newInstance(); xrNodeRef e; }
    :   EOF
    |   e=orExpr { add(list, e); } ( COMMA e=orExpr { add(list, e); } )* EOF
    ;

statement returns [xrNodeRef node]
    { xrNodeRef e; }
    :   node=assignment[0]
    |   node=ifStatement
    |   node=forStatement
    |   node=whileStatement
    |   b:"break" { node = build<xrBreakExprImp>(b); }
    |   r:"return" e=assignment[0] { node = build<xrReturnExprImp>(r, e); }
    ;

// Nesting is bounded where one construct holds another (see xrParserBase::NestingGuard): a statement
// in a body, an expression in parentheses, a call's argument or an index, and every link of an
// assignment chain after the first.
nestedStatement returns [xrNodeRef node]
    { NestingGuard guard(*this, LT(1)->getLine()); }
    :   node=statement
    ;

nested returns [xrNodeRef node]
    { NestingGuard guard(*this, LT(1)->getLine()); }
    :   node=assignment[0]
    ;

// Bodies: every statement ends with ';'.
statementList returns [xrBodyRef body]
    { body = xrBasicExpressionListImp::newInstance(); xrNodeRef s; }
    :   ( s=nestedStatement { add(body, s); } SEMI )*
    ;

ifStatement returns [xrNodeRef node]
    { xrNodeRef c; xrBodyRef b; }
    :   i:"if" c=orExpr "then" b=statementList { node = buildIf(i, c, b); }
        ( "elsif" c=orExpr "then" b=statementList { addBranch(node, c, b); } )*
        ( "else" b=statementList { setElse(node, b); } )?
        "end" "if"
    ;

whileStatement returns [xrNodeRef node]
    { xrNodeRef c; xrBodyRef b; }
    :   w:"while" c=orExpr b=loopBody { node = build<xrWhileLoopExprImp>(w, c, b); }
    ;

forStatement returns [xrNodeRef node]
    { xrVariableRef v; xrNodeRef first, second; xrBodyRef b; bool reverse = false; }
    :   f:"for" v=loopVariable "in" ( "reverse" { reverse = true; } )? first=additive RANGE second=additive
        b=loopBody
        { node = buildFor(f, v, first, second, reverse, b); }
    ;

loopBody returns [xrBodyRef body]
    :   "loop" body=statementList "end" "loop"
    ;

loopVariable returns [xrVariableRef v]
    :   i:IDENT { v = variable(i, 1); }
    |   l:LOCAL_IDENT { v = variable(l, 1); }
    |   s:SCRIPT_LOCAL_IDENT { v = variable(s, 2); }
    |   g:GLOBAL_IDENT { v = variable(g, 0); }
    ;

// An operand's optional trailing parts are taken at most once and, when absent, leave the next token
// to the enclosing rule. `link` counts the assignments of a chain `a := b := c` to the left of this
// one; from the second link on each counts one level of nesting.
assignment[int link] returns [xrNodeRef node]
    { NestingGuard guard(*this, LT(1)->getLine(), link > 1); xrNodeRef value; bool more = true; }
    :   node=conditional
        (   options { generateAmbigWarnings = false; }
        :   { more }?
            (   a:ASSIGN value=assignment[link + 1] { node = build<xrAssignExprImp>(a, node, value); }
            |   pa:PLUS_ASSIGN value=assignment[link + 1] { node = build<xrPlusAssignExprImp>(pa, node, value); }
            |   ma:MINUS_ASSIGN value=assignment[link + 1] { node = build<xrMinusAssignExprImp>(ma, node, value); }
            |   ta:MULTIPLY_ASSIGN value=assignment[link + 1]
                { node = build<xrMultiplyAssignExprImp>(ta, node, value); }
            |   da:DIVIDE_ASSIGN value=assignment[link + 1] { node = build<xrDivideAssignExprImp>(da, node, value); }
            |   aa:APPEND_ASSIGN value=assignment[link + 1] { node = build<xrAppendAssignExprImp>(aa, node, value); }
            )
            { more = false; }
        )*
    ;

conditional returns [xrNodeRef node]
    { xrNodeRef first, second; bool more = true; }
    :   node=orExpr
        (   options { generateAmbigWarnings = false; }
        :   { more }? q:QUESTION first=orExpr COLON second=orExpr
            { node = build<xrConditionalExprImp>(q, node, first, second); more = false; }
        )*
    ;

orExpr returns [xrNodeRef node]
    { xrNodeRef r; }
    :   node=andExpr ( o:"or" r=andExpr { node = build<xrOrExprImp>(o, node, r); } )*
    ;

andExpr returns [xrNodeRef node]
    { xrNodeRef r; }
    :   node=notExpr ( a:"and" r=notExpr { node = build<xrAndExprImp>(a, node, r); } )*
    ;

notExpr returns [xrNodeRef node]
    { bool negate = false; antlr::RefToken at; }
    :   ( n:"not" { negate = true; at = n; } )? node=comparison
        { if (negate) node = build<xrNotExprImp>(at, node); }
    ;

// At most one comparison; the keyword operators take the modifiers IS, NOT, then CASE or NOCASE. The
// negated forms build the positive comparison inside a not node.
comparison returns [xrNodeRef node]
    { xrNodeRef r, r2; bool more = true; bool negate = false; bool exact = false; antlr::RefToken at; }
    :   node=relational
        (   options { generateAmbigWarnings = false; }
        :   { more }?
            (   e:EQUAL r=relational { node = build<xrEqualsExprImp>(e, node, r); }
            |   ne:NOT_EQUAL r=relational { node = negated<xrEqualsExprImp>(ne, node, r); }
            |   q:NUM_EQUAL r=relational { node = build<xrNumericEqualsExprImp>(q, node, r); }
            |   nq:NUM_NOT_EQUAL r=relational { node = negated<xrNumericEqualsExprImp>(nq, node, r); }
            |   ( "is" )? ( n:"not" { negate = true; at = n; } )? ( "case" { exact = true; } | "nocase" )?
                (   l:"like" r=relational { node = build<xrLikeExprImp>(l, node, r, exact, false); }
                |   rl:"rlike" r=relational { node = build<xrLikeExprImp>(rl, node, r, exact, true); }
                |   eq:"eq" r=relational { node = build<xrStringEqExprImp>(eq, node, r, exact); }
                |   neq:"ne" r=relational { node = negated<xrStringEqExprImp>(neq, node, r, exact); }
                |   gt:"gt" r=relational { node = build<xrStringGtExprImp>(gt, node, r, exact); }
                |   ge:"ge" r=relational { node = build<xrStringGeExprImp>(ge, node, r, exact); }
                |   lt:"lt" r=relational { node = build<xrStringLtExprImp>(lt, node, r, exact); }
                |   le:"le" r=relational { node = build<xrStringLeExprImp>(le, node, r, exact); }
                |   u:"unique"
                    {
                        node = exact ? build<xrUniqueExprImp>(u, node) : build<xrUniqueNoCaseExprImp>(u, node);
                    }
                |   b:"between" r=relational "and" r2=relational { node = build<xrBetweenExprImp>(b, node, r, r2); }
                |   d:"defined" { node = build<xrIsDefinedExprImp>(d, node); }
                )
                { if (negate) node = build<xrNotExprImp>(at, node); }
            )
            { more = false; }
        )*
    ;

relational returns [xrNodeRef node]
    { xrNodeRef r; bool more = true; }
    :   node=additive
        (   options { generateAmbigWarnings = false; }
        :   { more }?
            (   lt:LESS r=additive { node = build<xrLessExprImp>(lt, node, r); }
            |   gt:GREATER r=additive { node = build<xrGreaterExprImp>(gt, node, r); }
            |   le:LESS_EQUAL r=additive { node = build<xrLessEqualExprImp>(le, node, r); }
            |   ge:GREATER_EQUAL r=additive { node = build<xrGreaterEqualExprImp>(ge, node, r); }
            )
            { more = false; }
        )*
    ;

additive returns [xrNodeRef node]
    { xrNodeRef r; xrPlusExprImp* chain = nullptr; }
    :   node=multiplicative
        (   p:PLUS r=multiplicative { node = addPlus(p, node, r, chain); }
        |   m:MINUS r=multiplicative { node = build<xrMinusExprImp>(m, node, r); chain = nullptr; }
        |   d:DOT r=multiplicative { node = build<xrConcatExprImp>(d, node, r); chain = nullptr; }
        )*
    ;

multiplicative returns [xrNodeRef node]
    { xrNodeRef r; }
    :   node=unary
        (   s:STAR r=unary { node = build<xrMultiplyExprImp>(s, node, r); }
        |   d:SLASH r=unary { node = build<xrDivideExprImp>(d, node, r); }
        |   p:PERCENT r=unary { node = build<xrModuloExprImp>(p, node, r); }
        )*
    ;

unary returns [xrNodeRef node]
    { bool negate = false; antlr::RefToken at; }
    :   ( PLUS | m:MINUS { negate = true; at = m; } )? node=incDec
        { if (negate) node = build<xrNegateExprImp>(at, node); }
    ;

incDec returns [xrNodeRef node]
    { bool more = true; }
    :   i:INCREMENT node=postfix { node = build<xrPreIncrementExprImp>(i, node); }
    |   d:DECREMENT node=postfix { node = build<xrPreDecrementExprImp>(d, node); }
    |   node=postfix
        (   options { generateAmbigWarnings = false; }
        :   { more }?
            (   pi:INCREMENT { node = build<xrPostIncrementExprImp>(pi, node); }
            |   pd:DECREMENT { node = build<xrPostDecrementExprImp>(pd, node); }
            )
            { more = false; }
        )*
    ;

postfix returns [xrNodeRef node]
    { xrNodeRef i; bool more = true; }
    :   node=primary
        (   options { generateAmbigWarnings = false; }
        :   { more }? b:LBRACKET i=nested RBRACKET
            { node = build<xrIndexedPropertyExprImp>(b, node, i); more = false; }
        )*
    ;

// A plain name followed by '(' calls a function; any name otherwise is a variable.
primary returns [xrNodeRef node]
    {
        std::vector<antlr::RefToken> parts;
        strand::Ptr<xrBasicExpressionListImp> arguments;
        xrNodeRef a;
        bool complete = true;
    }
    :   n:NUMBER { node = number(n); }
    |   dn:DOT_NUMBER { node = number(dn); }
    |   s:STRING { node = plainString(s); }
    |   ( options { greedy = true; } : c:CSTRING { parts.push_back(c); } )+ { node = cString(parts); }
    |   t:"true" { node = build<xrBoolLiteralExprImp>(t, true); }
    |   f:"false" { node = build<xrBoolLiteralExprImp>(f, false); }
    |   LPAREN node=nested RPAREN
    |   id:IDENT
        (   options { generateAmbigWarnings = false; }
        :   { !arguments }? LPAREN { arguments = xrBasicExpressionListImp::newInstance(); }
            (   a=nested { complete = complete && a; add(arguments, a); }
                ( COMMA a=nested { complete = complete && a; add(arguments, a); } )*
            )?
            RPAREN
        )*
        { node = arguments ? call(id, arguments, complete) : variableRef(id, 1); }
    |   li:LOCAL_IDENT { node = variableRef(li, 1); }
    |   gi:GLOBAL_IDENT { node = variableRef(gi, 0); }
    |   si:SCRIPT_LOCAL_IDENT { node = variableRef(si, 2); }
    ;
