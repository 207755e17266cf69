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
// 4.5, the version that brought Zip64, for the entries and records that need it.
constexpr uint16_t kZip64Version = 45;
constexpr uint16_t kMethodDeflate = 8;
// Flag bit 3: the CRC and sizes follow the data, in a data descriptor.
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint32_t kArchiveAttribute = 0x20;
// A 32-bit field that says "the value is in the Zip64 record".
constexpr uint32_t kZip64Marker = 0xFFFFFFFFu;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr size_t kLocalVersionOffset = 4;

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

void PutU64(std::vector<uint8_t>& out, uint64_t value) {
    PutU32(out, static_cast<uint32_t>(value));
    PutU32(out, static_cast<uint32_t>(value >> 32));
}

// A value of a 32-bit field, or the marker when the Zip64 record holds it.
uint32_t Field32(uint64_t value, bool inZip64) {
    return inZip64 ? kZip64Marker : static_cast<uint32_t>(value);
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
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint64_t localOffset = 0;
    // The sizes did not fit the local header: they follow the data in a Zip64
    // data descriptor, and the local header holds zeros.
    bool sizesAfterData = false;
};

// Which of an entry's values a plain ZIP record cannot hold: above `zip32Limit`
// (at most 0xFFFFFFFE, as 0xFFFFFFFF itself means "see the Zip64 record").
struct Zip64Fields {
    bool sizes = false;
    bool offset = false;
    bool Any() const { return sizes || offset; }
};

Zip64Fields Zip64FieldsOf(const Entry& entry, uint64_t zip32Limit) {
    return {entry.compressedSize > zip32Limit || entry.uncompressedSize > zip32Limit,
            entry.localOffset > zip32Limit};
}

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

// The local header's fields from the version needed on: the ones known when the
// data is written whole, or those of an entry whose sizes follow the data.
std::vector<uint8_t> LocalFieldsFromVersion(const Entry& entry) {
    std::vector<uint8_t> fields;
    PutU16(fields, entry.sizesAfterData ? kZip64Version : kZipVersion);
    // No UTF-8 names; a data descriptor only for sizes the header cannot hold.
    PutU16(fields, entry.sizesAfterData ? kFlagDataDescriptor : 0);
    PutU16(fields, kMethodDeflate);
    PutU16(fields, entry.modified.time);
    PutU16(fields, entry.modified.date);
    PutU32(fields, entry.sizesAfterData ? 0 : entry.crc);
    PutU32(fields, entry.sizesAfterData ? 0 : static_cast<uint32_t>(entry.compressedSize));
    PutU32(fields, entry.sizesAfterData ? 0 : static_cast<uint32_t>(entry.uncompressedSize));
    return fields;
}

std::vector<uint8_t> LocalHeader(const Entry& entry) {
    std::vector<uint8_t> header;
    PutU32(header, 0x04034b50);
    const std::vector<uint8_t> fields = LocalFieldsFromVersion(entry);
    header.insert(header.end(), fields.begin(), fields.end());
    PutU16(header, static_cast<uint32_t>(entry.name.size()));
    PutU16(header, 0);  // extra field length
    header.insert(header.end(), entry.name.begin(), entry.name.end());
    return header;
}

void AppendCentralHeader(std::vector<uint8_t>& out, const Entry& entry, uint64_t zip32Limit) {
    const Zip64Fields zip64 = Zip64FieldsOf(entry, zip32Limit);
    // The Zip64 extended information: the sizes, then the offset, each only
    // when its own field holds the marker.
    std::vector<uint8_t> extra;
    if (zip64.Any()) {
        PutU16(extra, kZip64ExtraId);
        PutU16(extra, (zip64.sizes ? 16 : 0) + (zip64.offset ? 8 : 0));
        if (zip64.sizes) {
            PutU64(extra, entry.uncompressedSize);
            PutU64(extra, entry.compressedSize);
        }
        if (zip64.offset) {
            PutU64(extra, entry.localOffset);
        }
    }
    const uint16_t version = zip64.Any() ? kZip64Version : kZipVersion;
    PutU32(out, 0x02014b50);
    PutU16(out, version);  // made by
    PutU16(out, version);  // needed to extract
    PutU16(out, entry.sizesAfterData ? kFlagDataDescriptor : 0);
    PutU16(out, kMethodDeflate);
    PutU16(out, entry.modified.time);
    PutU16(out, entry.modified.date);
    PutU32(out, entry.crc);
    PutU32(out, Field32(entry.compressedSize, zip64.sizes));
    PutU32(out, Field32(entry.uncompressedSize, zip64.sizes));
    PutU16(out, static_cast<uint32_t>(entry.name.size()));
    PutU16(out, static_cast<uint32_t>(extra.size()));
    PutU16(out, 0);  // comment length
    PutU16(out, 0);  // disk number start
    PutU16(out, 0);  // internal attributes
    PutU32(out, kArchiveAttribute);
    PutU32(out, Field32(entry.localOffset, zip64.offset));
    out.insert(out.end(), entry.name.begin(), entry.name.end());
    out.insert(out.end(), extra.begin(), extra.end());
}

// The local header is written before the data, when no size is known yet, with
// no room for a Zip64 extra field; adding one later would mean moving the data.
// So sizes too large for it go behind the data, in a Zip64 data descriptor (as
// streaming writers do), and only the header's fixed fields are patched: a
// container without large entries keeps the plain form, byte for byte.
void PatchLocalHeader(ContainerWriter& out, const Entry& entry) {
    out.Patch(entry.localOffset + kLocalVersionOffset, LocalFieldsFromVersion(entry));
}

void WriteDataDescriptor(ContainerWriter& out, const Entry& entry) {
    std::vector<uint8_t> descriptor;
    PutU32(descriptor, 0x08074b50);
    PutU32(descriptor, entry.crc);
    PutU64(descriptor, entry.compressedSize);
    PutU64(descriptor, entry.uncompressedSize);
    out.Write(descriptor);
}

// The local header, with zero CRC and sizes until PatchLocalHeader. An offset
// beyond 4 GiB goes into the central directory's Zip64 record.
void BeginEntry(ContainerWriter& out, Entry& entry) {
    if (entry.name.size() > 0xFFFF) {
        // No call failed: the errno of the moment would name a reason that is not.
        throw PackFailure{ENAMETOOLONG};
    }
    entry.localOffset = out.Position();
    out.Write(LocalHeader(entry));
}

// The deflated data is complete: the entry takes its CRC and sizes.
void EndEntry(ContainerWriter& out, Entry& entry, const ParallelDeflater& deflater, Platform& platform,
              uint64_t zip32Limit) {
    CivilTime modified;
    if (platform.LastWriteTime(entry.sourcePath, &modified)) {
        entry.modified = ToDosTime(modified);
    }
    entry.crc = deflater.Crc();
    entry.compressedSize = deflater.OutputSize();
    entry.uncompressedSize = deflater.InputSize();
    entry.sizesAfterData = Zip64FieldsOf(entry, zip32Limit).sizes;
    if (entry.sizesAfterData) {
        WriteDataDescriptor(out, entry);
    }
    PatchLocalHeader(out, entry);
}

// Compressed output goes straight into the container.
ParallelDeflater::Output Into(ContainerWriter& out) {
    return [&out](const uint8_t* data, size_t size) { out.Write(data, size); };
}

// Streams one source file through deflate into the container, a large one on
// every core. Neither the file nor its deflated form is held in memory whole.
void WriteEntry(ContainerWriter& out, Entry& entry, Platform& platform, uint64_t zip32Limit) {
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
    EndEntry(out, entry, deflater, platform, zip32Limit);
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
                                                 const Entry& expected, Platform& platform,
                                                 uint64_t zip32Limit) {
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
            EndEntry(*state.out, state.entry, *state.deflater, platform, zip32Limit);
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
                                                Platform& platform, KmlPacker* packed, uint64_t zip32Limit) {
    std::unique_ptr<PackedStart> start;
    if (packed != nullptr) {
        start = KmlPackerAccess::TakeOver(*packed, target, kmlEntry, platform, zip32Limit);
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

// The Zip64 end of central directory record and its locator, which a reader
// finds just before the end record.
void WriteZip64End(ContainerWriter& out, uint64_t count, uint64_t centralSize, uint64_t centralOffset) {
    const uint64_t zip64EndOffset = out.Position();
    std::vector<uint8_t> end;
    PutU32(end, 0x06064b50);
    PutU64(end, 44);             // the size of the rest of this record
    PutU16(end, kZip64Version);  // made by
    PutU16(end, kZip64Version);  // needed to extract
    PutU32(end, 0);              // this disk
    PutU32(end, 0);              // disk of the central directory
    PutU64(end, count);          // entries on this disk
    PutU64(end, count);
    PutU64(end, centralSize);
    PutU64(end, centralOffset);
    PutU32(end, 0x07064b50);
    PutU32(end, 0);  // disk of the Zip64 end record
    PutU64(end, zip64EndOffset);
    PutU32(end, 1);  // disks in all
    out.Write(end);
}

// The central directory and its end record, behind the entries; a Zip64 end
// record before it when the directory lies beyond 4 GiB.
void WriteCentralDirectory(ContainerWriter& out, const std::vector<Entry>& entries, uint64_t zip32Limit) {
    const uint64_t centralOffset = out.Position();
    std::vector<uint8_t> central;
    for (const Entry& entry : entries) {
        AppendCentralHeader(central, entry, zip32Limit);
    }
    out.Write(central);
    const bool countInZip64 = entries.size() >= 0xFFFF;
    const bool sizeInZip64 = central.size() > zip32Limit;
    const bool offsetInZip64 = centralOffset > zip32Limit;
    if (countInZip64 || sizeInZip64 || offsetInZip64) {
        WriteZip64End(out, entries.size(), central.size(), centralOffset);
    }
    const uint32_t count = countInZip64 ? 0xFFFF : static_cast<uint32_t>(entries.size());
    std::vector<uint8_t> end;
    PutU32(end, 0x06054b50);
    PutU16(end, 0);  // this disk
    PutU16(end, 0);  // disk of the central directory
    PutU16(end, count);
    PutU16(end, count);
    PutU32(end, Field32(central.size(), sizeInZip64));
    PutU32(end, Field32(centralOffset, offsetInZip64));
    PutU16(end, 0);  // comment length
    out.Write(end);
    out.Finish();
}

std::unique_ptr<PackedKmz> WriteContainer(const std::string& containerPath,
                                          const std::vector<KmzSource>& sources, Platform& platform,
                                          KmlPacker* packed, uint64_t zip32Limit) {
    std::vector<Entry> entries = CollectEntries(sources);
    const std::string target = ReplacedFile(containerPath);
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0;
    if (replacing && S_ISDIR(existing.st_mode)) {
        // Said before anything is written: one container of several packed
        // aside must not wait until the others are in place to fail.
        throw PackFailure{EISDIR};
    }
    if (replacing) {
        CheckReplaceable(target, existing, entries);
    }

    std::unique_ptr<PackedStart> start =
        StartTemporaryFile(target, entries.front(), platform, packed, zip32Limit);
    // Removed again unless it is moved into place.
    auto pending = std::make_unique<PackedKmz>(start->temporaryPath, target, containerPath);
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
        WriteEntry(out, entries[i], platform, zip32Limit);
    }
    WriteCentralDirectory(out, entries, zip32Limit);
    return pending;
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
             KmlPacker* packed, uint64_t zip32Limit) {
    PackKmzAside(containerPath, sources, platform, packed, zip32Limit)->Commit();
}

std::unique_ptr<PackedKmz> PackKmzAside(const std::string& containerPath,
                                        const std::vector<KmzSource>& sources, Platform& platform,
                                        KmlPacker* packed, uint64_t zip32Limit) {
    try {
        return WriteContainer(containerPath, sources, platform, packed, std::min(zip32Limit, kZip32Limit));
    } catch (const PackFailure& failure) {
        throw CreateFileError(containerPath, failure.error);
    } catch (const std::bad_alloc&) {
        throw CreateFileError(containerPath, ENOMEM);
    }
}

PackedKmz::PackedKmz(std::string temporaryPath, std::string target, std::string containerPath)
    : temporaryPath_(std::move(temporaryPath)),
      target_(std::move(target)),
      containerPath_(std::move(containerPath)) {}

PackedKmz::~PackedKmz() {
    if (!committed_) {
        ::unlink(temporaryPath_.c_str());
    }
}

void PackedKmz::Commit() {
    if (committed_) {
        return;
    }
    if (::rename(temporaryPath_.c_str(), target_.c_str()) != 0) {
        throw CreateFileError(containerPath_, errno);
    }
    committed_ = true;
    // The new name should survive a crash as the data does; a failure here no
    // longer endangers the old container, so it is not reported.
    const std::string directory = DirectoryPart(target_);
    Descriptor directoryFd(
        ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directoryFd.get() >= 0) {
        ::fsync(directoryFd.get());
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
