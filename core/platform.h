// What a conversion cannot control itself comes in through these small seams:
// today's local date, the local time of a file's last write, the program's
// directory, whether a directory can be written, and the environment. Tests pass
// fixed values; the program passes SystemPlatform.
#pragma once

#include <ctime>
#include <map>
#include <string>
#include <utility>

namespace tervo {

struct CivilDate {
    int Year = 0;
    int Month = 0;  // 1-12
    int Day = 0;    // 1-31
};

struct CivilTime {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
};

// Today's local calendar date (the RMC date of a sentence without one).
class DateSource {
public:
    virtual ~DateSource() = default;
    virtual CivilDate Today() = 0;
};

class Platform : public DateSource {
public:
    // The directory of the running program, with its final separator.
    virtual std::string ProgramDirectory() = 0;
    // The local time of the last write of `path`; false when it cannot be read.
    virtual bool LastWriteTime(const std::string& path, CivilTime* local) = 0;
    // Whether the program may create files in `directory`: a build tree or a
    // portable copy keeps its settings beside the program, an installed one cannot.
    virtual bool IsWritableDirectory(const std::string& directory) = 0;
    // The value of the environment variable `name`; "" when it is unset.
    virtual std::string EnvironmentValue(const std::string& name) = 0;
};

// Today's local date for a given clock reading. The RMC decoder asks for it
// once per sentence without a date, and a log can hold millions of those, so
// the time-zone rules are consulted only when the clock leaves the local day
// worked out last (at local midnight, or when the clock is set back).
class LocalDateCache {
public:
    CivilDate Today(std::time_t now);

private:
    // The local day [dayStart_, dayEnd_) of date_; empty until the first call.
    std::time_t dayStart_ = 0;
    std::time_t dayEnd_ = 0;
    CivilDate date_;
};

// The real machine: the local time zone, /proc/self/exe, stat(), access(), getenv().
class SystemPlatform : public Platform {
public:
    CivilDate Today() override;
    std::string ProgramDirectory() override;
    bool LastWriteTime(const std::string& path, CivilTime* local) override;
    bool IsWritableDirectory(const std::string& directory) override;
    std::string EnvironmentValue(const std::string& name) override;

private:
    LocalDateCache today_;
};

// A fixed date, time and directory, for tests and reproducible runs. Every
// directory counts as writable and the environment is empty until set otherwise.
class FixedPlatform : public Platform {
public:
    FixedPlatform(CivilDate today, CivilTime fileTime, std::string programDirectory)
        : today_(today), fileTime_(fileTime), programDirectory_(std::move(programDirectory)) {}
    CivilDate Today() override { return today_; }
    std::string ProgramDirectory() override { return programDirectory_; }
    bool LastWriteTime(const std::string&, CivilTime* local) override {
        *local = fileTime_;
        return true;
    }
    bool IsWritableDirectory(const std::string&) override { return directoriesWritable_; }
    std::string EnvironmentValue(const std::string& name) override {
        auto found = environment_.find(name);
        return found == environment_.end() ? std::string() : found->second;
    }

    void SetDirectoriesWritable(bool writable) { directoriesWritable_ = writable; }
    void SetEnvironmentValue(const std::string& name, std::string value) {
        environment_[name] = std::move(value);
    }

private:
    CivilDate today_;
    CivilTime fileTime_;
    std::string programDirectory_;
    bool directoriesWritable_ = true;
    std::map<std::string, std::string> environment_;
};

}  // namespace tervo
