#include "host/ByteStream.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "host/Exception.h"
#include "host/Unicode.h"

namespace strand {

size_t MemoryInputStream::read(uint8_t* buffer, size_t count) {
    size_t n = std::min(count, remaining());
    if (n)
        std::memcpy(buffer, m_bytes.data() + m_position, n);
    m_position += n;
    return n;
}

namespace stream {

namespace {

// Reads exactly `count` bytes or raises `eofMessage`.
void readExactly(iByteInputStream& in, uint8_t* buffer, size_t count, const char16_t* eofMessage) {
    if (in.read(buffer, count) != count)
        throw Exception(String(std::u16string_view(eofMessage)));
}

template <typename T>
T littleEndian(const uint8_t* bytes, size_t count) {
    uint64_t bits = 0;
    for (size_t i = count; i-- > 0;)
        bits = (bits << 8) | bytes[i];
    return T(bits);
}

void putLittleEndian(uint8_t* bytes, uint64_t bits, size_t count) {
    for (size_t i = 0; i < count; ++i, bits >>= 8)
        bytes[i] = uint8_t(bits);
}

void checkReadableVersion(int32_t version) {
    if (version < 1)
        throw Exception(u"Unknown serialization version %d\n", version);
}

// Code units are read a block at a time, so a text costs memory in proportion to the bytes that
// actually arrived, whatever its count announced.
constexpr size_t kBlockUnits = 4096;

void readUtf16Units(iByteInputStream& in, int64_t units, String& out) {
    uint8_t block[2 * kBlockUnits];
    std::u16string& text = out.mutableStr();
    while (units > 0) {
        const size_t n = size_t(std::min<int64_t>(units, int64_t(kBlockUnits)));
        readExactly(in, block, 2 * n, u"EOF reading wchar_t additional bytes");
        for (size_t i = 0; i < n; ++i)
            text.push_back(char16_t(block[2 * i] | (block[2 * i + 1] << 8)));
        units -= int64_t(n);
    }
}

// The bytes after a lead byte, and the value bits the lead carries; 0 for a lead that starts no
// sequence (a continuation byte, FE, FF).
size_t followingBytes(uint8_t lead, uint32_t& bits) {
    if (lead < 0xC0)
        return 0;
    if (lead < 0xE0)
        return bits = lead & 0x1F, 1;
    if (lead < 0xF0)
        return bits = lead & 0x0F, 2;
    if (lead < 0xF8)
        return bits = lead & 0x07, 3;
    if (lead < 0xFC)
        return bits = lead & 0x03, 4;
    if (lead < 0xFE)
        return bits = lead & 0x01, 5;
    return 0;
}

void readUtf8Units(iByteInputStream& in, int32_t units, String& out) {
    std::u16string& text = out.mutableStr();
    for (int32_t index = 1; index <= units; ++index) {
        uint8_t lead;
        if (in.read(&lead, 1) != 1)
            throw Exception(u"EOF reading byte %d in string of length %d", index, units);
        if (lead < 0x80) {
            text.push_back(char16_t(lead));
            continue;
        }
        uint32_t code = 0;
        const size_t more = followingBytes(lead, code);
        if (more == 0) {
            throw Exception(u"Invalid lead byte 0x%02X at byte %d in string of length %d", unsigned(lead),
                            index, units);
        }
        uint8_t rest[5];
        readExactly(in, rest, more, u"EOF reading wchar_t additional bytes");
        for (size_t i = 0; i < more; ++i) {
            if ((rest[i] & 0xC0) != 0x80) {
                throw Exception(u"Invalid continuation byte 0x%02X at byte %d in string of length %d",
                                unsigned(rest[i]), index, units);
            }
            code = (code << 6) | (rest[i] & 0x3F);
        }
        // The longer forms are read for what they are and keep the low 16 bits.
        text.push_back(char16_t(code & 0xFFFF));
    }
}

void writeUnits(iByteOutputStream& out, std::u16string_view text, const char16_t* versionMessage) {
    // The count is the code units plus one, so a text must leave room for the one.
    if (text.size() >= size_t(INT32_MAX))
        throw Exception(u"Text of %lld code units is too long for a stream", (long long)text.size());
    writeInt(out, int32_t(text.size() + 1));
    if (text.empty())
        return;
    const int32_t version = out.getSerializationVersion();
    if (version < 1)
        throw Exception(versionMessage, version);
    std::string bytes;
    if (version == 1) {
        bytes.reserve(2 * std::min(text.size(), kBlockUnits));
        for (char16_t unit : text) {
            bytes.push_back(char(unit & 0xFF));
            bytes.push_back(char(unit >> 8));
            if (bytes.size() >= 2 * kBlockUnits) {
                out.write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
                bytes.clear();
            }
        }
    } else {
        // Each code unit on its own: a surrogate is written as its own three bytes, pairs are not
        // combined.
        for (char16_t unit : text) {
            unicode::appendUtf8(unit, bytes);
            if (bytes.size() >= 3 * kBlockUnits) {
                out.write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
                bytes.clear();
            }
        }
    }
    if (!bytes.empty())
        out.write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

size_t intSize(int32_t value) noexcept {
    if (value >= -16 && value <= 15)
        return 1;
    if (value >= -128 && value <= 127)
        return 2;
    if (value >= -32768 && value <= 32767)
        return 3;
    return 5;
}

void writeInt(iByteOutputStream& out, int32_t value) {
    uint8_t bytes[5];
    const size_t size = intSize(value);
    if (size == 1) {
        bytes[0] = uint8_t(uint32_t(value) << 2);
    } else {
        bytes[0] = uint8_t(size == 2 ? 0x01 : size == 3 ? 0x02 : 0x03);
        putLittleEndian(bytes + 1, uint64_t(uint32_t(value)), size - 1);
    }
    out.write(bytes, size);
}

int32_t readInt(iByteInputStream& in) {
    uint8_t header;
    if (in.read(&header, 1) != 1)
        throw Exception(u"EOF reading int header");
    uint8_t bytes[4];
    switch (header) {
        case 0x01:
            readExactly(in, bytes, 1, u"EOF reading int as byte");
            return int8_t(bytes[0]);
        case 0x02:
            readExactly(in, bytes, 2, u"EOF reading int as short");
            return littleEndian<int16_t>(bytes, 2);
        case 0x03:
            readExactly(in, bytes, 4, u"EOF reading int as int");
            return littleEndian<int32_t>(bytes, 4);
        default:
            // The short form: the byte as a signed value, shifted right arithmetically by 2.
            return int32_t(int8_t(header)) >> 2;
    }
}

void writeBool(iByteOutputStream& out, bool value) {
    writeByte(out, value ? 1 : 0);
}

bool readBool(iByteInputStream& in) {
    return readByte(in, u"EOF reading bool") != 0;
}

void writeString(iByteOutputStream& out, const String& text) {
    if (text.isNull())
        return writeInt(out, 0);
    writeUnits(out, text.view(), u"iByteOutputStream::String: Unknown serialization version %d\n");
}

void writeText(iByteOutputStream& out, const char16_t* text, size_t length) {
    if (!text)
        return writeInt(out, 0);
    writeUnits(out, std::u16string_view(text, length), u"Unknown serialization version %d\n");
}

void readString(iByteInputStream& in, String& out) {
    const int32_t count = readInt(in);
    if (count < 0)
        throw Exception(u"Negative string length %d in the stream", count);
    if (count == 0)
        return out.setNull();
    out = String::empty();
    if (count == 1)
        return;
    checkReadableVersion(in.getSerializationVersion());
    if (in.getSerializationVersion() == 1)
        return readUtf16Units(in, int64_t(count) - 1, out);
    readUtf8Units(in, count - 1, out);
}

String readString(iByteInputStream& in) {
    String text;
    readString(in, text);
    return text;
}

int32_t readCount(iByteInputStream& in, const char16_t* what) {
    const int32_t count = readInt(in);
    if (count < 0)
        throw Exception(u"Negative %ls count %d in the stream", String(std::u16string_view(what)), count);
    return count;
}

void writeInt64(iByteOutputStream& out, int64_t value) {
    uint8_t bytes[8];
    putLittleEndian(bytes, uint64_t(value), 8);
    out.write(bytes, 8);
}

int64_t readInt64(iByteInputStream& in) {
    uint8_t bytes[8];
    readExactly(in, bytes, 8, u"EOF reading a 64-bit integer");
    return littleEndian<int64_t>(bytes, 8);
}

void writeDouble(iByteOutputStream& out, double value) {
    writeInt64(out, std::bit_cast<int64_t>(value));
}

double readDouble(iByteInputStream& in) {
    uint8_t bytes[8];
    readExactly(in, bytes, 8, u"EOF reading a double");
    return std::bit_cast<double>(littleEndian<uint64_t>(bytes, 8));
}

void writeByte(iByteOutputStream& out, uint8_t value) {
    out.write(&value, 1);
}

uint8_t readByte(iByteInputStream& in, const char16_t* eofMessage) {
    uint8_t byte;
    readExactly(in, &byte, 1, eofMessage);
    return byte;
}

}  // namespace stream

}  // namespace strand
