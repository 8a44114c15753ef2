#include "RecordStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "host/Exception.h"
#include "host/Format.h"
#include "host/Value.h"

namespace strand::cli {

namespace {

constexpr size_t kChunkBytes = size_t(1) << 20;
// A record longer than this is taken for a quote left open, which would otherwise make the reader
// hold the rest of the input.
constexpr size_t kMaxRecordBytes = size_t(256) << 20;

std::string displayName(const std::string& path) {
    return path == "-" ? std::string("standard input") : path;
}

bool isBlank(std::string_view line) {
    for (const char c : line) {
        if (c != ' ' && c != '\t' && c != '\r')
            return false;
    }
    return true;
}

CProperty& asCProperty(iProperty* property) {
    auto* concrete = dynamic_cast<CProperty*>(property);
    if (!concrete)
        throw Exception(u"The data record makes properties of a class the reader cannot fill");
    return *concrete;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Reading

// A window over one input, refilled in large reads.
class RecordReader::Source {
  public:
    Source(std::FILE* file, std::string name) : m_file(file), m_name(std::move(name)) {}

    std::string_view window() const noexcept {
        return std::string_view(m_buffer.data() + m_begin, m_end - m_begin);
    }
    bool ended() const noexcept { return m_ended; }
    void consume(size_t count) noexcept { m_begin += count; }

    // Reads more input after the window, moving the window to the front of the buffer and growing
    // the buffer when the window fills it.
    void more() {
        if (m_ended)
            return;
        if (m_begin > 0) {
            std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
            m_end -= m_begin;
            m_begin = 0;
        }
        if (m_end == m_buffer.size()) {
            if (m_buffer.size() >= kMaxRecordBytes)
                throw Exception(u"A record is longer than %d MiB; is a quote left open?",
                                int32_t(kMaxRecordBytes >> 20));
            m_buffer.resize(m_buffer.empty() ? kChunkBytes : m_buffer.size() * 2);
        }
        const size_t got = std::fread(m_buffer.data() + m_end, 1, m_buffer.size() - m_end, m_file);
        m_end += got;
        if (got > 0)
            return;
        if (std::ferror(m_file))
            throw Exception(u"Cannot read %s: %s", m_name, std::strerror(errno));
        m_ended = true;
    }

  private:
    std::FILE* m_file;
    std::string m_name;
    std::vector<char> m_buffer;
    size_t m_begin = 0;
    size_t m_end = 0;
    bool m_ended = false;
};

RecordReader::RecordReader(std::vector<InputSpec> inputs, bool inferNumbers)
    : m_inputs(std::move(inputs)), m_infer(inferNumbers) {
    if (m_inputs.empty())
        m_inputs.push_back(InputSpec{"-", Format::Csv});
    for (const InputSpec& input : m_inputs) {
        std::FILE* file = input.path == "-" ? stdin : std::fopen(input.path.c_str(), "rb");
        struct stat info {};
        const bool directory = file && fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
        if (!file || directory) {
            const int error = errno;
            if (file && file != stdin)
                std::fclose(file);
            for (std::FILE* opened : m_files) {
                if (opened != stdin)
                    std::fclose(opened);
            }
            if (directory)
                throw Exception(u"%s is a directory, not a file of records", input.path);
            throw Exception(u"Cannot open %s: %s", input.path, std::strerror(error));
        }
        m_files.push_back(file);
    }
}

RecordReader::~RecordReader() {
    for (std::FILE* file : m_files) {
        if (file != stdin)
            std::fclose(file);
    }
}

bool RecordReader::next(DataRecord& record) {
    for (;;) {
        if (!m_source && !openNext())
            return false;
        if (!m_source)
            continue;
        try {
            const bool read = m_format == Format::JsonLines ? nextJson(record) : nextDelimited(record);
            if (read)
                return true;
        } catch (const ReadFailure&) {
            // The input cannot be read on: the rest of it is given up.
            m_source.reset();
            throw;
        }
    }
}

bool RecordReader::openNext() {
    if (m_next >= m_inputs.size())
        return false;
    const InputSpec& input = m_inputs[m_next];
    m_source = std::make_unique<Source>(m_files[m_next], displayName(input.path));
    ++m_next;
    m_format = input.format;
    m_position.file = displayName(input.path);
    m_position.record = 0;
    m_position.line = 1;
    m_lineAt = 1;
    m_raw = {};
    m_header.clear();
    m_parser.reset();
    try {
        m_source->more();
        if (m_source->window().starts_with("\xEF\xBB\xBF"))
            m_source->consume(3);
        if (m_format != Format::JsonLines) {
            m_parser.emplace(m_format);
            readHeader();
        }
    } catch (const Exception&) {
        m_source.reset();
        throw;
    }
    return true;
}

DelimitedParser::Status RecordReader::parseRecord() {
    for (;;) {
        DelimitedParser::Status status;
        try {
            status = m_parser->parse(m_source->window(), m_source->ended());
        } catch (const Exception&) {
            m_raw = m_source->window().substr(0, m_parser->consumed());
            m_lineAt += m_parser->lines();
            m_source->consume(m_parser->consumed());
            throw;
        }
        if (status != DelimitedParser::Status::NeedMore)
            return status;
        try {
            m_source->more();
        } catch (const Exception& e) {
            throw ReadFailure(e);
        }
    }
}

void RecordReader::readHeader() {
    if (parseRecord() == DelimitedParser::Status::End)
        return;
    const std::vector<Field>& fields = m_parser->fields();
    m_raw = trimLineBreak(m_source->window().substr(0, m_parser->consumed()));
    m_lineAt += m_parser->lines();
    m_source->consume(m_parser->consumed());
    std::unordered_map<String, int32_t, StringHashIgnoreCase, StringEqualIgnoreCase> seen;
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto tooLong = [&] {
            return ReadFailure(
                Exception(u"Column %d of the header is longer than %d characters, the most a name may be",
                          int32_t(i + 1), int32_t(kMaxNameLength)));
        };
        // No code unit takes more than 3 bytes of UTF-8: a longer field is refused before it is decoded.
        if (fields[i].content.size() > 3 * kMaxNameLength)
            throw tooLong();
        String name;
        if (!decodeUtf8(fields[i].content, name.mutableStr()))
            throw ReadFailure(Exception(u"Column %d of the header is not valid UTF-8", int32_t(i + 1)));
        if (name.length() > kMaxNameLength)
            throw tooLong();
        if (name.isEmpty())
            throw ReadFailure(Exception(u"Column %d of the header has no name", int32_t(i + 1)));
        auto [at, added] = seen.emplace(name, int32_t(i + 1));
        if (!added)
            throw ReadFailure(Exception(u"The header names the column '%ls' twice (columns %d and %d)", name,
                                        at->second, int32_t(i + 1)));
        m_header.push_back(std::move(name));
    }
    if (m_firstHeader.empty())
        m_firstHeader = m_header;
    const bool lazy = m_named && m_outputFormat == m_format;
    m_wanted.assign(m_header.size(), 1);
    for (size_t i = 0; lazy && i < m_header.size(); ++i)
        m_wanted[i] = m_named->contains(m_header[i]);
}

void RecordReader::setNamedProperties(std::optional<std::vector<String>> named,
                                      std::optional<Format> output) {
    m_named.reset();
    if (named)
        m_named.emplace(named->begin(), named->end());
    m_outputFormat = output;
}

bool RecordReader::nextDelimited(DataRecord& record) {
    for (;;) {
        const int64_t startLine = m_lineAt;
        m_position.line = startLine;
        const DelimitedParser::Status status = [&] {
            try {
                return parseRecord();
            } catch (const ReadFailure&) {
                throw;
            } catch (const Exception&) {
                m_position.record = ++m_records;
                throw;
            }
        }();
        if (status == DelimitedParser::Status::End) {
            m_source.reset();
            return false;
        }
        const std::vector<Field>& fields = m_parser->fields();
        m_raw = trimLineBreak(m_source->window().substr(0, m_parser->consumed()));
        m_lineAt += m_parser->lines();
        m_source->consume(m_parser->consumed());
        // A blank line cannot be a record of a file of several columns.
        if (fields.size() == 1 && fields[0].raw.empty() && !fields[0].quoted && m_header.size() > 1)
            continue;
        m_position.record = ++m_records;
        if (fields.size() != m_header.size())
            throw Exception(u"The record has %d fields where the header has %d", int32_t(fields.size()),
                            int32_t(m_header.size()));
        fillDelimited(record, fields);
        return true;
    }
}

bool RecordReader::nextJson(DataRecord& record) {
    for (;;) {
        std::string_view window = m_source->window();
        const void* found = std::memchr(window.data(), '\n', window.size());
        if (!found && !m_source->ended()) {
            try {
                m_source->more();
            } catch (const Exception& e) {
                throw ReadFailure(e);
            }
            continue;
        }
        if (window.empty()) {
            m_source.reset();
            return false;
        }
        const size_t length = found ? size_t(static_cast<const char*>(found) - window.data()) : window.size();
        const std::string_view line = trimLineBreak(window.substr(0, length));
        const int64_t startLine = m_lineAt;
        m_source->consume(found ? length + 1 : length);
        ++m_lineAt;
        if (isBlank(line))
            continue;
        m_position.record = ++m_records;
        m_position.line = startLine;
        m_raw = line;
        fillJson(record, m_json.readFields(line));
        return true;
    }
}

void RecordReader::fillDelimited(DataRecord& record, const std::vector<Field>& fields) {
    iPropertyCollection& list = *record.getPropertyList();
    const size_t count = m_header.size();
    bool intact = &list == m_filledList && m_filled.size() == count && size_t(list.getSize()) >= count;
    // Same property, same name serial: the name is still the header's.
    for (size_t i = 0; intact && i < count; ++i) {
        const CProperty* property = m_filled[i].get();
        intact = list.at(int32_t(i)) == property && property->nameSerial() == m_filledSerials[i];
    }
    if (intact) {
        // What a script added to the last record goes.
        while (size_t(list.getSize()) > count)
            list.remove(list.getSize() - 1);
    } else {
        list.removeAll();
        m_filled.clear();
        m_filledList = &list;
        m_filledSerials.clear();
        for (const String& name : m_header) {
            m_filled.emplace_back(&asCProperty(list.define(name, 0)));
            m_filledSerials.push_back(m_filled.back()->nameSerial());
        }
    }
    m_fields.resize(count);
    // A record of ASCII alone (the common case) needs no UTF-8 decoding field by field.
    const bool ascii = isAscii(m_raw);
    for (size_t i = 0; i < count; ++i) {
        CProperty& property = *m_filled[i];
        const Field& field = fields[i];
        InputField& input = m_fields[i];
        input.property = &property;
        input.origin = m_format;
        input.raw = field.raw;
        input.content = field.content;
        // A column the script cannot see keeps whatever the property held: the writer gives the
        // field back as read.
        if (m_wanted[i]) {
            input.number = fillField(property, field, i, ascii);
        } else {
            input.number = false;
            // Still refused as elsewhere when it is not UTF-8.
            if (!ascii && !isAscii(field.content) && !decodeUtf8(field.content, m_text))
                throw Exception(u"Field %d ('%ls') is not valid UTF-8", int32_t(i + 1), m_header[i]);
        }
        input.changes = property.changeCount();
    }
}

bool RecordReader::fillField(CProperty& property, const Field& field, size_t column, bool ascii) {
    if (field.content.empty()) {
        // An empty field is a property without a value, unless it is a quoted empty text or texts
        // are all that is read.
        if (m_infer && !field.quoted)
            property.setNoValue();
        else
            property.setText(std::u16string_view());
        return false;
    }
    if (m_infer && !field.quoted) {
        if (std::optional<FieldNumber> number = readNumber(field.content)) {
            if (number->kind == FieldNumber::Kind::Integer)
                property.setInteger(number->integer);
            else
                property.setDouble(number->number);
            return true;
        }
    }
    if (ascii) {
        widenAscii(field.content, property.editText());
        return false;
    }
    if (!decodeUtf8(field.content, m_text))
        throw Exception(u"Field %d ('%ls') is not valid UTF-8", int32_t(column + 1), m_header[column]);
    property.setText(m_text);
    return false;
}

void RecordReader::fillJson(DataRecord& record, std::span<const JsonField> members) {
    iPropertyCollection& list = *record.getPropertyList();
    if (&list != m_filledList) {
        m_filled.clear();
        m_filledList = &list;
    }
    m_fields.clear();
    size_t count = 0;  // properties of this record so far, in member order
    for (const JsonField& member : members) {
        CProperty* property = nullptr;
        if (count < m_filled.size() && count < size_t(list.getSize()) &&
            list.at(int32_t(count)) == m_filled[count].get() && m_filled[count]->name() == member.name) {
            property = m_filled[count].get();
        } else {
            // The layout differs from here on: the rest goes, and the member is defined afresh (or,
            // when its name came earlier in the object, changes that property).
            while (size_t(list.getSize()) > count)
                list.remove(list.getSize() - 1);
            m_filled.resize(count);
            const int32_t before = list.getSize();
            property = &asCProperty(list.define(member.name, 0));
            if (list.getSize() == before) {
                setJsonValue(*property, member);
                for (InputField& input : m_fields) {
                    if (input.property == property) {
                        input.raw = member.raw;
                        input.number = member.value.kind == Value::Kind::Integer ||
                                       member.value.kind == Value::Kind::Double;
                        input.changes = property->changeCount();
                    }
                }
                continue;
            }
            m_filled.emplace_back(property);
        }
        setJsonValue(*property, member);
        InputField& input = m_fields.emplace_back();
        input.property = property;
        input.origin = Format::JsonLines;
        input.raw = member.raw;
        input.content = {};
        input.number = member.value.kind == Value::Kind::Integer || member.value.kind == Value::Kind::Double;
        input.changes = property->changeCount();
        ++count;
    }
    while (size_t(list.getSize()) > count)
        list.remove(list.getSize() - 1);
    m_filled.resize(count);
}

void RecordReader::setJsonValue(CProperty& property, const JsonField& member) {
    switch (member.value.kind) {
        case Value::Kind::Null:
            property.setNoValue();
            return;
        case Value::Kind::Integer:
            property.setInteger(member.value.integer);
            return;
        case Value::Kind::Double:
            property.setDouble(member.value.number);
            return;
        case Value::Kind::String:
            property.setText(member.value.text.view());
            return;
        case Value::Kind::Boolean:
            property.setValue(BooleanValue(member.value.flag));
            return;
        default:
            property.adoptValue(member.array);
            return;
    }
}

std::string_view RecordReader::trimLineBreak(std::string_view text) {
    if (text.ends_with('\n'))
        text.remove_suffix(1);
    if (text.ends_with('\r'))
        text.remove_suffix(1);
    return text;
}

// ---------------------------------------------------------------------------------------------------
// Writing

namespace {

// Output gathered in memory and written in large pieces.
class Output {
  public:
    Output(std::FILE* file, std::string name) : m_file(file), m_name(std::move(name)) {}

    TextBuffer& text() noexcept { return m_text; }
    std::FILE* file() const noexcept { return m_file; }
    const std::string& name() const noexcept { return m_name; }
    void flushIfLarge() {
        if (m_text.size() >= kChunkBytes)
            flush();
    }
    void flush() {
        write(m_text.view());
        m_text.clear();
        if (std::fflush(m_file) != 0)
            fail();
    }
    void write(std::string_view bytes) {
        if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
            fail();
    }

  private:
    [[noreturn]] void fail() const {
        throw OutputFailure(u"Cannot write to %s: %s", m_name, std::strerror(errno));
    }

    std::FILE* m_file;
    std::string m_name;
    TextBuffer m_text;
};

void appendInteger(int64_t value, TextBuffer& out) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(std::string_view(digits, size_t(result.ptr - digits)));
}

void appendNumber(double value, TextBuffer& out) {
    char digits[kDoubleTextMax];
    out.append(std::string_view(digits, formatDouble(value, digits)));
}

// The field a property was read from, when there is one. Properties usually keep their positions, so
// the same position is tried first.
const InputField* inputFor(const iProperty* property, size_t position, const std::vector<InputField>& input) {
    if (position < input.size() && input[position].property == property)
        return &input[position];
    for (const InputField& field : input) {
        if (field.property == property)
            return &field;
    }
    return nullptr;
}

// Maps properties to output columns by name (A to Z folded), trying first the column that the
// property at the same position had in the last record.
class ColumnMap {
  public:
    explicit ColumnMap(bool growing) : m_growing(growing) {}

    void add(const String& name) {
        if (m_index.emplace(name, int32_t(m_names.size())).second)
            m_names.push_back(name);
    }
    // The column of the property at a position of the record, added when it is new and the columns
    // may grow; -1 otherwise. A property met at the same position with the same name serial as in the
    // last record keeps its column without a look at its name.
    int32_t columnOf(const iPropertyCollection& record, size_t position) {
        if (position >= m_hints.size())
            m_hints.resize(position + 1);
        Hint& hint = m_hints[position];
        const CProperty* plain = record.plainAt(int32_t(position));
        if (plain && plain == hint.property && plain->nameSerial() == hint.serial)
            return hint.column;
        const String& name = record.at(int32_t(position))->getName();
        int32_t column = -1;
        if (hint.column >= 0 && m_names[size_t(hint.column)].equalsIgnoreCase(name)) {
            column = hint.column;
        } else if (auto found = m_index.find(name); found != m_index.end()) {
            column = found->second;
        } else if (m_growing) {
            column = int32_t(m_names.size());
            add(name);
        }
        hint = Hint{plain, plain ? plain->nameSerial() : 0, column};
        return column;
    }
    // True when the property at the position is the one met there last time, under the same name.
    bool hintHolds(const iPropertyCollection& record, size_t position) const {
        if (position >= m_hints.size())
            return false;
        const Hint& hint = m_hints[position];
        const CProperty* plain = record.plainAt(int32_t(position));
        return plain && plain == hint.property && plain->nameSerial() == hint.serial;
    }
    const std::vector<String>& names() const noexcept { return m_names; }

  private:
    bool m_growing;
    std::vector<String> m_names;
    std::unordered_map<String, int32_t, StringHashIgnoreCase, StringEqualIgnoreCase> m_index;
    struct Hint {
        const CProperty* property = nullptr;  // compared, never followed
        uint64_t serial = 0;
        int32_t column = -1;
    };
    std::vector<Hint> m_hints;
};

class DelimitedWriter final : public RecordWriter {
  public:
    DelimitedWriter(Format format, std::FILE* file, std::string name,
                    std::optional<std::vector<String>> columns, size_t holdBytes)
        : m_format(format),
          m_separator(format == Format::Tsv ? '\t' : ','),
          m_out(file, name),
          m_columns(!columns),
          m_holdBytes(holdBytes) {
        if (columns) {
            for (const String& column : *columns)
                m_columns.add(column);
        }
        m_streaming = bool(columns);
        if (!m_streaming) {
            m_readBack = readableEmptyRegularFile(file, m_ownReadBack);
            m_optimistic = m_readBack >= 0;
        }
    }
    ~DelimitedWriter() override {
        if (m_ownReadBack)
            close(m_readBack);
        if (m_spill)
            std::fclose(m_spill);
    }

    void write(const iPropertyCollection& record, const std::vector<InputField>& input) override {
        const size_t count = size_t(record.getSize());
        // A record laid out as the last one (the same properties at the same positions, names
        // unchanged) has the same columns.
        bool same = count == m_lastCount;
        for (size_t i = 0; same && i < count; ++i)
            same = m_columns.hintHolds(record, i);
        if (!same) {
            m_positions.resize(count);
            for (size_t i = 0; i < count; ++i)
                m_positions[i] = m_columns.columnOf(record, i);
            m_byColumn.assign(m_columns.names().size(), -1);
            for (size_t i = 0; i < count; ++i) {
                if (m_positions[i] >= 0)
                    m_byColumn[size_t(m_positions[i])] = int32_t(i);
            }
            m_lastCount = count;
        }
        const size_t width = m_columns.names().size();
        if (m_optimistic) {
            // Into a file the header of the first record is written at once and the rows follow,
            // as long as no record brings a new column.
            if (!m_headerWritten) {
                writeHeaderOnce();
                m_headerWidth = width;
            }
            if (width == m_headerWidth) {
                appendWholeRow(record, input, m_out.text(), m_out.text().size());
                m_out.text().push('\n');
                m_out.flushIfLarge();
                ++m_written;
                return;
            }
            takeBackRows();
        }
        if (m_streaming) {
            writeHeaderOnce();
            appendWholeRow(record, input, m_out.text(), m_out.text().size());
            m_out.text().push('\n');
            m_out.flushIfLarge();
        } else {
            // The row goes straight into the held rows, after room for its column count and length.
            const size_t start = m_held.size();
            m_held.reserve(sizeof(uint32_t) * 2);
            m_held.commit(sizeof(uint32_t) * 2);
            appendWholeRow(record, input, m_held, start);
            const uint32_t header[2] = {uint32_t(width), uint32_t(m_held.size() - start - sizeof header)};
            std::memcpy(m_held.at(start), header, sizeof header);
            if (m_held.size() >= m_holdBytes)
                spill();
        }
        ++m_written;
    }

    void finish() override {
        if (m_optimistic && m_headerWritten) {
            m_out.flush();
            return;
        }
        if (!m_streaming) {
            if (m_written == 0) {
                for (const String& column : m_seed)
                    m_columns.add(column);
            }
            writeHeaderOnce();
            releaseHeld();
        } else {
            writeHeaderOnce();
        }
        m_out.flush();
    }

  private:
    // A regular file, not opened for appending, with nothing in it yet, that can be read back: the
    // descriptor to read it with (the file's own, or a second one opened on it), or -1.
    static int readableEmptyRegularFile(std::FILE* file, bool& own) {
        own = false;
        const int fd = fileno(file);
        struct stat info {};
        if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
            return -1;
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || (flags & O_APPEND) != 0 || std::ftell(file) != 0 || lseek(fd, 0, SEEK_CUR) != 0)
            return -1;
        if ((flags & O_ACCMODE) == O_RDWR)
            return fd;
        const std::string path = "/proc/self/fd/" + std::to_string(fd);
        const int reader = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat same {};
        if (reader >= 0 && fstat(reader, &same) == 0 && same.st_dev == info.st_dev &&
            same.st_ino == info.st_ino) {
            own = true;
            return reader;
        }
        if (reader >= 0)
            close(reader);
        return -1;
    }

    // A record brought a new column after rows went out under the first header: the rows written
    // come back into the held rows, the file starts again empty, and the run goes on holding rows
    // until the columns are all known.
    void takeBackRows() {
        m_optimistic = false;
        m_out.flush();
        std::FILE* file = m_out.file();
        DelimitedParser parser(m_format);
        std::string window;
        size_t used = 0;
        off_t at = off_t(m_headerBytes);
        bool atEnd = false;
        std::vector<char> chunk(kChunkBytes);
        for (;;) {
            const DelimitedParser::Status status = parser.parse(std::string_view(window).substr(used), atEnd);
            if (status == DelimitedParser::Status::Record) {
                std::string_view row = std::string_view(window).substr(used, parser.consumed());
                if (!row.empty() && row.back() == '\n')
                    row.remove_suffix(1);
                holdRow(m_headerWidth, row);
                used += parser.consumed();
                continue;
            }
            if (status == DelimitedParser::Status::End)
                break;
            window.erase(0, used);
            used = 0;
            const ssize_t got = pread(m_readBack, chunk.data(), chunk.size(), at);
            if (got < 0)
                throw Exception(u"Cannot read back %s: %s", m_out.name(), std::strerror(errno));
            if (got == 0) {
                atEnd = true;
                continue;
            }
            window.append(chunk.data(), size_t(got));
            at += got;
        }
        if (ftruncate(fileno(file), 0) != 0 || std::fseek(file, 0, SEEK_SET) != 0)
            throw Exception(u"Cannot start %s again: %s", m_out.name(), std::strerror(errno));
        m_headerWritten = false;
    }

    void holdRow(size_t width, std::string_view row) {
        const uint32_t header[2] = {uint32_t(width), uint32_t(row.size())};
        m_held.append(std::string_view(reinterpret_cast<const char*>(header), sizeof header));
        m_held.append(row);
        if (m_held.size() >= m_holdBytes)
            spill();
    }

    void writeHeaderOnce() {
        if (m_headerWritten)
            return;
        m_headerWritten = true;
        const std::vector<String>& names = m_columns.names();
        if (names.empty())
            return;
        TextBuffer& out = m_out.text();
        const size_t before = out.size();
        for (size_t i = 0; i < names.size(); ++i) {
            if (i > 0)
                out.push(m_separator);
            m_utf8.clear();
            if (!appendUtf8(names[i].view(), m_utf8))
                refuseLoneSurrogate(u"The column name '%ls'", names[i], names[i]);
            appendText(m_utf8.view(), out);
        }
        out.push('\n');
        m_headerBytes = out.size() - before;
    }

    // A row whose fields cannot all be written leaves nothing of itself in `out` after `from`.
    void appendWholeRow(const iPropertyCollection& record, const std::vector<InputField>& input,
                        TextBuffer& out, size_t from) {
        try {
            appendRow(record, input, out);
        } catch (...) {
            out.truncate(from);
            throw;
        }
    }

    void appendRow(const iPropertyCollection& record, const std::vector<InputField>& input, TextBuffer& out) {
        // Untouched fields that stand next to each other in the input, in the output's format, go
        // out as one run of input bytes, separators included.
        const char* runBegin = nullptr;
        const char* runEnd = nullptr;
        for (size_t column = 0; column < m_byColumn.size(); ++column) {
            const int32_t position = m_byColumn[column];
            const iProperty* property = position >= 0 ? record.at(position) : nullptr;
            const InputField* field = property ? inputFor(property, size_t(position), input) : nullptr;
            if (field && field->origin == m_format && field->untouched()) {
                const char* begin = field->raw.data();
                if (runEnd && begin == runEnd + 1 && *runEnd == m_separator) {
                    runEnd = begin + field->raw.size();
                    continue;
                }
                if (runEnd)
                    out.append(std::string_view(runBegin, size_t(runEnd - runBegin)));
                if (column > 0)
                    out.push(m_separator);
                runBegin = begin;
                runEnd = begin + field->raw.size();
                continue;
            }
            if (runEnd) {
                out.append(std::string_view(runBegin, size_t(runEnd - runBegin)));
                runEnd = nullptr;
            }
            if (column > 0)
                out.push(m_separator);
            if (property)
                appendField(*property, field, out);
        }
        if (runEnd)
            out.append(std::string_view(runBegin, size_t(runEnd - runBegin)));
    }

    void appendField(const iProperty& property, const InputField* input, TextBuffer& out) {
        if (input && input->untouched()) {
            if (input->origin == m_format) {
                out.append(input->raw);
                return;
            }
            if (input->number) {
                out.append(input->origin == Format::JsonLines ? input->raw : input->content);
                return;
            }
        }
        const Value& value = property.getValue();
        switch (value.kind()) {
            case Value::Kind::Null:
                return;
            case Value::Kind::Integer:
                appendInteger(static_cast<const IntegerValue&>(value).get(), out);
                return;
            case Value::Kind::Double:
                appendNumber(static_cast<const DoubleValue&>(value).get(), out);
                return;
            default:
                break;
        }
        const String* text = &m_text;
        if (value.kind() == Value::Kind::String) {
            text = &static_cast<const StringValue&>(value).get();
        } else {
            m_text.clear();
            value.getText(m_text);
        }
        m_utf8.clear();
        if (!appendUtf8(text->view(), m_utf8))
            refuseLoneSurrogate(u"The text of '%ls'", property.getName(), *text);
        appendText(m_utf8.view(), out);
    }

    // UTF-8 has no form for half a surrogate pair, and writing anything else would change the text.
    [[noreturn]] void refuseLoneSurrogate(const char16_t* what, const String& name,
                                          const String& text) const {
        const size_t at = unicode::findLoneSurrogate(text.view());
        throw Exception(
            formatString(what, name) +
            formatString(u" holds a lone surrogate (U+%04X at position %lld), which %s output cannot "
                         u"carry as UTF-8: write JSON Lines, which keeps it as an escape",
                         unsigned(text[at]), static_cast<long long>(at + 1), formatName(m_format))
                .view());
    }

    void appendText(std::string_view text, TextBuffer& out) const {
        if (m_format == Format::Tsv)
            appendTsvField(text, out);
        else
            appendCsvField(text, out);
    }

    // Rows wait for the header, each as its column count, its length and its bytes; past the limit
    // they move on to a temporary file.
    void spill() {
        if (!m_spill) {
            m_spill = std::tmpfile();
            if (!m_spill)
                throw Exception(u"Cannot make a temporary file for the records waiting for the header: %s",
                                std::strerror(errno));
        }
        if (std::fwrite(m_held.view().data(), 1, m_held.size(), m_spill) != m_held.size())
            throw Exception(u"Cannot write the records waiting for the header to a temporary file: %s",
                            std::strerror(errno));
        m_held.clear();
    }

    void releaseHeld() {
        if (m_spill) {
            std::rewind(m_spill);
            std::string carry;
            std::vector<char> chunk(kChunkBytes);
            size_t got;
            while ((got = std::fread(chunk.data(), 1, chunk.size(), m_spill)) > 0) {
                carry.append(chunk.data(), got);
                const size_t used = emitRows(carry);
                carry.erase(0, used);
            }
            if (std::ferror(m_spill))
                throw Exception(u"Cannot read back the records waiting for the header: %s",
                                std::strerror(errno));
            std::fclose(m_spill);
            m_spill = nullptr;
        }
        emitRows(m_held.view());
        m_held.clear();
    }

    // Writes the whole rows at the start of `held`, each padded to the final columns; the bytes used.
    size_t emitRows(std::string_view held) {
        const size_t width = m_columns.names().size();
        size_t at = 0;
        uint32_t header[2];
        while (held.size() - at >= sizeof header) {
            std::memcpy(header, held.data() + at, sizeof header);
            if (held.size() - at - sizeof header < header[1])
                break;
            TextBuffer& out = m_out.text();
            out.append(held.substr(at + sizeof header, header[1]));
            // A row of w columns has w - 1 separators; an empty row counts as one empty column.
            for (size_t column = std::max<size_t>(header[0], 1); column < width; ++column)
                out.push(m_separator);
            out.push('\n');
            m_out.flushIfLarge();
            at += sizeof header + header[1];
        }
        return at;
    }

    Format m_format;
    char m_separator;
    Output m_out;
    ColumnMap m_columns;
    size_t m_holdBytes;
    bool m_streaming = false;
    bool m_optimistic = false;  // rows go straight to the file under the first record's header
    int m_readBack = -1;        // reads the file back when a new column comes
    bool m_ownReadBack = false;
    size_t m_headerWidth = 0;
    size_t m_headerBytes = 0;
    bool m_headerWritten = false;
    std::vector<int32_t> m_positions;
    std::vector<int32_t> m_byColumn;
    size_t m_lastCount = size_t(-1);
    TextBuffer m_held;
    std::FILE* m_spill = nullptr;
    String m_text;
    TextBuffer m_utf8;
};

class JsonLinesWriter final : public RecordWriter {
  public:
    JsonLinesWriter(std::FILE* file, std::string name) : m_out(file, std::move(name)) {}

    void write(const iPropertyCollection& record, const std::vector<InputField>& input) override {
        std::string& out = m_line;
        out.clear();
        out.push_back('{');
        const size_t count = size_t(record.getSize());
        if (m_names.size() < count)
            m_names.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const iProperty* property = record.at(int32_t(i));
            if (i > 0)
                out.push_back(',');
            appendName(property->getName(), m_names[i], out);
            appendValue(*property, inputFor(property, i, input), out);
        }
        out.append("}\n");
        m_out.text().append(out);
        m_out.flushIfLarge();
        ++m_written;
    }

    void finish() override { m_out.flush(); }

  private:
    struct Name {
        String name;
        std::string json;  // "name":
    };

    // Names are encoded once for each position while they stay the same.
    static void appendName(const String& name, Name& cached, std::string& out) {
        if (cached.json.empty() || cached.name.str() != name.str()) {
            cached.name = name;
            cached.json.clear();
            writeString(name, cached.json);
            cached.json.push_back(':');
        }
        out.append(cached.json);
    }

    static void appendValue(const iProperty& property, const InputField* input, std::string& out) {
        if (input && input->untouched()) {
            if (input->origin == Format::JsonLines && !input->raw.empty()) {
                out.append(input->raw);
                return;
            }
            if (input->origin != Format::JsonLines && input->number && isJsonNumber(input->content)) {
                out.append(input->content);
                return;
            }
        }
        writeValue(property.getValue(), out);
    }

    Output m_out;
    std::string m_line;
    std::vector<Name> m_names;
};

}  // namespace

std::unique_ptr<RecordWriter> makeRecordWriter(Format format, std::FILE* out, std::string name,
                                               std::optional<std::vector<String>> columns, size_t holdBytes) {
    if (format == Format::JsonLines)
        return std::make_unique<JsonLinesWriter>(out, std::move(name));
    return std::make_unique<DelimitedWriter>(format, out, std::move(name), std::move(columns), holdBytes);
}

}  // namespace strand::cli
