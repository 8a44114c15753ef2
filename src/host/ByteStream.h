#pragma once
// Byte streams: what stored and transported objects are written to and read from. Every stream
// carries a serialization version chosen by its creator; readers and writers of records look at it
// to pick the form of what they read or write.

#include <cstdint>
#include <vector>

#include "host/Object.h"
#include "host/String.h"

namespace strand {

class iByteOutputStream : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iByteOutputStream"};
    virtual void write(const uint8_t* bytes, size_t count) = 0;
    virtual int32_t getSerializationVersion() const = 0;
};

class iByteInputStream : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iByteInputStream"};
    // Reads up to `count` bytes; answers how many were read (fewer at the end of the stream).
    virtual size_t read(uint8_t* buffer, size_t count) = 0;
    virtual int32_t getSerializationVersion() const = 0;
};

class MemoryOutputStream final : public iByteOutputStream {
  public:
    explicit MemoryOutputStream(int32_t version = 2) : m_version(version) {}
    void write(const uint8_t* bytes, size_t count) override {
        m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    }
    int32_t getSerializationVersion() const override { return m_version; }
    const std::vector<uint8_t>& bytes() const noexcept { return m_bytes; }

  private:
    std::vector<uint8_t> m_bytes;
    int32_t m_version;
};

class MemoryInputStream final : public iByteInputStream {
  public:
    explicit MemoryInputStream(std::vector<uint8_t> bytes, int32_t version = 2)
        : m_bytes(std::move(bytes)), m_version(version) {}
    size_t read(uint8_t* buffer, size_t count) override;
    int32_t getSerializationVersion() const override { return m_version; }
    size_t remaining() const noexcept { return m_bytes.size() - m_position; }

  private:
    std::vector<uint8_t> m_bytes;
    size_t m_position = 0;
    int32_t m_version;
};

// The primitives every record is made of: compact integers, booleans and texts in the form the
// stream's version gives, plus the fixed-size numbers of the host value records. All little-endian.
// Every failure raises an Exception with the text a reader of the record can act on; nothing is ever
// reserved from a count read, so a hostile count costs no more memory than the bytes that follow it.
namespace stream {

// A signed 32-bit integer in 1, 2, 3 or 5 bytes: -16 to 15 as one byte (v × 4), then 0x01 and one
// byte, 0x02 and two, 0x03 and four.
void writeInt(iByteOutputStream& out, int32_t value);
int32_t readInt(iByteInputStream& in);
// The number of bytes writeInt takes for the value.
size_t intSize(int32_t value) noexcept;

// One byte, 0x01 or 0x00; any non-zero byte reads as true.
void writeBool(iByteOutputStream& out, bool value);
bool readBool(iByteInputStream& in);

// A text, null or not: the count (0 null, else code units + 1), then the code units, as UTF-16LE on
// version-1 streams and one UTF-8-shaped sequence per code unit on version 2 and above.
void writeString(iByteOutputStream& out, const String& text);
// The same for a plain character text (the names of groups); a null pointer is the null text.
void writeText(iByteOutputStream& out, const char16_t* text, size_t length);
String readString(iByteInputStream& in);
void readString(iByteInputStream& in, String& out);

// A count of things that follow: a compact integer that must not be negative. `what` names them in
// the message ("legal value", "group", ...).
int32_t readCount(iByteInputStream& in, const char16_t* what);

// Fixed-size numbers of the host records.
void writeInt64(iByteOutputStream& out, int64_t value);
int64_t readInt64(iByteInputStream& in);
void writeDouble(iByteOutputStream& out, double value);
double readDouble(iByteInputStream& in);
void writeByte(iByteOutputStream& out, uint8_t value);
uint8_t readByte(iByteInputStream& in, const char16_t* eofMessage);

}  // namespace stream

}  // namespace strand
