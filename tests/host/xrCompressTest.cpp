#include "host/xrCompress.h"

#include <gtest/gtest.h>

#include <string>

#include "Failure.h"

using strand::Array;
using strand::xrCompress;
using strand::test::failure;
using Bytes = Array<uint8_t>;

namespace {

// Repeated words alternating with noise, so that deflate uses both back-references and literals.
Bytes mixedData(size_t size) {
    Bytes data;
    uint32_t noise = 12345;
    for (size_t i = 0; i < size; ++i) {
        noise = noise * 1103515245u + 12345u;
        data.add((i / 1000) % 3 == 2 ? uint8_t(noise >> 24) : uint8_t("the lazy dog jumps "[i % 19]));
    }
    return data;
}

Bytes compressed(const Bytes& in, unsigned level = 9) {
    Bytes out;
    xrCompress(level).Compress(out, in);
    return out;
}

}  // namespace

TEST(xrCompress, RoundTripKeepsEveryByte) {
    for (size_t size : {0, 1, 100, 65537, 1024 * 1024}) {
        Bytes in = mixedData(size);
        Bytes packed = compressed(in);
        Bytes unpacked = {1, 2, 3};
        xrCompress().Decompress(unpacked, packed);
        EXPECT_EQ(unpacked, in) << size;
        // A zlib header: deflate with a 32 KiB window, and its check.
        EXPECT_EQ(packed[0], 0x78);
        EXPECT_EQ((packed[0] * 256 + packed[1]) % 31, 0);
    }
    EXPECT_LT(compressed(mixedData(1024 * 1024)).size(), 1024u * 1024 / 2);
    // Level 0 only stores; levels above 9 are 9.
    EXPECT_GT(compressed(mixedData(5000), 0).size(), 5000u);
    EXPECT_EQ(xrCompress(10).GetLevel(), 9u);
    EXPECT_EQ(compressed(mixedData(5000), 99), compressed(mixedData(5000), 9));
}

TEST(xrCompress, DamagedOrTruncatedDataThrows) {
    const Bytes packed = compressed(mixedData(70000));
    Bytes out = {7};
    auto errorFor = [&](Bytes in) { return failure([&] { xrCompress().Decompress(out, in); }); };
    Bytes bad = packed;
    bad[1] ^= 0xFF;
    EXPECT_EQ(errorFor(bad), "Compressed data is damaged: incorrect header check");
    bad = packed;
    bad[bad.size() - 1] ^= 0x01;
    EXPECT_EQ(errorFor(bad), "Compressed data is damaged: incorrect data check");
    bad = packed;
    for (int i = 0; i < 3; ++i)
        bad.add(0);
    EXPECT_EQ(errorFor(bad), "Compressed data has 3 bytes after its end");
    for (size_t keep : {size_t(0), size_t(2), packed.size() / 2, packed.size() - 1}) {
        Bytes cut(std::vector<uint8_t>(packed.begin(), packed.begin() + std::ptrdiff_t(keep)));
        EXPECT_EQ(errorFor(cut), "Compressed data is truncated") << keep;
    }
    // A failed call leaves the output alone.
    EXPECT_EQ(out, Bytes{7});
}

TEST(xrCompress, SizeLimitStopsDecompressionBombs) {
    EXPECT_EQ(xrCompress().GetMaxDecompressedSize(), size_t(256) * 1024 * 1024);
    const size_t limit = 300000;
    Bytes zeros;
    zeros.resize(limit, 0);
    Bytes out;
    // Exactly the limit passes.
    xrCompress(9, limit).Decompress(out, compressed(zeros));
    EXPECT_EQ(out.size(), limit);
    zeros.add(0);
    Bytes bomb = compressed(zeros);
    EXPECT_LT(bomb.size(), 1000u);
    EXPECT_EQ(failure([&] { xrCompress(9, limit).Decompress(out, bomb); }),
              "Decompressed data exceeds the limit of 300000 bytes");
    EXPECT_EQ(failure([&] { xrCompress(9, 0).Decompress(out, compressed(Bytes{1})); }),
              "Decompressed data exceeds the limit of 0 bytes");
}
