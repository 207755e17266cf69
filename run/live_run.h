// A live run: a receiver's bytes as they arrive, kept unchanged in a recording
// and drawn into a KMZ file that refreshes itself (see live_document.h for the
// files beside it).
//
// Bounded cost. The run cuts the epochs into stretches of StretchEpochs. A
// stretch is written once, as its own KMZ file, when it is full; a refresh
// rewrites only the open stretch. The point list holds only the open stretch
// (and the last node of the one before, where the lines join), so a refresh
// after a day at 10 Hz costs what one after ten minutes costs, and so does the
// memory.
//
// The last KMZ file. When the run ends, its recording is closed and converted
// by the conversion run, as `tervoconverter RECORDING OUTPUT` would convert it:
// the KMZ file the live run ends with is, byte for byte, the conversion of its
// recording (the same bytes, the same code, a fresh sentence assembler). The
// stretch files then go; the link file, now showing the whole KMZ file, stays.
//
// A kill at any moment leaves the KMZ file of the last refresh (each is written
// aside and moved into place, and the stretches it links to stay) and the
// recording with every byte received until then: each piece is written to the
// system as it arrives, and to the disk at least every second.
//
// The run has no clock and no input of its own: its owner hands it the bytes
// and the time (seconds on a steady clock), and calls Tick often.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "binr/binr_reader.h"
#include "core/platform.h"
#include "core/point_list.h"
#include "nmea/nmea_reader.h"
#include "nmea/sentence.h"
#include "run/conversion.h"
#include "run/live_document.h"

namespace tervo {

// The epochs of a closed stretch. About five minutes at 10 Hz: a refresh writes
// at most this many placemarks.
inline constexpr size_t kLiveStretchEpochs = 3000;
// The placemark budget of the viewer's extras holds for this many epochs of a
// live run (an hour at 10 Hz), spread over its stretches.
inline constexpr size_t kLiveBudgetEpochs = 36000;

struct LiveSettings {
    double RefreshSeconds = 2;
    // The recording the user asked for (--record), as the front end resolved
    // it; empty: the run keeps its own in the live directory and removes it
    // once the last KMZ file is written.
    std::string RecordPath;
    size_t StretchEpochs = kLiveStretchEpochs;
    // How often the recording is pushed to the disk, at least.
    double SyncSeconds = 1;
};

// What the status line shows: figures of the complete epochs received so far.
struct LiveFigures {
    int64_t Epochs = 0;
    int64_t Fixes = 0;        // epochs with a valid fix
    std::string Quality;      // the last epoch's fix class ("RTK fixed", "No fix")
    int32_t Satellites = 0;   // used in the last epoch; -1: unknown (BINR)
    std::string LastFixTime;  // "hh:mm:ss.ss" of the last valid fix, as the log wrote it
    uint64_t Bytes = 0;       // received
    int Stretches = 0;        // closed stretches written
    int Refreshes = 0;        // KMZ files written at refreshes
};

class LiveRun {
public:
    // `settings` gives the output (OutputPath/OutputName, as for a conversion),
    // the format, the display settings and the extras; InputPath is ignored.
    // `note` receives what the run has to say while it goes on (a refresh that
    // failed, the recording that cannot be written): once per new trouble.
    LiveRun(const ConversionSettings& settings, const LiveSettings& live, Platform& platform,
            std::function<void(const std::string&)> note = {});
    ~LiveRun();
    LiveRun(const LiveRun&) = delete;
    LiveRun& operator=(const LiveRun&) = delete;

    // Creates the recording (never over an existing file), the live directory
    // and the link file. Returns the failure (path and errno) when one of them
    // cannot be made; nothing is left behind then.
    std::optional<FileFailure> Start();

    // Bytes as received: into the recording unchanged, then decoded. A full
    // stretch is closed here. `now` is seconds on the owner's steady clock.
    void Take(const uint8_t* bytes, size_t size, double now);

    // Pushes the recording to the disk when due and refreshes the KMZ file when
    // the interval has passed and something arrived since the last refresh.
    void Tick(double now);
    // When Tick has something to do next, at the latest.
    double NextTick() const;

    // Ends the run: the recording is closed and converted into the KMZ file by
    // the conversion run (its status texts go to `view`; `report` as for
    // RunConversion), then the stretches go. Whatever the result, the recording
    // the user asked for stays; the run's own goes only after a completed
    // conversion. CreateFileError leaves as from RunConversion.
    ConversionResult Finish(ConversionView& view, RunReport* report = nullptr);

    const LiveFigures& Figures() const { return figures_; }
    const LivePaths& Paths() const { return paths_; }
    const std::string& RecordingPath() const { return recordingPath_; }

private:
    void Say(const std::string& text);
    void Record(const uint8_t* bytes, size_t size);
    void SyncRecording(double now);
    void CountCompleteEpochs();
    // The node the documents begin with: Head, or with "Start first fix" the
    // first fix (nullptr before it).
    list* FirstWritten();
    bool DatesSettled() const;
    void CloseStretch();
    void Refresh();
    // Writes the nodes from `first` to the list's end as the KMZ file
    // `containerPath`, the lines joined to the stretch before. The placemark
    // count; nullopt after a failure, which is said.
    std::optional<int> WriteStretch(const std::string& containerPath, list* first);
    // The document phases of the run, into the disk files of a conversion.
    std::optional<int> WriteKmz(const std::string& containerPath, const ListDocument& document);

    ConversionSettings settings_;
    ConversionSettings documentSettings_;  // of the live documents
    LiveSettings live_;
    Platform& platform_;
    std::function<void(const std::string&)> note_;
    LivePaths paths_;
    bool nmea_;
    bool startFirstFix_;

    std::string recordingPath_;
    bool ownRecording_ = false;
    int recordingFd_ = -1;
    bool recordingFailed_ = false;
    bool unsynced_ = false;
    double unsyncedSince_ = 0;  // when the oldest byte not yet on the disk arrived
    double now_ = 0;

    PointList points_;
    NmeaLogDate logDate_;
    SentenceAssembler assembler_;  // the live decoding's own
    std::unique_ptr<NmeaStreamReader> nmeaReader_;
    std::unique_ptr<BinrStreamReader> binrReader_;
    bool readerStopped_ = false;
    bool firstFixSeen_ = false;
    list* counted_ = nullptr;  // the last node the figures have counted

    std::optional<list> carry_;  // the last node of the last closed stretch
    int placemarksClosed_ = 0;
    std::vector<std::string> stretches_;
    bool fresh_ = false;  // bytes arrived since the last refresh
    double nextRefresh_ = 0;
    std::string lastTrouble_;
    LiveFigures figures_;
};

}  // namespace tervo
