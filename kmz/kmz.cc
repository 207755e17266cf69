#include "kmz/kmz.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "core/conversion_view.h"

namespace tervo {

namespace {

constexpr size_t kChunkSize = 64 * 1024;
// 2.0, the version that brought deflate; the upper byte 0 says MS-DOS attributes.
constexpr uint16_t kZipVersion = 20;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint32_t kArchiveAttribute = 0x20;
constexpr int kDeflateLevel = 6;
// Without Zip64 every size and offset must fit 32 bits.
constexpr uint64_t kZip32Limit = 0xFFFFFFFFu;
constexpr size_t kLocalCrcOffset = 14;

// Raised anywhere inside the packing; PackKmz reports it as CreateFileError.
struct PackFailure {};

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

std::string BareName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The directory part with its final separator; "" for a bare name.
std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
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

class Deflater {
public:
    Deflater() {
        if (deflateInit2(&stream_, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            throw PackFailure{};
        }
    }
    ~Deflater() { deflateEnd(&stream_); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    z_stream* get() { return &stream_; }

private:
    z_stream stream_{};
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

// Streams one source file through deflate into the container. The local header
// goes first with zero CRC and sizes, which are patched in once known, so no
// data descriptor is needed and no file is held in memory whole.
void WriteEntry(ContainerWriter& out, Entry& entry, Platform& platform) {
    if (entry.name.size() > 0xFFFF || out.Position() > kZip32Limit) {
        throw PackFailure{};
    }
    CivilTime modified;
    if (platform.LastWriteTime(entry.sourcePath, &modified)) {
        entry.modified = ToDosTime(modified);
    }
    Descriptor source(::open(entry.sourcePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0) {
        throw PackFailure{};
    }
    entry.localOffset = static_cast<uint32_t>(out.Position());
    out.Write(LocalHeader(entry));

    Deflater deflater;
    z_stream* z = deflater.get();
    std::vector<uint8_t> input(kChunkSize);
    std::vector<uint8_t> deflated(kChunkSize);
    uLong crc = crc32(0, Z_NULL, 0);
    uint64_t uncompressed = 0;
    uint64_t compressed = 0;
    int flush = Z_NO_FLUSH;
    int status = Z_OK;
    do {
        size_t got = ReadSome(source.get(), input.data(), input.size());
        flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
        crc = crc32(crc, input.data(), static_cast<uInt>(got));
        uncompressed += got;
        z->next_in = input.data();
        z->avail_in = static_cast<uInt>(got);
        do {
            z->next_out = deflated.data();
            z->avail_out = static_cast<uInt>(deflated.size());
            status = deflate(z, flush);
            if (status == Z_STREAM_ERROR) {
                throw PackFailure{};
            }
            size_t produced = deflated.size() - z->avail_out;
            out.Write(deflated.data(), produced);
            compressed += produced;
        } while (z->avail_out == 0);
    } while (flush != Z_FINISH);
    if (status != Z_STREAM_END || uncompressed > kZip32Limit || compressed > kZip32Limit) {
        throw PackFailure{};
    }

    entry.crc = static_cast<uint32_t>(crc);
    entry.compressedSize = static_cast<uint32_t>(compressed);
    entry.uncompressedSize = static_cast<uint32_t>(uncompressed);
    std::vector<uint8_t> known;
    PutU32(known, entry.crc);
    PutU32(known, entry.compressedSize);
    PutU32(known, entry.uncompressedSize);
    out.Patch(entry.localOffset + kLocalCrcOffset, known);
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
    std::string directory = DirectoryOf(target);
    // Short enough that a long container name cannot push it past the name limit.
    std::string stem = BareName(target).substr(0, 64);
    static unsigned counter = 0;
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

void WriteContainer(const std::string& containerPath, const std::vector<std::string>& sources,
                    Platform& platform) {
    std::vector<Entry> entries;
    for (const std::string& path : sources) {
        std::string name = BareName(path);
        auto same =
            std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.name == name; });
        if (same != entries.end()) {
            // A later file of the same name takes the earlier one's place.
            same->sourcePath = path;
        } else {
            Entry entry;
            entry.name = name;
            entry.sourcePath = path;
            entries.push_back(entry);
        }
    }

    const std::string target = ReplacedFile(containerPath);
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0;
    if (replacing) {
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
    }
    // A container we may not write stays as it is: replacing it by a new name
    // would pass over the protection its owner gave it.
    if (replacing && ::access(target.c_str(), W_OK) != 0) {
        throw PackFailure{};
    }
    std::string temporaryPath;
    int fd = CreateSibling(target, &temporaryPath);
    if (fd < 0) {
        throw PackFailure{};
    }
    PendingFile pending(temporaryPath);
    ContainerWriter out(fd);
    // A replaced container keeps its permissions and, where we may, its owner,
    // as it did when it was overwritten in place.
    if (replacing && S_ISREG(existing.st_mode)) {
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
            // Someone else's file: the new one is ours, with the old permissions.
        }
        ::fchmod(fd, existing.st_mode & 07777);
    }

    for (Entry& entry : entries) {
        WriteEntry(out, entry, platform);
    }

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

    if (::rename(temporaryPath.c_str(), target.c_str()) != 0) {
        throw PackFailure{};
    }
    pending.Keep();
    // The new name should survive a crash as the data does; a failure here no
    // longer endangers the old container, so it is not reported.
    std::string directory = DirectoryOf(target);
    Descriptor directoryFd(
        ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directoryFd.get() >= 0) {
        ::fsync(directoryFd.get());
    }
}

}  // namespace

void PackKmz(const std::string& containerPath, const std::string& kmlPath, const std::string& validIconPath,
             const std::string& invalidIconPath, const std::string& dtrackIconPath, Platform& platform) {
    try {
        WriteContainer(containerPath, {kmlPath, validIconPath, invalidIconPath, dtrackIconPath}, platform);
    } catch (const PackFailure&) {
        throw CreateFileError(containerPath);
    } catch (const std::bad_alloc&) {
        throw CreateFileError(containerPath);
    }
}

void RemoveIntermediateFiles(const std::string& kmlPath, const std::string& validIconPath,
                             const std::string& invalidIconPath, const std::string& dtrackIconPath) {
    for (const std::string* path : {&kmlPath, &validIconPath, &invalidIconPath, &dtrackIconPath}) {
        // Equal icon colours name one file twice; its second removal fails and is no error.
        std::remove(path->c_str());
    }
}

}  // namespace tervo
