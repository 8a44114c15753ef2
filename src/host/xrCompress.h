#pragma once
// xrCompress: compression of byte arrays in the zlib format (RFC 1950: a two-byte header, deflate
// data and an Adler-32 check), on zlib. Both directions stream through fixed-size chunks, so no
// output size is ever guessed in advance. Decompression refuses results above a size limit, so a
// small damaged or hostile input cannot claim unbounded memory. An xrCompress holds only its
// settings: one object may serve any number of threads at once.

#include <cstddef>
#include <cstdint>

#include "host/Array.h"

namespace strand {

class xrCompress {
  public:
    // The largest result Decompress gives by default: 256 MiB.
    static constexpr size_t kMaxDecompressedSize = 256u * 1024 * 1024;

    // level: zlib's 0 (stored, no compression) to 9 (smallest output); a level above 9 is taken as 9.
    // maxDecompressedSize: the largest result Decompress accepts.
    explicit xrCompress(unsigned level = 9, size_t maxDecompressedSize = kMaxDecompressedSize);

    unsigned GetLevel() const { return m_level; }
    size_t GetMaxDecompressedSize() const { return m_maxDecompressedSize; }

    // Replaces out with the zlib stream of in (an empty input gives a short stream, not nothing).
    void Compress(Array<uint8_t>& out, const Array<uint8_t>& in) const;
    // Replaces out with the data of the zlib stream in. Throws, leaving out unchanged, when:
    // - the data is not zlib data or is damaged: "Compressed data is damaged: <zlib's message>";
    // - the stream ends early (an empty input too): "Compressed data is truncated";
    // - bytes follow the end of the stream: "Compressed data has 3 bytes after its end";
    // - the stream needs a preset dictionary: "Compressed data needs a preset dictionary";
    // - the result would exceed the limit: "Decompressed data exceeds the limit of 1024 bytes".
    void Decompress(Array<uint8_t>& out, const Array<uint8_t>& in) const;

  private:
    unsigned m_level;
    size_t m_maxDecompressedSize;
};

}  // namespace strand
