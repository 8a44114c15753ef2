#pragma once
// xrScannerBase: what the generated lexers stand on. It makes the parser runtime's character scanner
// work on 16-bit text: the input is the caller's text up to its first 0 (TextInputBuffer); every
// lookahead character is folded to lower case (all of Unicode, not only A to Z, and independently of
// the process locale) while the collected text keeps the characters as written, with no truncation;
// a tab advances the column to the next stop of 8; lines advance only where the grammar says newline.
// It provides the wide-literal match overloads that generated code for a 16-bit vocabulary calls, the
// keyword lookup (A to Z folded), and records the details of every lexical error, which the runtime's
// token stream would otherwise cut down to a narrow message.

#include <antlr/CharScanner.hpp>
#include <antlr/InputBuffer.hpp>
#include <antlr/RefCount.hpp>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "host/String.h"
#include "parser/MessageReporter.h"

namespace strand::parser {

// The caller's text as scanner input; it ends at the first code unit 0. The end of input is -1, never
// a code unit: U+FFFF is a character like any other (and one no rule accepts).
// The whole text is in memory, so lookahead reads it directly rather than through the runtime's queue.
class TextInputBuffer : public antlr::InputBuffer {
  public:
    explicit TextInputBuffer(std::u16string_view text) : m_text(text.substr(0, text.find(u'\0'))) {}

    int LA(unsigned int i) override {
        size_t at = m_position + i - 1;
        return at < m_text.size() ? int(m_text[at]) : EOF;
    }
    void consume() override {
        if (m_position < m_text.size())
            ++m_position;
    }
    void fill(unsigned int) override {}
    int getChar() override { return LA(1); }
    unsigned int mark() override {
        ++nMarkers;
        return unsigned(m_position);
    }
    void rewind(unsigned int mark) override {
        m_position = mark;
        --nMarkers;
    }
    unsigned int entries() const override { return unsigned(m_text.size() - m_position); }
    void reset() override {
        m_position = 0;
        nMarkers = 0;
    }

  private:
    std::u16string_view m_text;
    size_t m_position = 0;
};

// A lexical error as it happened.
struct LexicalError {
    enum class Kind { UnexpectedChar, ExpectedChar, ExpectedRange };
    Kind kind = Kind::UnexpectedChar;
    int found = -1;
    int expected = 0;
    int upper = 0;
    int line = 0;
    int column = 0;
};

}  // namespace strand::parser

// A character set of a generated lexer, read in place from the tool's 32-bit words (the runtime's own
// set copies them bit by bit when the program starts). Out-of-range members, EOF among them, are
// not in the set.
class xrStaticBitSet {
  public:
    constexpr xrStaticBitSet(const unsigned long* words, unsigned int count) noexcept
        : m_words(words), m_count(count) {}
    bool member(unsigned int bit) const noexcept {
        const unsigned int word = bit >> 5;
        return word < m_count && (m_words[word] & (1UL << (bit & 31))) != 0;
    }
    // The runtime's set, for the exceptions that carry one.
    antlr::BitSet toBitSet() const { return antlr::BitSet(m_words, m_count); }

  private:
    const unsigned long* m_words;
    unsigned int m_count;
};

namespace strand::parser {

// The runtime makes a token, or the shared input state of a scanner or a parser, and then its reference
// count; when that second allocation fails, what it made first is lost. These make the object under a
// guard that frees it in that case.
antlr::RefToken makeToken();
template <typename State, typename Input>
antlr::RefCount<State> makeSharedState(Input& input) {
    std::unique_ptr<State> state(new State(input));
    antlr::RefCount<State> shared(state.get());
    state.release();
    return shared;
}

}  // namespace strand::parser

class xrScannerBase : public antlr::CharScanner {
  public:
    template <typename... A>
    explicit xrScannerBase(A&&... args) : antlr::CharScanner(std::forward<A>(args)...) {
        setTokenObjectFactory(&strand::parser::makeToken);
        setTabsize(8);
        m_text = dynamic_cast<strand::parser::TextInputBuffer*>(&inputState->getInput());
    }

    // Set by the generated checking lexer: `@`, `%` and `#` stay in the text, `#` names are local
    // identifiers, macro names may hold blanks, and ELSEIF and ENDIF bring a hint.
    virtual bool isCheckingLexer() const { return false; }

    strand::parser::MessageReporter& reporter() noexcept { return m_reporter; }
    void reportError(const antlr::RecognitionException& e) override;
    void reportError(const std::string& s) override;
    void reportWarning(const std::string& s) override;

    // The message of a lexical error that left the scanner through the token stream, "line L:C: " and
    // its text. A text or comment that the input ends inside is reported where it opens.
    strand::String lexicalErrorMessage(int line, int column);
    // The checking lexer's hint for the character of the last lexical error (`&&` for AND ...), once.
    std::optional<strand::String> takeHint() { return std::exchange(m_hint, std::nullopt); }

    // The runtime's operations over 16-bit text.
    int LA(unsigned int i) override {
        int c = rawLA(i);
        return c < 0x80 ? ((c >= 'A' && c <= 'Z') ? c + 32 : c) : toLower(c);
    }
    void consume() override;
    int toLower(int c) const override;
    int testLiteralsTable(int ttype) const override;
    using antlr::CharScanner::match;
    void match(int c) override;
    void match(const char* s) override;
    void match(const std::string& s) override;
    void match(const wchar_t* s);
    void match(const antlr::BitSet& set) override;
    void match(const xrStaticBitSet& set);
    void matchRange(int c1, int c2) override;
    void matchNot(int c) override;

  protected:
    // For grammar actions: drops the sigil of a name token (the building lexer only).
    void dropSigil(std::string::size_type begin);
    // For grammar actions: the character at the start of the token is unexpected.
    [[noreturn]] void unexpectedTokenStart(int c);

  private:
    // The character as written, not folded.
    int rawLA(unsigned int i) { return m_text ? m_text->LA(i) : inputState->getInput().LA(i); }
    [[noreturn]] void failExpected(int expected);
    void record(strand::parser::LexicalError error) const;
    void loadKeywords() const;

    strand::parser::TextInputBuffer* m_text = nullptr;
    strand::parser::MessageReporter m_reporter;
    mutable std::optional<strand::parser::LexicalError> m_lastError;
    std::optional<strand::String> m_hint;
    mutable std::unordered_map<std::string, int> m_keywords;
};
