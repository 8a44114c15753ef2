// Bytes through the CSV, TSV and JSON Lines readers and back out through the writer of the same
// format, as `strand run` passes records it does not change. The first byte chooses the format and
// the reader's options. Oracle: when every record reads, what was written reads back without error
// and writes again byte for byte (a record left untouched keeps its bytes, so a second pass
// changes nothing).
#include <cstdio>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "RecordStream.h"
#include "host/DataRecord.h"

namespace {

using namespace strand;
using namespace strand::cli;

std::string contents(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    return text;
}

// One pass: every record read and written; nullopt when a record or the output failed.
std::optional<std::string> pass(const std::string& input, Format format, const ReaderOptions& options) {
    fuzz::TempFile source(input.data(), input.size());
    std::FILE* sink = std::tmpfile();
    if (!sink)
        fuzz::finding("cannot make a temporary file", "");
    std::optional<std::string> out;
    try {
        RecordReader reader({InputSpec{source.path(), format}}, options);
        WriterOptions writing;
        writing.separator = options.separator;
        writing.header = !options.implicitHeader;
        auto writer = makeRecordWriter(format, sink, "fuzz output", std::move(writing));
        auto record = makePtr<DataRecord>();
        bool styled = false;
        while (reader.next(*record)) {
            if (!styled) {
                writer->setLineStyle(reader.firstInputCrlf() ? "\r\n" : "\n",
                                     reader.firstInputByteOrderMark());
                styled = true;
            }
            writer->write(*record->getPropertyList(), reader.fields());
        }
        if (!styled)
            writer->setLineStyle(reader.firstInputCrlf() ? "\r\n" : "\n", reader.firstInputByteOrderMark());
        writer->setSeedColumns(reader.firstHeader());
        writer->finish();
        writer.reset();
        out = contents(sink);
    } catch (const Exception&) {
    } catch (const std::bad_alloc&) {
    }
    std::fclose(sink);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t choice = data[0];
    static const Format formats[] = {Format::Csv, Format::Tsv, Format::JsonLines};
    const Format format = formats[(choice & 3) % 3];
    ReaderOptions options;
    options.inferNumbers = (choice & 4) == 0;
    options.implicitHeader = format != Format::JsonLines && (choice & 8) != 0;
    if (format == Format::Csv && (choice & 16) != 0)
        options.separator = ';';
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::optional<std::string> first = pass(input, format, options);
    if (!first)
        return 0;
    const std::optional<std::string> second = pass(*first, format, options);
    if (!second)
        fuzz::finding("what the writer wrote does not read back",
                      "input:\n" + input + "\nwritten:\n" + *first);
    if (*second != *first)
        fuzz::finding("a second pass changed the records",
                      "input:\n" + input + "\nfirst:\n" + *first + "\nsecond:\n" + *second);
    return 0;
}
