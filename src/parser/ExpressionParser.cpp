#include "parser/ExpressionParser.h"

#include <antlr/RecognitionException.hpp>
#include <antlr/TokenStreamRecognitionException.hpp>

#include "parser/ScannerBase.h"
#include "xrScriptCheckLexer.hpp"
#include "xrScriptCheckParser.hpp"

using strand::String;
using strand::parser::MessageReporter;

std::recursive_mutex& xrExpressionParser::parseLock() {
    static std::recursive_mutex lock;
    return lock;
}

bool xrExpressionParser::CheckExpression(const String& text, strand::Array<String>& messages) {
    messages.resize(0);
    std::lock_guard guard(parseLock());
    strand::parser::TextInputBuffer input(text.view());
    xrScriptCheckLexer lexer(input);
    lexer.reporter().attach(&messages, MessageReporter::Policy::Standard);
    xrScriptCheckParser parser(lexer);
    parser.setTokenSource(lexer);
    parser.reporter().attach(&messages, MessageReporter::Policy::Checking);
    try {
        parser.script();
    } catch (const antlr::TokenStreamRecognitionException& e) {
        parser.reportError(strand::parser::positionPrefix(e.getLine(), e.getColumn()) +
                           lexer.describeLexicalError(e.getLine(), e.getColumn()).view());
    } catch (const antlr::RecognitionException& e) {
        parser.reportError(parser.describe(e));
    } catch (const antlr::ANTLRException& e) {
        parser.reportError(String::fromUtf8(e.toString()));
    } catch (const xrNestingTooDeep& e) {
        parser.reportError(xrParserBase::nestingMessage(e.line));
    }
    return lexer.reporter().hasError() || parser.reporter().hasError();
}
