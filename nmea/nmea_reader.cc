#include "nmea/nmea_reader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/calendar.h"
#include "nmea/decoders.h"
#include "nmea/satellite_observer.h"

namespace tervo {

namespace {

constexpr size_t kBlockSize = kReadBlockSize;

// Puts the working record into the zero state.
void ZeroFill(waypoints& record) { record = waypoints{}; }

bool TypeIs(const SentenceBuffer& buffer, std::string_view type) {
    return std::string_view(buffer.data() + 3, 3) == type;
}

bool AddressIs(const SentenceBuffer& buffer, std::string_view address) {
    return std::string_view(buffer.data() + 1, 5) == address;
}

// The sentence kinds the loop acts on, tested in this order.
enum class Sentence { Other, Gga, Rmc, Zda, Gsv, Gsa, Porzd, Tvldr };

// `zda`: ZDA sentences are looked at (NmeaReadOptions::DatesFromZda), even
// before the first epoch.
Sentence Recognise(const SentenceBuffer& buffer, bool haveTail, bool zda) {
    if (TypeIs(buffer, "GGA") && CommaCountIs(buffer, 14)) {
        return Sentence::Gga;
    }
    // 11 commas before NMEA 2.3, 12 with the mode indicator, 13 with the
    // navigational status of NMEA 4.1.
    if (TypeIs(buffer, "RMC") &&
        (CommaCountIs(buffer, 12) || CommaCountIs(buffer, 11) || CommaCountIs(buffer, 13))) {
        return Sentence::Rmc;
    }
    if (zda && TypeIs(buffer, "ZDA") && CommaCountIs(buffer, 6)) {
        return Sentence::Zda;
    }
    if (!haveTail) {
        return Sentence::Other;
    }
    if (TypeIs(buffer, "GSV")) {
        return Sentence::Gsv;
    }
    if (TypeIs(buffer, "GSA")) {
        return Sentence::Gsa;
    }
    if (AddressIs(buffer, "PORZD")) {
        return Sentence::Porzd;
    }
    if (AddressIs(buffer, "TVLDR")) {
        return Sentence::Tvldr;
    }
    return Sentence::Other;
}

constexpr int64_t kDayMs = 86'400'000;
constexpr int64_t kHalfDayMs = kDayMs / 2;

// The dates that ZDA sentences give to dateless epochs (NmeaReadOptions::DatesFromZda).
class ZdaDates {
public:
    // A ZDA with a time and a valid date becomes the reference.
    void Note(const waypoints& zda) {
        const std::optional<int64_t> days = DaysOfDateText(zda.Date);
        if (!zda.Time.empty() && days) {
            referenceDays_ = days;
            referenceMs_ = zda.TimeMs;
        }
    }

    // Dates a completed epoch that has a time but no date, and makes it the reference.
    void Date(waypoints& point) {
        if (!referenceDays_ || !point.Date.empty() || point.Time.empty()) {
            return;
        }
        const int64_t step = static_cast<int64_t>(point.TimeMs) - referenceMs_;
        int64_t days = *referenceDays_;
        if (step < -kHalfDayMs) {
            ++days;
        } else if (step > kHalfDayMs) {
            --days;
        }
        point.Date = DateTextOfDays(days);
        referenceDays_ = days;
        referenceMs_ = point.TimeMs;
    }

private:
    std::optional<int64_t> referenceDays_;
    int32_t referenceMs_ = 0;
};

// One read loop's grouping of sentences into epochs.
class EpochAssembly {
public:
    EpochAssembly(DateSource& today, PointList& points, NmeaLogDate& logDate, const NmeaReadOptions& options)
        : today_(today), points_(points), logDate_(logDate), options_(options) {}

    // False when a node could not be allocated.
    bool Take(const SentenceBuffer& buffer) {
        const std::string_view text = SentenceText(buffer);
        switch (Recognise(buffer, points_.Tail != nullptr, options_.DatesFromZda)) {
            case Sentence::Gga:
                return TakeGga(text);
            case Sentence::Rmc:
                return TakeRmc(text);
            case Sentence::Zda:
                ZeroFill(zda_);
                DecodeZda(text, zda_);
                zdaDates_.Note(zda_);
                if (firstZdaDate_.empty() && DaysOfDateText(zda_.Date)) {
                    firstZdaDate_ = zda_.Date;
                }
                return true;
            case Sentence::Gsv:
                DecodeGsv(text, points_.Tail->Point);
                if (options_.Observations != nullptr) {
                    ObserveGsv(text, points_.Tail, *options_.Observations);
                }
                return true;
            case Sentence::Gsa:
                DecodeGsa(text, points_.Tail->Point);
                if (options_.Observations != nullptr) {
                    ObserveGsa(text, points_.Tail, *options_.Observations);
                }
                return true;
            case Sentence::Porzd:
                DecodePorzd(text, points_.Tail->Point);
                return true;
            case Sentence::Tvldr:
                TakeTvldr(text);
                return true;
            case Sentence::Other:
                return true;
        }
        return true;
    }

    // The last node is complete (the log has ended, or a node follows it).
    void CompleteTail() {
        if (options_.DatesFromZda && points_.Tail != nullptr) {
            zdaDates_.Date(points_.Tail->Point);
        }
    }

    // The log is read whole. A log without any RMC takes its date from its
    // first ZDA with a valid date (ZDA sentences are looked at only with
    // DatesFromZda).
    void Finish() {
        if (!logDate_.DateFound && !firstZdaDate_.empty()) {
            logDate_.LogDate = firstZdaDate_;
            logDate_.DateFound = true;
        }
    }

private:
    // The first GGA or RMC of the run is decoded straight into the first node.
    bool TakeGga(std::string_view text) {
        ZeroFill(work_);
        if (!listStarted_) {
            list* node = Append();
            if (node == nullptr) {
                return false;
            }
            DecodeGga(text, node->Point);
            MaybeFirstFix(node, IsGgaFix(node->Point));
            listStarted_ = true;
            return true;
        }
        DecodeGga(text, work_);
        return MergeOrAppend([](const waypoints& created) { return IsGgaFix(created); });
    }

    bool TakeRmc(std::string_view text) {
        ZeroFill(work_);
        if (!listStarted_) {
            list* node = Append();
            if (node == nullptr) {
                return false;
            }
            listStarted_ = true;
            DecodeRmc(text, node->Point, today_);
            MaybeFirstFix(node, node->Point.Status == 'A');
            NoteDate(node->Point);
            return true;
        }
        DecodeRmc(text, work_, today_);
        NoteDate(work_);
        return MergeOrAppend([](const waypoints& created) { return created.Status == 'A'; });
    }

    // A differential fix belongs to the last epoch only when its time is that
    // epoch's; another time marks the epoch unmatched but keeps what it had.
    void TakeTvldr(std::string_view text) {
        ZeroFill(work_);
        DecodeTvldr(text, work_);
        waypoints& tail = points_.Tail->Point;
        if (work_.TimeMs != tail.TimeMs) {
            // A node without a fix reads Matched 0 already.
            if (tail.DTrack) {
                tail.DTrack.Edit().Matched = 0;
            }
            return;
        }
        DTrackPoint& dtrack = tail.DTrack.Edit();
        dtrack.Time = work_.DTrack->Time;
        dtrack.Longitude = work_.DTrack->Longitude;
        dtrack.Latitude = work_.DTrack->Latitude;
        dtrack.Status = work_.DTrack->Status;
        dtrack.Speed = work_.DTrack->Speed;
        dtrack.Course = work_.DTrack->Course;
        dtrack.Matched = 1;
    }

    // Only the last node is compared: a time equal to its time joins that
    // epoch, any other time (earlier too) starts a new node.
    template <typename IsFix>
    bool MergeOrAppend(IsFix isFix) {
        if (work_.TimeMs == points_.Tail->Point.TimeMs) {
            MergeRecords(work_, points_.Tail->Point);
            return true;
        }
        list* node = Append();
        if (node == nullptr) {
            return false;
        }
        CopyRecordFields(work_, node->Point);
        MaybeFirstFix(node, isFix(node->Point));
        return true;
    }

    static bool IsGgaFix(const waypoints& record) { return record.FixQuality == 1 || record.FixQuality == 2; }

    // The first fix is decided when a node is created, once per run.
    void MaybeFirstFix(list* node, bool fix) {
        if (!firstFixFound_ && fix) {
            points_.FirstFix = node;
            firstFixFound_ = true;
        }
    }

    // The log's date comes from the first RMC decoded, even when its date text
    // is empty.
    void NoteDate(const waypoints& record) {
        if (logDate_.LogDate.empty()) {
            logDate_.LogDate = record.Date;
            logDate_.DateFound = true;
        }
    }

    // A new node is about to be linked: the last one is complete.
    list* Append() {
        if (options_.DatesFromZda) {
            CompleteTail();
        }
        return points_.AppendPoint();
    }

    DateSource& today_;
    PointList& points_;
    NmeaLogDate& logDate_;
    const NmeaReadOptions& options_;
    ZdaDates zdaDates_;
    waypoints zda_;
    std::string firstZdaDate_;
    waypoints work_;
    bool listStarted_ = false;
    bool firstFixFound_ = false;
};

}  // namespace

struct NmeaStreamReader::State {
    State(SentenceAssembler& assembler, DateSource& today, PointList& points, NmeaLogDate& logDate,
          const NmeaReadOptions& options)
        : assembler(assembler),
          points(points),
          options(options),
          epochs(today, points, logDate, this->options) {}

    SentenceAssembler& assembler;
    PointList& points;
    const NmeaReadOptions options;
    EpochAssembly epochs;
    SentenceBuffer buffer{};
    bool stopped = false;
};

NmeaStreamReader::NmeaStreamReader(SentenceAssembler& assembler, DateSource& today, PointList& points,
                                   NmeaLogDate& logDate, const NmeaReadOptions& options)
    : state_(std::make_unique<State>(assembler, today, points, logDate, options)) {}

NmeaStreamReader::~NmeaStreamReader() = default;

bool NmeaStreamReader::Feed(const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size && !state_->stopped;) {
        bool complete = false;
        i += state_->assembler.Feed(bytes + i, size - i, state_->buffer, &complete);
        if (complete && !state_->epochs.Take(state_->buffer)) {
            state_->stopped = true;
        }
    }
    return !state_->stopped;
}

void NmeaStreamReader::Finish(bool startFirstFix) {
    state_->epochs.CompleteTail();
    state_->epochs.Finish();
    state_->points.Start = startFirstFix ? state_->points.FirstFix : state_->points.Head;
}

ReadOutcome ReadNmeaLog(std::FILE* input, ReadProgress& progress, int32_t progressStep, bool startFirstFix,
                        SentenceAssembler& assembler, DateSource& today, PointList& points,
                        NmeaLogDate& logDate, const BlockRead& blockRead, const NmeaReadOptions& options) {
    SentenceBuffer buffer{};
    std::array<uint8_t, kBlockSize> block{};
    EpochAssembly epochs(today, points, logDate, options);
    int32_t sinceStep = 0;

    // The gauge steps for the bytes [from, to) of a block of `count` bytes: at
    // byte progressStep, then every progressStep + 1 bytes, and at the last byte
    // of a short (final) block. Counted in runs rather than byte by byte.
    auto advanceProgress = [&](size_t from, size_t to, size_t count) {
        const size_t lastOfShortBlock = count < kBlockSize ? count - 1 : kBlockSize;
        for (size_t i = from; i < to;) {
            size_t run = std::min(static_cast<size_t>(progressStep - sinceStep), to - i);
            if (lastOfShortBlock >= i && lastOfShortBlock < i + run) {
                run = lastOfShortBlock - i;
            }
            sinceStep += static_cast<int32_t>(run);
            i += run;
            if (i < to) {
                // A step byte, or the last byte of a short block.
                progress.StepProgress();
                sinceStep = 0;
                ++i;
            }
        }
    };

    while (!std::feof(input) && !std::ferror(input)) {
        block.fill(0);
        const size_t count = std::fread(block.data(), 1, block.size(), input);
        progress.ProcessPendingEvents();
        for (size_t i = 0; i < count;) {
            bool complete = false;
            const size_t taken = assembler.Feed(block.data() + i, count - i, buffer, &complete);
            advanceProgress(i, i + taken, count);
            i += taken;
            if (complete && !epochs.Take(buffer)) {
                return ReadOutcome::ListNotCreated;
            }
        }
        if (blockRead) {
            blockRead();
        }
    }
    epochs.CompleteTail();
    epochs.Finish();
    points.Start = startFirstFix ? points.FirstFix : points.Head;
    return ReadOutcome::Finished;
}

}  // namespace tervo
