#include "parser/ParserBase.h"

#include <antlr/MismatchedTokenException.hpp>
#include <antlr/NoViableAltException.hpp>

#include "functions/FunctionFactory.h"
#include "xrScriptCheckParserTokenTypes.hpp"

using strand::formatString;
using strand::String;
using strand::parser::positionPrefix;
using strand::parser::tokenText;
using CheckTokens = xrScriptCheckParserTokenTypes;

const antlr::RefToken& xrParserBase::window(unsigned int i) {
    while (m_count < i) {
        const unsigned slot = (m_first + m_count) % kWindow;
        m_tokens[slot] = m_source->nextToken();
        m_types[slot] = m_tokens[slot]->getType();
        ++m_count;
    }
    return m_tokens[(m_first + i - 1) % kWindow];
}

void xrParserBase::consume() {
    if (!m_source) {
        antlr::LLkParser::consume();
        return;
    }
    window(1);
    m_tokens[m_first] = antlr::nullToken;
    m_first = (m_first + 1) % kWindow;
    --m_count;
}

unsigned int xrParserBase::mark() {
    if (m_source)
        throw std::logic_error("the parser does not mark its input");
    return antlr::LLkParser::mark();
}

void xrParserBase::rewind(unsigned int position) {
    if (m_source)
        throw std::logic_error("the parser does not rewind its input");
    antlr::LLkParser::rewind(position);
}

String xrParserBase::tokenName(int type) const {
    if (type >= 0 && type < getNumTokens())
        return String::fromUtf8(getTokenName(type));
    return formatString(u"<%d>", type);
}

String xrParserBase::describe(const antlr::RecognitionException& e) const {
    String message;
    if (const auto* m = dynamic_cast<const antlr::MismatchedTokenException*>(&e)) {
        const String found = strand::parser::decodeTokenText(m->tokenText);
        switch (m->mismatchType) {
            case antlr::MismatchedTokenException::TOKEN:
                message = formatString(u"expecting %ls, found '%ls'", tokenName(m->expecting), found);
                break;
            case antlr::MismatchedTokenException::NOT_TOKEN:
                message = formatString(u"expecting anything but %ls; got it anyway", tokenName(m->expecting));
                break;
            case antlr::MismatchedTokenException::RANGE:
            case antlr::MismatchedTokenException::NOT_RANGE:
                message = formatString(
                    u"expecting %lstoken in range: %ls..%ls, found '%ls'",
                    m->mismatchType == antlr::MismatchedTokenException::NOT_RANGE ? u"NOT " : u"",
                    tokenName(m->expecting), tokenName(m->upper), found);
                break;
            default: {
                message =
                    formatString(u"expecting %lsone of (",
                                 m->mismatchType == antlr::MismatchedTokenException::NOT_SET ? u"NOT " : u"");
                for (unsigned type : m->set.toArray())
                    message += String(u" ") + tokenName(int(type)).view();
                message += formatString(u"), found '%ls'", found);
                break;
            }
        }
    } else if (const auto* n = dynamic_cast<const antlr::NoViableAltException*>(&e)) {
        if (n->token && n->token->getType() == antlr::Token::EOF_TYPE) {
            message = String(u"unexpected end of file");
        } else if (n->token) {
            message = String(u"unexpected token: ") + tokenText(n->token).view();
        } else {
            message = String::fromUtf8(e.getMessage());
        }
    } else {
        message = String::fromUtf8(e.getMessage());
    }
    return positionPrefix(e.getLine(), e.getColumn()) + message.view();
}

String xrParserBase::nestingMessage(int line) {
    return formatString(
        u"line %d, The script is nested too deeply: more than %d levels of statements or parentheses.", line,
        kMaxNesting);
}

void xrParserBase::reportError(const antlr::RecognitionException& e) {
    m_reporter.error(describe(e));
}
void xrParserBase::reportError(const std::string& s) {
    m_reporter.error(String::fromUtf8(s));
}
void xrParserBase::reportWarning(const std::string& s) {
    m_reporter.warning(String::fromUtf8(s));
}

void xrCheckParserBase::reportError(const antlr::RecognitionException& e) {
    xrParserBase::reportError(e);
    // The offending token is still the next one: a keyword followed by an assignment was meant as a name.
    const antlr::RefToken offending = LT(1);
    const int next = LA(2);
    const char* name = getTokenName(offending->getType());
    const bool keyword = name && name[0] == '"';
    const bool assigns = next == CheckTokens::ASSIGN || next == CheckTokens::PLUS_ASSIGN ||
                         next == CheckTokens::MINUS_ASSIGN || next == CheckTokens::MULTIPLY_ASSIGN ||
                         next == CheckTokens::DIVIDE_ASSIGN || next == CheckTokens::APPEND_ASSIGN;
    if (keyword && assigns && offending->getLine() == e.getLine() &&
        offending->getColumn() == e.getColumn()) {
        const String word = tokenText(offending);
        reportHint(formatMessage(u"line %d, '%ls' is a keyword: write %%%ls for a property of that name.",
                                 offending->getLine(), word, word));
    }
}

void xrCheckParserBase::noteStatementStart() {
    const int depth = nestingDepth();
    if (m_equalsHint && m_equalsHint->depth == depth)
        reportHint(
            formatMessage(u"line %d, Found '==' in a statement that does nothing, perhaps you meant ':='?",
                          m_equalsHint->line));
    if (m_equalsHint && m_equalsHint->depth >= depth)
        m_equalsHint.reset();
    const int first = LA(1);
    if ((first == CheckTokens::IDENT || first == CheckTokens::LOCAL_IDENT ||
         first == CheckTokens::GLOBAL_IDENT) &&
        LA(2) == CheckTokens::NUM_EQUAL)
        m_equalsHint = PendingHint{LT(1)->getLine(), depth};
}

void xrCheckParserBase::noteElse() {
    if (LA(1) == CheckTokens::LITERAL_if && !m_elseIfLine)
        m_elseIfLine = LT(1)->getLine();
}

void xrCheckParserBase::finishHints() {
    if (m_elseIfLine && reporter().hasError())
        reportHint(
            formatMessage(u"line %d, Found 'ELSE IF', perhaps you meant 'ELSIF'? (ELSE IF opens an IF of "
                          u"its own, which needs an END IF of its own.)",
                          *m_elseIfLine));
}

void xrCheckParserBase::reportSyntaxHelp(const antlr::RecognitionException& e, SyntaxHelp help) {
    reportError(describe(e));
    switch (help) {
        case SyntaxHelp::If:
            reportError(
                String(u"\nThe syntax for the IF clause is:\nIF boolean_expr THEN\n   "
                       u"expression_sequence\n[ELSIF boolean_expr "
                       u"THEN\n   expression_sequence]*\n[ELSE\n   expression_sequence]\nEND IF;\n"));
            return;
        case SyntaxHelp::For:
            reportError(
                String(u"\nThe syntax for the FOR LOOP clause is:\nFOR variable IN [REVERSE]\n   expr .. "
                       u"expr\nLOOP\n   "
                       u"expression_sequence\nEND LOOP\n"));
            return;
        case SyntaxHelp::While:
            reportError(
                String(u"\nThe syntax for the WHILE LOOP clause is:\nWHILE boolean_expression\nLOOP\n   "
                       u"expression_sequence\nEND LOOP\n"));
            return;
        case SyntaxHelp::Between:
            reportError(
                String(u"\nThe syntax for the BETWEEN clause is:\nexpression IS [NOT] BETWEEN a AND b\n"));
            return;
    }
}

void xrCheckParserBase::checkBreak(const antlr::RefToken& token, int loopDepth) {
    if (loopDepth > 0)
        return;
    reportError(formatMessage(u" line %d, Found unexpected BREAK clause outside of LOOP.", token->getLine()));
}

void xrCheckParserBase::checkFunctionCall(const antlr::RefToken& name, int count) {
    const String function = tokenText(name);
    const int line = name->getLine();
    int32_t minArgs = 0, maxArgs = 0;
    if (!xrFunctionFactory::GetNumArguments(function, minArgs, maxArgs)) {
        reportError(formatMessage(u"line %d, Unknown function '%s'.", line, function));
        return;
    }
    if (std::optional<String> message =
            xrFunctionFactory::ArgumentCountMessage(function, minArgs, maxArgs, count, line))
        reportError(*message);
}

namespace {
bool isHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
}  // namespace

void xrCheckParserBase::checkCString(const antlr::RefToken& literal) {
    const String text = tokenText(literal);
    const int line = literal->getLine();
    for (size_t i = 0; i < text.length(); ++i) {
        char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            reportError(
                formatMessage(u"line %d, Unexpected newline in string constant.  Use \\n in the string to "
                              u"represent a new line.",
                              line));
            return;
        }
        if (c != u'\\' || i + 1 >= text.length())
            continue;
        char16_t e = text[++i];
        switch (e) {
            case u'"':
            case u'\\':
            case u'a':
            case u'b':
            case u'f':
            case u'n':
            case u'r':
            case u't':
            case u'v':
            case u'0':
            case u'1':
            case u'2':
            case u'3':
            case u'4':
            case u'5':
            case u'6':
            case u'7':
                break;
            case u'u':
            case u'x':
                if (i + 1 >= text.length() || !isHexDigit(text[i + 1])) {
                    reportError(formatMessage(u"line %d, Expected hex character after \\%c escape sequence",
                                              line, e));
                }
                break;
            default:
                reportError(formatMessage(u"line %d, Unexpected escape sequence \\%c", line, e));
                break;
        }
    }
}
