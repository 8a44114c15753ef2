#pragma once
// The record formats of strand run, as pure helpers: which format a name or a file extension means,
// splitting CSV and TSV records into fields, reading a field as a number, and writing fields back.
//
// CSV follows RFC 4180: fields separated by commas, a field in double quotes may hold commas, quotes
// (doubled) and line breaks; records end with LF, CRLF or a lone CR (as old spreadsheets write them). A quote
// inside an unquoted field is taken as it stands. TSV fields are separated by tabs, records end as CSV
// records do, and fields hold no quoting; the escapes \t, \n, \r and \\ stand for a tab, a line feed, a
// carriage return and a backslash (any other backslash is kept as it is).
//
// Numbers. An unquoted CSV field or a TSV field reads as an integer when it is an optional sign and
// decimal digits that fit 64 bits, and as a number when it is an optional sign, digits with a decimal
// point or an exponent (1.50, .5, 2e3), finite. Digits that start with a superfluous 0 (007, 00.5) are
// a code, not a number, and stay text, as do integers too long for 64 bits, quoted fields and anything
// else. Reading never changes the text: the field's own text travels with it (see RecordStream.h).

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "host/Unicode.h"

namespace strand::cli {

// JSON Lines also reads a file holding one array of objects; pprint (an aligned table) and markdown are
// output formats only.
enum class Format { Csv, Tsv, JsonLines, Pprint, Markdown };

// "csv", "tsv", "jsonl" (also "json" and "ndjson"), "pprint" or "markdown"; nullopt for anything else.
std::optional<Format> formatFromName(std::string_view name);
// From a path's extension: .csv, .tsv or .tab, .jsonl, .ndjson or .json, .md, each optionally followed
// by .gz; nullopt otherwise.
std::optional<Format> formatFromPath(std::string_view path);
// Whether a path names gzip data by its extension (.gz).
bool isGzipPath(std::string_view path);
const char* formatName(Format format);

// ---- Reading fields ----

struct FieldNumber {
    enum class Kind { Integer, Double };
    Kind kind;
    int64_t integer = 0;
    double number = 0;
};

// The number a field's text reads as, by the rules above; nullopt for text.
std::optional<FieldNumber> readNumber(std::string_view text);

// One field of a record as read: `raw` is its exact bytes in the input (quotes and escapes included),
// `content` its text (the same bytes when the field needed no unquoting or unescaping).
struct Field {
    std::string_view raw;
    std::string_view content;
    bool quoted = false;
};

// Splits CSV or TSV records out of a window of input bytes.
class DelimitedParser {
  public:
    enum class Status { Record, NeedMore, End };

    // `separator` 0 is the format's own: a comma for CSV, a tab for TSV.
    explicit DelimitedParser(Format format, char separator = 0)
        : m_tsv(format == Format::Tsv), m_separator(separator ? separator : (m_tsv ? '\t' : ',')) {}

    // Parses the record at the start of `window`. Record: the fields are in fields(), consumed() bytes
    // were used and lines() line breaks passed. NeedMore: the window ends inside the record and more
    // input exists (`atEnd` false); call again with a longer window. End: the window is empty and
    // `atEnd`. Raises strand::Exception for a quoted field that never ends or is followed by other
    // text; the message names the line within the record where the problem is.
    Status parse(std::string_view window, bool atEnd);

    const std::vector<Field>& fields() const noexcept { return m_fields; }
    size_t consumed() const noexcept { return m_consumed; }
    int64_t lines() const noexcept { return m_lines; }

  private:
    // A field whose content was unquoted or unescaped into the scratch text: its content is set
    // when the record is complete, since the scratch text may move while it grows.
    struct ScratchSpan {
        size_t field;
        size_t begin, end;
    };
    Status parseCsv(std::string_view window, bool atEnd);
    Status parseTsv(std::string_view window, bool atEnd);
    void finish();

    bool m_tsv;
    char m_separator;
    std::vector<ScratchSpan> m_inScratch;
    std::vector<Field> m_fields;
    std::string m_scratch;  // unquoted and unescaped contents
    size_t m_consumed = 0;
    int64_t m_lines = 0;
};

// Strict UTF-8 into 16-bit text (host/Unicode.h): records are UTF-8 through and through.
using unicode::decodeUtf8;
namespace detail {
// Word-at-a-time scanning: a byte of `word` equal to `c` becomes 0x80 in the result, every other
// byte 0 (exact, no false positives).
inline constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
inline constexpr uint64_t kOnes = 0x0101010101010101ULL;

inline uint64_t bytesEqual(uint64_t word, char c) {
    const uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

inline uint64_t load8(const char* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}
}  // namespace detail

// The first of `a` or `b` in [p, end), or end; eight bytes at a time.
inline const char* findEither(const char* p, const char* end, char a, char b) {
    while (end - p >= 8) {
        const uint64_t word = detail::load8(p);
        if (const uint64_t hit = detail::bytesEqual(word, a) | detail::bytesEqual(word, b))
            return p + (std::countr_zero(hit) >> 3);
        p += 8;
    }
    while (p < end && *p != a && *p != b)
        ++p;
    return p;
}
// The first of `a`, `b` or `c` in [p, end), or end; eight bytes at a time.
inline const char* findAny(const char* p, const char* end, char a, char b, char c) {
#ifdef __SSE2__
    // Sixteen bytes at a time where there are sixteen, most fields in a single step.
    const __m128i as = _mm_set1_epi8(a);
    const __m128i bs = _mm_set1_epi8(b);
    const __m128i cs = _mm_set1_epi8(c);
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, as), _mm_cmpeq_epi8(bytes, bs)),
                                         _mm_cmpeq_epi8(bytes, cs));
        if (const int mask = _mm_movemask_epi8(hit))
            return p + std::countr_zero(unsigned(mask));
        p += 16;
    }
#endif
    while (end - p >= 8) {
        const uint64_t word = detail::load8(p);
        if (const uint64_t hit =
                detail::bytesEqual(word, a) | detail::bytesEqual(word, b) | detail::bytesEqual(word, c))
            return p + (std::countr_zero(hit) >> 3);
        p += 8;
    }
    while (p < end && *p != a && *p != b && *p != c)
        ++p;
    return p;
}
// True when every byte is below 0x80.
bool isAscii(std::string_view bytes) noexcept;
// Replaces `out` with ASCII bytes as 16-bit text.
void widenAscii(std::string_view bytes, std::u16string& out);

// ---- Writing fields ----

// Output text built in place, with appends that stay inline; the storage grows by doubling and is
// never filled with zeros first.
class TextBuffer {
  public:
    void push(char c) {
        if (m_size == m_capacity)
            grow(1);
        m_data[m_size++] = c;
    }
    void append(std::string_view text) {
        if (m_capacity - m_size < text.size())
            grow(text.size());
        else if (text.empty())  // nothing to copy, and an empty buffer has no storage to copy into
            return;
        std::memcpy(m_data.get() + m_size, text.data(), text.size());
        m_size += text.size();
    }
    // Room for `count` more bytes, written through the pointer and then taken with commit().
    char* reserve(size_t count) {
        if (m_capacity - m_size < count)
            grow(count);
        return m_data.get() + m_size;
    }
    void commit(size_t count) noexcept { m_size += count; }
    // Drops what was appended after the first `size` bytes.
    void truncate(size_t size) noexcept {
        if (size < m_size)
            m_size = size;
    }
    char* at(size_t offset) noexcept { return m_data.get() + offset; }

    std::string_view view() const noexcept { return std::string_view(m_data.get(), m_size); }
    size_t size() const noexcept { return m_size; }
    void clear() noexcept { m_size = 0; }

  private:
    void grow(size_t extra) {
        const size_t capacity = std::max(m_capacity * 2, m_size + extra + 256);
        std::unique_ptr<char[]> data(new char[capacity]);
        if (m_size)
            std::memcpy(data.get(), m_data.get(), m_size);
        m_data = std::move(data);
        m_capacity = capacity;
    }

    std::unique_ptr<char[]> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

// Appends 16-bit text as UTF-8. A lone surrogate has no UTF-8 form: the result is then false, and what
// was appended is undefined (the caller refuses the text rather than write something else).
bool appendUtf8(std::u16string_view text, TextBuffer& out);

// Appends a text as one CSV field, quoted when it is empty, holds a comma, a quote, a line break or a
// leading or trailing space, or would read back as a number (so that a text stays a text: an empty
// unquoted field reads as a property without a value).
// A column name of a header needs no protection from reading as a number (`name`).
void appendCsvField(std::string_view text, TextBuffer& out, char separator = ',', bool name = false);
// The common case of both at once: 16-bit text of ASCII alone that needs no quotes goes out as one
// CSV field, and the result is true. Otherwise nothing is appended and the result is false.
bool appendPlainCsvText(std::u16string_view text, TextBuffer& out, char separator);
// Appends a text as one TSV field, with the escapes above.
void appendTsvField(std::string_view text, TextBuffer& out);
// True when `text` is a JSON number as it stands.
bool isJsonNumber(std::string_view text);

}  // namespace strand::cli
