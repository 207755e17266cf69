// The BINR read loop. Every accepted 0x88 message opens a new node; the 0x52,
// 0x60 and 0x93 messages after it complete that node, so the receiver's message
// order alone decides where satellites and DOP belong. Messages that arrive
// before the first node, unknown ids and lengths the table does not accept are
// dropped without a word.
#include "binr/binr_reader.h"

#include <array>
#include <memory>

#include "binr/decoders.h"
#include "binr/framer.h"

namespace tervo {

namespace {

constexpr size_t kBlockSize = kReadBlockSize;

enum class Target {
    NewNode,   // appended behind Tail before decoding
    LastNode,  // decoded into Tail; dropped while there is none
};

struct Route {
    uint8_t id;
    // Stored lengths accepted; {0, 0} leaves the length to the decoder.
    std::array<uint16_t, 2> lengths;
    Target target;
    void (*decode)(const BinrPacket&, waypoints&);
};

constexpr std::array<Route, 4> kRoutes = {{
    {0x88, {72, 76}, Target::NewNode, DecodeBinrPosition},
    {0x52, {0, 0}, Target::LastNode, DecodeBinrSatellites},
    {0x60, {14, 18}, Target::LastNode, DecodeBinrDop},
    {0x93, {0, 0}, Target::LastNode, DecodeBinrUsedSatellites},
}};

const Route* FindRoute(const BinrPacket& packet) {
    for (const Route& route : kRoutes) {
        if (route.id != packet.id) {
            continue;
        }
        const bool anyLength = route.lengths[0] == 0;
        if (anyLength || packet.length == route.lengths[0] || packet.length == route.lengths[1]) {
            return &route;
        }
        return nullptr;
    }
    return nullptr;
}

// Dispatches one completed packet. Returns false when a node could not be allocated.
bool Dispatch(const BinrPacket& packet, PointList& points, bool& firstFixFound) {
    const Route* route = FindRoute(packet);
    if (route == nullptr) {
        return true;
    }
    if (route->target == Target::LastNode) {
        if (points.Tail != nullptr) {
            route->decode(packet, points.Tail->Point);
        }
        return true;
    }
    list* node = points.AppendPoint();
    if (node == nullptr) {
        return false;
    }
    route->decode(packet, node->Point);
    if (!firstFixFound && node->Point.Status == 'A') {
        points.FirstFix = node;
        firstFixFound = true;
    }
    return true;
}

}  // namespace

struct BinrStreamReader::State {
    explicit State(PointList& points) : points(points) {}
    PointList& points;
    BinrPacket packet;
    BinrFramer framer;
    bool firstFixFound = false;
    bool stopped = false;
};

BinrStreamReader::BinrStreamReader(PointList& points) : state_(std::make_unique<State>(points)) {}

BinrStreamReader::~BinrStreamReader() = default;

bool BinrStreamReader::Feed(const uint8_t* bytes, size_t size) {
    State& s = *state_;
    for (size_t i = 0; i < size && !s.stopped; ++i) {
        if (s.framer.BinrFeedByte(bytes[i], s.packet) == BinrFeedResult::Complete &&
            !Dispatch(s.packet, s.points, s.firstFixFound)) {
            s.stopped = true;
        }
    }
    return !s.stopped;
}

void BinrStreamReader::Finish(bool startFirstFix) {
    state_->framer.ResetAtEndOfInput();
    state_->points.Start = startFirstFix ? state_->points.FirstFix : state_->points.Head;
}

ReadOutcome ReadBinrLog(std::FILE* input, ReadProgress& progress, int32_t progressStep, bool startFirstFix,
                        PointList& points, const BlockRead& blockRead) {
    std::array<uint8_t, kBlockSize> block{};
    BinrPacket packet;
    BinrFramer framer;
    bool firstFixFound = false;
    // Bytes since the last gauge step; it runs on across blocks, so the gauge
    // steps at every progressStep-th byte of the log (every byte when it is 0).
    int32_t progressCounter = 0;

    while (!std::feof(input)) {
        const size_t count = std::fread(block.data(), 1, block.size(), input);
        if (count == 0) {
            break;
        }
        for (size_t i = 0; i < count; ++i) {
            progress.ProcessPendingEvents();
            ++progressCounter;
            if (progressCounter >= progressStep) {
                progress.StepProgress();
                progressCounter = 0;
            }
            if (framer.BinrFeedByte(block[i], packet) != BinrFeedResult::Complete) {
                continue;
            }
            if (!Dispatch(packet, points, firstFixFound)) {
                return ReadOutcome::ListNotCreated;
            }
        }
        if (blockRead) {
            blockRead();
        }
    }

    framer.ResetAtEndOfInput();
    points.Start = startFirstFix ? points.FirstFix : points.Head;
    return ReadOutcome::Finished;
}

bool ContainsBinrMessage(const uint8_t* bytes, size_t size) {
    BinrFramer framer;
    auto packet = std::make_unique<BinrPacket>();
    for (size_t i = 0; i < size; ++i) {
        if (framer.BinrFeedByte(bytes[i], *packet) == BinrFeedResult::Complete &&
            FindRoute(*packet) != nullptr) {
            return true;
        }
    }
    return false;
}

}  // namespace tervo
