// What a read loop tells the run while it reads a log, and how it ends.
#pragma once

#include <cstddef>
#include <functional>

namespace tervo {

// The gauge and the window's event turns, as a read loop drives them.
class ReadProgress {
public:
    virtual ~ReadProgress() = default;
    // The gauge one step on; it stays within 0 to 100.
    virtual void StepProgress() = 0;
    // Lets the window handle waiting events. Called once per input byte by the
    // binary read loop, so it must cost next to nothing when nothing waits.
    virtual void ProcessPendingEvents() = 0;
};

// Called by both read loops after each block of input they have fed to their
// decoders: every node of the list but the last is complete then.
using BlockRead = std::function<void()>;

// Both read loops take their input in blocks of this many bytes.
inline constexpr size_t kReadBlockSize = 1024;

// How a read loop ended.
enum class ReadOutcome {
    Finished,        // the input was read to its end (or to a read error)
    ListNotCreated,  // a node could not be allocated: the run stops
};

}  // namespace tervo
