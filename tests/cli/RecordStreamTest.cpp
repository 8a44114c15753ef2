// Records through the reader and the writers when an embedder (or a script's built-ins) restructures
// them: removed, renamed, reordered and added properties, held rows spilled to a temporary file.
#include "RecordStream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "host/Value.h"

namespace strand::cli {
namespace {

class TempFile {
  public:
    explicit TempFile(const std::string& content) {
        char name[] = "/tmp/strand-record-XXXXXX";
        const int fd = mkstemp(name);
        EXPECT_GE(fd, 0);
        close(fd);
        m_path = name;
        std::ofstream(m_path, std::ios::binary) << content;
    }
    ~TempFile() { std::remove(m_path.c_str()); }
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

// Reads `input` record by record, lets `change` restructure each record, writes them all in `out`
// format with the given hold limit, and returns the output.
std::string pass(const std::string& input, Format in, Format out,
                 const std::function<void(iPropertyCollection&, int64_t)>& change, size_t holdBytes = 1 << 20,
                 std::optional<std::vector<String>> columns = std::nullopt) {
    TempFile source(input);
    std::FILE* sink = std::tmpfile();
    {
        RecordReader reader({InputSpec{source.path(), in}}, ReaderOptions{});
        WriterOptions options;
        options.columns = std::move(columns);
        options.holdBytes = holdBytes;
        auto writer = makeRecordWriter(out, sink, "test output", std::move(options));
        auto record = makePtr<DataRecord>();
        int64_t n = 0;
        while (reader.next(*record)) {
            change(*record->getPropertyList(), ++n);
            writer->write(*record->getPropertyList(), reader.fields());
        }
        writer->setSeedColumns(reader.firstHeader());
        writer->finish();
    }
    std::rewind(sink);
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, sink)) > 0)
        text.append(buffer, got);
    std::fclose(sink);
    return text;
}

const std::string kCsv = "id,code,price,note\n1,007,1.50,\"a,b\"\n2,010,+3,x\n3,099,1e3,\n";

TEST(RecordStream, RestructuredRecordsAreWrittenWholeInEachFormat) {
    using Change = std::function<void(iPropertyCollection&, int64_t)>;
    const Change same = [](iPropertyCollection&, int64_t) {};
    const Change added = [](iPropertyCollection& r, int64_t n) {
        if (n >= 2)
            r.define(u"extra", StringValue(u"e" + std::u16string(1, char16_t(u'0' + n))), 0);
        if (n == 3)
            r.define(u"last", IntegerValue(7), 0);
    };
    const std::string grown =
        "id,code,price,note,extra,last\n1,007,1.50,\"a,b\",,\n2,010,+3,x,e2,\n3,099,1e3,,e3,7\n";
    const struct {
        const char* name;
        std::string input;
        Format out;
        Change change;
        std::string expected;
        size_t holdBytes = 1 << 20;
        std::optional<std::vector<String>> columns = std::nullopt;
    } cases[] = {
        // A removed property leaves an empty cell and a changed value is written from the value (a text
        // that looks numeric quoted); the others keep their text as read.
        {"removed and changed", kCsv, Format::Csv,
         [](iPropertyCollection& r, int64_t n) {
             if (n == 1)
                 r.find(u"price")->setValue(DoubleValue(2.5));
             if (n == 2)
                 r.remove(u"code");
             if (n == 3)
                 r.find(u"code")->setValue(StringValue(u"11"));
         },
         "id,code,price,note\n1,007,2.5,\"a,b\"\n2,,+3,x\n3,\"11\",1e3,\n"},
        {"renamed and reordered", kCsv, Format::Csv,
         [](iPropertyCollection& r, int64_t) {
             r.rename(u"price", u"cost");
             r.reorderProperty(u"note", 0);
         },
         "note,id,code,cost\n\"a,b\",1,007,1.50\nx,2,010,+3\n,3,099,1e3\n"},
        // Added properties join the header, also when the held rows spill to a file.
        {"added", kCsv, Format::Csv, added, grown},
        {"added past the hold limit", kCsv, Format::Csv, added, grown, 1},
        {"to JSON Lines", kCsv, Format::JsonLines, same,
         "{\"id\":1,\"code\":\"007\",\"price\":1.50,\"note\":\"a,b\"}\n"
         "{\"id\":2,\"code\":\"010\",\"price\":3,\"note\":\"x\"}\n"
         "{\"id\":3,\"code\":\"099\",\"price\":1e3,\"note\":null}\n"},
        {"to TSV", kCsv, Format::Tsv, same,
         "id\tcode\tprice\tnote\n1\t007\t1.50\ta,b\n2\t010\t+3\tx\n3\t099\t1e3\t\n"},
        {"columns given", kCsv, Format::Csv, same, "price,ID,missing\n1.50,1,\n+3,2,\n1e3,3,\n", 1 << 20,
         std::vector<String>{String(u"price"), String(u"ID"), String(u"missing")}},
        {"header only", "a,b\n", Format::Csv, same, "a,b\n"},
        {"empty", "", Format::Csv, same, ""},
    };
    for (const auto& k : cases)
        EXPECT_EQ(pass(k.input, Format::Csv, k.out, k.change, k.holdBytes, k.columns), k.expected) << k.name;
}

TEST(RecordStream, BadRecordsAreReportedAndSkipped) {
    TempFile source("a,b\n1,2\n3\n4,5\n");
    RecordReader reader({InputSpec{source.path(), Format::Csv}}, ReaderOptions{});
    auto record = makePtr<DataRecord>();
    ASSERT_TRUE(reader.next(*record));
    try {
        reader.next(*record);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(String(e.getErrorMessageBlock()).toUtf8(),
                  "The record has 1 fields where the header has 2");
        EXPECT_EQ(reader.position().record, 2);
        EXPECT_EQ(reader.position().line, 3);
    }
    ASSERT_TRUE(reader.next(*record));
    EXPECT_EQ(record->getPropertyList()->find(u"b")->getValue().getDouble(), 5);
    EXPECT_FALSE(reader.next(*record));
}

TEST(RecordStream, AFileThatGrowsAfterOpeningIsReadWhole) {
    // The reader sizes its first read by the file as it was opened; what is added later, a record
    // many times that size among it, still comes whole.
    TempFile source("a,b\n1,x\n");
    RecordReader reader({InputSpec{source.path(), Format::Csv}}, ReaderOptions{});
    const std::string longText(300000, 'y');
    std::ofstream(source.path(), std::ios::binary | std::ios::app) << "2," << longText << "\n3,z\n";
    auto record = makePtr<DataRecord>();
    std::vector<std::string> seen;
    while (reader.next(*record))
        seen.push_back(record->getPropertyList()->find(u"b")->getValue().toString().toUtf8());
    EXPECT_EQ(seen, (std::vector<std::string>{"x", longText, "z"}));
}

}  // namespace
}  // namespace strand::cli
