#include "support/processes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>

extern char** environ;

namespace tervo::testing {

std::string ToolPath(const std::string& name) {
    const char* tools = std::getenv("TERVO_TOOLS_DIR");
    return std::string(tools != nullptr ? tools : ".") + "/" + name;
}

std::string ProgramPath() {
    const char* app = std::getenv("TERVO_APP_DIR");
    return std::string(app != nullptr ? app : ".") + "/tervoconverter";
}

bool Installed(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

Child::Child(const std::vector<std::string>& argv, const std::string& directory, const std::string& errPath) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!directory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    }
    if (!errPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    EXPECT_EQ(posix_spawnp(&pid_, args[0], &actions, &attributes, args.data(), environ), 0) << argv[0];
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
}

void Child::Signal(int signal) {
    if (pid_ > 0) {
        ::kill(pid_, signal);
    }
}

void Child::Stop() {
    if (pid_ <= 0) {
        return;
    }
    ::kill(-pid_, SIGTERM);
    for (int i = 0; i < 100 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(-pid_, SIGKILL);
    ::waitpid(pid_, nullptr, WNOHANG);
    pid_ = -1;
}

int Child::Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

PtyPair::PtyPair(const TempDir& dir) : rx(dir.File("rx")), tx(dir.File("tx")) { Plug(); }

void PtyPair::Plug() {
    socat_ = std::make_unique<Child>(
        std::vector<std::string>{"socat", "pty,raw,echo=0,link=" + rx, "pty,raw,echo=0,link=" + tx});
    EXPECT_TRUE(WaitUntil([&] { return FileExists(rx) && FileExists(tx); }, 5));
}

void PtyPair::Unplug() {
    socat_.reset();
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(rx); }, 5));
}

std::string SimulatedLogFile(const std::string& arguments, const std::string& path) {
    const std::string command = ToolPath("simulate_log") + " " + arguments + " --out " + path;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadFile(path);
}

}  // namespace tervo::testing
