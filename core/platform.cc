#include "core/platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <vector>

namespace tervo {

CivilDate SystemPlatform::Today() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

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

}  // namespace tervo
