#include "run/folder_writer.h"

#include <system_error>

namespace tervo {

FolderWriter::FolderWriter(KmlStream& kml, const WaypointOptions& options, LogFormat format,
                           bool startFirstFix, bool onThread)
    : kml_(kml),
      folder_(kml, options, format),
      nmea_(format == LogFormat::Nmea),
      startFirstFix_(startFirstFix),
      folderStart_(kml.Position()) {
    if (!onThread) {
        return;
    }
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // Without a thread the whole folder is written by Finish.
    }
}

FolderWriter::~FolderWriter() {
    if (thread_.joinable()) {
        Cancel();
    }
}

void FolderWriter::Publish(const PointList& points, const NmeaLogDate& logDate) {
    const size_t complete = points.size() > 0 ? points.size() - 1 : 0;
    if (!thread_.joinable() || complete < handedOver_ + kBatchNodes) {
        return;
    }
    Snapshot snapshot;
    snapshot.head = points.Head;
    snapshot.complete = complete;
    snapshot.firstFix = points.FirstFix;
    snapshot.logDate = logDate;
    Hand(snapshot);
    handedOver_ = complete;
}

WaypointsOutcome FolderWriter::Finish(const PointList& points, const NmeaLogDate& logDate) {
    Snapshot snapshot;
    snapshot.head = points.Head;
    // The nodes of Head's chain: every node but those a filter took out (Unlink).
    snapshot.complete = 0;
    for (const list* node = points.Head; node != nullptr; node = node->Next) {
        ++snapshot.complete;
    }
    snapshot.firstFix = points.Start;
    snapshot.logDate = logDate;
    snapshot.final = true;
    Hand(snapshot);
    if (thread_.joinable()) {
        thread_.join();
    } else {
        Run();
    }
    if (error_) {
        std::rethrow_exception(error_);
    }
    return stopped_ ? WaypointsOutcome::DateNotFound : WaypointsOutcome::Written;
}

void FolderWriter::Cancel() {
    cancelled_ = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++version_;
    }
    handed_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
    kml_.DiscardFrom(folderStart_);
}

void FolderWriter::Hand(const Snapshot& snapshot) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shared_ = snapshot;
        ++version_;
    }
    handed_.notify_one();
}

void FolderWriter::Run() {
    try {
        folder_.Begin();
        list* last = nullptr;  // the last node looked at
        size_t done = 0;
        // With "Start first fix" the nodes before the first fix get no placemark;
        // until that fix is found, every complete node lies before it.
        bool started = !startFirstFix_;
        uint64_t seen = 0;
        for (;;) {
            Snapshot snapshot;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                handed_.wait(lock, [&] { return version_ != seen; });
                seen = version_;
                snapshot = shared_;
            }
            if (cancelled_) {
                return;
            }
            const bool datesKnown =
                !nmea_ || snapshot.final || (snapshot.logDate.DateFound && !snapshot.logDate.LogDate.empty());
            while (datesKnown && done < snapshot.complete && !cancelled_) {
                list* node = last == nullptr ? snapshot.head : last->Next;
                if (node == nullptr) {
                    // A list document may end before the store's last node (a live
                    // stretch, or one piece of a split log).
                    break;
                }
                last = node;
                ++done;
                if (!started) {
                    if (node != snapshot.firstFix) {
                        continue;
                    }
                    started = true;
                }
                if (!folder_.Add(node->Point, snapshot.logDate)) {
                    stopped_ = true;
                    return;
                }
            }
            if (snapshot.final) {
                return;
            }
        }
    } catch (...) {
        error_ = std::current_exception();
    }
}

}  // namespace tervo
