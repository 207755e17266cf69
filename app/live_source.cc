// The receiving loop is a state machine of three states (see ReceiveLoop). Its
// error policy: nothing a source does ends the run but the end of standard
// input, a source that can never be opened, and the stop pipe; every other
// failure closes the source and opens it again, said once per episode.
#include "app/live_source.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

#include "core/errors.h"

namespace tervo {

namespace {

constexpr std::string_view kTcpScheme = "tcp://";
constexpr std::string_view kGpsdScheme = "gpsd://";

// The serial rates a device is opened with, as termios names them.
struct BaudRate {
    int baud;
    speed_t speed;
};
constexpr std::array<BaudRate, 11> kBaudRates = {{
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
    {460800, B460800},
    {500000, B500000},
    {576000, B576000},
    {921600, B921600},
}};

// Digits only, as a number within [1, max]; nullopt otherwise.
std::optional<int> SmallNumber(std::string_view text, int max) {
    if (text.empty() || text.size() > 7) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > max) {
        return std::nullopt;
    }
    return value;
}

// "HOST:PORT" or "[V6]:PORT", the port optional when `defaultPort` is not 0.
bool ParseHostPort(std::string_view text, int defaultPort, SourceAddress& address, std::string* why) {
    std::string_view host = text;
    std::string_view port;
    bool hasPort = false;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos) {
            *why = "no ']' after the IPv6 address";
            return false;
        }
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                *why = "'" + std::string(rest) + "' after the address";
                return false;
            }
            port = rest.substr(1);
            hasPort = true;
        }
    } else if (const size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        hasPort = true;
        if (host.find(':') != std::string_view::npos) {
            *why = "an IPv6 address goes in brackets: [" + std::string(host) + "]";
            return false;
        }
    }
    if (host.empty()) {
        *why = "no host";
        return false;
    }
    if (!hasPort && defaultPort == 0) {
        *why = "no port";
        return false;
    }
    if (hasPort) {
        const std::optional<int> number = SmallNumber(port, 65535);
        if (!number) {
            *why = "'" + std::string(port) + "' is no port (1 to 65535)";
            return false;
        }
        address.port = *number;
    } else {
        address.port = defaultPort;
    }
    address.host = std::string(host);
    return true;
}

std::string Reason(int error) { return SystemReason(error); }

// Waits until `fd` is ready for `events` or `stopFd` is readable, at most
// `seconds` (negative: no limit). True when `fd` is ready.
bool WaitFor(int fd, short events, int stopFd, double seconds) {
    std::array<pollfd, 2> fds{{{fd, events, 0}, {stopFd, POLLIN, 0}}};
    const int count = stopFd >= 0 ? 2 : 1;
    const int timeout = seconds < 0 ? -1 : static_cast<int>(std::ceil(seconds * 1000));
    while (true) {
        const int ready = ::poll(fds.data(), count, timeout);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        return ready > 0 && fds[0].revents != 0 && (count == 1 || fds[1].revents == 0);
    }
}

class SerialSource : public ByteSource {
public:
    SerialSource(std::string path, int baud) : path_(std::move(path)), baud_(baud) {}
    ~SerialSource() override { Close(); }

    OpenResult Open(int, std::string* why) override {
        // Without waiting for a carrier: a receiver has none.
        fd_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            *why = path_ + ": " + Reason(errno);
            // Permissions do not come back by waiting; a missing device does.
            return errno == EACCES || errno == EPERM ? OpenResult::Never : OpenResult::NotNow;
        }
        struct stat info {};
        if (::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) {
            Close();
            *why = path_ + " is a file, not a device: convert it without --live";
            return OpenResult::Never;
        }
        termios tio{};
        if (::tcgetattr(fd_, &tio) == 0) {
            // Raw 8N1: every byte as it comes, no line discipline, no echo.
            ::cfmakeraw(&tio);
            tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
            tio.c_cflag |= CS8 | CLOCAL | CREAD;
            tio.c_iflag &= ~(IXON | IXOFF | IXANY);
            tio.c_cc[VMIN] = 1;
            tio.c_cc[VTIME] = 0;
            const auto rate = std::find_if(kBaudRates.begin(), kBaudRates.end(),
                                           [&](const BaudRate& r) { return r.baud == baud_; });
            const speed_t speed = rate != kBaudRates.end() ? rate->speed : B4800;
            if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0 ||
                ::tcsetattr(fd_, TCSANOW, &tio) != 0) {
                *why = path_ + ": " + Reason(errno);
                Close();
                return OpenResult::NotNow;
            }
        }
        // A FIFO or a character device without a terminal's settings is read as it is.
        return OpenResult::Opened;
    }
    int Descriptor() const override { return fd_; }
    ssize_t Read(uint8_t* buffer, size_t size) override {
        const ssize_t n = ::read(fd_, buffer, size);
        // An unplugged adapter or a closed pseudo-terminal reads as an error: the device went.
        if (n < 0 && (errno == EIO || errno == ENXIO || errno == ENODEV)) {
            return 0;
        }
        return n;
    }
    void Close() override {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    WhenDropped AfterDrop() const override { return WhenDropped::WaitForIt; }

private:
    std::string path_;
    int baud_;
    int fd_ = -1;
};

// A TCP stream; for gpsd, the command that asks for the raw stream is sent first.
class TcpSource : public ByteSource {
public:
    TcpSource(std::string host, int port, std::string hello)
        : host_(std::move(host)), port_(port), hello_(std::move(hello)) {}
    ~TcpSource() override { Close(); }

    OpenResult Open(int stopFd, std::string* why) override {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const std::string port = std::to_string(port_);
        if (const int error = ::getaddrinfo(host_.c_str(), port.c_str(), &hints, &found); error != 0) {
            *why = host_ + ": " + ::gai_strerror(error);
            return OpenResult::NotNow;
        }
        int lastError = ECONNREFUSED;
        for (const addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
            fd_ = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
            if (fd_ < 0) {
                lastError = errno;
                continue;
            }
            if (::connect(fd_, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
                lastError = errno;
                Close();
                continue;
            }
            int error = 0;
            socklen_t length = sizeof error;
            if (!WaitFor(fd_, POLLOUT, stopFd, kConnectSeconds) ||
                ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
                lastError = error != 0 ? error : ETIMEDOUT;
                Close();
            }
        }
        ::freeaddrinfo(found);
        if (fd_ < 0) {
            *why = "tcp://" + host_ + ":" + port + ": " + Reason(lastError);
            return OpenResult::NotNow;
        }
        // A receiver's stream is a trickle; keep the connection known to be alive.
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        if (!hello_.empty() &&
            ::send(fd_, hello_.data(), hello_.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(hello_.size())) {
            *why = "tcp://" + host_ + ":" + port + ": " + Reason(errno);
            Close();
            return OpenResult::NotNow;
        }
        return OpenResult::Opened;
    }
    int Descriptor() const override { return fd_; }
    ssize_t Read(uint8_t* buffer, size_t size) override { return ::recv(fd_, buffer, size, 0); }
    void Close() override {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    WhenDropped AfterDrop() const override { return WhenDropped::Reconnect; }

private:
    static constexpr double kConnectSeconds = 10;
    std::string host_;
    int port_;
    std::string hello_;
    int fd_ = -1;
};

class StandardInputSource : public ByteSource {
public:
    OpenResult Open(int, std::string*) override { return OpenResult::Opened; }
    int Descriptor() const override { return STDIN_FILENO; }
    // Waited for with poll first, so the read finds bytes or the end.
    ssize_t Read(uint8_t* buffer, size_t size) override { return ::read(STDIN_FILENO, buffer, size); }
    void Close() override {}
    WhenDropped AfterDrop() const override { return WhenDropped::End; }
};

}  // namespace

std::optional<SourceAddress> ParseSourceAddress(std::string_view text, std::string* why) {
    SourceAddress address;
    if (text == "-") {
        address.kind = SourceAddress::Kind::StandardInput;
        return address;
    }
    if (text.empty()) {
        *why = "no source";
        return std::nullopt;
    }
    if (text.starts_with(kTcpScheme)) {
        address.kind = SourceAddress::Kind::Tcp;
        if (!ParseHostPort(text.substr(kTcpScheme.size()), 0, address, why)) {
            return std::nullopt;
        }
        return address;
    }
    if (text.starts_with(kGpsdScheme)) {
        address.kind = SourceAddress::Kind::Gpsd;
        if (!ParseHostPort(text.substr(kGpsdScheme.size()), kGpsdPort, address, why)) {
            return std::nullopt;
        }
        return address;
    }
    if (const size_t scheme = text.find("://"); scheme != std::string_view::npos) {
        *why =
            "unknown kind of address '" + std::string(text.substr(0, scheme + 3)) + "' (tcp:// or gpsd://)";
        return std::nullopt;
    }
    // A device, with the rate behind a colon after its last separator.
    address.kind = SourceAddress::Kind::Serial;
    address.path = std::string(text);
    address.baud = kDefaultBaud;
    const size_t slash = text.rfind('/');
    const size_t colon = text.rfind(':');
    if (colon != std::string_view::npos && (slash == std::string_view::npos || colon > slash)) {
        const std::string_view rate = text.substr(colon + 1);
        const std::optional<int> baud = SmallNumber(rate, 9999999);
        const bool known = baud && std::any_of(kBaudRates.begin(), kBaudRates.end(),
                                               [&](const BaudRate& r) { return r.baud == *baud; });
        if (!known) {
            *why = "'" + std::string(rate) + "' is no baud rate (4800, 9600, 19200, 38400, 57600, 115200, " +
                   "230400, 460800, 500000, 576000 or 921600)";
            return std::nullopt;
        }
        address.path = std::string(text.substr(0, colon));
        address.baud = *baud;
    }
    if (address.path.empty()) {
        *why = "no device before the baud rate";
        return std::nullopt;
    }
    return address;
}

bool LooksLikeLiveSource(std::string_view text) {
    return text.starts_with(kTcpScheme) || text.starts_with(kGpsdScheme) || text.starts_with("/dev/");
}

std::string SourceName(const SourceAddress& address) {
    auto host = [&] {
        return address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host;
    };
    switch (address.kind) {
        case SourceAddress::Kind::Serial:
            return address.path + " at " + std::to_string(address.baud) + " baud";
        case SourceAddress::Kind::Tcp:
            return "tcp://" + host() + ":" + std::to_string(address.port);
        case SourceAddress::Kind::Gpsd:
            return "gpsd://" + host() + ":" + std::to_string(address.port);
        case SourceAddress::Kind::StandardInput:
            return "standard input";
    }
    return {};
}

std::unique_ptr<ByteSource> MakeByteSource(const SourceAddress& address, bool binary) {
    switch (address.kind) {
        case SourceAddress::Kind::Serial:
            return std::make_unique<SerialSource>(address.path, address.baud);
        case SourceAddress::Kind::Tcp:
            return std::make_unique<TcpSource>(address.host, address.port, "");
        case SourceAddress::Kind::Gpsd:
            // raw 1 passes NMEA as it came; raw 2 passes binary messages as they came too.
            return std::make_unique<TcpSource>(
                address.host, address.port,
                std::string("?WATCH={\"enable\":true,\"raw\":") + (binary ? "2" : "1") + "};\n");
        case SourceAddress::Kind::StandardInput:
            return std::make_unique<StandardInputSource>();
    }
    return nullptr;
}

double NextReconnectPause(double previous) {
    constexpr double kLongest = 30;
    if (previous <= 0) {
        return 1;
    }
    return std::min(previous * 2, kLongest);
}

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

namespace {

// One run of the receiving loop: its three states and what they remember.
class Receiver {
public:
    Receiver(ByteSource& source, const std::string& name, int stopFd, const ReceiveEvents& events,
             const std::function<double()>& now, const ReceiveTimings& timings)
        : source_(source),
          name_(name),
          stopFd_(stopFd),
          events_(events),
          now_(now),
          timings_(timings),
          lastByte_(now()) {}

    // False when the source ended or can never be opened; true when stopped.
    bool Run() {
        while (!Stopped()) {
            bool goOn = true;
            switch (state_) {
                case State::Opening:
                    goOn = OpenSource();
                    break;
                case State::Open:
                    goOn = ReadSource();
                    break;
                case State::Waiting:
                    PauseUntil(-1, retryAt_);
                    if (now_() >= retryAt_) {
                        state_ = State::Opening;
                    }
                    break;
            }
            if (!goOn) {
                return false;
            }
            if (events_.tick) {
                events_.tick(now_());
            }
        }
        source_.Close();
        return true;
    }

private:
    enum class State {
        Opening,  // about to open the source
        Open,     // open: bytes are read as they come
        Waiting,  // closed: waiting for the next attempt
    };

    // False when the source can never be opened.
    bool OpenSource() {
        std::string why;
        const OpenResult opened = source_.Open(stopFd_, &why);
        if (opened == OpenResult::Never) {
            events_.say(why);
            return false;
        }
        if (opened == OpenResult::NotNow) {
            RetryLater(why);
            return true;
        }
        if (troubleSaid_ || everOpened_) {
            events_.say(name_ + ": receiving again");
        }
        everOpened_ = true;
        troubleSaid_ = false;
        silenceSaid_ = false;
        pause_ = 0;
        lastByte_ = now_();
        state_ = State::Open;
        return true;
    }

    // False when the source ended for good.
    bool ReadSource() {
        if (PauseUntil(source_.Descriptor(), lastByte_ + timings_.silence)) {
            const ssize_t n = source_.Read(buffer_.data(), buffer_.size());
            if (n > 0) {
                lastByte_ = now_();
                silenceSaid_ = false;
                events_.bytes(buffer_.data(), static_cast<size_t>(n), lastByte_);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                const std::string why = n == 0 ? "ended" : Reason(errno);
                source_.Close();
                if (source_.AfterDrop() == WhenDropped::End) {
                    return false;
                }
                RetryLater(name_ + (n == 0 ? " closed" : " failed: " + why));
                return true;
            }
        }
        if (!silenceSaid_ && now_() - lastByte_ >= timings_.silence) {
            events_.say(name_ + ": nothing received for " +
                        std::to_string(static_cast<int>(timings_.silence)) + " s");
            silenceSaid_ = true;
        }
        return true;
    }

    // Sleeps until `until` at most, or less when a tick is due; false when stopped.
    bool PauseUntil(int fd, double until) {
        const double t = now_();
        double wait = until - t;
        if (events_.nextTick) {
            wait = std::min(wait, events_.nextTick() - t);
        }
        wait = std::clamp(wait, 0.0, timings_.maxWait);
        if (fd >= 0) {
            return WaitFor(fd, POLLIN, stopFd_, wait);
        }
        std::array<pollfd, 1> stop{{{stopFd_, POLLIN, 0}}};
        ::poll(stop.data(), stopFd_ >= 0 ? 1 : 0, static_cast<int>(std::ceil(wait * 1000)));
        return false;
    }

    bool Stopped() const {
        std::array<pollfd, 1> stop{{{stopFd_, POLLIN, 0}}};
        return stopFd_ >= 0 && ::poll(stop.data(), 1, 0) > 0;
    }

    void RetryLater(const std::string& why) {
        if (source_.AfterDrop() == WhenDropped::WaitForIt) {
            retryAt_ = now_() + timings_.devicePoll;
            if (!troubleSaid_) {
                events_.say(why + "; waiting for it");
            }
        } else {
            pause_ = NextReconnectPause(pause_);
            const double seconds = std::min(pause_, timings_.maxPause);
            retryAt_ = now_() + seconds * timings_.pauseScale;
            if (!troubleSaid_) {
                events_.say(why + "; trying again, every " + std::to_string(static_cast<int>(seconds)) +
                            " s and up to every " + std::to_string(static_cast<int>(timings_.maxPause)) +
                            " s");
            }
        }
        troubleSaid_ = true;
        state_ = State::Waiting;
    }

    ByteSource& source_;
    const std::string& name_;
    const int stopFd_;
    const ReceiveEvents& events_;
    const std::function<double()>& now_;
    const ReceiveTimings& timings_;
    State state_ = State::Opening;
    double pause_ = 0;          // the last reconnection pause, unscaled
    double retryAt_ = 0;        // when Waiting ends
    double lastByte_;           // when the last byte came (or the source opened)
    bool troubleSaid_ = false;  // the episode of failures has been told
    bool silenceSaid_ = false;
    bool everOpened_ = false;
    std::array<uint8_t, 4096> buffer_{};
};

}  // namespace

bool ReceiveLoop(ByteSource& source, const std::string& name, int stopFd, const ReceiveEvents& events,
                 const std::function<double()>& now, const ReceiveTimings& timings) {
    return Receiver(source, name, stopFd, events, now, timings).Run();
}

}  // namespace tervo
