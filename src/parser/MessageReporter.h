#pragma once
// The message sink of one parse. Lexer and parser each hold a reporter over the same message array,
// with an error flag of their own: errors are appended and set the flag; warnings are appended and set
// it only under the checking policy (where every report marks the text as failing). Also turns the
// parser runtime's recognition exceptions into the system's message texts, from the exceptions'
// fields, so that 16-bit characters and token texts come through whole.

#include <antlr/RecognitionException.hpp>
#include <antlr/Token.hpp>

#include "host/Array.h"
#include "host/String.h"

namespace strand::parser {

// Thrown when a parse has reported as many errors as it may; it ends the parse.
struct TooManyMessages {};

class MessageReporter {
  public:
    enum class Policy { Standard, Checking };
    // A text full of errors gets this many messages, then one saying that the rest were left out.
    static constexpr int kMaxErrors = 100;

    void attach(Array<String>* messages, Policy policy) {
        m_messages = messages;
        m_policy = policy;
    }
    void error(const String& text) {
        m_error = true;
        // The first kMaxErrors are reported; the one after them says so and ends the parse.
        if (++m_errors > kMaxErrors) {
            append(String(u"Too many errors: only the first 100 are reported."));
            throw TooManyMessages{};
        }
        append(text);
    }
    void warning(const String& text) {
        if (m_policy == Policy::Checking)
            m_error = true;
        append(text);
    }
    // A hint for a habit from another language: shown, but it fails nothing.
    void hint(const String& text) { append(text); }
    bool hasError() const noexcept { return m_error; }

  private:
    void append(const String& text) {
        if (m_messages)
            m_messages->add(text);
    }

    Array<String>* m_messages = nullptr;
    Policy m_policy = Policy::Standard;
    bool m_error = false;
    int m_errors = 0;
};

// The text a scanner collects is kept as one byte sequence per 16-bit code unit (the UTF-8 bit layout
// applied to each unit, surrogates included), so that the runtime's text handling never truncates a
// character; these turn it back into 16-bit text.
String decodeTokenText(const std::string& encoded);
String tokenText(const antlr::RefToken& token);
void appendEncodedUnit(std::string& text, int unit);

// "line L:C: " (the column and its colon left out when it is unknown).
String positionPrefix(int line, int column);

// A character as messages show it: the character itself, or EOF.
String describeChar(int c);

}  // namespace strand::parser
