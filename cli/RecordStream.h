#pragma once
// Records in and out of strand run. RecordReader fills one data record at a time from CSV, TSV and
// JSON Lines inputs; the writers put records out in any of the three formats.
//
// Nothing is lost on the way through. The reader remembers, for every field it filled, the field's
// text as read and the property's change count right after filling (InputField); a writer gives a
// property whose count has not moved back in its input text (when the output format can hold that
// text), so 007, 1.50, +3, 1e3 and quoted texts come out as they came in, and only the properties a
// script touched are written from their values.
//
// The reader refills the same properties record after record when the layout stays the same, so a
// long run allocates little: only what a script adds to a record is made afresh (and removed before
// the next record is read).

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "JsonValues.h"
#include "RecordFormats.h"
#include "host/DataRecord.h"
#include "host/Exception.h"
#include "host/Property.h"

namespace strand::cli {

// A field of the current input record as read.
struct InputField {
    CProperty* property = nullptr;  // the property filled from it; the reader keeps it alive
    uint32_t changes = 0;           // the property's change count right after filling
    Format origin = Format::Csv;
    bool number = false;       // read as an integer or number
    std::string_view raw;      // CSV/TSV: the field's bytes as read; JSON: a number or text as written
    std::string_view content;  // CSV/TSV: the field's text

    bool untouched() const noexcept { return property->changeCount() == changes; }
};

// Where the record last read came from; record numbers count from 1 over all inputs.
struct RecordPosition {
    std::string file;  // the path, or "standard input"
    int64_t record = 0;
    int64_t line = 0;  // of the file, where the record starts
};

// A failure after which an input cannot be read on (a read error, a record too long to be one, a
// header that cannot be used): the reader gives up the rest of that input.
class ReadFailure : public Exception {
  public:
    explicit ReadFailure(const Exception& cause) : Exception(cause) {}
};

// A failure to write an output (a full disk, a closed descriptor): the run cannot go on. A pipe whose
// reader has gone (`| head`) is no failure of the run: it just ends.
class OutputFailure : public Exception {
  public:
    OutputFailure(const String& message, bool brokenPipe) : Exception(message), m_brokenPipe(brokenPipe) {}
    bool brokenPipe() const noexcept { return m_brokenPipe; }

  private:
    bool m_brokenPipe;
};

struct InputSpec {
    std::string path;  // "-" for standard input
    Format format;
    bool gzip = false;  // gzip-compressed (data not compressed reads as it stands)
};

struct ReaderOptions {
    bool inferNumbers = true;
    char separator = 0;           // CSV and TSV: 0 for the format's own (a comma, a tab)
    bool implicitHeader = false;  // CSV and TSV without a header line: the columns are named 1, 2, 3 ...
    bool flatten = true;          // JSON: nested objects become a.b properties; false: refused
};

class RecordReader {
  public:
    // Opens every input at once, so that a missing file is reported before anything runs.
    RecordReader(std::vector<InputSpec> inputs, ReaderOptions options);
    ~RecordReader();
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    // Called before the reader waits for input that has not arrived yet (a pipe, a terminal), so that
    // what is written so far can go out first.
    void setWaitHook(std::function<void()> hook) { m_waitHook = std::move(hook); }

    // Fills `record` with the next input record, replacing what it held; false after the last
    // record of the last input. Raises strand::Exception for an input record that cannot be read
    // (position() names it); the next call goes on after it.
    bool next(DataRecord& record);

    // A CSV or TSV column that the script never names (and that a writer will give back as read)
    // need not become a value: `named` are the record properties the script names, nullopt when it
    // may reach any; `output` is the format the writers write, nullopt when they differ. Call before
    // the first next().
    void setNamedProperties(std::optional<std::vector<String>> named, std::optional<Format> output);

    const std::vector<InputField>& fields() const noexcept { return m_fields; }
    const RecordPosition& position() const noexcept { return m_position; }
    // Records met so far, those that could not be read included.
    int64_t recordsSeen() const noexcept { return m_records; }
    // The bytes of the record last read, as they stand in the input (without the final line break).
    std::string_view rawRecord() const noexcept { return m_raw; }
    // The column names of the first CSV or TSV input's header (empty for JSON Lines).
    const std::vector<String>& firstHeader() const noexcept { return m_firstHeader; }
    // How the first input ends its first line (CRLF or LF) and whether it starts with a byte-order
    // mark; known once a record has been read.
    bool firstInputCrlf() const noexcept { return m_firstCrlf; }
    bool firstInputByteOrderMark() const noexcept { return m_firstBom; }

  private:
    class Source;
    bool openNext();
    bool nextDelimited(DataRecord& record);
    // The columns of a header-less input, named 1 to `count`.
    void nameColumns(size_t count);
    // What follows once the header is known: the first header kept, the columns to read decided.
    void headerKnown();
    // Tells a JSON input holding one array of objects from JSON Lines.
    void startJson();
    bool nextJson(DataRecord& record);
    // The next object of a JSON input that holds one array of objects, or an empty view at its end.
    std::string_view nextArrayElement();
    DelimitedParser::Status parseRecord();
    void readHeader();
    void fillDelimited(DataRecord& record, const std::vector<Field>& fields);
    // Fills a property from a field; true when it read as a number.
    bool fillField(CProperty& property, const Field& field, size_t column, bool ascii);
    void fillJson(DataRecord& record, std::span<const JsonField> members);
    static void setJsonValue(CProperty& property, const JsonField& member);
    static std::string_view trimLineBreak(std::string_view text);

    std::vector<InputSpec> m_inputs;
    std::function<void()> m_waitHook;
    std::vector<std::FILE*> m_files;
    size_t m_next = 0;
    std::unique_ptr<Source> m_source;
    Format m_format = Format::Csv;
    ReaderOptions m_options;
    bool m_jsonArray = false;  // the JSON input is one array of objects
    bool m_firstCrlf = false;
    bool m_firstBom = false;
    std::optional<DelimitedParser> m_parser;
    JsonReader m_json;

    std::vector<String> m_header;
    std::vector<char> m_wanted;  // per header column: read into a value
    std::optional<std::unordered_set<String, StringHashIgnoreCase, StringEqualIgnoreCase>> m_named;
    std::optional<Format> m_outputFormat;
    std::vector<String> m_firstHeader;
    // The properties filled last, position by position; held so that none is destroyed (and its
    // address reused) while the record they were read for is still being written.
    std::vector<Ptr<CProperty>> m_filled;
    std::vector<uint64_t> m_filledSerials;
    const iPropertyCollection* m_filledList = nullptr;
    std::vector<InputField> m_fields;
    std::u16string m_text;
    RecordPosition m_position;
    std::string_view m_raw;
    int64_t m_records = 0;
    int64_t m_lineAt = 1;  // where the next record starts
};

struct WriterOptions {
    // CSV and TSV: these columns in this order, streamed; without them every property met, in order
    // of first appearance.
    std::optional<std::vector<String>> columns;
    size_t holdBytes = size_t(64) << 20;  // rows held in memory before they spill to a temporary file
    char separator = 0;                   // CSV: 0 for a comma
    std::string lineEnd = "\n";
    bool byteOrderMark = false;
    bool header = true;        // CSV, TSV, pprint, markdown: false writes no header lines
    bool unionHeader = false;  // output that is no file: hold the rows for one header of every column
    bool gzip = false;         // the output is gzip-compressed
    std::optional<String> numberFormat;  // the directive that formats the numbers a script computed
    bool unflatten = true;               // JSON: properties named a.b (a.1.b) nest as objects (arrays)
};

class RecordWriter {
  public:
    explicit RecordWriter(WriterOptions options) : m_options(std::move(options)) {}
    virtual ~RecordWriter() = default;
    // The line end and byte-order mark of the input, for output that has none of its own chosen;
    // before anything is written.
    void setLineStyle(std::string lineEnd, bool byteOrderMark) {
        m_options.lineEnd = std::move(lineEnd);
        m_options.byteOrderMark = byteOrderMark;
    }
    // Writes the record; `input` tells how its fields were read (empty when they were not).
    virtual void write(const iPropertyCollection& record, const std::vector<InputField>& input) = 0;
    // Hands what is written so far (not what is held for a header) to the output.
    virtual void flushPending() = 0;
    // The columns given to the writer that no record written had a property for.
    virtual std::vector<String> unusedColumns() const { return {}; }
    // Writes what is held back and flushes. Raises strand::Exception when the output fails.
    virtual void finish() = 0;
    int64_t written() const noexcept { return m_written; }
    // The columns a CSV or TSV header gets when no record is written at all (an input's header).
    void setSeedColumns(std::vector<String> columns) { m_seed = std::move(columns); }

  protected:
    // The line end, one byte pushed when it is one byte (most outputs), instead of a copy of its text.
    void endLine(TextBuffer& out) const {
        if (m_options.lineEnd.size() == 1)
            out.push(m_options.lineEnd[0]);
        else
            out.append(m_options.lineEnd);
    }

    WriterOptions m_options;
    int64_t m_written = 0;
    std::vector<String> m_seed;
};

// `out` stays the caller's; `name` names it in messages. CSV and TSV output streams under the columns
// given; without them it goes to a file under the first record's header, which is rewritten when a
// later record brings a new column; to anything else (a pipe, a terminal) it streams under the header
// known so far, and a record that brings a new column starts a new block (an empty line, then the
// widened header), unless `unionHeader` holds the rows (in memory, then in a temporary file past
// `holdBytes`) until one header can be written. pprint and markdown hold the rows to align them.
std::unique_ptr<RecordWriter> makeRecordWriter(Format format, std::FILE* out, std::string name,
                                               WriterOptions options);

}  // namespace strand::cli
