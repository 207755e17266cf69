// BINR framing, one byte at a time.
//
// Error policy: bytes outside a message are ignored. A DLE inside a message must
// be followed by a second DLE (one data byte 0x10), by ETX (the end) or by 0xFF
// (kept as the two data bytes DLE 0xFF); any other byte abandons the message and
// starts a new one on that DLE, with the byte as its id. A message that would
// store more than kBinrMaxStored bytes is dropped whole. Nothing is reported.
#include "binr/framer.h"

#include <cstddef>

namespace tervo {

namespace {

constexpr uint8_t kKeptAfterDle = 0xFF;

}  // namespace

void BinrFramer::Store(uint8_t byte, BinrPacket& packet) {
    packet.data[static_cast<std::size_t>(count_)] = byte;
    ++count_;
}

BinrFeedResult BinrFramer::BinrFeedByte(uint8_t byte, BinrPacket& packet) {
    // Checked before anything is written: every write below goes to data[count_]
    // with count_ <= kBinrMaxStored - 1, which keeps both the stored bytes and the
    // ETX of a completed message inside data.
    if (count_ > kBinrMaxStored - 1) {
        packet.data.fill(0);
        count_ = 0;
        state_ = State::Idle;
        return BinrFeedResult::Consumed;
    }

    switch (state_) {
        case State::Idle:
            if (byte == kBinrDle) {
                packet.data.fill(0);
                count_ = 0;
                Store(byte, packet);
                state_ = State::Start;
            }
            return BinrFeedResult::Consumed;

        case State::Start:
            // A DLE right after the opening DLE (or a restart) is not an id.
            if (byte != kBinrDle) {
                Store(byte, packet);
                state_ = State::Body;
            }
            return BinrFeedResult::Consumed;

        case State::Body:
            Store(byte, packet);
            state_ = byte == kBinrDle ? State::BodyDle : State::Body;
            return BinrFeedResult::Consumed;

        case State::BodyDle:
            if (byte == kBinrDle) {
                // The pair stands for one data byte 0x10, stored already.
                state_ = State::Body;
                return BinrFeedResult::Consumed;
            }
            if (byte == kKeptAfterDle) {
                Store(byte, packet);
                state_ = State::Body;
                return BinrFeedResult::Consumed;
            }
            if (byte == kBinrEtx) {
                packet.data[static_cast<std::size_t>(count_)] = kBinrEtx;
                packet.length = static_cast<uint16_t>(count_);
                packet.id = packet.data[1];
                count_ = 0;
                state_ = State::Idle;
                return BinrFeedResult::Complete;
            }
            // Resynchronise on the DLE just seen: it opens the next message.
            packet.data.fill(0);
            count_ = 0;
            Store(kBinrDle, packet);
            Store(byte, packet);
            state_ = State::Start;
            return BinrFeedResult::Restarted;
    }
    return BinrFeedResult::Consumed;
}

void BinrFramer::ResetAtEndOfInput() {
    state_ = State::Idle;
    count_ = 0;
}

}  // namespace tervo
