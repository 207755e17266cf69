#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/paths.h"
#include "kml/icon.h"
#include "kmz/kmz.h"
#include "run/conversion.h"
#include "run/run_files.h"

namespace tervo {

namespace {

// Opens the log for binary reading; a directory is no log. The open itself does
// not wait: a FIFO that nobody writes to would otherwise hold the run, and the
// window with it, for ever; it now reads as an empty log. Reads wait as usual.
InputFile OpenInput(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    InputFile file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
    }
    return file;
}

int64_t FileSize(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0) {
        return 0;
    }
    return static_cast<int64_t>(info.st_size);
}

}  // namespace

// The KML file, with a copy of every byte for the packer.
class DiskFiles::PackingSink : public ByteSink {
public:
    PackingSink(FileSink& file, KmlPacker* packer) : file_(file), packer_(packer) {}
    bool Write(const char* data, size_t size) override {
        const bool written = file_.Write(data, size);
        if (packer_ != nullptr) {
            packer_->Add(data, size);
        }
        return written;
    }
    bool Close() override { return file_.Close(); }
    // Only a run that stops takes bytes back, and it packs nothing.
    bool Truncate(uint64_t size) override {
        if (packer_ != nullptr) {
            packer_->Abandon();
        }
        return file_.Truncate(size);
    }

private:
    FileSink& file_;
    KmlPacker* packer_;
};

DiskFiles::DiskFiles(const ConversionSettings& settings, Platform& platform)
    : settings_(settings), platform_(platform) {
    outputDir_ = settings.OutputPath.empty() ? platform.ProgramDirectory() : DirectoryPart(settings.OutputPath);
    kmlPath_ = outputDir_ + ChangeFileExtension(settings.OutputName, ".kml");
    containerPath_ = outputDir_ + settings.OutputName;
}

DiskFiles::~DiskFiles() = default;

InputFile DiskFiles::OpenLog(int64_t* size) {
    InputFile input = OpenInput(settings_.InputPath);
    *size = input ? FileSize(input.get()) : 0;
    return input;
}

ByteSink* DiskFiles::CreateDocument() {
    kmlFile_ = std::make_unique<FileSink>(kmlPath_);
    if (!kmlFile_->is_open()) {
        return nullptr;
    }
    // The document is packed while it is written; when the disk fills up, the
    // KML file gets the packer's space and Pack packs from the file.
    packer_ = KmlPacker::Begin(containerPath_, kmlPath_);
    kmlFile_->OnDiskFull([this] {
        if (packer_) {
            packer_->Abandon();
        }
    });
    sink_ = std::make_unique<PackingSink>(*kmlFile_, packer_.get());
    return sink_.get();
}

std::string DiskFiles::MakeIcon(int32_t colour) {
    return MakeWaypointIcon(colour, WithoutFinalSeparator(outputDir_));
}

void DiskFiles::Pack(const std::string& validIcon, const std::string& invalidIcon,
                     const std::string& dtrackIcon) {
    const std::string validPath = outputDir_ + validIcon;
    const std::string invalidPath = outputDir_ + invalidIcon;
    const std::string dtrackPath = outputDir_ + dtrackIcon;
    PackKmz(containerPath_, kmlPath_, validPath, invalidPath, dtrackPath, platform_, packer_.get());
    RemoveIntermediateFiles(kmlPath_, validPath, invalidPath, dtrackPath);
}

}  // namespace tervo
