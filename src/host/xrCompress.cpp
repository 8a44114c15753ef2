#include "host/xrCompress.h"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "host/Exception.h"

namespace strand {

namespace {

// Output grows by this much per step; input goes to zlib in pieces that fit its 32-bit counters.
constexpr size_t kChunk = 64 * 1024;
constexpr size_t kMaxInputPiece = UINT_MAX;

// Hands zlib the next piece of the input once it has taken the previous one.
class InputFeeder {
  public:
    InputFeeder(z_stream& stream, const std::vector<uint8_t>& in)
        : m_stream(stream), m_next(in.data()), m_left(in.size()) {}

    void feed() {
        if (m_stream.avail_in != 0 || m_left == 0)
            return;
        size_t piece = std::min(m_left, kMaxInputPiece);
        m_stream.next_in = m_next;
        m_stream.avail_in = uInt(piece);
        m_next += piece;
        m_left -= piece;
    }
    bool allGiven() const { return m_left == 0; }
    size_t remaining() const { return m_left + m_stream.avail_in; }

  private:
    z_stream& m_stream;
    const uint8_t* m_next;
    size_t m_left;
};

struct DeflateEnd {
    z_stream& stream;
    ~DeflateEnd() { deflateEnd(&stream); }
};

struct InflateEnd {
    z_stream& stream;
    ~InflateEnd() { inflateEnd(&stream); }
};

}  // namespace

xrCompress::xrCompress(unsigned level, size_t maxDecompressedSize)
    : m_level(std::min(level, 9u)), m_maxDecompressedSize(maxDecompressedSize) {}

void xrCompress::Compress(Array<uint8_t>& out, const Array<uint8_t>& in) const {
    z_stream stream{};
    int rc = deflateInit(&stream, int(m_level));
    if (rc == Z_MEM_ERROR)
        throw MemoryException();
    if (rc != Z_OK)
        throw Exception(u"Compression could not start (zlib error %d)", rc);
    DeflateEnd end{stream};

    InputFeeder input(stream, in.vector());
    std::vector<uint8_t> result;
    do {
        input.feed();
        size_t used = result.size();
        result.resize(used + kChunk);
        stream.next_out = result.data() + used;
        stream.avail_out = uInt(kChunk);
        rc = deflate(&stream, input.allGiven() ? Z_FINISH : Z_NO_FLUSH);
        result.resize(used + kChunk - stream.avail_out);
        // Z_BUF_ERROR only says no progress was possible this step; the loop supplies more.
        if (rc == Z_STREAM_ERROR)
            throw Exception(u"Compression failed (zlib error %d)", rc);
    } while (rc != Z_STREAM_END);
    out.vector().swap(result);
}

void xrCompress::Decompress(Array<uint8_t>& out, const Array<uint8_t>& in) const {
    z_stream stream{};
    int rc = inflateInit(&stream);
    if (rc == Z_MEM_ERROR)
        throw MemoryException();
    if (rc != Z_OK)
        throw Exception(u"Decompression could not start (zlib error %d)", rc);
    InflateEnd end{stream};

    InputFeeder input(stream, in.vector());
    std::vector<uint8_t> result;
    bool outputFull = false;  // zlib may hold more output even when all input is taken
    while (rc != Z_STREAM_END) {
        input.feed();
        if (stream.avail_in == 0 && !outputFull)
            throw Exception(u"Compressed data is truncated");
        size_t used = result.size();
        // Room for one byte beyond the limit tells a result at the limit from one above it.
        size_t room = m_maxDecompressedSize - used >= kChunk ? kChunk : m_maxDecompressedSize - used + 1;
        result.resize(used + room);
        stream.next_out = result.data() + used;
        stream.avail_out = uInt(room);
        rc = inflate(&stream, Z_NO_FLUSH);
        outputFull = stream.avail_out == 0;
        result.resize(used + room - stream.avail_out);
        if (rc == Z_NEED_DICT)
            throw Exception(u"Compressed data needs a preset dictionary");
        if (rc == Z_DATA_ERROR) {
            throw Exception(u"Compressed data is damaged: %s", stream.msg ? stream.msg : "invalid data");
        }
        if (rc == Z_MEM_ERROR)
            throw MemoryException();
        if (result.size() > m_maxDecompressedSize) {
            throw Exception(u"Decompressed data exceeds the limit of %lld bytes",
                            (long long)m_maxDecompressedSize);
        }
    }
    if (size_t extra = input.remaining(); extra != 0) {
        throw Exception(u"Compressed data has %lld bytes after its end", (long long)extra);
    }
    out.vector().swap(result);
}

}  // namespace strand
