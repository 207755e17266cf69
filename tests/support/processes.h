// Programs a test starts (our tools, socat, gpsfake, the converter itself),
// and waiting for what they do.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/test_files.h"

namespace tervo::testing {

// The path of one of our tools (TERVO_TOOLS_DIR, set by ctest).
std::string ToolPath(const std::string& name);
// The path of the built program (TERVO_APP_DIR, set by ctest).
std::string ProgramPath();
// Whether `program` is on the PATH.
bool Installed(const std::string& program);

// A program started in a process group of its own, ended with what it started
// (gpsfake starts gpsd) when it goes: SIGTERM, then SIGKILL.
class Child {
public:
    // `directory`: its working directory ("" keeps ours); `errPath`: where its
    // standard error goes ("" keeps ours).
    explicit Child(const std::vector<std::string>& argv, const std::string& directory = "",
                   const std::string& errPath = "");
    ~Child() { Stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void Stop();
    void Signal(int signal);
    // Waits for the program to end; its exit status, -1 when a signal ended it.
    int Wait();
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

template <typename Condition>
bool WaitUntil(Condition condition, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A pseudo-terminal pair made by socat: what is written into `tx` comes out of `rx`.
class PtyPair {
public:
    explicit PtyPair(const TempDir& dir);
    void Plug();
    // As when the adapter is pulled out: the device goes away.
    void Unplug();
    const std::string rx;
    const std::string tx;

private:
    std::unique_ptr<Child> socat_;
};

// The simulator's log with `arguments`, written whole into `path` (the bytes a
// paced run of the same arguments sends).
std::string SimulatedLogFile(const std::string& arguments, const std::string& path);

}  // namespace tervo::testing
