#include "RecordFormats.h"

#include <bit>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <charconv>
#include <cmath>
#include <cstring>

#include "host/Exception.h"

namespace strand::cli {

namespace {

using detail::bytesEqual;
using detail::load8;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The position after the run of decimal digits that starts at `i`.
size_t skipDigits(std::string_view text, size_t i) {
    while (i < text.size() && isDigit(text[i]))
        ++i;
    return i;
}

// The position after an exponent (e or E, an optional sign, digits) at `i`, `i` itself when there is
// none there, npos when the e has no digits.
size_t skipExponent(std::string_view text, size_t i) {
    if (i == text.size() || (text[i] != 'e' && text[i] != 'E'))
        return i;
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const size_t end = skipDigits(text, i);
    return end == i ? std::string_view::npos : end;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char c = text[text.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    return true;
}

// True when the text holds the separator, a quote, a carriage return or a line feed.
bool holdsCsvSpecial(std::string_view text, char separator) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (end - p >= 8) {
        const uint64_t word = load8(p);
        if (bytesEqual(word, separator) | bytesEqual(word, '"') | bytesEqual(word, '\n') |
            bytesEqual(word, '\r'))
            return true;
        p += 8;
    }
    for (; p < end; ++p) {
        if (*p == separator || *p == '"' || *p == '\n' || *p == '\r')
            return true;
    }
    return false;
}

int64_t countLineFeeds(std::string_view text) {
    int64_t count = 0;
    for (const char *p = text.data(), *end = text.data() + text.size();
         (p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)))) != nullptr; ++p) {
        ++count;
    }
    return count;
}

}  // namespace

std::optional<Format> formatFromName(std::string_view name) {
    if (name == "csv")
        return Format::Csv;
    if (name == "tsv")
        return Format::Tsv;
    if (name == "jsonl" || name == "json" || name == "ndjson")
        return Format::JsonLines;
    if (name == "pprint")
        return Format::Pprint;
    if (name == "markdown")
        return Format::Markdown;
    return std::nullopt;
}

bool isGzipPath(std::string_view path) {
    return endsWith(path, ".gz");
}

std::optional<Format> formatFromPath(std::string_view path) {
    if (isGzipPath(path))
        path.remove_suffix(3);
    if (endsWith(path, ".md"))
        return Format::Markdown;
    if (endsWith(path, ".csv"))
        return Format::Csv;
    if (endsWith(path, ".tsv") || endsWith(path, ".tab"))
        return Format::Tsv;
    if (endsWith(path, ".jsonl") || endsWith(path, ".ndjson") || endsWith(path, ".json"))
        return Format::JsonLines;
    return std::nullopt;
}

const char* formatName(Format format) {
    switch (format) {
        case Format::Csv:
            return "csv";
        case Format::Tsv:
            return "tsv";
        case Format::JsonLines:
            return "jsonl";
        case Format::Pprint:
            return "pprint";
        case Format::Markdown:
            return "markdown";
    }
    return "";
}

std::optional<FieldNumber> readNumber(std::string_view text) {
    const size_t n = text.size();
    size_t i = 0;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    const size_t digitsBegin = i;
    i = skipDigits(text, i);
    const size_t integerDigits = i - digitsBegin;
    if (i == n && integerDigits > 0 && integerDigits <= 18) {
        // The common whole number: eighteen digits cannot leave the 64-bit range.
        if (integerDigits > 1 && text[digitsBegin] == '0')
            return std::nullopt;
        int64_t value = 0;
        for (size_t k = digitsBegin; k < n; ++k)
            value = value * 10 + (text[k] - '0');
        FieldNumber result{};
        result.kind = FieldNumber::Kind::Integer;
        result.integer = text[0] == '-' ? -value : value;
        return result;
    }
    size_t fractionDigits = 0;
    bool point = false;
    if (i < n && text[i] == '.') {
        point = true;
        const size_t fractionBegin = i + 1;
        i = skipDigits(text, fractionBegin);
        fractionDigits = i - fractionBegin;
    }
    if (integerDigits == 0 && fractionDigits == 0)
        return std::nullopt;
    // 007 and 00.5 are codes.
    if (integerDigits > 1 && text[digitsBegin] == '0')
        return std::nullopt;
    const size_t exponentAt = i;
    i = skipExponent(text, i);
    const bool exponent = i != exponentAt;
    if (i != n)
        return std::nullopt;
    // from_chars takes no plus sign.
    const char* first = text.data() + (text[0] == '+' ? 1 : 0);
    const char* last = text.data() + n;
    FieldNumber result{};
    if (!point && !exponent) {
        auto [end, error] = std::from_chars(first, last, result.integer);
        if (error != std::errc() || end != last)
            return std::nullopt;
        result.kind = FieldNumber::Kind::Integer;
        return result;
    }
    result.kind = FieldNumber::Kind::Double;
    if (!exponent && integerDigits + fractionDigits <= 15) {
        // Up to 15 digits make an integer below 2^53 and a power of ten exact in a double, so one
        // division gives the correctly rounded number.
        static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                  1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        uint64_t digits = 0;
        for (size_t k = digitsBegin; k < n; ++k) {
            if (text[k] != '.')
                digits = digits * 10 + uint64_t(text[k] - '0');
        }
        result.number = double(digits) / kPowersOfTen[fractionDigits];
        if (text[0] == '-')
            result.number = -result.number;
        return result;
    }
    auto [end, error] = std::from_chars(first, last, result.number);
    if (error != std::errc() || end != last || !std::isfinite(result.number))
        return std::nullopt;
    return result;
}

// ---- DelimitedParser ----

DelimitedParser::Status DelimitedParser::parse(std::string_view window, bool atEnd) {
    m_inScratch.clear();
    m_fields.clear();
    m_scratch.clear();
    m_consumed = 0;
    m_lines = 0;
    if (window.empty())
        return atEnd ? Status::End : Status::NeedMore;
    const Status status = m_tsv ? parseTsv(window, atEnd) : parseCsv(window, atEnd);
    if (status == Status::Record)
        finish();
    return status;
}

DelimitedParser::Status DelimitedParser::parseCsv(std::string_view window, bool atEnd) {
    const size_t n = window.size();
    size_t i = 0;
    for (;;) {
        if (i < n && window[i] == '"') {
            const size_t rawBegin = i;
            Field field;
            field.quoted = true;
            const size_t contentBegin = i + 1;
            const size_t scratchBegin = m_scratch.size();
            bool copied = false;
            size_t j = contentBegin;
            for (;;) {
                const void* found = std::memchr(window.data() + j, '"', n - j);
                if (!found) {
                    if (!atEnd)
                        return Status::NeedMore;
                    m_lines += countLineFeeds(window.substr(j));
                    m_consumed = n;
                    throw Exception(u"A quoted field never ends: the input ends inside it");
                }
                const size_t k = size_t(static_cast<const char*>(found) - window.data());
                m_lines += countLineFeeds(window.substr(j, k - j));
                if (k + 1 < n && window[k + 1] == '"') {
                    // A doubled quote is one quote of the text.
                    m_scratch.append(
                        window.substr(copied ? j : contentBegin, k + 1 - (copied ? j : contentBegin)));
                    copied = true;
                    j = k + 2;
                    continue;
                }
                if (k + 1 == n && !atEnd)
                    return Status::NeedMore;
                if (copied) {
                    m_scratch.append(window.substr(j, k - j));
                    m_inScratch.push_back(ScratchSpan{m_fields.size(), scratchBegin, m_scratch.size()});
                } else {
                    field.content = window.substr(contentBegin, k - contentBegin);
                }
                i = k + 1;
                break;
            }
            field.raw = window.substr(rawBegin, i - rawBegin);
            m_fields.push_back(field);
            if (i == n) {
                m_consumed = n;
                return Status::Record;
            }
            const char c = window[i];
            if (c == m_separator) {
                ++i;
                continue;
            }
            if (c == '\n') {
                m_consumed = i + 1;
                ++m_lines;
                return Status::Record;
            }
            if (c == '\r') {
                if (i + 1 == n && !atEnd)
                    return Status::NeedMore;
                // CRLF or a lone CR.
                m_consumed = i + 1 < n && window[i + 1] == '\n' ? i + 2 : i + 1;
                ++m_lines;
                return Status::Record;
            }
            // The rest of the line goes with the record that cannot be read.
            const void* lineEnd = std::memchr(window.data() + i, '\n', n - i);
            if (!lineEnd && !atEnd)
                return Status::NeedMore;
            m_consumed = lineEnd ? size_t(static_cast<const char*>(lineEnd) - window.data()) + 1 : n;
            m_lines += lineEnd ? 1 : 0;
            throw Exception(u"Text follows the closing quote of field %d", int32_t(m_fields.size()));
        }
        const size_t j =
            size_t(findAny(window.data() + i, window.data() + n, m_separator, '\n', '\r') - window.data());
        // A CR at the end of the window may be the first half of a CRLF.
        if ((j == n || (j + 1 == n && window[j] == '\r')) && !atEnd)
            return Status::NeedMore;
        const std::string_view text = window.substr(i, j - i);
        m_fields.push_back(Field{text, text, false});
        if (j == n) {
            m_consumed = n;
            return Status::Record;
        }
        if (window[j] == m_separator) {
            i = j + 1;
            continue;
        }
        // LF, CRLF or a lone CR ends the record.
        m_consumed = window[j] == '\r' && j + 1 < n && window[j + 1] == '\n' ? j + 2 : j + 1;
        ++m_lines;
        return Status::Record;
    }
}

DelimitedParser::Status DelimitedParser::parseTsv(std::string_view window, bool atEnd) {
    const size_t n = window.size();
    // A TSV field holds no raw line break: LF, CRLF or a lone CR ends the record.
    const size_t lineEnd = size_t(findEither(window.data(), window.data() + n, '\n', '\r') - window.data());
    if ((lineEnd == n || (lineEnd + 1 == n && window[lineEnd] == '\r')) && !atEnd)
        return Status::NeedMore;
    m_consumed = lineEnd == n                                                                ? n
                 : window[lineEnd] == '\r' && lineEnd + 1 < n && window[lineEnd + 1] == '\n' ? lineEnd + 2
                                                                                             : lineEnd + 1;
    m_lines = lineEnd == n ? 0 : 1;
    size_t i = 0;
    for (;;) {
        const void* tab = std::memchr(window.data() + i, m_separator, lineEnd - i);
        const size_t end = tab ? size_t(static_cast<const char*>(tab) - window.data()) : lineEnd;
        const std::string_view raw = window.substr(i, end - i);
        if (raw.find('\\') != std::string_view::npos) {
            const size_t scratchBegin = m_scratch.size();
            for (size_t k = 0; k < raw.size(); ++k) {
                char c = raw[k];
                if (c == '\\' && k + 1 < raw.size()) {
                    const char next = raw[k + 1];
                    const char decoded = next == 't'    ? '\t'
                                         : next == 'n'  ? '\n'
                                         : next == 'r'  ? '\r'
                                         : next == '\\' ? '\\'
                                                        : 0;
                    if (decoded) {
                        c = decoded;
                        ++k;
                    }
                }
                m_scratch.push_back(c);
            }
            m_inScratch.push_back(ScratchSpan{m_fields.size(), scratchBegin, m_scratch.size()});
        }
        m_fields.push_back(Field{raw, raw, false});
        if (!tab)
            return Status::Record;
        i = end + 1;
    }
}

void DelimitedParser::finish() {
    const std::string_view scratch = m_scratch;
    for (const ScratchSpan& span : m_inScratch)
        m_fields[span.field].content = scratch.substr(span.begin, span.end - span.begin);
}

bool isAscii(std::string_view bytes) noexcept {
    const char* p = bytes.data();
    size_t n = bytes.size();
#ifdef __SSE2__
    __m128i high = _mm_setzero_si128();
    for (; n >= 16; p += 16, n -= 16)
        high = _mm_or_si128(high, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    if (_mm_movemask_epi8(high) != 0)
        return false;
#endif
    uint64_t word = 0;
    for (; n >= 8; p += 8, n -= 8) {
        uint64_t eight;
        std::memcpy(&eight, p, 8);
        word |= eight;
    }
    for (; n > 0; ++p, --n)
        word |= uint64_t(static_cast<unsigned char>(*p));
    return (word & 0x8080808080808080ULL) == 0;
}

void widenAscii(std::string_view bytes, std::u16string& out) {
    out.resize(bytes.size());
    char16_t* to = out.data();
    const char* from = bytes.data();
    size_t i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= bytes.size(); i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 8), _mm_unpackhi_epi8(chunk, zero));
    }
#endif
    for (; i < bytes.size(); ++i)
        to[i] = char16_t(static_cast<unsigned char>(from[i]));
}

void appendCsvField(std::string_view text, TextBuffer& out, char separator, bool name) {
    // An empty text is quoted: an empty unquoted field reads back as a property without a value.
    bool quote =
        text.empty() || text.front() == ' ' || text.back() == ' ' || holdsCsvSpecial(text, separator);
    // Only a text that starts like a number and ends with a digit or a point can read as one (a name in
    // a header is never read as a number).
    if (!quote && !name && (isDigit(text.back()) || text.back() == '.')) {
        const char first = text.front();
        if (isDigit(first) || first == '+' || first == '-' || first == '.')
            quote = readNumber(text).has_value();
    }
    if (!quote) {
        out.append(text);
        return;
    }
    out.push('"');
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '"')
            continue;
        out.append(text.substr(run, i + 1 - run));
        out.push('"');
        run = i + 1;
    }
    out.append(text.substr(run));
    out.push('"');
}

bool appendPlainCsvText(std::u16string_view text, TextBuffer& out, char separator) {
    if (text.empty() || text.front() == u' ' || text.back() == u' ')
        return false;
    // What may read back as a number takes the full test.
    const char16_t first = text.front();
    const char16_t last = text.back();
    auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    if ((digit(last) || last == u'.') && (digit(first) || first == u'+' || first == u'-' || first == u'.'))
        return false;
    char* to = out.reserve(text.size());
    const char16_t sep = char16_t(static_cast<unsigned char>(separator));
    size_t i = 0;
#ifdef __SSE2__
    // Eight units at a time: any unit past ASCII or special stops the quick way.
    const __m128i high = _mm_set1_epi16(short(0xFF80));
    const __m128i seps = _mm_set1_epi16(short(sep));
    const __m128i quotes = _mm_set1_epi16('"');
    const __m128i feeds = _mm_set1_epi16('\n');
    const __m128i returns = _mm_set1_epi16('\r');
    for (; i + 8 <= text.size(); i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const __m128i bad =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, seps), _mm_cmpeq_epi16(units, quotes)),
                         _mm_or_si128(_mm_cmpeq_epi16(units, feeds), _mm_cmpeq_epi16(units, returns)));
        const __m128i wide = _mm_cmpeq_epi16(_mm_and_si128(units, high), _mm_setzero_si128());
        if (_mm_movemask_epi8(bad) != 0 || _mm_movemask_epi8(wide) != 0xFFFF)
            return false;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to + i), _mm_packus_epi16(units, units));
    }
#endif
    for (; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0x80 || c == sep || c == u'"' || c == u'\n' || c == u'\r')
            return false;
        to[i] = char(c);
    }
    out.commit(text.size());
    return true;
}

void appendTsvField(std::string_view text, TextBuffer& out) {
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* escape = c == '\t'   ? "\\t"
                             : c == '\n' ? "\\n"
                             : c == '\r' ? "\\r"
                             : c == '\\' ? "\\\\"
                                         : nullptr;
        if (!escape)
            continue;
        out.append(text.substr(run, i - run));
        out.append(escape);
        run = i + 1;
    }
    out.append(text.substr(run));
}

bool appendUtf8(std::u16string_view text, TextBuffer& out) {
    // Three bytes at most for each unit (a surrogate pair takes four bytes for two units).
    char* to = out.reserve(text.size() * 3);
    char* const begin = to;
    size_t i = 0;
#ifdef __SSE2__
    // Runs of ASCII sixteen units at a time.
    const __m128i high = _mm_set1_epi16(short(0xFF80));
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + 8));
        const __m128i any = _mm_and_si128(_mm_or_si128(a, b), high);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(any, _mm_setzero_si128())) != 0xFFFF)
            break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_packus_epi16(a, b));
        to += 16;
    }
#endif
    // Runs of ASCII four units at a time.
    for (; i + 4 <= text.size(); i += 4) {
        uint64_t units;
        std::memcpy(&units, text.data() + i, 8);
        if (units & 0xFF80FF80FF80FF80ULL)
            break;
        for (int k = 0; k < 4; ++k)
            to[k] = char(text[i + size_t(k)]);
        to += 4;
    }
    for (; i < text.size(); ++i) {
        uint32_t code = text[i];
        if (code < 0x80) {
            *to++ = char(code);
            continue;
        }
        if (unicode::isSurrogate(code)) {
            if (!unicode::isHighSurrogate(code) || i + 1 == text.size() ||
                !unicode::isLowSurrogate(text[i + 1])) {
                out.commit(size_t(to - begin));
                return false;
            }
            code = unicode::combineSurrogates(code, text[++i]);
        }
        if (code < 0x800) {
            *to++ = char(0xC0 | (code >> 6));
        } else if (code < 0x10000) {
            *to++ = char(0xE0 | (code >> 12));
            *to++ = char(0x80 | ((code >> 6) & 0x3F));
        } else {
            *to++ = char(0xF0 | (code >> 18));
            *to++ = char(0x80 | ((code >> 12) & 0x3F));
            *to++ = char(0x80 | ((code >> 6) & 0x3F));
        }
        *to++ = char(0x80 | (code & 0x3F));
    }
    out.commit(size_t(to - begin));
    return true;
}

bool isJsonNumber(std::string_view text) {
    const size_t n = text.size();
    size_t i = 0;
    if (i < n && text[i] == '-')
        ++i;
    if (i == n || !isDigit(text[i]))
        return false;
    i = text[i] == '0' ? i + 1 : skipDigits(text, i);
    if (i < n && text[i] == '.') {
        const size_t begin = i + 1;
        i = skipDigits(text, begin);
        if (i == begin)
            return false;
    }
    i = skipExponent(text, i);
    return i == n;
}

}  // namespace strand::cli
