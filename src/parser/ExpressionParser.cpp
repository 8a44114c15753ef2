#include "parser/ExpressionParser.h"

#include <antlr/RecognitionException.hpp>
#include <antlr/TokenStreamRecognitionException.hpp>

#include <antlr/TokenBuffer.hpp>

#include "parser/ScannerBase.h"
#include "xrScriptCheckLexer.hpp"
#include "xrScriptCheckParser.hpp"
#include "xrScriptLexer.hpp"
#include "xrScriptParser.hpp"

using strand::String;
using strand::parser::MessageReporter;

strand::LeakDetector xrExpressionParser::m_leakDetector{"Halvorn.data.ExpressionParser"};

xrExpressionParser::xrExpressionParser() {
    m_leakDetector.add();
}

xrExpressionParser::xrExpressionParser(const xrExpressionParser& other)
    : Object(), CountedObject(), iExpressionParser(), m_latest(other.m_latest) {
    m_leakDetector.add();
}

xrExpressionParser::~xrExpressionParser() {
    m_leakDetector.remove();
}

std::recursive_mutex& xrExpressionParser::parseLock() {
    static std::recursive_mutex lock;
    return lock;
}

namespace {

enum class StartRule { Script, ExpressionList };

// The message that ends a parse. It may be the one past the most a parse reports, which the reporter
// raises as TooManyMessages after noting that it stopped: the parse ends here either way.
template <typename Report>
void reportLast(Report report) {
    try {
        report();
    } catch (const strand::parser::TooManyMessages&) {
    }
}

// Runs a parser's start rule; every failure of the runtime becomes a message of the parser.
template <typename Lexer, typename Parser, typename Start>
auto runParse(Lexer& lexer, Parser& parser, Start start) {
    try {
        return start();
    } catch (const antlr::TokenStreamRecognitionException& e) {
        reportLast([&] {
            parser.reportError(lexer.lexicalErrorMessage(e.getLine(), e.getColumn()));
            if (std::optional<String> hint = lexer.takeHint())
                parser.reportHint(*hint);
        });
    } catch (const antlr::RecognitionException& e) {
        reportLast([&] { parser.reportError(parser.describe(e)); });
    } catch (const antlr::ANTLRException& e) {
        reportLast([&] { parser.reportError(String::fromUtf8(e.toString())); });
    } catch (const xrNestingTooDeep& e) {
        reportLast([&] { parser.reportError(xrParserBase::nestingMessage(e.line)); });
    } catch (const strand::parser::TooManyMessages&) {
    }
    return decltype(start())();
}

strand::Ptr<xrExpressionListImp> parse(const String& text, strand::iContext* context, StartRule rule) {
    std::lock_guard guard(xrExpressionParser::parseLock());
    xrExpressionVariableFactory variables(context);
    strand::Array<String> messages;
    strand::parser::TextInputBuffer input(text.view());
    xrScriptLexer lexer(strand::parser::makeSharedState<antlr::LexerInputState>(input));
    lexer.reporter().attach(&messages, MessageReporter::Policy::Standard);
    antlr::TokenBuffer tokens(lexer);
    xrScriptParser parser(strand::parser::makeSharedState<antlr::ParserInputState>(tokens));
    parser.setTokenSource(lexer);
    parser.reporter().attach(&messages, MessageReporter::Policy::Standard);
    parser.setVariableFactory(variables);
    strand::Ptr<xrExpressionListImp> list;
    try {
        list = runParse(lexer, parser, [&] {
            return rule == StartRule::Script ? parser.script() : parser.expressionList();
        });
    } catch (const xrExpressionUnboundException& e) {
        throw strand::Exception(u"%ls", e.explanation());
    }
    if (list && !lexer.reporter().hasError() && !parser.reporter().hasError()) {
        list->SetVariables(variables.GetVariables());
        return list;
    }
    String all(String::View{});
    for (const String& message : messages) {
        all.append(message.view());
        all.append(u'\n');
    }
    throw strand::Exception(all);
}

}  // namespace

strand::Ptr<xrExpressionListImp> xrExpressionParser::ParseExpression(const String& text,
                                                                     strand::iContext* context) {
    return parse(text, context, StartRule::Script);
}

strand::Ptr<xrExpressionListImp> xrExpressionParser::ParseExpressionList(const String& text,
                                                                         strand::iContext* context) {
    return parse(text, context, StartRule::ExpressionList);
}

strand::iExpression* xrExpressionParser::parseExpression(const String& text, strand::iContext* context) {
    m_latest = nullptr;
    m_latest = ParseExpression(text, context);
    return m_latest.get();
}

bool xrExpressionParser::CheckExpression(const String& text, strand::Array<String>& messages) {
    messages.resize(0);
    std::lock_guard guard(parseLock());
    strand::parser::TextInputBuffer input(text.view());
    xrScriptCheckLexer lexer(strand::parser::makeSharedState<antlr::LexerInputState>(input));
    lexer.reporter().attach(&messages, MessageReporter::Policy::Standard);
    antlr::TokenBuffer tokens(lexer);
    xrScriptCheckParser parser(strand::parser::makeSharedState<antlr::ParserInputState>(tokens));
    parser.setTokenSource(lexer);
    parser.reporter().attach(&messages, MessageReporter::Policy::Checking);
    runParse(lexer, parser, [&] { parser.script(); });
    parser.finishHints();
    return lexer.reporter().hasError() || parser.reporter().hasError();
}
