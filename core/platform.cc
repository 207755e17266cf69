#include "core/platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace tervo {

namespace {

constexpr std::time_t kSecondsPerDay = 86400;

long UtcOffsetAt(std::time_t t) {
    std::tm local{};
    return localtime_r(&t, &local) != nullptr ? local.tm_gmtoff : 0;
}

// The first instant in (from, to] whose UTC offset is not `offset`, given that
// `to` has another offset and the offset changes once in between.
std::time_t FirstOtherOffset(std::time_t from, std::time_t to, long offset) {
    while (to - from > 1) {
        const std::time_t middle = from + (to - from) / 2;
        if (UtcOffsetAt(middle) == offset) {
            from = middle;
        } else {
            to = middle;
        }
    }
    return to;
}

}  // namespace

CivilDate LocalDateCache::Today(std::time_t now) {
    if (now >= dayStart_ && now < dayEnd_) {
        return date_;
    }
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        dayStart_ = dayEnd_ = 0;
        return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    }
    date_ = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    // While the UTC offset stays that of `now`, local time runs with the clock,
    // so the day is the 86400 seconds around `now` that its wall-clock time
    // gives. A clock change on this day cuts the span at the change, and the
    // date is worked out afresh on the other side of it.
    const long offset = local.tm_gmtoff;
    const std::time_t secondsIntoDay = local.tm_hour * 3600 + local.tm_min * 60 + std::min(local.tm_sec, 59);
    std::time_t start = now - secondsIntoDay;
    std::time_t end = start + kSecondsPerDay;
    if (UtcOffsetAt(start) != offset) {
        start = FirstOtherOffset(start, now, UtcOffsetAt(start));
    }
    if (UtcOffsetAt(end - 1) != offset) {
        end = FirstOtherOffset(now, end - 1, offset);
    }
    dayStart_ = start;
    dayEnd_ = end;
    return date_;
}

CivilDate SystemPlatform::Today() { return today_.Today(std::time(nullptr)); }

std::string SystemPlatform::ProgramDirectory() {
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        return "./";
    }
    std::string path(buffer.data(), static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

bool SystemPlatform::LastWriteTime(const std::string& path, CivilTime* local) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return false;
    }
    std::tm t{};
    localtime_r(&info.st_mtime, &t);
    *local = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
    return true;
}

bool SystemPlatform::IsWritableDirectory(const std::string& directory) {
    return access(directory.c_str(), W_OK | X_OK) == 0;
}

std::string SystemPlatform::EnvironmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace tervo
