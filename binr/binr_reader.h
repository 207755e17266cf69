// The BINR read loop: frames the binary messages of the log and builds one node
// per accepted position message.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "core/point_list.h"
#include "core/read_progress.h"

namespace tervo {

// Reads `input` to its end, builds `points` (Head to Tail, FirstFix, and Start at
// the end: FirstFix when startFirstFix, Head otherwise). Returns ListNotCreated,
// having stopped at once, when a node cannot be allocated. `blockRead`, when
// set, is called after each block.
ReadOutcome ReadBinrLog(std::FILE* input, ReadProgress& progress, int32_t progressStep, bool startFirstFix,
                        PointList& points, const BlockRead& blockRead = {});

// The same decoding for a log that arrives in pieces: the bytes handed to Feed,
// in whatever pieces, give the list ReadBinrLog gives for them. Every node but
// the last is complete after each Feed.
class BinrStreamReader {
public:
    explicit BinrStreamReader(PointList& points);
    ~BinrStreamReader();
    BinrStreamReader(const BinrStreamReader&) = delete;
    BinrStreamReader& operator=(const BinrStreamReader&) = delete;

    // False when a node could not be allocated; the reader takes nothing more then.
    bool Feed(const uint8_t* bytes, size_t size);
    // The log has ended: Start is set as ReadBinrLog sets it.
    void Finish(bool startFirstFix);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Whether `bytes` hold at least one framed message that the read loop takes
// (0x88, 0x52, 0x60 or 0x93 with a length it accepts).
bool ContainsBinrMessage(const uint8_t* bytes, size_t size);

}  // namespace tervo
