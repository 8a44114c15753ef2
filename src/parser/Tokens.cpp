#include "parser/Tokens.h"

#include <antlr/RecognitionException.hpp>
#include <antlr/TokenStreamRecognitionException.hpp>

#include "host/Exception.h"
#include "parser/ExpressionParser.h"
#include "parser/ScannerBase.h"
#include "xrScriptCheckLexer.hpp"
#include "xrScriptLexer.hpp"

namespace strand::parser {

namespace {

template <typename Lexer>
std::vector<TokenInfo> scan(const String& text, Array<String>* warnings) {
    std::lock_guard guard(xrExpressionParser::parseLock());
    TextInputBuffer input(text.view());
    Lexer lexer(makeSharedState<antlr::LexerInputState>(input));
    Array<String> messages;
    lexer.reporter().attach(warnings ? warnings : &messages, MessageReporter::Policy::Standard);
    std::vector<TokenInfo> tokens;
    try {
        for (;;) {
            antlr::RefToken t = lexer.nextToken();
            tokens.push_back({t->getType(), tokenText(t), t->getLine(), t->getColumn()});
            if (t->getType() == antlr::Token::EOF_TYPE)
                return tokens;
        }
    } catch (const antlr::TokenStreamRecognitionException& e) {
        throw Exception(lexer.lexicalErrorMessage(e.getLine(), e.getColumn()));
    }
}

}  // namespace

std::vector<TokenInfo> tokenize(const String& text, Grammar grammar, Array<String>* warnings) {
    if (grammar == Grammar::Checking)
        return scan<xrScriptCheckLexer>(text, warnings);
    return scan<xrScriptLexer>(text, warnings);
}

}  // namespace strand::parser
