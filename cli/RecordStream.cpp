#include "RecordStream.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "host/Exception.h"
#include "host/Format.h"
#include "host/Value.h"

namespace strand::cli {

namespace {

constexpr size_t kChunkBytes = size_t(1) << 20;
constexpr size_t kSmallestBuffer = 4096;
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
    Source(std::FILE* file, bool gzip, std::string name, const std::function<void()>* waitHook)
        : m_file(file), m_name(std::move(name)), m_waitHook(waitHook) {
        struct stat info {};
        m_mayWait = fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode);
        // A small file needs no full chunk (a file that grows after this gets more room as it
        // comes).
        if (!m_mayWait && !gzip && info.st_size >= 0 && size_t(info.st_size) < kChunkBytes)
            m_firstBytes = std::max(kSmallestBuffer, size_t(info.st_size) + 1);
        if (!gzip)
            return;
        // zlib reads through its own descriptor, which it closes; the file stays the reader's.
        const int fd = dup(fileno(file));
        m_gz = fd >= 0 ? gzdopen(fd, "rb") : nullptr;
        if (!m_gz) {
            if (fd >= 0)
                close(fd);
            throw Exception(u"Cannot read %s as gzip data", m_name);
        }
        gzbuffer(m_gz, 1 << 17);
    }
    ~Source() {
        if (m_gz)
            gzclose(m_gz);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    std::string_view window() const noexcept {
        return std::string_view(m_buffer.get() + m_begin, m_end - m_begin);
    }
    bool ended() const noexcept { return m_ended; }
    void consume(size_t count) noexcept { m_begin += count; }

    // Reads more input after the window, moving the window to the front of the buffer and growing
    // the buffer when the window fills it.
    void more() {
        if (m_ended)
            return;
        if (m_begin > 0) {
            std::memmove(m_buffer.get(), m_buffer.get() + m_begin, m_end - m_begin);
            m_end -= m_begin;
            m_begin = 0;
        }
        if (m_end == m_size) {
            if (m_size >= kMaxRecordBytes)
                throw Exception(u"A record is longer than %d MiB; is a quote left open?",
                                int32_t(kMaxRecordBytes >> 20));
            // Powers of two from a chunk up, so that the last step is the record limit itself.
            grow(m_size == 0 ? m_firstBytes : std::bit_ceil(std::max(m_size * 2, kChunkBytes)));
        }
        const size_t got = read(m_buffer.get() + m_end, m_size - m_end);
        m_end += got;
        if (got == 0)
            m_ended = true;
    }

  private:
    // Storage that is never filled with zeros first: read() writes what the window shows.
    void grow(size_t size) {
        std::unique_ptr<char[]> bigger(new char[size]);
        if (m_end > 0)
            std::memcpy(bigger.get(), m_buffer.get(), m_end);
        m_buffer = std::move(bigger);
        m_size = size;
    }

    size_t read(char* into, size_t room) {
        if (m_gz) {
            const int got = gzread(m_gz, into, unsigned(std::min<size_t>(room, 1u << 30)));
            int error = Z_OK;
            const char* message = gzerror(m_gz, &error);
            if (got < 0 || (error != Z_OK && error != Z_STREAM_END))
                throw Exception(u"Cannot read %s: %s", m_name, message);
            return size_t(got);
        }
        const int fd = fileno(m_file);
        if (m_mayWait && m_waitHook && *m_waitHook) {
            // Nothing to read yet: what was written so far goes out before the wait.
            pollfd ready{fd, POLLIN, 0};
            if (poll(&ready, 1, 0) == 0)
                (*m_waitHook)();
        }
        for (;;) {
            const ssize_t got = ::read(fd, into, room);
            if (got >= 0)
                return size_t(got);
            if (errno != EINTR)
                throw Exception(u"Cannot read %s: %s", m_name, std::strerror(errno));
        }
    }

    std::FILE* m_file;
    std::string m_name;
    const std::function<void()>* m_waitHook;
    bool m_mayWait = false;
    gzFile m_gz = nullptr;
    std::unique_ptr<char[]> m_buffer;
    size_t m_size = 0;
    size_t m_firstBytes = kChunkBytes;
    size_t m_begin = 0;
    size_t m_end = 0;
    bool m_ended = false;
};

RecordReader::RecordReader(std::vector<InputSpec> inputs, ReaderOptions options)
    : m_inputs(std::move(inputs)), m_options(options) {
    m_json.setFlatten(options.flatten);
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
    m_source = std::make_unique<Source>(m_files[m_next], input.gzip, displayName(input.path), &m_waitHook);
    const bool first = m_next == 0;
    ++m_next;
    m_format = input.format;
    m_position.file = displayName(input.path);
    m_position.record = 0;
    m_position.line = 1;
    m_lineAt = 1;
    m_raw = {};
    m_header.clear();
    m_parser.reset();
    m_jsonArray = false;
    try {
        m_source->more();
        const bool bom = m_source->window().starts_with("\xEF\xBB\xBF");
        if (bom)
            m_source->consume(3);
        if (first) {
            // The line ends and the byte-order mark of the first input are those of the output.
            m_firstBom = bom;
            const std::string_view window = m_source->window();
            const size_t lineFeed = window.find('\n');
            m_firstCrlf = lineFeed != std::string_view::npos && lineFeed > 0 && window[lineFeed - 1] == '\r';
        }
        if (m_format == Format::JsonLines) {
            startJson();
        } else {
            m_parser.emplace(m_format, m_options.separator);
            if (!m_options.implicitHeader)
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
    headerKnown();
}

void RecordReader::nameColumns(size_t count) {
    for (size_t i = 1; i <= count; ++i)
        m_header.push_back(formatString(u"%lld", static_cast<long long>(i)));
    headerKnown();
}

void RecordReader::headerKnown() {
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
        if (m_options.implicitHeader && m_header.empty())
            nameColumns(fields.size());
        if (fields.size() != m_header.size())
            throw Exception(u"The record has %d fields where the header has %d", int32_t(fields.size()),
                            int32_t(m_header.size()));
        fillDelimited(record, fields);
        return true;
    }
}

namespace {

bool isJsonBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

int64_t lineFeedsIn(std::string_view text) {
    int64_t count = 0;
    for (const char c : text)
        count += c == '\n';
    return count;
}

// Finds where a JSON value ends, a window at a time: the scan resumes where the last window ended.
class JsonValueScanner {
  public:
    // The length of the value at the start of `text`, or npos when `text` ends inside it.
    size_t end(std::string_view text) {
        if (m_at == 0 && !text.empty() && text[0] != '{' && text[0] != '[' && text[0] != '"')
            m_scalar = true;
        for (; m_at < text.size(); ++m_at) {
            const char c = text[m_at];
            if (m_inString) {
                if (c == '\\')
                    ++m_at;
                else if (c == '"' && (m_inString = false, m_depth == 0))
                    return ++m_at;
                continue;
            }
            if (m_scalar) {
                if (c == ',' || c == ']' || c == '}' || isJsonBlank(c))
                    return m_at;
                continue;
            }
            if (c == '"') {
                m_inString = true;
            } else if (c == '{' || c == '[') {
                ++m_depth;
            } else if ((c == '}' || c == ']') && --m_depth == 0) {
                return ++m_at;
            }
        }
        return std::string_view::npos;
    }
    void reset() { *this = JsonValueScanner(); }

  private:
    size_t m_at = 0;
    int64_t m_depth = 0;
    bool m_inString = false;
    bool m_scalar = false;
};

}  // namespace

void RecordReader::startJson() {
    // A JSON input whose first character is '[' holds one array of objects; any other is JSON Lines.
    for (;;) {
        const std::string_view window = m_source->window();
        size_t i = 0;
        while (i < window.size() && isJsonBlank(window[i]))
            ++i;
        if (i < window.size() || m_source->ended()) {
            if (i < window.size() && window[i] == '[') {
                m_jsonArray = true;
                m_lineAt += lineFeedsIn(window.substr(0, i));
                m_source->consume(i + 1);
            }
            return;
        }
        m_source->more();
    }
}

std::string_view RecordReader::nextArrayElement() {
    JsonValueScanner scanner;
    for (;;) {
        std::string_view window = m_source->window();
        // Blanks and the commas between elements.
        size_t i = 0;
        while (i < window.size() && (isJsonBlank(window[i]) || window[i] == ','))
            ++i;
        if (i > 0) {
            m_lineAt += lineFeedsIn(window.substr(0, i));
            m_source->consume(i);
            scanner.reset();
            continue;
        }
        if (window.empty()) {
            if (m_source->ended())
                throw ReadFailure(Exception(u"The array of records never ends: the input ends inside it"));
            m_source->more();
            continue;
        }
        if (window[0] == ']') {
            m_source->consume(1);
            m_jsonArray = false;
            // Nothing but blanks may follow the array.
            for (;;) {
                window = m_source->window();
                for (const char c : window) {
                    if (!isJsonBlank(c))
                        throw ReadFailure(Exception(u"Text follows the array of records"));
                }
                m_source->consume(window.size());
                if (m_source->ended())
                    return {};
                m_source->more();
            }
        }
        const size_t length = scanner.end(window);
        if (length == std::string_view::npos && !m_source->ended()) {
            m_source->more();
            continue;
        }
        const size_t used = std::min(length, window.size());
        const std::string_view element = window.substr(0, used);
        m_position.line = m_lineAt;
        m_lineAt += lineFeedsIn(element);
        m_source->consume(used);
        if (element.front() != '{') {
            m_position.record = ++m_records;
            m_raw = element;
            throw Exception(u"The array holds something other than an object where a record was expected");
        }
        return element;
    }
}

bool RecordReader::nextJson(DataRecord& record) {
    if (m_jsonArray) {
        const std::string_view element = nextArrayElement();
        if (element.empty()) {
            m_source.reset();
            return false;
        }
        m_position.record = ++m_records;
        m_raw = element;
        fillJson(record, m_json.readFields(element));
        return true;
    }
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
        list.truncate(int32_t(count));
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
        if (m_options.inferNumbers && !field.quoted)
            property.setNoValue();
        else
            property.setText(std::u16string_view());
        return false;
    }
    if (m_options.inferNumbers && !field.quoted) {
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
            list.truncate(int32_t(count));
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
    list.truncate(int32_t(count));
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

// Output gathered in memory and written in large pieces, compressed on the way when asked.
class Output {
  public:
    Output(std::FILE* file, std::string name, bool gzip) : m_file(file), m_name(std::move(name)) {
        if (!gzip)
            return;
        // zlib writes through its own descriptor, which it closes; the file stays the caller's.
        const int fd = dup(fileno(file));
        m_gz = fd >= 0 ? gzdopen(fd, "wb") : nullptr;
        if (!m_gz) {
            if (fd >= 0)
                close(fd);
            fail();
        }
    }
    ~Output() {
        if (m_gz)
            gzclose(m_gz);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    TextBuffer& text() noexcept { return m_text; }
    std::FILE* file() const noexcept { return m_file; }
    const std::string& name() const noexcept { return m_name; }
    bool compressed() const noexcept { return m_gz != nullptr; }
    void flushIfLarge() {
        if (m_text.size() >= kChunkBytes)
            flush();
    }
    void flush() {
        write(m_text.view());
        m_text.clear();
        if (!m_gz && std::fflush(m_file) != 0)
            fail();
    }
    void write(std::string_view bytes) {
        if (bytes.empty())
            return;
        if (m_gz) {
            for (size_t at = 0; at < bytes.size();) {
                const unsigned piece = unsigned(std::min<size_t>(bytes.size() - at, 1u << 30));
                if (gzwrite(m_gz, bytes.data() + at, piece) != int(piece))
                    fail();
                at += piece;
            }
            return;
        }
        if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
            fail();
    }
    // Writes what is left and, for compressed output, the end of the compressed data.
    void finish() {
        flush();
        if (!m_gz)
            return;
        const int result = gzclose(m_gz);
        m_gz = nullptr;
        if (result != Z_OK)
            fail();
    }

  private:
    [[noreturn]] void fail() const {
        const int error = errno;
        throw OutputFailure(formatString(u"Cannot write to %s: %s", m_name, std::strerror(error)),
                            error == EPIPE);
    }

    std::FILE* m_file;
    std::string m_name;
    gzFile m_gz = nullptr;
    TextBuffer m_text;
};

// A regular file: a pipe or a terminal is not, and gets its rows as they come.
bool isRegularFile(std::FILE* file) {
    struct stat info {};
    return fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode);
}

void appendInteger(int64_t value, TextBuffer& out) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(std::string_view(digits, size_t(result.ptr - digits)));
}

void appendNumber(double value, TextBuffer& out) {
    char digits[kDoubleTextMax];
    out.append(std::string_view(digits, formatDouble(value, digits)));
}

// A number through the --ofmt directive (a number directive alone, checked by the command).
void appendFormattedNumber(const String& directive, double value, TextBuffer& out) {
    const FormatArg argument(value);
    const String text = formatText(directive.view(), std::span<const FormatArg>(&argument, 1));
    for (const char16_t c : text)
        out.push(char(c));
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
    DelimitedWriter(Format format, std::FILE* file, std::string name, WriterOptions options)
        : RecordWriter(std::move(options)),
          m_format(format),
          m_separator(m_options.separator     ? m_options.separator
                      : format == Format::Tsv ? '\t'
                                              : ','),
          m_out(file, name, m_options.gzip),
          m_columns(!m_options.columns),
          m_holdBytes(m_options.holdBytes) {
        if (m_options.columns) {
            for (const String& column : *m_options.columns)
                m_columns.add(column);
        }
        m_streaming = bool(m_options.columns);
        if (m_streaming)
            return;
        if (!m_out.compressed()) {
            m_readBack = readableEmptyRegularFile(file, m_ownReadBack);
            m_optimistic = m_readBack >= 0;
        }
        m_blocks = !m_optimistic && !m_options.unionHeader && !isRegularFile(file);
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
            m_samePlace = 0;
            while (m_samePlace < m_byColumn.size() && m_byColumn[m_samePlace] == int32_t(m_samePlace))
                ++m_samePlace;
            m_lastCount = count;
            if (m_streaming) {
                m_columnUsed.resize(m_byColumn.size());
                for (size_t column = 0; column < m_byColumn.size(); ++column)
                    m_columnUsed[column] = m_columnUsed[column] || m_byColumn[column] >= 0;
            }
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
                endLine(m_out.text());
                m_out.flushIfLarge();
                ++m_written;
                return;
            }
            takeBackRows();
        }
        if (m_blocks && m_headerWritten && width != m_headerWidth) {
            // A new column: what went out stays, and a new block starts under the widened header.
            endLine(m_out.text());
            m_headerWritten = false;
        }
        if (m_streaming || m_blocks) {
            if (!m_headerWritten) {
                writeHeaderOnce();
                m_headerWidth = width;
            }
            appendWholeRow(record, input, m_out.text(), m_out.text().size());
            endLine(m_out.text());
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

    void flushPending() override {
        if (m_streaming || m_optimistic || m_blocks)
            m_out.flush();
    }

    std::vector<String> unusedColumns() const override {
        std::vector<String> unused;
        for (size_t column = 0; m_streaming && column < m_columns.names().size(); ++column) {
            if (column >= m_columnUsed.size() || !m_columnUsed[column])
                unused.push_back(m_columns.names()[column]);
        }
        return unused;
    }

    void finish() override {
        if ((m_optimistic || m_blocks) && m_headerWritten) {
            m_out.finish();
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
        m_out.finish();
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
                if (row.ends_with(m_options.lineEnd))
                    row.remove_suffix(m_options.lineEnd.size());
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
        m_markWritten = false;
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
        TextBuffer& out = m_out.text();
        const size_t before = out.size();
        // The byte-order mark opens the output, once.
        if (m_options.byteOrderMark && !m_markWritten)
            out.append("\xEF\xBB\xBF");
        m_markWritten = true;
        m_headerBytes = out.size() - before;
        const std::vector<String>& names = m_columns.names();
        if (names.empty() || !m_options.header)
            return;
        for (size_t i = 0; i < names.size(); ++i) {
            if (i > 0)
                out.push(m_separator);
            m_utf8.clear();
            if (!appendUtf8(names[i].view(), m_utf8))
                refuseLoneSurrogate(u"The column name '%ls'", names[i], names[i]);
            appendText(m_utf8.view(), out, true);
        }
        endLine(out);
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
        size_t column = 0;
        // The common row: the input's fields, untouched, in the columns of their own positions.
        // Each joins the run as the loop below would join it, without looking it up.
        for (const size_t samePlace = std::min(m_samePlace, input.size()); column < samePlace; ++column) {
            const InputField& field = input[column];
            if (field.property != record.plainAt(int32_t(column)) || field.origin != m_format ||
                !field.untouched())
                break;
            const char* begin = field.raw.data();
            if (!runEnd)
                runBegin = begin;
            else if (begin != runEnd + 1 || *runEnd != m_separator)
                break;
            runEnd = begin + field.raw.size();
        }
        for (; column < m_byColumn.size(); ++column) {
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
                if (m_options.numberFormat)
                    appendFormattedNumber(*m_options.numberFormat,
                                          static_cast<const DoubleValue&>(value).get(), out);
                else
                    appendNumber(static_cast<const DoubleValue&>(value).get(), out);
                return;
            default:
                break;
        }
        const String* text = &m_text;
        if (value.kind() == Value::Kind::String) {
            text = &static_cast<const StringValue&>(value).get();
            if (m_format == Format::Csv && appendPlainCsvText(text->view(), out, m_separator))
                return;
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

    void appendText(std::string_view text, TextBuffer& out, bool name = false) const {
        if (m_format == Format::Tsv)
            appendTsvField(text, out);
        else
            appendCsvField(text, out, m_separator, name);
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
            endLine(out);
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
    bool m_blocks = false;      // rows go out as they come, a new header block for each new column
    bool m_markWritten = false;
    std::vector<bool> m_columnUsed;  // --columns: whether a record had a property for each
    int m_readBack = -1;             // reads the file back when a new column comes
    bool m_ownReadBack = false;
    size_t m_headerWidth = 0;
    size_t m_headerBytes = 0;
    bool m_headerWritten = false;
    std::vector<int32_t> m_positions;
    std::vector<int32_t> m_byColumn;
    size_t m_samePlace = 0;  // leading columns that take the property of their own position
    size_t m_lastCount = size_t(-1);
    TextBuffer m_held;
    std::FILE* m_spill = nullptr;
    String m_text;
    TextBuffer m_utf8;
};

class JsonLinesWriter final : public RecordWriter {
  public:
    JsonLinesWriter(std::FILE* file, std::string name, WriterOptions options)
        : RecordWriter(std::move(options)), m_out(file, std::move(name), m_options.gzip) {}

    void write(const iPropertyCollection& record, const std::vector<InputField>& input) override {
        std::string& out = m_line;
        out.clear();
        if (m_written == 0 && m_options.byteOrderMark)
            out.append("\xEF\xBB\xBF");
        const size_t count = size_t(record.getSize());
        if (m_names.size() < count)
            m_names.resize(count);
        bool dotted = false;
        for (size_t i = 0; i < count; ++i)
            dotted = updateName(record.at(int32_t(i))->getName(), m_names[i]) || dotted;
        if (!dotted || !m_options.unflatten || !appendNested(record, input, out))
            appendFlat(record, input, out);
        out.append(m_options.lineEnd);
        m_out.text().append(out);
        m_out.flushIfLarge();
        ++m_written;
    }

    void flushPending() override { m_out.flush(); }
    void finish() override { m_out.finish(); }

  private:
    struct Name {
        String name;
        std::string json;  // "name":
        bool dotted = false;
    };

    // Names are encoded once for each position while they stay the same; true when it holds a dot.
    static bool updateName(const String& name, Name& cached) {
        if (cached.json.empty() || cached.name.str() != name.str()) {
            cached.name = name;
            cached.json.clear();
            writeString(name, cached.json);
            cached.json.push_back(':');
            cached.dotted = name.view().find(u'.') != std::u16string_view::npos;
        }
        return cached.dotted;
    }

    void appendFlat(const iPropertyCollection& record, const std::vector<InputField>& input,
                    std::string& out) {
        out.push_back('{');
        for (size_t i = 0; i < size_t(record.getSize()); ++i) {
            const iProperty* property = record.at(int32_t(i));
            if (i > 0)
                out.push_back(',');
            out.append(m_names[i].json);
            appendValue(*property, inputFor(property, i, input), out);
        }
        out.push_back('}');
    }

    bool appendNested(const iPropertyCollection& record, const std::vector<InputField>& input,
                      std::string& out) {
        return writeNestedObject(
            size_t(record.getSize()), [&](size_t i) { return record.at(int32_t(i))->getName().view(); },
            [&](size_t i, std::string& text) {
                const iProperty* property = record.at(int32_t(i));
                appendValue(*property, inputFor(property, i, input), text);
            },
            out);
    }

    void appendValue(const iProperty& property, const InputField* input, std::string& out) const {
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
        const Value& value = property.getValue();
        if (m_options.numberFormat && value.kind() == Value::Kind::Double &&
            std::isfinite(static_cast<const DoubleValue&>(value).get())) {
            TextBuffer text;
            appendFormattedNumber(*m_options.numberFormat, static_cast<const DoubleValue&>(value).get(),
                                  text);
            out.append(text.view());
            return;
        }
        writeValue(value, out);
    }

    Output m_out;
    std::string m_line;
    std::vector<Name> m_names;
};

// An aligned table (pprint) or a markdown table, for reading: the rows are held until the end, when
// the widths of the columns are known.
class TableWriter final : public RecordWriter {
  public:
    TableWriter(Format format, std::FILE* file, std::string name, WriterOptions options)
        : RecordWriter(std::move(options)),
          m_markdown(format == Format::Markdown),
          m_out(file, std::move(name), m_options.gzip),
          m_columns(true) {}

    void write(const iPropertyCollection& record, const std::vector<InputField>& input) override {
        std::vector<std::string> row;
        for (size_t i = 0; i < size_t(record.getSize()); ++i) {
            const int32_t column = m_columns.columnOf(record, i);
            if (row.size() <= size_t(column))
                row.resize(size_t(column) + 1);
            const iProperty* property = record.at(int32_t(i));
            row[size_t(column)] = cellText(*property, inputFor(property, i, input));
        }
        m_rows.push_back(std::move(row));
        ++m_written;
    }

    void flushPending() override {}

    void finish() override {
        if (m_written == 0) {
            for (const String& column : m_seed)
                m_columns.add(column);
        }
        std::vector<std::string> header;
        for (const String& name : m_columns.names())
            header.push_back(m_markdown ? markdownCell(name.toUtf8()) : name.toUtf8());
        std::string& out = m_text;
        if (m_options.byteOrderMark)
            out.append("\xEF\xBB\xBF");
        if (m_markdown) {
            if (m_options.header && !header.empty()) {
                appendMarkdownRow(header, header.size());
                appendMarkdownRow(std::vector<std::string>(header.size(), "---"), header.size());
            }
            for (std::vector<std::string>& row : m_rows) {
                for (std::string& cell : row)
                    cell = markdownCell(cell);
                appendMarkdownRow(row, header.size());
            }
        } else {
            std::vector<size_t> widths(header.size(), 1);
            auto measure = [&widths](const std::vector<std::string>& row) {
                for (size_t k = 0; k < row.size(); ++k)
                    widths[k] = std::max(widths[k], displayWidth(row[k]));
            };
            if (m_options.header)
                measure(header);
            for (const std::vector<std::string>& row : m_rows)
                measure(row);
            if (m_options.header && !header.empty())
                appendAlignedRow(header, widths);
            for (const std::vector<std::string>& row : m_rows)
                appendAlignedRow(row, widths);
        }
        m_out.text().append(out);
        m_out.finish();
    }

  private:
    std::string cellText(const iProperty& property, const InputField* input) const {
        if (input && input->untouched() && input->origin != Format::JsonLines)
            return std::string(input->content);
        if (input && input->untouched() && input->number)
            return std::string(input->raw);
        const Value& value = property.getValue();
        if (value.kind() == Value::Kind::Double && m_options.numberFormat) {
            TextBuffer text;
            appendFormattedNumber(*m_options.numberFormat, static_cast<const DoubleValue&>(value).get(),
                                  text);
            return std::string(text.view());
        }
        String text;
        value.getText(text);
        return text.toUtf8();
    }

    // Code points, the width a terminal gives most text.
    static size_t displayWidth(std::string_view text) {
        size_t width = 0;
        for (const char c : text)
            width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        return width;
    }

    static std::string markdownCell(std::string_view text) {
        std::string cell;
        for (const char c : text) {
            if (c == '|')
                cell.append("\\|");
            else if (c == '\n')
                cell.append("<br>");
            else if (c != '\r')
                cell.push_back(c);
        }
        return cell;
    }

    void appendMarkdownRow(const std::vector<std::string>& row, size_t width) {
        m_text.push_back('|');
        for (size_t k = 0; k < width; ++k) {
            m_text.push_back(' ');
            if (k < row.size())
                m_text.append(row[k]);
            m_text.append(" |");
        }
        m_text.append(m_options.lineEnd);
    }

    // Columns left-aligned, one blank apart; an empty cell shows as '-' so that the columns stay
    // countable; no blanks end a line.
    void appendAlignedRow(const std::vector<std::string>& row, const std::vector<size_t>& widths) {
        std::string line;
        for (size_t k = 0; k < widths.size(); ++k) {
            const std::string& cell = k < row.size() && !row[k].empty() ? row[k] : kEmptyCell;
            if (k > 0)
                line.push_back(' ');
            line.append(cell);
            if (k + 1 < widths.size())
                line.append(widths[k] - displayWidth(cell), ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        m_text.append(line);
        m_text.append(m_options.lineEnd);
    }

    inline static const std::string kEmptyCell = "-";

    bool m_markdown;
    Output m_out;
    ColumnMap m_columns;
    std::vector<std::vector<std::string>> m_rows;
    std::string m_text;
};

}  // namespace

std::unique_ptr<RecordWriter> makeRecordWriter(Format format, std::FILE* out, std::string name,
                                               WriterOptions options) {
    switch (format) {
        case Format::JsonLines:
            return std::make_unique<JsonLinesWriter>(out, std::move(name), std::move(options));
        case Format::Pprint:
        case Format::Markdown:
            return std::make_unique<TableWriter>(format, out, std::move(name), std::move(options));
        case Format::Csv:
        case Format::Tsv:
            break;
    }
    return std::make_unique<DelimitedWriter>(format, out, std::move(name), std::move(options));
}

}  // namespace strand::cli
