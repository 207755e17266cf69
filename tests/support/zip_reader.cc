#include "support/zip_reader.h"

#include <zlib.h>

#include "support/test_files.h"

namespace tervo::testing {

namespace {

uint16_t U16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

uint32_t U32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(U16(b, at)) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}

uint64_t U64(const std::string& b, size_t at) {
    return static_cast<uint64_t>(U32(b, at)) | static_cast<uint64_t>(U32(b, at + 4)) << 32;
}

constexpr uint32_t kMarker = 0xFFFFFFFF;

// Reads the Zip64 extra field of a central header from `extra`, filling the
// 64-bit values whose 32-bit fields hold the marker; false when it is short.
bool ReadZip64Extra(const std::string& extra, ZipEntry* e) {
    for (size_t at = 0; at + 4 <= extra.size();) {
        const uint16_t id = U16(extra, at);
        const uint16_t size = U16(extra, at + 2);
        if (at + 4 + size > extra.size()) {
            return false;
        }
        if (id == 0x0001) {
            e->hasZip64Extra = true;
            e->zip64ExtraSize = size;
            struct Slot {
                uint32_t narrow;
                uint64_t* wide;
            };
            size_t field = at + 4;
            for (const Slot& slot : {Slot{e->uncompressedSize, &e->uncompressedSize64},
                                     Slot{e->compressedSize, &e->compressedSize64},
                                     Slot{e->localHeaderOffset, &e->localHeaderOffset64}}) {
                if (slot.narrow != kMarker) {
                    continue;
                }
                if (field + 8 > at + 4 + size) {
                    return false;
                }
                *slot.wide = U64(extra, field);
                field += 8;
            }
        }
        at += 4 + size;
    }
    return true;
}
bool InflateRaw(const std::string& in, size_t expected, std::string* out) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
        return false;
    }
    out->assign(expected, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out->data());
    z.avail_out = static_cast<uInt>(out->size());
    int rc = inflate(&z, Z_FINISH);
    bool good = rc == Z_STREAM_END && z.total_out == expected && z.avail_in == 0;
    inflateEnd(&z);
    return good;
}

}  // namespace

bool ReadZip(const std::string& b, ZipArchive* archive, std::string* error) {
    *archive = ZipArchive();
    if (b.size() < 22) {
        *error = "shorter than an end record";
        return false;
    }
    size_t end = std::string::npos;
    for (size_t at = b.size() - 22 + 1; at-- > 0;) {
        if (U32(b, at) == 0x06054b50) {
            end = at;
            break;
        }
    }
    if (end == std::string::npos) {
        *error = "no end-of-central-directory record";
        return false;
    }
    archive->endDisk = U16(b, end + 4);
    archive->endCentralDisk = U16(b, end + 6);
    archive->endEntriesOnDisk = U16(b, end + 8);
    archive->endEntries = U16(b, end + 10);
    archive->centralSize = U32(b, end + 12);
    archive->centralOffset = U32(b, end + 16);
    archive->commentLength = U16(b, end + 20);
    archive->trailingBytes = b.size() - (end + 22 + archive->commentLength);
    uint64_t centralOffset = archive->centralOffset;
    uint64_t centralSize = archive->centralSize;
    uint64_t entries = archive->endEntries;
    if (end >= 20 && U32(b, end - 20) == 0x07064b50) {
        archive->hasZip64End = true;
        archive->zip64EndOffset = U64(b, end - 12);
        archive->zip64Disks = U32(b, end - 4);
        const uint64_t z = archive->zip64EndOffset;
        if (z + 56 > b.size() || U32(b, z) != 0x06064b50 || U64(b, z + 4) != 44) {
            *error = "no Zip64 end record where the locator says";
            return false;
        }
        archive->zip64VersionNeeded = U16(b, z + 14);
        archive->zip64EntriesOnDisk = U64(b, z + 24);
        archive->zip64Entries = U64(b, z + 32);
        archive->zip64CentralSize = U64(b, z + 40);
        archive->zip64CentralOffset = U64(b, z + 48);
        centralOffset = archive->zip64CentralOffset;
        centralSize = archive->zip64CentralSize;
        entries = archive->zip64Entries;
    }
    size_t at = centralOffset;
    for (uint64_t i = 0; i < entries; ++i) {
        if (at + 46 > b.size() || U32(b, at) != 0x02014b50) {
            *error = "central directory header " + std::to_string(i) + " missing";
            return false;
        }
        ZipEntry e;
        e.versionMadeBy = U16(b, at + 4);
        e.versionNeeded = U16(b, at + 6);
        e.flags = U16(b, at + 8);
        e.method = U16(b, at + 10);
        e.time = U16(b, at + 12);
        e.date = U16(b, at + 14);
        e.crc = U32(b, at + 16);
        e.compressedSize = U32(b, at + 20);
        e.uncompressedSize = U32(b, at + 24);
        uint16_t nameLength = U16(b, at + 28);
        e.extraLength = U16(b, at + 30);
        e.commentLength = U16(b, at + 32);
        e.diskStart = U16(b, at + 34);
        e.internalAttributes = U16(b, at + 36);
        e.externalAttributes = U32(b, at + 38);
        e.localHeaderOffset = U32(b, at + 42);
        e.name = b.substr(at + 46, nameLength);
        e.compressedSize64 = e.compressedSize;
        e.uncompressedSize64 = e.uncompressedSize;
        e.localHeaderOffset64 = e.localHeaderOffset;
        if (!ReadZip64Extra(b.substr(at + 46 + nameLength, e.extraLength), &e)) {
            *error = "the extra field of " + e.name + " is broken";
            return false;
        }
        at += 46 + nameLength + e.extraLength + e.commentLength;

        size_t local = e.localHeaderOffset64;
        if (local + 30 > b.size() || U32(b, local) != 0x04034b50) {
            *error = "local header of " + e.name + " missing";
            return false;
        }
        e.localVersionNeeded = U16(b, local + 4);
        e.localFlags = U16(b, local + 6);
        e.localMethod = U16(b, local + 8);
        e.localTime = U16(b, local + 10);
        e.localDate = U16(b, local + 12);
        e.localCrc = U32(b, local + 14);
        e.localCompressedSize = U32(b, local + 18);
        e.localUncompressedSize = U32(b, local + 22);
        uint16_t localNameLength = U16(b, local + 26);
        e.localExtraLength = U16(b, local + 28);
        e.localName = b.substr(local + 30, localNameLength);
        size_t dataStart = local + 30 + localNameLength + e.localExtraLength;
        if (dataStart + e.compressedSize64 > b.size()) {
            *error = "data of " + e.name + " runs past the end";
            return false;
        }
        if ((e.flags & 8) != 0) {
            const size_t d = dataStart + e.compressedSize64;
            const size_t sizes = e.hasZip64Extra ? 8 : 4;
            if (d + 8 + 2 * sizes > b.size()) {
                *error = "data descriptor of " + e.name + " runs past the end";
                return false;
            }
            e.hasDescriptor = true;
            e.descriptorSignature = U32(b, d);
            e.descriptorCrc = U32(b, d + 4);
            e.descriptorCompressedSize = sizes == 8 ? U64(b, d + 8) : U32(b, d + 8);
            e.descriptorUncompressedSize = sizes == 8 ? U64(b, d + 8 + sizes) : U32(b, d + 8 + sizes);
        }
        if (!InflateRaw(b.substr(dataStart, e.compressedSize64), e.uncompressedSize64, &e.data)) {
            *error = "data of " + e.name + " does not inflate to its size";
            return false;
        }
        e.computedCrc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
        archive->entries.push_back(std::move(e));
    }
    if (at != centralOffset + centralSize) {
        *error = "central directory size does not match";
        return false;
    }
    return true;
}

std::string ZipEntryData(const std::string& containerPath, const std::string& name) {
    ZipArchive archive;
    std::string error;
    if (!ReadZip(ReadFile(containerPath), &archive, &error)) {
        return "";
    }
    for (const ZipEntry& e : archive.entries) {
        if (e.name == name) {
            return e.data;
        }
    }
    return "";
}

}  // namespace tervo::testing
