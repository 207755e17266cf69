#include "app/live_source.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/processes.h"
#include "support/test_files.h"

namespace tervo {
namespace {

using testing::Child;
using testing::Installed;
using testing::PtyPair;
using testing::ReadFile;
using testing::TempDir;
using testing::WaitUntil;

TEST(ParseSourceAddress, TakesEachKindAndSaysWhatIsWrong) {
    using Kind = SourceAddress::Kind;
    struct Case {
        const char* text;
        bool ok;
        Kind kind;
        const char* pathOrHost;
        int baudOrPort;
        const char* why;  // a part of the reason, for the refused ones
    };
    const Case cases[] = {
        {"-", true, Kind::StandardInput, "", 0, ""},
        {"/dev/ttyUSB0", true, Kind::Serial, "/dev/ttyUSB0", 4800, ""},
        {"/dev/ttyUSB0:115200", true, Kind::Serial, "/dev/ttyUSB0", 115200, ""},
        {"/dev/ttyACM1:921600", true, Kind::Serial, "/dev/ttyACM1", 921600, ""},
        // A colon before the last separator belongs to the path.
        {"/tmp/a:b/tty", true, Kind::Serial, "/tmp/a:b/tty", 4800, ""},
        {"ttyS0:9600", true, Kind::Serial, "ttyS0", 9600, ""},
        {"/dev/ttyUSB0:2400", false, Kind::Serial, "", 0, "'2400' is no baud rate"},
        {"/dev/ttyUSB0:115201", false, Kind::Serial, "", 0, "no baud rate"},
        {"/dev/ttyUSB0:fast", false, Kind::Serial, "", 0, "'fast' is no baud rate"},
        {":9600", false, Kind::Serial, "", 0, "no device"},
        {"tcp://192.168.1.20:5017", true, Kind::Tcp, "192.168.1.20", 5017, ""},
        {"tcp://caster.example:2101", true, Kind::Tcp, "caster.example", 2101, ""},
        {"tcp://[::1]:5017", true, Kind::Tcp, "::1", 5017, ""},
        {"tcp://receiver", false, Kind::Tcp, "", 0, "no port"},
        {"tcp://:5017", false, Kind::Tcp, "", 0, "no host"},
        {"tcp://host:0", false, Kind::Tcp, "", 0, "'0' is no port"},
        {"tcp://host:65536", false, Kind::Tcp, "", 0, "'65536' is no port"},
        {"tcp://::1:5017", false, Kind::Tcp, "", 0, "in brackets"},
        {"tcp://[::1", false, Kind::Tcp, "", 0, "no ']'"},
        {"gpsd://localhost", true, Kind::Gpsd, "localhost", 2947, ""},
        {"gpsd://10.0.0.2:3000", true, Kind::Gpsd, "10.0.0.2", 3000, ""},
        {"gpsd://[fe80::1]", true, Kind::Gpsd, "fe80::1", 2947, ""},
        {"gpsd://", false, Kind::Gpsd, "", 0, "no host"},
        {"udp://host:10110", false, Kind::Tcp, "", 0, "unknown kind of address 'udp://'"},
        {"", false, Kind::Serial, "", 0, "no source"},
    };
    for (const Case& c : cases) {
        std::string why;
        const std::optional<SourceAddress> address = ParseSourceAddress(c.text, &why);
        ASSERT_EQ(address.has_value(), c.ok) << c.text << ": " << why;
        if (!c.ok) {
            EXPECT_NE(why.find(c.why), std::string::npos) << c.text << ": " << why;
            continue;
        }
        EXPECT_EQ(address->kind, c.kind) << c.text;
        const bool serial = c.kind == Kind::Serial;
        EXPECT_EQ(serial ? address->path : address->host, c.pathOrHost) << c.text;
        if (c.kind != Kind::StandardInput) {
            EXPECT_EQ(serial ? address->baud : address->port, c.baudOrPort) << c.text;
        }
    }
}

TEST(LooksLikeLiveSource, TellsAddressesAndDevicesFromLogFiles) {
    struct Case {
        const char* text;
        bool live;
    };
    const Case cases[] = {
        {"tcp://host:1", true},      {"gpsd://host", true},
        {"/dev/ttyUSB0:9600", true}, {"/home/ann/drive.nmea", false},
        {"drive.nmea", false},       {"-", false},
        {"tcp:/host", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LooksLikeLiveSource(c.text), c.live) << c.text;
    }
}

TEST(NextReconnectPause, GrowsToHalfAMinute) {
    // Each row: the pause before, the pause after.
    const double rows[][2] = {{0, 1}, {1, 2}, {2, 4}, {8, 16}, {16, 30}, {30, 30}};
    for (const auto& row : rows) {
        EXPECT_EQ(NextReconnectPause(row[0]), row[1]) << row[0];
    }
}

// --- The real sources, fed by real programs -----------------------------------

// The receiving loop on a thread of its own, collecting what it receives and says.
class Receiver {
public:
    Receiver(const SourceAddress& address, const ReceiveTimings& timings)
        : source_(MakeByteSource(address, false)) {
        EXPECT_EQ(::pipe(stop_), 0);
        ReceiveEvents events;
        events.bytes = [this](const uint8_t* bytes, size_t size, double) {
            std::lock_guard lock(mutex_);
            bytes_.append(reinterpret_cast<const char*>(bytes), size);
        };
        events.say = [this](const std::string& text) {
            std::lock_guard lock(mutex_);
            said_.push_back(text);
        };
        thread_ = std::thread([this, events, timings, name = SourceName(address)] {
            stopped_ = ReceiveLoop(*source_, name, stop_[0], events, SteadySeconds, timings);
            done_ = true;
        });
    }
    ~Receiver() {
        Stop();
        ::close(stop_[0]);
        ::close(stop_[1]);
    }
    void Stop() {
        if (thread_.joinable()) {
            EXPECT_EQ(::write(stop_[1], "x", 1), 1);
            thread_.join();
        }
    }
    std::string Bytes() {
        std::lock_guard lock(mutex_);
        return bytes_;
    }
    std::vector<std::string> Said() {
        std::lock_guard lock(mutex_);
        return said_;
    }
    // How many of the texts said contain `part`.
    int SaidCount(const std::string& part) {
        int count = 0;
        for (const std::string& text : Said()) {
            count += text.find(part) != std::string::npos ? 1 : 0;
        }
        return count;
    }
    bool Done() const { return done_; }
    bool StoppedByPipe() const { return stopped_; }

private:
    std::unique_ptr<ByteSource> source_;
    int stop_[2] = {-1, -1};
    std::mutex mutex_;
    std::string bytes_;
    std::vector<std::string> said_;
    std::atomic<bool> done_ = false;
    std::atomic<bool> stopped_ = false;
    std::thread thread_;
};

ReceiveTimings QuickTimings() {
    ReceiveTimings timings;
    timings.silence = 0.5;
    timings.devicePoll = 0.05;
    timings.pauseScale = 0.05;
    return timings;
}

// A serial receiver at 10 Hz: every byte arrives unchanged through the pseudo-
// terminal, set to raw 8N1 (a line discipline that ate the CRs or echoed bytes
// back would change them).
TEST(SerialSource, ReceivesTheSimulatorAtTenHertzByteForByte) {
    ASSERT_TRUE(Installed("socat")) << "socat comes with scripts/setup.sh";
    TempDir dir;
    const std::string expected =
        testing::SimulatedLogFile("--epochs 25 --rate 10 --seed 3", dir.File("log.nmea"));
    PtyPair pty(dir);
    std::string why;
    const std::optional<SourceAddress> address = ParseSourceAddress(pty.rx + ":115200", &why);
    ASSERT_TRUE(address) << why;
    Receiver receiver(*address, QuickTimings());
    Child simulator({testing::ToolPath("simulate_log"), "--epochs", "25", "--rate", "10", "--seed", "3",
                     "--paced", "--out", pty.tx});
    EXPECT_EQ(simulator.Wait(), 0);
    EXPECT_TRUE(WaitUntil([&] { return receiver.Bytes().size() >= expected.size(); }, 5));
    EXPECT_TRUE(receiver.Bytes() == expected)
        << receiver.Bytes().size() << " of " << expected.size() << " bytes";
    EXPECT_EQ(receiver.Said(), std::vector<std::string>{});
}

// An adapter pulled out and plugged in again: the loop says so once, waits for
// the device, and receives again from the same name.
TEST(SerialSource, AnUnpluggedDeviceIsWaitedFor) {
    ASSERT_TRUE(Installed("socat")) << "socat comes with scripts/setup.sh";
    TempDir dir;
    const std::string first = testing::SimulatedLogFile("--epochs 5 --seed 3", dir.File("first.nmea"));
    const std::string second = testing::SimulatedLogFile("--epochs 5 --seed 4", dir.File("second.nmea"));
    PtyPair pty(dir);
    std::string why;
    Receiver receiver(*ParseSourceAddress(pty.rx, &why), QuickTimings());
    ASSERT_TRUE(WaitUntil([&] { return receiver.Said().empty() && receiver.Bytes().empty(); }, 1));
    // Give the loop time to open the device before the first bytes go in.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    testing::WriteFile(pty.tx, first);
    ASSERT_TRUE(WaitUntil([&] { return receiver.Bytes().size() == first.size(); }, 5));

    pty.Unplug();
    ASSERT_TRUE(WaitUntil([&] { return receiver.SaidCount("waiting for it") == 1; }, 5));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // several looks while it is gone
    pty.Plug();
    ASSERT_TRUE(WaitUntil([&] { return receiver.SaidCount("receiving again") == 1; }, 5));
    testing::WriteFile(pty.tx, second);
    EXPECT_TRUE(WaitUntil([&] { return receiver.Bytes().size() == first.size() + second.size(); }, 5));
    EXPECT_TRUE(receiver.Bytes() == first + second);
    EXPECT_EQ(receiver.SaidCount("waiting for it"), 1) << "said once per drop";
}

// A TCP server of the test's own on the loopback: it sends the first part and
// closes, then the rest on the next connection and falls silent. The loop
// reconnects after a pause, says so once, and tells of the silence once.
TEST(TcpSource, ReconnectsAfterADropAndTellsOfSilence) {
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(server, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(server, 4), 0);
    ASSERT_EQ(::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string first = "$GPGGA,first part\r\n";
    const std::string second = "$GPGGA,second part\r\n";
    std::atomic<bool> quit = false;
    std::thread serve([&] {
        const int a = ::accept(server, nullptr, nullptr);
        EXPECT_EQ(::send(a, first.data(), first.size(), MSG_NOSIGNAL), static_cast<ssize_t>(first.size()));
        ::close(a);
        const int b = ::accept(server, nullptr, nullptr);
        EXPECT_EQ(::send(b, second.data(), second.size(), MSG_NOSIGNAL), static_cast<ssize_t>(second.size()));
        while (!quit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::close(b);
    });
    std::string why;
    const std::string text = "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    {
        Receiver receiver(*ParseSourceAddress(text, &why), QuickTimings());
        EXPECT_TRUE(WaitUntil([&] { return receiver.SaidCount("nothing received for") == 1; }, 5));
        EXPECT_TRUE(receiver.Bytes() == first + second);
        EXPECT_EQ(receiver.SaidCount(text + " closed; trying again"), 1);
        EXPECT_EQ(receiver.SaidCount("receiving again"), 1);
        receiver.Stop();
        EXPECT_TRUE(receiver.StoppedByPipe());
    }
    quit = true;
    serve.join();
    ::close(server);
}

// Standard input ("-"), a pipe here: read to its end, which ends the loop (a
// loop that took the end for a drop would wait for ever).
TEST(StandardInputSource, ReadsToTheEndAndEnds) {
    const std::string bytes(20000, '$');
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const int savedInput = ::dup(STDIN_FILENO);
    ASSERT_EQ(::dup2(pipeFds[0], STDIN_FILENO), STDIN_FILENO);
    ::close(pipeFds[0]);
    std::thread writer([&] {
        EXPECT_EQ(::write(pipeFds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(pipeFds[1]);
    });
    std::string received;
    std::vector<std::string> said;
    ReceiveEvents events;
    events.bytes = [&](const uint8_t* data, size_t size, double) {
        received.append(reinterpret_cast<const char*>(data), size);
    };
    events.say = [&](const std::string& text) { said.push_back(text); };
    std::string why;
    const SourceAddress address = *ParseSourceAddress("-", &why);
    const std::unique_ptr<ByteSource> source = MakeByteSource(address, false);
    const bool stopped = ReceiveLoop(*source, SourceName(address), -1, events, SteadySeconds, QuickTimings());
    writer.join();
    ::dup2(savedInput, STDIN_FILENO);
    ::close(savedInput);
    EXPECT_FALSE(stopped);
    EXPECT_TRUE(received == bytes);
    EXPECT_EQ(said, std::vector<std::string>{});
}

// A free TCP port on the loopback, for a server another program opens.
int FreePort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

// gpsd fed by its own gpsfake, which plays the log over and over: asked with a
// WATCH command, gpsd sends the NMEA sentences as the receiver sent them, after
// its own JSON greeting.
TEST(GpsdSource, AsksForTheRawStreamAndReceivesTheSentences) {
    ASSERT_TRUE(Installed("gpsfake")) << "gpsd and gpsfake come with scripts/setup.sh";
    TempDir dir;
    const std::string whole = testing::SimulatedLogFile("--epochs 10 --seed 5", dir.File("log.nmea"));
    // gpsd passes on only the sentences it knows: the differential fixes stay behind.
    std::string log;
    for (size_t at = 0; at < whole.size(); at = whole.find('\n', at) + 1) {
        if (whole.compare(at, 6, "$TVLDR") != 0) {
            log += whole.substr(at, whole.find('\n', at) + 1 - at);
        }
    }
    const int port = FreePort();
    Child gpsfake({"gpsfake", "-q", "-c", "0.01", "-P", std::to_string(port), dir.File("log.nmea")});
    std::string why;
    Receiver receiver(*ParseSourceAddress("gpsd://127.0.0.1:" + std::to_string(port), &why), QuickTimings());
    auto sentences = [&] {
        const std::string received = receiver.Bytes();
        std::vector<std::string> found;
        for (size_t at = received.find('$'); at != std::string::npos; at = received.find('$', at + 1)) {
            const size_t end = received.find('\n', at);
            if (end != std::string::npos) {
                found.push_back(received.substr(at, end + 1 - at));
            }
        }
        return found;
    };
    // More than a whole log, over the end of one play and the start of the next.
    EXPECT_TRUE(WaitUntil([&] { return sentences().size() > 150; }, 20));
    receiver.Stop();
    const std::string received = receiver.Bytes();
    EXPECT_EQ(received.rfind("{\"class\":\"VERSION\"", 0), 0u) << received.substr(0, 200);
    EXPECT_NE(received.find("\"raw\":1"), std::string::npos);
    // Every other sentence received is one of the log's, unchanged and in its order
    // (the next play starts over; gpsd passes nothing while it recognises the
    // receiver anew, so a few go missing there), in long runs of the log's lines.
    const std::vector<std::string> got = sentences();
    size_t at = 0;
    size_t run = 0;
    size_t longestRun = 0;
    for (const std::string& sentence : got) {
        size_t found = log.find(sentence, at);
        if (found == std::string::npos) {
            found = log.find(sentence);
        }
        ASSERT_NE(found, std::string::npos) << sentence;
        run = found == at ? run + 1 : 1;
        longestRun = std::max(longestRun, run);
        at = found + sentence.size();
    }
    EXPECT_GT(longestRun, 60u);
}

}  // namespace
}  // namespace tervo
