#include "run/memory_files.h"

#include <cstdio>

#include "kml/icon.h"

namespace tervo {

MemoryFiles MemoryFiles::OfText(std::string_view log) {
    MemoryFiles files;
    files.logText_ = log;
    return files;
}

MemoryFiles MemoryFiles::OfFile(std::string path) {
    MemoryFiles files;
    files.logPath_ = std::move(path);
    return files;
}

InputFile MemoryFiles::OpenLog(int64_t* size) {
    if (!logPath_.empty()) {
        return OpenLogFile(logPath_, size, &failure_);
    }
    *size = static_cast<int64_t>(logText_.size());
    // fmemopen refuses an empty buffer; an empty log reads like /dev/null.
    return InputFile(logText_.empty() ? std::fopen("/dev/null", "rb")
                                      : fmemopen(const_cast<char*>(logText_.data()), logText_.size(), "rb"));
}

std::string MemoryFiles::MakeIcon(int32_t colour) {
    iconColours_.push_back(colour);
    return WaypointIconName(colour);
}

void MemoryFiles::AddEntry(const std::string& name, const std::vector<uint8_t>& bytes) {
    entries_.push_back({name, bytes});
}

bool MemoryFiles::WriteBeside(const std::string& extension, const std::function<bool(ByteSink&)>& write) {
    StringSink sink;
    const bool written = write(sink);
    besides_.push_back({extension, std::vector<uint8_t>(sink.text.begin(), sink.text.end())});
    return written;
}

}  // namespace tervo
