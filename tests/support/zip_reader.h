// Reads a ZIP container back for tests: every header field, and each entry's
// data inflated, so tests never compare deflate bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tervo::testing {

struct ZipEntry {
    // Local file header.
    uint16_t localVersionNeeded = 0;
    uint16_t localFlags = 0;
    uint16_t localMethod = 0;
    uint16_t localTime = 0;
    uint16_t localDate = 0;
    uint32_t localCrc = 0;
    uint32_t localCompressedSize = 0;
    uint32_t localUncompressedSize = 0;
    uint16_t localExtraLength = 0;
    std::string localName;
    // Central directory header.
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t time = 0;
    uint16_t date = 0;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint16_t diskStart = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint32_t localHeaderOffset = 0;
    std::string name;
    // The Zip64 extra field of the central header, when there is one (its
    // values in the order the fields that hold the marker 0xFFFFFFFF ask for).
    bool hasZip64Extra = false;
    uint16_t zip64ExtraSize = 0;
    // The sizes and the offset, from the Zip64 extra field where the 32-bit
    // field holds the marker.
    uint64_t compressedSize64 = 0;
    uint64_t uncompressedSize64 = 0;
    uint64_t localHeaderOffset64 = 0;
    // The data descriptor behind the data (flag bit 3), its sizes 8 bytes each
    // when the entry has a Zip64 extra field.
    bool hasDescriptor = false;
    uint32_t descriptorSignature = 0;
    uint32_t descriptorCrc = 0;
    uint64_t descriptorCompressedSize = 0;
    uint64_t descriptorUncompressedSize = 0;
    // The inflated data, and the CRC-32 computed over it.
    std::string data;
    uint32_t computedCrc = 0;
};

struct ZipArchive {
    std::vector<ZipEntry> entries;
    uint16_t endDisk = 0;
    uint16_t endCentralDisk = 0;
    uint16_t endEntriesOnDisk = 0;
    uint16_t endEntries = 0;
    uint32_t centralSize = 0;
    uint32_t centralOffset = 0;
    uint16_t commentLength = 0;
    // Bytes after the end record (should be none).
    size_t trailingBytes = 0;
    // The Zip64 end record, when a locator stands just before the end record.
    bool hasZip64End = false;
    uint64_t zip64EndOffset = 0;  // as the locator gives it
    uint32_t zip64Disks = 0;      // as the locator gives it
    uint16_t zip64VersionNeeded = 0;
    uint64_t zip64EntriesOnDisk = 0;
    uint64_t zip64Entries = 0;
    uint64_t zip64CentralSize = 0;
    uint64_t zip64CentralOffset = 0;
};

// Parses `bytes` (the whole container). Returns false with a reason in `error`
// when the structure is broken.
bool ReadZip(const std::string& bytes, ZipArchive* archive, std::string* error);

// The inflated data of the entry called `name`, or "" when there is none.
std::string ZipEntryData(const std::string& containerPath, const std::string& name);

}  // namespace tervo::testing
