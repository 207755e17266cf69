#include "kmz/kmz.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/paths.h"
#include "kmz/parallel_deflate.h"

namespace tervo {

namespace {

constexpr size_t kChunkSize = 64 * 1024;
// 2.0, the version that brought deflate; the upper byte 0 says MS-DOS attributes.
constexpr uint16_t kZipVersion = 20;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint32_t kArchiveAttribute = 0x20;
// Without Zip64 every size and offset must fit 32 bits.
constexpr uint64_t kZip32Limit = 0xFFFFFFFFu;
constexpr size_t kLocalTimeOffset = 10;

// Raised anywhere inside the packing; PackKmz reports it as CreateFileError.
// Carries the errno of the call that failed, taken when it is thrown.
struct PackFailure {
    int error = errno;
};

void PutU16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

struct DosTime {
    uint16_t time = 0;
    uint16_t date = (1 << 5) | 1;  // 1980-01-01, the earliest the format holds
};

// MS-DOS keeps even seconds and the years 1980 to 2107; times outside are pinned to the ends.
DosTime ToDosTime(const CivilTime& t) {
    DosTime dos;
    if (t.Year < 1980) {
        return dos;
    }
    if (t.Year > 2107) {
        dos.time = (23 << 11) | (59 << 5) | 29;
        dos.date = (127 << 9) | (12 << 5) | 31;
        return dos;
    }
    dos.time = static_cast<uint16_t>((t.Hour << 11) | (t.Minute << 5) | (std::min(t.Second, 59) / 2));
    dos.date = static_cast<uint16_t>(((t.Year - 1980) << 9) | (t.Month << 5) | t.Day);
    return dos;
}

struct Entry {
    std::string name;
    std::string sourcePath;
    DosTime modified;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint32_t localOffset = 0;
};

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now; false when the close reported an error.
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// The container being written, buffered; every failure raises PackFailure.
class ContainerWriter {
public:
    explicit ContainerWriter(int fd) : file_(fd) { buffer_.reserve(kChunkSize); }

    uint64_t Position() const { return position_; }
    int fd() const { return file_.get(); }

    void Write(const uint8_t* data, size_t size) {
        position_ += size;
        if (buffer_.size() + size > kChunkSize) {
            Flush();
        }
        if (size >= kChunkSize) {
            WriteAll(data, size);
        } else {
            buffer_.insert(buffer_.end(), data, data + size);
        }
    }

    void Write(const std::vector<uint8_t>& bytes) { Write(bytes.data(), bytes.size()); }

    // Overwrites bytes already written at `offset`.
    void Patch(uint64_t offset, const std::vector<uint8_t>& bytes) {
        Flush();
        if (::pwrite(file_.get(), bytes.data(), bytes.size(), static_cast<off_t>(offset)) !=
            static_cast<ssize_t>(bytes.size())) {
            throw PackFailure{};
        }
    }

    // Everything on the disk, then closed.
    void Finish() {
        Flush();
        if (::fsync(file_.get()) != 0 || !file_.Close()) {
            throw PackFailure{};
        }
    }

private:
    void Flush() {
        WriteAll(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

    void WriteAll(const uint8_t* data, size_t size) {
        while (size > 0) {
            ssize_t written = ::write(file_.get(), data, size);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                throw PackFailure{};
            }
            data += written;
            size -= static_cast<size_t>(written);
        }
    }

    Descriptor file_;
    std::vector<uint8_t> buffer_;
    uint64_t position_ = 0;
};

size_t ReadSome(int fd, uint8_t* out, size_t size) {
    for (;;) {
        ssize_t got = ::read(fd, out, size);
        if (got >= 0) {
            return static_cast<size_t>(got);
        }
        if (errno != EINTR) {
            throw PackFailure{};
        }
    }
}

std::vector<uint8_t> LocalHeader(const Entry& entry) {
    std::vector<uint8_t> header;
    PutU32(header, 0x04034b50);
    PutU16(header, kZipVersion);
    PutU16(header, 0);  // flags: no data descriptor, no UTF-8 names
    PutU16(header, kMethodDeflate);
    PutU16(header, entry.modified.time);
    PutU16(header, entry.modified.date);
    PutU32(header, entry.crc);
    PutU32(header, entry.compressedSize);
    PutU32(header, entry.uncompressedSize);
    PutU16(header, static_cast<uint32_t>(entry.name.size()));
    PutU16(header, 0);  // extra field length
    header.insert(header.end(), entry.name.begin(), entry.name.end());
    return header;
}

void AppendCentralHeader(std::vector<uint8_t>& out, const Entry& entry) {
    PutU32(out, 0x02014b50);
    PutU16(out, kZipVersion);  // made by
    PutU16(out, kZipVersion);  // needed to extract
    PutU16(out, 0);
    PutU16(out, kMethodDeflate);
    PutU16(out, entry.modified.time);
    PutU16(out, entry.modified.date);
    PutU32(out, entry.crc);
    PutU32(out, entry.compressedSize);
    PutU32(out, entry.uncompressedSize);
    PutU16(out, static_cast<uint32_t>(entry.name.size()));
    PutU16(out, 0);  // extra field length
    PutU16(out, 0);  // comment length
    PutU16(out, 0);  // disk number start
    PutU16(out, 0);  // internal attributes
    PutU32(out, kArchiveAttribute);
    PutU32(out, entry.localOffset);
    out.insert(out.end(), entry.name.begin(), entry.name.end());
}

// The local header's fields from the modification time on, once they are known.
void PatchLocalHeader(ContainerWriter& out, const Entry& entry) {
    std::vector<uint8_t> known;
    PutU16(known, entry.modified.time);
    PutU16(known, entry.modified.date);
    PutU32(known, entry.crc);
    PutU32(known, entry.compressedSize);
    PutU32(known, entry.uncompressedSize);
    out.Patch(entry.localOffset + kLocalTimeOffset, known);
}

// The local header, with zero CRC and sizes until PatchLocalHeader.
void BeginEntry(ContainerWriter& out, Entry& entry) {
    if (entry.name.size() > 0xFFFF || out.Position() > kZip32Limit) {
        throw PackFailure{};
    }
    entry.localOffset = static_cast<uint32_t>(out.Position());
    out.Write(LocalHeader(entry));
}

// The deflated data is complete: the entry takes its CRC and sizes.
void EndEntry(ContainerWriter& out, Entry& entry, const ParallelDeflater& deflater, Platform& platform) {
    if (deflater.InputSize() > kZip32Limit || deflater.OutputSize() > kZip32Limit) {
        throw PackFailure{};
    }
    CivilTime modified;
    if (platform.LastWriteTime(entry.sourcePath, &modified)) {
        entry.modified = ToDosTime(modified);
    }
    entry.crc = deflater.Crc();
    entry.compressedSize = static_cast<uint32_t>(deflater.OutputSize());
    entry.uncompressedSize = static_cast<uint32_t>(deflater.InputSize());
    PatchLocalHeader(out, entry);
}

// Compressed output goes straight into the container.
ParallelDeflater::Output Into(ContainerWriter& out) {
    return [&out](const uint8_t* data, size_t size) { out.Write(data, size); };
}

// Streams one source file through deflate into the container, a large one on
// every core. Neither the file nor its deflated form is held in memory whole.
void WriteEntry(ContainerWriter& out, Entry& entry, Platform& platform) {
    Descriptor source(::open(entry.sourcePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0) {
        throw PackFailure{};
    }
    struct stat info {};
    const bool large = ::fstat(source.get(), &info) == 0 &&
                       static_cast<uint64_t>(info.st_size) > ParallelDeflater::kDefaultChunkSize;
    BeginEntry(out, entry);
    ParallelDeflater deflater(Into(out), large ? 0 : 1);
    std::vector<uint8_t> input(kChunkSize);
    for (;;) {
        const size_t got = ReadSome(source.get(), input.data(), input.size());
        if (got == 0) {
            break;
        }
        deflater.Write(input.data(), got);
    }
    deflater.Finish();
    EndEntry(out, entry, deflater, platform);
}

// The file to replace: the container path itself, or the file a symbolic link
// there points to, so that the link survives.
std::string ReplacedFile(const std::string& containerPath) {
    struct stat link {};
    if (::lstat(containerPath.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* target = ::realpath(containerPath.c_str(), nullptr)) {
            std::string resolved = target;
            std::free(target);
            return resolved;
        }
    }
    return containerPath;
}

// Creates a new file beside `target` under a name of its own; the descriptor is
// -1 when none could be created.
int CreateSibling(const std::string& target, std::string* siblingPath) {
    std::string directory = DirectoryPart(target);
    // Short enough that a long container name cannot push it past the name limit.
    std::string stem = FileNamePart(target).substr(0, 64);
    // Runs on several threads pack at once (the console's many-logs form).
    static std::atomic<unsigned> counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        *siblingPath = directory + "." + stem + "." + std::to_string(::getpid()) + "-" +
                       std::to_string(++counter) + ".tmp";
        int fd = ::open(siblingPath->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Removes the temporary container unless it was moved into place.
class PendingFile {
public:
    explicit PendingFile(std::string path) : path_(std::move(path)) {}
    ~PendingFile() {
        if (!kept_) {
            ::unlink(path_.c_str());
        }
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    void Keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

// What PackKmz takes over from a KmlPacker: the temporary container with the
// whole KML entry in it.
struct PackedStart {
    std::unique_ptr<ContainerWriter> out;
    std::string temporaryPath;
    std::optional<Entry> kmlEntry;
};

}  // namespace

struct KmlPacker::State {
    std::string target;
    std::string temporaryPath;
    std::unique_ptr<ContainerWriter> out;
    Entry entry;
    std::unique_ptr<ParallelDeflater> deflater;

    ~State() {
        deflater.reset();
        out.reset();
        if (!temporaryPath.empty()) {
            ::unlink(temporaryPath.c_str());
        }
    }
};

struct KmlPackerAccess {
    // The packed entry, when it is whole and meant for this container and this
    // KML file; otherwise the packing is given up and nullptr returned.
    static std::unique_ptr<PackedStart> TakeOver(KmlPacker& packer, const std::string& target,
                                                 const Entry& expected, Platform& platform) {
        if (!packer.state_) {
            return nullptr;
        }
        KmlPacker::State& state = *packer.state_;
        if (state.target != target || state.entry.name != expected.name ||
            state.entry.sourcePath != expected.sourcePath) {
            packer.Abandon();
            return nullptr;
        }
        try {
            state.deflater->Finish();
            EndEntry(*state.out, state.entry, *state.deflater, platform);
        } catch (const std::exception&) {
            packer.Abandon();
            return nullptr;
        } catch (const PackFailure&) {
            packer.Abandon();
            return nullptr;
        }
        auto start = std::make_unique<PackedStart>();
        start->out = std::move(state.out);
        start->temporaryPath = std::move(state.temporaryPath);
        start->kmlEntry = state.entry;
        state.temporaryPath.clear();
        packer.state_.reset();
        return start;
    }
};

namespace {

// The entries in order, named by their sources' bare names; a later file of
// the same name takes the earlier one's place.
std::vector<Entry> CollectEntries(const std::vector<KmzSource>& sources) {
    std::vector<Entry> entries;
    for (const KmzSource& source : sources) {
        auto same = std::find_if(entries.begin(), entries.end(),
                                 [&](const Entry& e) { return e.name == source.name; });
        if (same != entries.end()) {
            same->sourcePath = source.path;
        } else {
            Entry entry;
            entry.name = source.name;
            entry.sourcePath = source.path;
            entries.push_back(entry);
        }
    }
    return entries;
}

// Throws PackFailure when the container `target` (its status in `existing`)
// must not be replaced.
void CheckReplaceable(const std::string& target, const struct stat& existing,
                      const std::vector<Entry>& entries) {
    // A container named like one of its sources (an output name ending in
    // ".kml") would take the source's place, and the clean-up would then
    // delete the container as well: nothing of the run would remain.
    for (const Entry& entry : entries) {
        struct stat source {};
        if (::stat(entry.sourcePath.c_str(), &source) == 0 && source.st_dev == existing.st_dev &&
            source.st_ino == existing.st_ino) {
            throw PackFailure{};
        }
    }
    // A container we may not write stays as it is: replacing it by a new name
    // would pass over the protection its owner gave it.
    if (::access(target.c_str(), W_OK) != 0) {
        throw PackFailure{};
    }
}

// The temporary container beside `target`: the one the packer began, with the
// KML entry whole in it, or a new empty one.
std::unique_ptr<PackedStart> StartTemporaryFile(const std::string& target, const Entry& kmlEntry,
                                                Platform& platform, KmlPacker* packed) {
    std::unique_ptr<PackedStart> start;
    if (packed != nullptr) {
        start = KmlPackerAccess::TakeOver(*packed, target, kmlEntry, platform);
    }
    if (!start) {
        start = std::make_unique<PackedStart>();
        const int fd = CreateSibling(target, &start->temporaryPath);
        if (fd < 0) {
            throw PackFailure{};
        }
        start->out = std::make_unique<ContainerWriter>(fd);
    }
    return start;
}

// The central directory and its end record, behind the entries.
void WriteCentralDirectory(ContainerWriter& out, const std::vector<Entry>& entries) {
    const uint64_t centralOffset = out.Position();
    std::vector<uint8_t> central;
    for (const Entry& entry : entries) {
        AppendCentralHeader(central, entry);
    }
    if (centralOffset > kZip32Limit || centralOffset + central.size() > kZip32Limit) {
        throw PackFailure{};
    }
    out.Write(central);
    std::vector<uint8_t> end;
    PutU32(end, 0x06054b50);
    PutU16(end, 0);  // this disk
    PutU16(end, 0);  // disk of the central directory
    PutU16(end, static_cast<uint32_t>(entries.size()));
    PutU16(end, static_cast<uint32_t>(entries.size()));
    PutU32(end, static_cast<uint32_t>(central.size()));
    PutU32(end, static_cast<uint32_t>(centralOffset));
    PutU16(end, 0);  // comment length
    out.Write(end);
    out.Finish();
}

// Moves the finished temporary file into the container's place.
void Commit(const std::string& temporaryPath, const std::string& target, PendingFile& pending) {
    if (::rename(temporaryPath.c_str(), target.c_str()) != 0) {
        throw PackFailure{};
    }
    pending.Keep();
    // The new name should survive a crash as the data does; a failure here no
    // longer endangers the old container, so it is not reported.
    std::string directory = DirectoryPart(target);
    Descriptor directoryFd(
        ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directoryFd.get() >= 0) {
        ::fsync(directoryFd.get());
    }
}

void WriteContainer(const std::string& containerPath, const std::vector<KmzSource>& sources,
                    Platform& platform, KmlPacker* packed) {
    std::vector<Entry> entries = CollectEntries(sources);
    const std::string target = ReplacedFile(containerPath);
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0;
    if (replacing) {
        CheckReplaceable(target, existing, entries);
    }

    std::unique_ptr<PackedStart> start = StartTemporaryFile(target, entries.front(), platform, packed);
    PendingFile pending(start->temporaryPath);
    ContainerWriter& out = *start->out;
    // A replaced container keeps its permissions and, where we may, its owner,
    // as it did when it was overwritten in place.
    if (replacing && S_ISREG(existing.st_mode)) {
        if (::fchown(out.fd(), existing.st_uid, existing.st_gid) != 0) {
            // Someone else's file: the new one is ours, with the old permissions.
        }
        ::fchmod(out.fd(), existing.st_mode & 07777);
    }
    size_t written = 0;
    if (start->kmlEntry) {
        entries.front() = *start->kmlEntry;
        written = 1;
    }
    for (size_t i = written; i < entries.size(); ++i) {
        WriteEntry(out, entries[i], platform);
    }
    WriteCentralDirectory(out, entries);
    Commit(start->temporaryPath, target, pending);
}

}  // namespace

void PackKmz(const std::string& containerPath, const std::string& kmlPath, const std::string& validIconPath,
             const std::string& invalidIconPath, const std::string& dtrackIconPath, Platform& platform,
             KmlPacker* packed) {
    std::vector<KmzSource> sources;
    for (const std::string* path : {&kmlPath, &validIconPath, &invalidIconPath, &dtrackIconPath}) {
        sources.push_back({FileNamePart(*path), *path});
    }
    PackKmz(containerPath, sources, platform, packed);
}

void PackKmz(const std::string& containerPath, const std::vector<KmzSource>& sources, Platform& platform,
             KmlPacker* packed) {
    try {
        WriteContainer(containerPath, sources, platform, packed);
    } catch (const PackFailure& failure) {
        throw CreateFileError(containerPath, failure.error);
    } catch (const std::bad_alloc&) {
        throw CreateFileError(containerPath, ENOMEM);
    }
}

KmlPacker::KmlPacker(std::unique_ptr<State> state) : state_(std::move(state)) {}

KmlPacker::~KmlPacker() = default;

std::unique_ptr<KmlPacker> KmlPacker::Begin(const std::string& containerPath, const std::string& kmlPath) {
    return Begin(containerPath, KmzSource{FileNamePart(kmlPath), kmlPath});
}

std::unique_ptr<KmlPacker> KmlPacker::Begin(const std::string& containerPath, const KmzSource& kml) {
    try {
        auto state = std::make_unique<State>();
        state->target = ReplacedFile(containerPath);
        const int fd = CreateSibling(state->target, &state->temporaryPath);
        if (fd < 0) {
            state->temporaryPath.clear();
            return nullptr;
        }
        state->out = std::make_unique<ContainerWriter>(fd);
        state->entry.name = kml.name;
        state->entry.sourcePath = kml.path;
        BeginEntry(*state->out, state->entry);
        state->deflater = std::make_unique<ParallelDeflater>(Into(*state->out));
        return std::unique_ptr<KmlPacker>(new KmlPacker(std::move(state)));
    } catch (const PackFailure&) {
        return nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}

void KmlPacker::Add(const char* data, size_t size) {
    if (!state_) {
        return;
    }
    try {
        state_->deflater->Write(reinterpret_cast<const uint8_t*>(data), size);
    } catch (const PackFailure&) {
        Abandon();
    } catch (const std::exception&) {
        Abandon();
    }
}

void KmlPacker::Abandon() { state_.reset(); }

}  // namespace tervo
