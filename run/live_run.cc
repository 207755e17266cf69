#include "run/live_run.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <limits>
#include <utility>

#include "core/errors.h"
#include "core/fix_quality.h"
#include "core/paths.h"

namespace tervo {

namespace {

std::string Reason(int error) {
    const std::string reason = SystemReason(error);
    return reason.empty() ? std::string() : ": " + reason;
}

// Removes the stretch files a run left in `directory` (a killed run's too).
void RemoveStretchFiles(const std::string& directory) {
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind("stretch-", 0) == 0 && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".kmz") == 0) {
            ::unlink((directory + name).c_str());
        }
    }
    ::closedir(dir);
}

// Writes all of `bytes`; the errno of a failure, 0 when written.
int WriteAll(int fd, const uint8_t* bytes, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : EIO;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

// The node before Tail; nullptr when Tail is the only node.
list* BeforeTail(const PointList& points) {
    list* node = points.Head;
    if (node == nullptr || node == points.Tail) {
        return nullptr;
    }
    while (node->Next != points.Tail) {
        node = node->Next;
    }
    return node;
}

// The settings of the live documents: the run's, with the extras that hold for
// a stretch of its own (the viewer's parts, ZDA dates). The others are drawn
// from the whole log, and come with the last KMZ file.
ConversionSettings LiveDocumentSettings(const ConversionSettings& settings, size_t stretchEpochs) {
    ConversionSettings live = settings;
    live.Interactive = false;
    const Extras asked = ResolveExtras(settings.Extras);
    Extras& extras = live.Extras;
    extras = Extras{};
    extras.ThinSeconds = asked.ThinSeconds;
    extras.ThinMetres = asked.ThinMetres;
    extras.ThinDegrees = asked.ThinDegrees;
    extras.LineTolerance = asked.LineTolerance;
    extras.Regions = asked.Regions;
    extras.DatesFromZda = asked.DatesFromZda;
    if (asked.MaxPlacemarks) {
        // A budget holds for every kLiveBudgetEpochs of a live run: its stretches
        // together stay as light as one folder of that many epochs.
        const double share = static_cast<double>(stretchEpochs) / static_cast<double>(kLiveBudgetEpochs);
        extras.MaxPlacemarks = std::max(2.0, std::floor(*asked.MaxPlacemarks * share));
    }
    return live;
}

}  // namespace

LiveRun::LiveRun(const ConversionSettings& settings, const LiveSettings& live, Platform& platform,
                 std::function<void(const std::string&)> note)
    : settings_(settings),
      documentSettings_(LiveDocumentSettings(settings, live.StretchEpochs)),
      live_(live),
      platform_(platform),
      note_(std::move(note)),
      nmea_(settings.Format == LogFormat::Nmea),
      startFirstFix_(settings.CheckBox4) {
    const std::string outputDir =
        settings.OutputPath.empty() ? platform.ProgramDirectory() : DirectoryPart(settings.OutputPath);
    paths_ = LivePathsOf(outputDir + settings.OutputName);
    if (settings.Format == LogFormat::Nmea) {
        const bool zda = documentSettings_.Extras.DatesFromZda.value_or(0) != 0;
        nmeaReader_ = std::make_unique<NmeaStreamReader>(assembler_, platform_, points_, logDate_,
                                                         NmeaReadOptions{zda});
    } else if (settings.Format == LogFormat::Binr) {
        binrReader_ = std::make_unique<BinrStreamReader>(points_);
    }
}

LiveRun::~LiveRun() {
    if (recordingFd_ >= 0) {
        ::close(recordingFd_);
    }
}

void LiveRun::Say(const std::string& text) {
    if (text != lastTrouble_) {
        lastTrouble_ = text;
        if (note_) {
            note_(text);
        }
    }
}

std::optional<FileFailure> LiveRun::Start() {
    // The directory first: the run's own recording lies in it.
    bool madeDirectory = false;
    const std::string directory = WithoutFinalSeparator(paths_.Directory);
    if (::mkdir(directory.c_str(), 0777) == 0) {
        madeDirectory = true;
    } else {
        const int error = errno;
        struct stat info {};
        if (error != EEXIST || ::stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            return FileFailure{directory, error == EEXIST ? ENOTDIR : error};
        }
    }
    auto undo = [&](FileFailure failure) {
        if (recordingFd_ >= 0) {
            ::close(recordingFd_);
            recordingFd_ = -1;
            ::unlink(recordingPath_.c_str());
        }
        if (madeDirectory) {
            ::unlink(paths_.ClosedIndex.c_str());
            ::rmdir(directory.c_str());
        }
        return failure;
    };

    if (live_.RecordPath.empty()) {
        // A name of its own: a killed run's recording is all that is left of it.
        std::string pattern = paths_.Directory + "received-XXXXXX.log";
        recordingFd_ = ::mkstemps(pattern.data(), 4);
        recordingPath_ = pattern;
        ownRecording_ = true;
    } else {
        // Never over an existing file: a recording is the one copy of what was received.
        recordingPath_ = live_.RecordPath;
        recordingFd_ = ::open(recordingPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    }
    if (recordingFd_ < 0) {
        const int error = errno;
        const std::string path = recordingPath_;
        recordingPath_.clear();
        return undo({path, error});
    }

    RemoveStretchFiles(paths_.Directory);
    if (const int error = ReplaceFile(paths_.ClosedIndex, ClosedIndexKml({}))) {
        return undo({paths_.ClosedIndex, error});
    }
    const std::string title = FileNamePart(paths_.Container);
    const std::string link =
        LinkFileKml(title, HrefOfFileName(title), HrefOfFileName(paths_.DirectoryRef + "closed.kml"),
                    live_.RefreshSeconds);
    if (const int error = ReplaceFile(paths_.LinkFile, link)) {
        return undo({paths_.LinkFile, error});
    }
    // The link names the KMZ file from the start: an empty document until bytes come.
    Refresh();
    return std::nullopt;
}

void LiveRun::Record(const uint8_t* bytes, size_t size) {
    if (recordingFd_ < 0 || size == 0) {
        return;
    }
    if (const int error = WriteAll(recordingFd_, bytes, size)) {
        recordingFailed_ = true;
        Say("Can't write the recording " + recordingPath_ + Reason(error));
        return;
    }
    if (!unsynced_) {
        unsynced_ = true;
        unsyncedSince_ = now_;
    }
}

void LiveRun::SyncRecording(double now) {
    if (recordingFd_ >= 0 && unsynced_ && now - unsyncedSince_ >= live_.SyncSeconds) {
        ::fdatasync(recordingFd_);
        unsynced_ = false;
    }
}

void LiveRun::Take(const uint8_t* bytes, size_t size, double now) {
    now_ = now;
    Record(bytes, size);
    figures_.Bytes += size;
    if (!readerStopped_) {
        const bool fed = nmeaReader_ ? nmeaReader_->Feed(bytes, size)
                                     : (binrReader_ ? binrReader_->Feed(bytes, size) : true);
        if (!fed) {
            readerStopped_ = true;
            Say("Can't create the list!");
        }
    }
    if (points_.FirstFix != nullptr) {
        firstFixSeen_ = true;
    }
    CountCompleteEpochs();
    fresh_ = true;
    if (points_.size() > live_.StretchEpochs && DatesSettled()) {
        CloseStretch();
    }
}

void LiveRun::CountCompleteEpochs() {
    const LogFormat format = settings_.Format.value_or(LogFormat::Nmea);
    for (list* node = counted_ != nullptr ? counted_->Next : points_.Head;
         node != nullptr && node != points_.Tail; node = node->Next) {
        const waypoints& point = node->Point;
        ++figures_.Epochs;
        const FixClass fixClass = FixClassOf(point, format);
        figures_.Quality = std::string(InfoOf(fixClass).Name);
        figures_.Satellites = point.SatellitesUsed;
        if (fixClass != FixClass::NoFix) {
            ++figures_.Fixes;
            figures_.LastFixTime = std::string(point.Time.data(), point.Time.size());
        }
        counted_ = node;
    }
}

list* LiveRun::FirstWritten() {
    if (!startFirstFix_) {
        return points_.Head;
    }
    if (points_.FirstFix != nullptr) {
        return points_.FirstFix;
    }
    return firstFixSeen_ ? points_.Head : nullptr;
}

bool LiveRun::DatesSettled() const {
    // A point's date can wait only for the log's date: with the fallback date,
    // or once the log's date is found, the date rule gives what it will give at
    // the end. (A point with an RMC of its own has made the log's date found.)
    return !nmea_ || settings_.CheckBox1 || logDate_.DateFound;
}

void LiveRun::CloseStretch() {
    list* first = FirstWritten();
    list* last = BeforeTail(points_);
    if (last == nullptr) {
        return;
    }
    if (first == nullptr || first == points_.Tail) {
        // Before the first fix of a run that starts there: nothing is ever written of these.
        if (points_.KeepOnlyTail()) {
            counted_ = nullptr;
        }
        return;
    }
    const std::string name = StretchFileName(static_cast<int>(stretches_.size()) + 1);
    // The stretch ends before the last node, which the decoders still fill.
    last->Next = nullptr;
    const std::optional<int> written = WriteStretch(paths_.Directory + name, first);
    last->Next = points_.Tail;
    if (!written) {
        return;
    }
    stretches_.push_back(name);
    ++figures_.Stretches;
    placemarksClosed_ += *written;
    carry_.emplace();
    carry_->Point = last->Point;
    if (points_.KeepOnlyTail()) {
        counted_ = nullptr;
    }
    if (const int error = ReplaceFile(paths_.ClosedIndex, ClosedIndexKml(stretches_))) {
        Say("Can't write " + paths_.ClosedIndex + Reason(error));
    }
}

void LiveRun::Refresh() {
    // The last node is written from a copy: the decoders still write into it,
    // and the date rule of the folder must not.
    list tail;
    list* before = BeforeTail(points_);
    list* first = FirstWritten();
    if (points_.Tail != nullptr) {
        tail.Point = points_.Tail->Point;
        if (first == points_.Tail) {
            first = &tail;
        }
    }
    if (before != nullptr) {
        before->Next = &tail;
    }
    std::optional<int> written;
    try {
        written = WriteStretch(paths_.Container, first);
    } catch (...) {
        if (before != nullptr) {
            before->Next = points_.Tail;
        }
        throw;
    }
    if (before != nullptr) {
        before->Next = points_.Tail;
    }
    if (written) {
        ++figures_.Refreshes;
    }
}

std::optional<int> LiveRun::WriteStretch(const std::string& containerPath, list* first) {
    // The document's phases begin at the list's Start.
    list* const savedStart = points_.Start;
    points_.Start = first;
    if (carry_) {
        carry_->Next = first;
    }
    ListDocument document{points_, logDate_, carry_ && first != nullptr ? &*carry_ : nullptr,
                          placemarksClosed_};
    const std::optional<int> written = WriteKmz(containerPath, document);
    points_.Start = savedStart;
    return written;
}

std::optional<int> LiveRun::WriteKmz(const std::string& containerPath, const ListDocument& document) {
    ConversionSettings settings = documentSettings_;
    settings.OutputPath = containerPath;
    settings.OutputName = FileNamePart(containerPath);
    try {
        DiskFiles files(settings, platform_);
        SilentView view;
        RunReport report;
        switch (WriteListDocument(settings, view, platform_, files, document, &report)) {
            case ConversionResult::Completed:
                lastTrouble_.clear();
                return report.Placemarks;
            case ConversionResult::Stopped:
                // Only the date rule stops a document of a list: a date is still to come.
                Say("Waiting for the log's date before drawing the fixes without one");
                return std::nullopt;
            default:
                Say("Can't write " + containerPath + Reason(files.LastFailure().error));
                return std::nullopt;
        }
    } catch (const CreateFileError& error) {
        Say(std::string(error.what()) + Reason(error.error()));
    } catch (const std::exception& error) {
        Say("Can't write " + containerPath + ": " + error.what());
    }
    return std::nullopt;
}

void LiveRun::Tick(double now) {
    SyncRecording(now);
    if (fresh_ && now >= nextRefresh_) {
        Refresh();
        fresh_ = false;
        nextRefresh_ = now + live_.RefreshSeconds;
    }
}

double LiveRun::NextTick() const {
    double next = std::numeric_limits<double>::infinity();
    if (fresh_) {
        next = nextRefresh_;
    }
    if (unsynced_) {
        next = std::min(next, unsyncedSince_ + live_.SyncSeconds);
    }
    return next;
}

ConversionResult LiveRun::Finish(ConversionView& view, RunReport* report) {
    if (recordingFd_ >= 0) {
        ::fdatasync(recordingFd_);
        ::close(recordingFd_);
        recordingFd_ = -1;
    }
    points_.FreePointList(points_.Head);
    carry_.reset();
    counted_ = nullptr;

    ConversionSettings batch = settings_;
    batch.InputPath = recordingPath_;
    batch.InputName = FileNamePart(recordingPath_);
    batch.OutputPath = paths_.Container;
    batch.OutputName = FileNamePart(paths_.Container);
    // The link file names the one container: a split (from a settings file) is not made.
    batch.Extras.SplitGap.reset();
    batch.Extras.SplitDay.reset();
    // A fresh assembler, as a program started to convert the recording has.
    SentenceAssembler assembler;
    const ConversionResult result = RunConversion(batch, view, assembler, platform_, nullptr, report);
    if (result != ConversionResult::Completed) {
        return result;
    }
    stretches_.clear();
    ReplaceFile(paths_.ClosedIndex, ClosedIndexKml({}));
    RemoveStretchFiles(paths_.Directory);
    if (ownRecording_) {
        ::unlink(recordingPath_.c_str());
    }
    return result;
}

}  // namespace tervo
