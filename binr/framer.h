// Frames the messages of a BINR byte stream: DLE, id, payload with every DLE
// sent twice, DLE, ETX. There is no length field and no checksum, so the framing
// bytes alone delimit a message.
#pragma once

#include <array>
#include <cstdint>

namespace tervo {

inline constexpr uint8_t kBinrDle = 0x10;
inline constexpr uint8_t kBinrEtx = 0x03;

// The most bytes one message may store (opening DLE, id, payload, closing DLE).
// A message that would need more never completes.
inline constexpr int kBinrMaxStored = 2049;

// One framed message.
//
// data[0] is the opening DLE, data[1] the id, data[2] .. data[length - 2] the
// payload with each doubled DLE stored once, data[length - 1] the closing DLE and
// data[length] an ETX. data is zeroed when a message begins, so the bytes past
// the ETX read as zero; the decoders rely on that.
struct BinrPacket {
    std::array<uint8_t, kBinrMaxStored> data{};
    uint8_t id = 0;       // data[1], set on completion
    uint16_t length = 0;  // stored bytes on completion: payload + 3 (the ETX is not counted)
};

enum class BinrFeedResult {
    Consumed = 0,   // the byte was stored or dropped; no message is complete
    Complete = 1,   // the packet holds a whole message until the next byte is fed
    Restarted = 2,  // a DLE was followed by an unexpected byte: the partial message was
                    // dropped and a new one begun with that byte as its id; callers treat
                    // it like Consumed
};

// The framing state of one conversion run. It lives across the read blocks.
class BinrFramer {
public:
    // Takes the next byte of the stream into `packet`.
    BinrFeedResult BinrFeedByte(uint8_t byte, BinrPacket& packet);

    // After the last byte of the input: an unfinished message is discarded and
    // the framer is Idle again. The packet's bytes are left as they are.
    void ResetAtEndOfInput();

private:
    enum class State {
        Idle,     // between messages: waiting for an opening DLE
        Start,    // an opening DLE (or the DLE of a restart) is stored: the id is next
        Body,     // inside a message
        BodyDle,  // inside a message, the last stored byte is a DLE still without its partner
    };

    void Store(uint8_t byte, BinrPacket& packet);

    State state_ = State::Idle;
    int count_ = 0;  // bytes stored for the message being assembled
};

}  // namespace tervo
