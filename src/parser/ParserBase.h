#pragma once
// The bases of the generated parsers. xrParserBase reports into the parse's message sink, turns the
// runtime's recognition exceptions into the system's message texts, and bounds the nesting of
// statements and expressions, so that a deeply nested text ends with a message instead of exhausting
// the stack of the recursive-descent parser. xrCheckParserBase adds the diagnostics of the checking
// grammar.

#include <antlr/LLkParser.hpp>

#include <optional>
#include <stdexcept>
#include <utility>

#include "host/Format.h"
#include "parser/MessageReporter.h"

// Thrown when a text nests deeper than the parser allows; it ends the parse.
struct xrNestingTooDeep {
    int line;
};

class xrParserBase : public antlr::LLkParser {
  public:
    // Levels of nested statements and parenthesised expressions a script may use.
    static constexpr int kMaxNesting = 200;

    template <typename... A>
    explicit xrParserBase(A&&... args) : antlr::LLkParser(std::forward<A>(args)...) {}

    // Reads tokens straight from the lexer through a small window instead of the runtime's token
    // buffer. The grammars use no syntactic predicates, so nothing marks or rewinds.
    void setTokenSource(antlr::TokenStream& source) { m_source = &source; }
    int LA(unsigned int i) override {
        if (m_count >= i)
            return m_types[(m_first + i - 1) % kWindow];
        return m_source ? (window(i), m_types[(m_first + i - 1) % kWindow]) : antlr::LLkParser::LA(i);
    }
    antlr::RefToken LT(unsigned int i) override { return m_source ? window(i) : antlr::LLkParser::LT(i); }
    void consume() override;
    unsigned int mark() override;
    void rewind(unsigned int position) override;

    strand::parser::MessageReporter& reporter() noexcept { return m_reporter; }
    // The levels of nesting open at the current token.
    int nestingDepth() const noexcept { return m_nesting; }
    void reportError(const antlr::RecognitionException& e) override;
    void reportError(const std::string& s) override;
    void reportWarning(const std::string& s) override;
    void reportError(const strand::String& text) { m_reporter.error(text); }
    void reportWarning(const strand::String& text) { m_reporter.warning(text); }
    void reportHint(const strand::String& text) { m_reporter.hint(text); }

    // "line L:C: " and the runtime's message for the exception, built from its fields.
    strand::String describe(const antlr::RecognitionException& e) const;

    // The message of a nesting that went too deep.
    static strand::String nestingMessage(int line);

    // Counts one level of nesting for the life of a rule invocation (when `counts`). Every recursion of
    // the grammars passes through a counted rule, so the bound also bounds the parser's stack.
    class NestingGuard {
      public:
        NestingGuard(xrParserBase& parser, int line, bool counts = true)
            : m_parser(parser), m_counts(counts) {
            if (!m_counts)
                return;
            if (++m_parser.m_nesting > kMaxNesting) {
                --m_parser.m_nesting;
                throw xrNestingTooDeep{line};
            }
        }
        ~NestingGuard() {
            if (m_counts)
                --m_parser.m_nesting;
        }
        NestingGuard(const NestingGuard&) = delete;
        NestingGuard& operator=(const NestingGuard&) = delete;

      private:
        xrParserBase& m_parser;
        bool m_counts;
    };

  protected:
    // The module's own messages are cut after 127 characters.
    template <typename... A>
    static strand::String formatMessage(const char16_t* format, const A&... args) {
        return strand::formatCut(std::u16string_view(format), args...);
    }

  private:
    strand::String tokenName(int type) const;
    const antlr::RefToken& window(unsigned int i);

    strand::parser::MessageReporter m_reporter;
    int m_nesting = 0;
    antlr::TokenStream* m_source = nullptr;
    static constexpr unsigned kWindow = 4;  // more than the lookahead of 2
    antlr::RefToken m_tokens[kWindow];
    int m_types[kWindow] = {};
    unsigned m_first = 0;
    unsigned m_count = 0;
};

class xrCheckParserBase : public xrParserBase {
  public:
    template <typename... A>
    explicit xrCheckParserBase(A&&... args) : xrParserBase(std::forward<A>(args)...) {}

    // A syntax error, and the hint for a habit from another language when one fits (a keyword used as
    // a property name).
    void reportError(const antlr::RecognitionException& e) override;
    using xrParserBase::reportError;
    // The hints that help only a script with errors (ELSE IF) come after the errors.
    void finishHints();

  protected:
    // At the start of each statement: `x == 1` followed by another statement of the same sequence
    // does nothing, and most likely meant `x := 1`.
    void noteStatementStart();
    // After ELSE: ELSE IF opens an IF of its own, which needs an END IF of its own.
    void noteElse();
    enum class SyntaxHelp { If, For, While, Between };

    // The runtime's message, then the help text of the construct.
    void reportSyntaxHelp(const antlr::RecognitionException& e, SyntaxHelp help);
    // BREAK outside every loop.
    void checkBreak(const antlr::RefToken& token, int loopDepth);
    // Unknown functions and argument counts.
    void checkFunctionCall(const antlr::RefToken& name, int count);
    // Newlines and escapes of a C style literal.
    void checkCString(const antlr::RefToken& literal);

  private:
    struct PendingHint {
        int line;
        int depth;
    };
    std::optional<PendingHint> m_equalsHint;
    std::optional<int> m_elseIfLine;
};
