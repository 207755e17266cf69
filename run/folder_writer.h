// The "WayPoints" folder of a run, written on a thread of its own while the log
// is still being read, so that formatting and deflating the bulk of the
// document use the core the read loop leaves idle.
//
// The read loop writes only into the last node, so every node before it is
// complete; the loop's thread hands those over between input blocks. A node is
// written once it is complete, its place relative to the run's Start is known
// and, for NMEA, the date rule's inputs can no longer change (the log's date is
// found and not empty) or the log is read whole. The document thus holds the
// same bytes as when the folder is written after the read loop. A run that
// stops before its folder takes what was written of it back out.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>

#include "core/point_list.h"
#include "kml/kml_stream.h"
#include "kml/waypoint_writer.h"

namespace tervo {

class FolderWriter {
public:
    // Starts the thread, which begins the folder. From now until Finish or
    // Cancel the stream belongs to the thread. Without `onThread` (or when no
    // thread can be started) the whole folder is written by Finish.
    FolderWriter(KmlStream& kml, const WaypointOptions& options, LogFormat format, bool startFirstFix,
                 bool onThread = true);
    // Cancels when neither Finish nor Cancel was called.
    ~FolderWriter();
    FolderWriter(const FolderWriter&) = delete;
    FolderWriter& operator=(const FolderWriter&) = delete;

    // On the read loop's thread, between input blocks: hands over the nodes
    // completed since the last call, in batches; cheap when there are few.
    void Publish(const PointList& points, const NmeaLogDate& logDate);
    // After the whole log was read without a stop: writes the remaining
    // placemarks, from points.Start as the read loop set it, and waits for the
    // thread. DateNotFound when the date rule stopped the run; the placemarks
    // before that point stay written. The folder's end tag is left to End.
    WaypointsOutcome Finish(const PointList& points, const NmeaLogDate& logDate);
    void End() { folder_.End(); }
    // Placemarks written; valid after Finish.
    int Count() const { return folder_.Count(); }
    // Stops the thread and takes the folder back out of the document.
    void Cancel();

private:
    // What the read loop's thread hands over.
    struct Snapshot {
        list* head = nullptr;
        size_t complete = 0;  // nodes from head on that no decoder touches again
        list* firstFix = nullptr;
        NmeaLogDate logDate;
        bool final = false;
    };
    static constexpr size_t kBatchNodes = 512;

    void Hand(const Snapshot& snapshot);
    void Run();

    KmlStream& kml_;
    WaypointFolder folder_;
    const bool nmea_;
    const bool startFirstFix_;
    const uint64_t folderStart_;
    size_t handedOver_ = 0;

    std::mutex mutex_;
    std::condition_variable handed_;
    Snapshot shared_;
    uint64_t version_ = 0;
    std::atomic<bool> cancelled_ = false;
    bool stopped_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};

}  // namespace tervo
