#include "parser/ScannerBase.h"

#include <antlr/CommonToken.hpp>
#include <antlr/MismatchedCharException.hpp>
#include <antlr/NoViableAltForCharException.hpp>

#include <cwctype>
#include <locale.h>

#include "host/Format.h"

using strand::String;
using strand::parser::LexicalError;

namespace strand::parser {

antlr::RefToken makeToken() {
    std::unique_ptr<antlr::CommonToken> token(new antlr::CommonToken);
    antlr::RefToken counted(token.get());
    token.release();
    return counted;
}

}  // namespace strand::parser

namespace {

// Case folding must not depend on the locale the host process happens to run in.
locale_t foldingLocale() {
    static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    return loc;
}

String widen(const std::string& narrow) {
    return String::fromUtf8(narrow);
}

}  // namespace

int xrScannerBase::toLower(int c) const {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    locale_t loc = foldingLocale();
    return loc ? int(towlower_l(wint_t(c), loc)) : c;
}

void xrScannerBase::consume() {
    if (inputState->guessing == 0) {
        int raw = rawLA(1);
        if (saveConsumedInput) {
            if (raw >= 0 && raw < 0x80) {
                text.push_back(char(raw));
            } else {
                strand::parser::appendEncodedUnit(text, raw);
            }
        }
        if (raw == '\t') {
            tab();
        } else {
            inputState->column++;
        }
    }
    if (m_text) {
        m_text->consume();
    } else {
        inputState->getInput().consume();
    }
}

void xrScannerBase::loadKeywords() const {
    if (!m_keywords.empty())
        return;
    for (const auto& [word, type] : literals) {
        std::string folded = word;
        for (char& ch : folded)
            ch = (ch >= 'A' && ch <= 'Z') ? char(ch + 32) : ch;
        m_keywords.emplace(std::move(folded), type);
    }
}

// Keywords are matched folding A to Z only; in the checking lexer two common misspellings bring a hint.
int xrScannerBase::testLiteralsTable(int ttype) const {
    loadKeywords();
    std::string folded = text;
    for (char& ch : folded)
        ch = (ch >= 'A' && ch <= 'Z') ? char(ch + 32) : ch;
    auto it = m_keywords.find(folded);
    if (it != m_keywords.end())
        return it->second;
    if (isCheckingLexer()) {
        auto& reporter = const_cast<strand::parser::MessageReporter&>(m_reporter);
        if (folded == "elseif")
            reporter.warning(String(u"Found identifier 'ELSEIF', perhaps you meant 'ELSIF'?"));
        if (folded == "endif")
            reporter.warning(String(u"Found identifier 'ENDIF', perhaps you meant 'END IF'?"));
        if (folded == "elif")
            reporter.warning(String(u"Found identifier 'ELIF', perhaps you meant 'ELSIF'?"));
    }
    return ttype;
}

void xrScannerBase::record(LexicalError error) const {
    error.line = getLine();
    error.column = getColumn();
    m_lastError = error;
}

void xrScannerBase::failExpected(int expected) {
    record({LexicalError::Kind::ExpectedChar, rawLA(1), expected, 0, 0, 0});
    throw antlr::MismatchedCharException(LA(1), expected, false, this);
}

void xrScannerBase::match(int c) {
    if (LA(1) != c)
        failExpected(c);
    consume();
}

void xrScannerBase::match(const char* s) {
    for (; *s; ++s)
        match(int(static_cast<unsigned char>(*s)));
}

void xrScannerBase::match(const std::string& s) {
    for (char ch : s)
        match(int(static_cast<unsigned char>(ch)));
}

void xrScannerBase::match(const wchar_t* s) {
    for (; *s; ++s)
        match(int(*s));
}

void xrScannerBase::match(const antlr::BitSet& set) {
    int c = LA(1);
    if (c < 0 || !set.member(unsigned(c))) {
        record({LexicalError::Kind::UnexpectedChar, rawLA(1), 0, 0, 0, 0});
        throw antlr::MismatchedCharException(c, set, false, this);
    }
    consume();
}

void xrScannerBase::match(const xrStaticBitSet& set) {
    int c = LA(1);
    if (c < 0 || !set.member(unsigned(c))) {
        record({LexicalError::Kind::UnexpectedChar, rawLA(1), 0, 0, 0, 0});
        throw antlr::MismatchedCharException(c, set.toBitSet(), false, this);
    }
    consume();
}

void xrScannerBase::matchRange(int c1, int c2) {
    int c = LA(1);
    if (c < c1 || c > c2) {
        record({LexicalError::Kind::ExpectedRange, rawLA(1), c1, c2, 0, 0});
        throw antlr::MismatchedCharException(c, c1, c2, false, this);
    }
    consume();
}

void xrScannerBase::matchNot(int c) {
    if (LA(1) == c) {
        record({LexicalError::Kind::UnexpectedChar, rawLA(1), 0, 0, 0, 0});
        throw antlr::MismatchedCharException(LA(1), c, true, this);
    }
    consume();
}

void xrScannerBase::dropSigil(std::string::size_type begin) {
    if (!isCheckingLexer())
        text.erase(begin, 1);
}

void xrScannerBase::unexpectedTokenStart(int c) {
    const int line = inputState->tokenStartLine, column = inputState->tokenStartColumn;
    m_lastError = LexicalError{LexicalError::Kind::UnexpectedChar, c, 0, 0, line, column};
    throw antlr::NoViableAltForCharException(c, getFilename(), line, column);
}

String xrScannerBase::lexicalErrorMessage(int line, int column) {
    using strand::parser::describeChar;
    using strand::parser::positionPrefix;
    LexicalError e;
    if (m_lastError && m_lastError->line == line && m_lastError->column == column) {
        e = *m_lastError;
    } else {
        // A character that starts no token: the scanner stands on it still.
        e.found = rawLA(1);
    }
    String found = e.found < 0 ? String(u"EOF") : strand::formatString(u"'%ls'", describeChar(e.found));
    switch (e.kind) {
        case LexicalError::Kind::ExpectedChar: {
            const String text =
                strand::formatString(u"expecting '%ls', found %ls", describeChar(e.expected), found);
            const int startLine = inputState->tokenStartLine, startColumn = inputState->tokenStartColumn;
            // The end of the input is no help in finding a quote or comment left open: where it opens is.
            const bool quote = e.expected == '\'' || e.expected == '"';
            const bool comment = e.expected == '*' || e.expected == '/';
            if (e.found < 0 && (quote || comment) && (startLine != line || startColumn != column)) {
                const char16_t* what = quote ? u"string" : u"comment";
                return positionPrefix(startLine, startColumn) +
                       strand::formatString(u"%ls (the %ls that starts here never ends)", text, what).view();
            }
            return positionPrefix(line, column) + text.view();
        }
        case LexicalError::Kind::ExpectedRange:
            return positionPrefix(line, column) +
                   strand::formatString(u"expecting token in range: '%ls'..'%ls', found %ls",
                                        describeChar(e.expected), describeChar(e.upper), found)
                       .view();
        case LexicalError::Kind::UnexpectedChar:
            break;
    }
    // Habits from other languages get a hint.
    if (isCheckingLexer() && (e.found == '&' || e.found == '|' || e.found == '!')) {
        const bool doubled = e.found != '!' && rawLA(2) == e.found;
        const char16_t* written = e.found == '&'   ? (doubled ? u"&&" : u"&")
                                  : e.found == '|' ? (doubled ? u"||" : u"|")
                                                   : u"!";
        const char16_t* meant = e.found == '&' ? u"AND" : e.found == '|' ? u"OR" : u"NOT";
        m_hint =
            strand::formatString(u"line %d, Found '%ls', perhaps you meant '%ls'?", line, written, meant);
    }
    return positionPrefix(line, column) + u"unexpected char: " + describeChar(e.found).view();
}

void xrScannerBase::reportError(const antlr::RecognitionException& e) {
    m_reporter.error(lexicalErrorMessage(e.getLine(), e.getColumn()));
}

void xrScannerBase::reportError(const std::string& s) {
    m_reporter.error(widen(s));
}
void xrScannerBase::reportWarning(const std::string& s) {
    m_reporter.warning(widen(s));
}
