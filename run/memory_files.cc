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

namespace {

// fmemopen refuses an empty buffer; an empty text reads like /dev/null.
InputFile OpenText(std::string_view text, int64_t* size) {
    *size = static_cast<int64_t>(text.size());
    return InputFile(text.empty() ? std::fopen("/dev/null", "rb")
                                  : fmemopen(const_cast<char*>(text.data()), text.size(), "rb"));
}

}  // namespace

InputFile MemoryFiles::OpenLog(int64_t* size) {
    if (!logPath_.empty()) {
        return OpenLogFile(logPath_, size, &failure_);
    }
    return OpenText(logText_, size);
}

InputFile MemoryFiles::OpenReference(const std::string& path, int64_t* size, FileFailure* failure) {
    if (!referencePath_.empty() && path == referencePath_) {
        return OpenText(referenceText_, size);
    }
    return RunFiles::OpenReference(path, size, failure);
}

std::string MemoryFiles::MakeIcon(int32_t colour) {
    iconColours_.push_back(colour);
    return WaypointIconName(colour);
}

void MemoryFiles::BeginPiece(const std::string& containerPath) {
    CommitPieces();
    pieces_.push_back({containerPath, "", {}});
    containerPath_ = containerPath;
}

void MemoryFiles::CommitPieces() {
    if (!pieces_.empty() && pieces_.back().kml.empty()) {
        pieces_.back().kml = std::move(sink_.text);
        sink_.text.clear();
    }
}

void MemoryFiles::AddEntry(const std::string& name, const std::vector<uint8_t>& bytes) {
    entries_.push_back({name, bytes});
}

bool MemoryFiles::WriteBeside(const std::string& extension, const std::function<bool(ByteSink&)>& write) {
    StringSink sink;
    const bool written = write(sink);
    (pieces_.empty() ? besides_ : pieces_.back().besides)
        .push_back({extension, std::vector<uint8_t>(sink.text.begin(), sink.text.end())});
    return written;
}

}  // namespace tervo
