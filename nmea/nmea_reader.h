// The NMEA read loop: reads the log in 1024-byte blocks, feeds every byte to the
// sentence assembler and groups the decoded sentences into one node per epoch.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "core/platform.h"
#include "core/point_list.h"
#include "core/read_progress.h"
#include "core/satellite_observations.h"
#include "nmea/sentence.h"

namespace tervo {

// What the read loop does beyond what it always did; the defaults change nothing.
struct NmeaReadOptions {
    // Epochs left without a date (GGA-only epochs, an RMC whose date field
    // could not be read) take the date of the latest ZDA sentence ("$xxZDA,
    // time,dd,mm,yyyy,zh,zm", six commas, any talker), stepped over midnight
    // by their times: each such epoch is dated against the latest ZDA or the
    // dateless epoch dated before it, whichever came later, and gets its date,
    // a day later when its time lies more than 12 hours before that one's (a
    // midnight passed), a day earlier when more than 12 hours after (a ZDA
    // sent just past midnight, ahead of the epoch). Dates are set when an epoch
    // is complete (a next epoch began, or the log ended), so a ZDA that
    // follows its epoch's GGA still dates it. Epochs before any ZDA, and
    // epochs without a time, stay without a date.
    bool DatesFromZda = false;
    // When set, the satellites the report needs beyond the record's table are
    // kept here, each GSV and GSA read for the epoch the record's decoders give
    // it to (see satellite_observer.h). The record and the list do not change.
    SatelliteObservations* Observations = nullptr;
};

// Reads `input` to its end, builds `points` (Head to Tail, FirstFix, and Start at
// the end: FirstFix when startFirstFix, Head otherwise) and fills `logDate`.
// Returns ListNotCreated, having stopped at once, when a node cannot be allocated.
// `blockRead`, when set, is called after each block.
ReadOutcome ReadNmeaLog(std::FILE* input, ReadProgress& progress, int32_t progressStep, bool startFirstFix,
                        SentenceAssembler& assembler, DateSource& today, PointList& points,
                        NmeaLogDate& logDate, const BlockRead& blockRead = {},
                        const NmeaReadOptions& options = {});

// The same decoding for a log that arrives in pieces (a receiver on a line):
// the bytes handed to Feed, in whatever pieces, give the list, the log's date
// and the dates ReadNmeaLog gives for those bytes read from a file. Every node
// but the last is complete after each Feed.
class NmeaStreamReader {
public:
    NmeaStreamReader(SentenceAssembler& assembler, DateSource& today, PointList& points, NmeaLogDate& logDate,
                     const NmeaReadOptions& options = {});
    ~NmeaStreamReader();
    NmeaStreamReader(const NmeaStreamReader&) = delete;
    NmeaStreamReader& operator=(const NmeaStreamReader&) = delete;

    // False when a node could not be allocated; the reader takes nothing more then.
    bool Feed(const uint8_t* bytes, size_t size);
    // The log has ended: the last epoch is complete (and dated), the log's date
    // settled, and Start set as ReadNmeaLog sets it.
    void Finish(bool startFirstFix);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tervo
