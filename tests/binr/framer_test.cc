#include "binr/framer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tervo {
namespace {

struct FramingCase {
    const char* legend;
    std::vector<uint8_t> bytes;
    // One digit per byte fed: 0 consumed, 1 complete, 2 restarted.
    const char* results;
    // What the last completed message holds.
    uint8_t id;
    uint16_t length;
    std::vector<uint8_t> payload;
};

const FramingCase kFramingCases[] = {
    {"a plain message completes on its ETX, not before",
     {0x10, 0x88, 0x01, 0x02, 0x10, 0x03},
     "000001",
     0x88,
     5,
     {0x01, 0x02}},
    {"a doubled DLE is one data byte (storing both would shift every later field)",
     {0x10, 0x60, 0x10, 0x10, 0x05, 0x10, 0x03},
     "0000001",
     0x60,
     5,
     {0x10, 0x05}},
    {"DLE 0xFF keeps both bytes instead of dropping the DLE or restarting",
     {0x10, 0x52, 0x10, 0xFF, 0x10, 0x03},
     "000001",
     0x52,
     5,
     {0x10, 0xFF}},
    {"a second DLE after the opening one is no id",
     {0x10, 0x10, 0x88, 0x01, 0x10, 0x03},
     "000001",
     0x88,
     4,
     {0x01}},
    {"DLE and an unexpected byte restart with that byte as the id",
     {0x10, 0x88, 0x01, 0x10, 0x20, 0x02, 0x10, 0x03},
     "00002001",
     0x20,
     4,
     {0x02}},
    {"a DLE right after a restart is ignored like one after an opening DLE",
     {0x10, 0x88, 0x10, 0x20, 0x10, 0x05, 0x10, 0x03},
     "00020001",
     0x20,
     4,
     {0x05}},
    {"bytes before the first DLE are noise",
     {0x41, 0x42, 0x43, 0x10, 0x88, 0x01, 0x10, 0x03},
     "00000001",
     0x88,
     4,
     {0x01}},
    {"an ETX right after the opening DLE is the id, not an end",
     {0x10, 0x03, 0x10, 0x03},
     "0001",
     0x03,
     3,
     {}},
    {"a lone ETX or DLE-less bytes between messages change nothing",
     {0x10, 0x60, 0x07, 0x10, 0x03, 0x03, 0x55, 0x10, 0x93, 0x08, 0x10, 0x03},
     "000010000001",
     0x93,
     4,
     {0x08}},
};

TEST(BinrFramer, FramesEveryExampleByteByByte) {
    for (const FramingCase& c : kFramingCases) {
        SCOPED_TRACE(c.legend);
        BinrFramer framer;
        BinrPacket packet;
        std::string results;
        for (uint8_t byte : c.bytes) {
            results += static_cast<char>('0' + static_cast<int>(framer.BinrFeedByte(byte, packet)));
        }
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(packet.id, c.id);
        ASSERT_EQ(packet.length, c.length);
        const std::vector<uint8_t> payload(packet.data.begin() + 2, packet.data.begin() + packet.length - 1);
        EXPECT_EQ(payload, c.payload);
        EXPECT_EQ(packet.data[0], kBinrDle);
        EXPECT_EQ(packet.data[packet.length - 1u], kBinrDle) << "closing DLE is stored and counted";
        EXPECT_EQ(packet.data[packet.length], kBinrEtx) << "ETX written after the stored bytes";
    }
}

TEST(BinrFramer, NewMessageZeroesWhatTheLastOneLeft) {
    // Decoders read past short payloads; stale bytes of a longer message there
    // would be taken for data.
    const std::vector<uint8_t> stream = {0x10, 0x88, 1,    2,    3,    4, 5,    6,   7,
                                         8,    0x10, 0x03, 0x10, 0x60, 9, 0x10, 0x03};
    BinrFramer framer;
    BinrPacket packet;
    for (uint8_t byte : stream) {
        framer.BinrFeedByte(byte, packet);
    }
    ASSERT_EQ(packet.length, 4);
    EXPECT_EQ(packet.data[4], kBinrEtx);
    for (size_t i = 5; i < packet.data.size(); ++i) {
        ASSERT_EQ(packet.data[i], 0) << "at " << i;
    }
}

// Feeds DLE, id, `payloadSize` bytes 0x01, DLE, ETX, then a short 0x60 message;
// returns the completed messages' lengths.
std::vector<int> FeedOversized(int payloadSize) {
    std::vector<uint8_t> stream = {0x10, 0x88};
    stream.insert(stream.end(), static_cast<size_t>(payloadSize), 0x01);
    stream.insert(stream.end(), {0x10, 0x03, 0x10, 0x60, 0x05, 0x10, 0x03});
    BinrFramer framer;
    BinrPacket packet;
    std::vector<int> lengths;
    for (uint8_t byte : stream) {
        if (framer.BinrFeedByte(byte, packet) == BinrFeedResult::Complete) {
            lengths.push_back(packet.length);
            EXPECT_EQ(packet.data[packet.length], kBinrEtx);
        }
    }
    return lengths;
}

TEST(BinrFramer, SizeLimit) {
    // 2045 payload bytes store 2048: the largest message that completes, its ETX
    // in the last byte of data.
    EXPECT_EQ(FeedOversized(2045), (std::vector<int>{2048, 4}));
    // 2049 stored bytes: the ETX is dropped with the message, and framing picks
    // up at the next message instead of writing past data.
    EXPECT_EQ(FeedOversized(2046), (std::vector<int>{4}));
    EXPECT_EQ(FeedOversized(5000), (std::vector<int>{4}));
}

TEST(BinrFramer, EndOfInputDiscardsTheUnfinishedMessage) {
    BinrFramer framer;
    BinrPacket packet;
    for (uint8_t byte : {0x10, 0x88, 0x01}) {
        framer.BinrFeedByte(byte, packet);
    }
    framer.ResetAtEndOfInput();
    // Idle again: 88 02 are noise and 10 03 opens a message with id 0x03. A framer
    // still inside the old message would complete it here.
    std::string results;
    for (uint8_t byte : {0x88, 0x02, 0x10, 0x03}) {
        results += static_cast<char>('0' + static_cast<int>(framer.BinrFeedByte(byte, packet)));
    }
    EXPECT_EQ(results, "0000");
}

}  // namespace
}  // namespace tervo
