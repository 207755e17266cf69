#include "core/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace tervo {

std::string DirectoryPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNamePart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ChangeFileExtension(const std::string& name, const std::string& extension) {
    size_t nameStart = name.rfind('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < nameStart) {
        return name + extension;
    }
    return name.substr(0, dot) + extension;
}

std::string WithoutFinalSeparator(const std::string& directory) {
    if (directory.size() > 1 && directory.back() == '/') {
        return directory.substr(0, directory.size() - 1);
    }
    return directory;
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string AbsoluteFrom(const std::string& path, const std::string& directory) {
    if (!path.empty() && path.front() == '/') {
        return path;
    }
    // The root keeps its one separator: WithoutFinalSeparator leaves "/" as it is.
    if (!directory.empty() && directory.back() == '/') {
        return directory + path;
    }
    return directory + "/" + path;
}

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            throw std::system_error(errno, std::generic_category(), "the current directory");
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

}  // namespace tervo
