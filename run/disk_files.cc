#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

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
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(fd);
        errno = error;
        return nullptr;
    }
    InputFile file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
    }
    return file;
}

// Whether the two paths name one existing file.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

int64_t FileSize(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0) {
        return 0;
    }
    return static_cast<int64_t>(info.st_size);
}

}  // namespace

InputFile OpenLogFile(const std::string& path, int64_t* size, FileFailure* failure) {
    errno = 0;
    InputFile input = OpenInput(path);
    *size = input ? FileSize(input.get()) : 0;
    if (!input && failure != nullptr) {
        *failure = {path, errno};
    }
    return input;
}

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
    const std::string outputDir =
        settings.OutputPath.empty() ? platform.ProgramDirectory() : DirectoryPart(settings.OutputPath);
    containerPath_ = outputDir + settings.OutputName;
    kmlName_ = FileNamePart(ChangeFileExtension(containerPath_, ".kml"));
}

DiskFiles::~DiskFiles() {
    // The packer's temporary container goes first, then the work directory.
    sink_.reset();
    packer_.reset();
    kmlFile_.reset();
}

InputFile RunFiles::OpenReference(const std::string& path, int64_t* size, FileFailure* failure) {
    InputFile file = OpenLogFile(AbsoluteFrom(path, CurrentDirectory()), size, failure);
    failure->path = path;
    return file;
}

InputFile DiskFiles::OpenLog(int64_t* size) { return OpenLogFile(settings_.InputPath, size, &failure_); }

void DiskFiles::NoteReadError(int error) { failure_ = {settings_.InputPath, error}; }

FileFailure DiskFiles::LastFailure() const {
    // A document that failed after it was created failed while being written.
    if (kmlFile_ && kmlFile_->error() != 0) {
        return {containerPath_, kmlFile_->error()};
    }
    return failure_;
}

void RunFiles::BeginPiece(const std::string& containerPath) { throw CreateFileError(containerPath, ENOTSUP); }

ByteSink* DiskFiles::CreateDocument() {
    // Beside the container, so that packing stays on one file system; the
    // pieces of a split log, all in one directory, share it.
    if (!workDir_.made() && !workDir_.MakeIn(DirectoryPart(containerPath_))) {
        failure_ = {containerPath_, errno};
        return nullptr;
    }
    kmlPath_ = workDir_.path() + "doc.kml";
    kmlFile_ = std::make_unique<FileSink>(kmlPath_);
    if (!kmlFile_->is_open()) {
        return nullptr;
    }
    // The document is packed while it is written; when the disk fills up, the
    // KML file gets the packer's space and Pack packs from the file.
    packer_ = KmlPacker::Begin(containerPath_, KmzSource{kmlName_, kmlPath_});
    kmlFile_->OnDiskFull([this] {
        if (packer_) {
            packer_->Abandon();
        }
    });
    sink_ = std::make_unique<PackingSink>(*kmlFile_, packer_.get());
    return sink_.get();
}

std::string DiskFiles::MakeIcon(int32_t colour) {
    try {
        return MakeWaypointIcon(colour, WithoutFinalSeparator(workDir_.path()));
    } catch (const CreateFileError& error) {
        // Named where the user looks for it: the work directory is ours alone.
        throw CreateFileError(DirectoryPart(containerPath_) + WaypointIconName(colour), error.error());
    }
}

void DiskFiles::AddEntry(const std::string& name, const std::vector<uint8_t>& bytes) {
    // Flat names of our own: the work directory holds files only, and an
    // entry's name may hold folders.
    const std::string path = workDir_.path() + "entry-" + std::to_string(entries_.size());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool written = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int error = errno;
    if (file != nullptr) {
        written = std::fclose(file) == 0 && written;
    }
    if (!written) {
        throw CreateFileError(DirectoryPart(containerPath_) + FileNamePart(name), error);
    }
    entries_.push_back({name, path});
}

bool DiskFiles::WriteBeside(const std::string& extension, const std::function<bool(ByteSink&)>& write) {
    const std::string finalPath = ChangeFileExtension(containerPath_, extension);
    if (finalPath == containerPath_ || SameFile(finalPath, settings_.InputPath)) {
        besideFailures_.push_back({finalPath, EEXIST});
        return false;
    }
    if (!workDir_.made()) {
        besideFailures_.push_back({finalPath, ENOENT});
        return false;
    }
    const std::string path =
        workDir_.path() + "beside-" + std::to_string(beside_.size() + besideFailures_.size());
    FileSink file(path);
    if (!file.is_open() || !write(file)) {
        besideFailures_.push_back({finalPath, file.error() != 0 ? file.error() : EIO});
        std::remove(path.c_str());
        return false;
    }
    beside_.push_back({finalPath, path});
    return true;
}

void DiskFiles::Pack(const std::string& validIcon, const std::string& invalidIcon,
                     const std::string& dtrackIcon) {
    std::vector<KmzSource> sources = {{kmlName_, kmlPath_},
                                      {validIcon, workDir_.path() + validIcon},
                                      {invalidIcon, workDir_.path() + invalidIcon},
                                      {dtrackIcon, workDir_.path() + dtrackIcon}};
    sources.insert(sources.end(), entries_.begin(), entries_.end());
    if (pieces_) {
        packedPieces_.push_back(PackKmzAside(containerPath_, sources, platform_, packer_.get()));
        return;
    }
    PackKmz(containerPath_, sources, platform_, packer_.get());
    MoveBesideIntoPlace();
}

void DiskFiles::MoveBesideIntoPlace() {
    // Only beside a container that was written; one that cannot be moved stays
    // in the work directory, which goes with it.
    for (const KmzSource& file : beside_) {
        if (std::rename(file.path.c_str(), file.name.c_str()) != 0) {
            besideFailures_.push_back({file.name, errno});
        }
    }
    beside_.clear();
}

void DiskFiles::BeginPiece(const std::string& containerPath) {
    // The piece before is packed aside by now: its document and packer go,
    // and the files of the work directory are written anew; its files beside
    // it wait there, under names of their own, for CommitPieces.
    sink_.reset();
    packer_.reset();
    kmlFile_.reset();
    entries_.clear();
    pieces_ = true;
    containerPath_ = containerPath;
    kmlName_ = FileNamePart(ChangeFileExtension(containerPath_, ".kml"));
}

void DiskFiles::CommitPieces() {
    for (const std::unique_ptr<PackedKmz>& piece : packedPieces_) {
        piece->Commit();
    }
    MoveBesideIntoPlace();
}

}  // namespace tervo
