#pragma once
// Byte streams: what stored and transported objects are written to and read from. Every stream
// carries a serialization version chosen by its creator; readers and writers of records look at it
// to pick the form of what they read or write.

#include <cstdint>
#include <vector>

#include "host/Object.h"

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

}  // namespace strand
