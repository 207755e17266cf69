#include "kmz/parallel_deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "kmz/crc32.h"

namespace tervo {
namespace {

std::string Inflate(const std::string& deflated, bool* complete) {
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    std::string out;
    char buffer[4096];
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    z.avail_in = static_cast<uInt>(deflated.size());
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    }
    *complete = status == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return out;
}

// Text that repeats itself across chunk boundaries (so chunks refer back into
// the dictionary), with noise that keeps it from compressing to nothing.
std::string Document(size_t size) {
    std::string text;
    uint32_t state = 7;
    while (text.size() < size) {
        state = state * 1103515245u + 12345u;
        text += "<Placemark><name>" + std::to_string(state >> 16) + "</name>\r\n";
        if (state % 7 == 0) {
            text += static_cast<char>(state >> 24);
        }
    }
    text.resize(size);
    return text;
}

std::string Deflate(const std::string& input, unsigned threads, size_t chunk, uint32_t* crc) {
    std::string out;
    ParallelDeflater deflater(
        [&](const uint8_t* data, size_t size) { out.append(reinterpret_cast<const char*>(data), size); },
        threads, chunk);
    // Written in pieces that do not line up with the chunks.
    for (size_t at = 0; at < input.size(); at += 777) {
        const std::string piece = input.substr(at, 777);
        deflater.Write(reinterpret_cast<const uint8_t*>(piece.data()), piece.size());
    }
    deflater.Finish();
    EXPECT_EQ(deflater.InputSize(), input.size());
    EXPECT_EQ(deflater.OutputSize(), out.size());
    *crc = deflater.Crc();
    return out;
}

// Chunks of 5000 bytes, shorter than the 32 KiB dictionary, so that several
// chunks make up one dictionary; sizes on and around chunk boundaries.
TEST(ParallelDeflater, ChunksJoinIntoOneStreamThatInflatesToTheInput) {
    constexpr size_t kChunk = 5000;
    for (size_t size :
         {size_t{0}, size_t{1}, kChunk - 1, kChunk, kChunk + 1, 3 * kChunk, 60 * kChunk + 123}) {
        SCOPED_TRACE(size);
        const std::string input = Document(size);
        uint32_t crcOne = 0;
        uint32_t crcMany = 0;
        const std::string one = Deflate(input, 1, kChunk, &crcOne);
        const std::string many = Deflate(input, 3, kChunk, &crcMany);
        EXPECT_TRUE(one == many) << "the bytes must not depend on the threads";
        bool complete = false;
        EXPECT_TRUE(Inflate(many, &complete) == input);
        EXPECT_TRUE(complete);
        const uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(input.data()), static_cast<uInt>(input.size())));
        EXPECT_EQ(crcMany, crc);
        EXPECT_EQ(crcOne, crc);
    }
}

// Chunks far smaller than the writes and many more of them than slots: the
// ring wraps hundreds of times, the caller waiting for workers and the workers
// for the caller, and the bytes stay those of one thread.
TEST(ParallelDeflater, ARingThatWrapsManyTimesGivesTheBytesOfOneThread) {
    constexpr size_t kChunk = 600;
    const std::string input = Document(2000 * kChunk + 17);
    uint32_t crcOne = 0;
    const std::string one = Deflate(input, 1, kChunk, &crcOne);
    bool complete = false;
    EXPECT_TRUE(Inflate(one, &complete) == input);
    EXPECT_TRUE(complete);
    for (unsigned threads : {2u, 3u, 5u}) {
        SCOPED_TRACE(threads);
        uint32_t crcMany = 0;
        const std::string many = Deflate(input, threads, kChunk, &crcMany);
        EXPECT_TRUE(one == many) << "the bytes must not depend on the threads";
        EXPECT_EQ(crcMany, crcOne);
    }
}

// Every length around the 64- and 16-byte steps of the folding, at every
// alignment, continuing from other CRCs.
TEST(Crc32, GivesZlibsCrcForEveryLengthAndAlignment) {
    std::vector<uint8_t> bytes(70000);
    uint32_t state = 3;
    for (uint8_t& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<uint8_t>(state >> 23);
    }
    for (size_t offset = 0; offset < 16; ++offset) {
        for (size_t size : {size_t{0}, size_t{1}, size_t{15}, size_t{63}, size_t{64}, size_t{65}, size_t{79},
                            size_t{80}, size_t{127}, size_t{128}, size_t{1000}, size_t{65536} + 7}) {
            for (uint32_t start : {0u, 0xFFFFFFFFu, 0x12345678u}) {
                const uint8_t* data = bytes.data() + offset;
                EXPECT_EQ(Crc32(start, data, size), crc32(start, data, static_cast<uInt>(size)))
                    << "offset " << offset << ", size " << size << ", from " << start;
            }
        }
    }
}

TEST(ParallelDeflater, AnOutputThatThrowsLeavesTheCallAndTheWorkersStop) {
    const std::string input = Document(200000);
    int calls = 0;
    ParallelDeflater deflater(
        [&](const uint8_t*, size_t) {
            if (++calls == 2) {
                throw std::runtime_error("disk full");
            }
        },
        2, 10000);
    EXPECT_THROW(
        {
            deflater.Write(reinterpret_cast<const uint8_t*>(input.data()), input.size());
            deflater.Finish();
        },
        std::runtime_error);
}

}  // namespace
}  // namespace tervo
