// Where a live run's bytes come from: a serial device, a TCP stream, a gpsd
// daemon or standard input, each behind one small interface, and the receiving
// loop that reopens a source that dropped, waits for a device that was
// unplugged and tells of a source that went silent.
//
// These are the program's own I/O, so they live here and not in the run: the
// run (run/live_run.h) is handed bytes and the time, and knows nothing of
// descriptors, sockets or terminals. That keeps it testable with bytes alone,
// and keeps waiting, signals and reconnecting in one place.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tervo {

// A live source as the user names it:
//   /dev/ttyUSB0[:BAUD]   a serial device (8N1, raw), BAUD 4800 to 921600
//   tcp://HOST:PORT       a receiver's or a caster's raw stream
//   gpsd://HOST[:PORT]    a running gpsd, asked for the raw stream (port 2947)
//   -                     standard input
// HOST is a name, an IPv4 address or an IPv6 address in brackets.
struct SourceAddress {
    enum class Kind { Serial, Tcp, Gpsd, StandardInput };
    Kind kind = Kind::StandardInput;
    std::string path;  // the device
    int baud = 0;
    std::string host;
    int port = 0;
};

inline constexpr int kDefaultBaud = 4800;  // NMEA 0183's own rate
inline constexpr int kGpsdPort = 2947;

// The address of `text`; nullopt with `why` ("no port in tcp://host") when it is none.
std::optional<SourceAddress> ParseSourceAddress(std::string_view text, std::string* why);

// Whether a text typed where a log file is expected names a live source rather
// than a file: a tcp:// or gpsd:// address, or a device under /dev/ (with or
// without a baud rate).
bool LooksLikeLiveSource(std::string_view text);

// The source as it is shown: "tcp://host:port", "/dev/ttyUSB0 at 9600 baud".
std::string SourceName(const SourceAddress& address);

// What the loop does when a source ends or fails.
enum class WhenDropped {
    Reconnect,  // a connection: reopened after a growing pause
    WaitForIt,  // a device: reopened as soon as it is there again
    End,        // standard input: the run ends
};

enum class OpenResult {
    Opened,
    NotNow,  // tried again later: a connection refused, a device not plugged in
    Never,   // no use trying again: the run ends
};

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Opens the source, giving up at once when `stopFd` becomes readable; the
    // reason in `why` when it is not opened.
    virtual OpenResult Open(int stopFd, std::string* why) = 0;
    // The descriptor to wait on while open.
    virtual int Descriptor() const = 0;
    // What is there to read: > 0 bytes, 0 at the end (the other side closed or
    // the device went), -1 with errno on a failure (EAGAIN: nothing yet).
    virtual ssize_t Read(uint8_t* buffer, size_t size) = 0;
    virtual void Close() = 0;
    virtual WhenDropped AfterDrop() const = 0;
};

// `binary`: the run reads BINR, so gpsd is asked for its binary stream as it stands.
std::unique_ptr<ByteSource> MakeByteSource(const SourceAddress& address, bool binary);

// The pause before reopening a connection after `previous` seconds of pause (0:
// the first attempt): 1, 2, 4, 8, 16, then 30 seconds.
double NextReconnectPause(double previous);

// The receiving loop's timings; tests shorten them.
struct ReceiveTimings {
    double silence = 10;    // seconds without a byte before the source is called silent
    double devicePoll = 1;  // seconds between looks for a device that is not there
    double maxPause = 30;   // the longest pause before a reconnection
    double pauseScale = 1;  // multiplies every reconnection pause
    double maxWait = 0.5;   // the longest sleep between two turns of the loop
};

// What the loop tells its owner.
struct ReceiveEvents {
    std::function<void(const uint8_t*, size_t, double now)> bytes;
    // Called at every turn of the loop: after each piece of bytes, and at
    // least every `maxWait` seconds.
    std::function<void(double now)> tick;
    // A text for the user: a drop, a wait, a silence, a reconnection.
    std::function<void(const std::string&)> say;
    // When the owner's next tick is due (seconds on the loop's clock); the loop
    // sleeps no longer than that.
    std::function<double()> nextTick;
};

// Receives from `source` until `stopFd` becomes readable (a signal handler's
// pipe) or a source that ends for good ends. `now` is the steady clock in seconds.
// Returns true when stopped through `stopFd`.
bool ReceiveLoop(ByteSource& source, const std::string& name, int stopFd, const ReceiveEvents& events,
                 const std::function<double()>& now, const ReceiveTimings& timings = {});

// Seconds on the steady clock.
double SteadySeconds();

}  // namespace tervo
