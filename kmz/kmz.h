// The KMZ container: a ZIP file of the KML document and its icons.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/platform.h"

namespace tervo {

class KmlPacker;

// A file to pack and the name of its entry.
struct KmzSource {
    std::string name;
    std::string path;
};

// Writes the container with the four files as deflated entries named by their
// bare names, in this order (a name already in the container replaces that entry
// in its place). The new container is written beside the old one and moved into
// place only when it is complete and on the disk. Throws CreateFileError with
// the container's path when it cannot be written, when a source cannot be read
// whole, or when the container path is one of the sources; an existing container
// is then left as it was and no temporary file remains.
//
// With `packed`, the KML entry that was packed while the document was written
// is taken as it stands, when it is whole; otherwise the KML file is read.
void PackKmz(const std::string& containerPath, const std::string& kmlPath, const std::string& validIconPath,
             const std::string& invalidIconPath, const std::string& dtrackIconPath, Platform& platform,
             KmlPacker* packed = nullptr);
// The largest size or offset a plain ZIP record holds (0xFFFFFFFF itself
// means "in the Zip64 record").
inline constexpr uint64_t kZip32Limit = 0xFFFFFFFE;

// The same with the entries named as `sources` says, the KML document first.
//
// A size or offset above `zip32Limit` (at most kZip32Limit; a test passes a
// small one to see the records on small files) goes into Zip64 records: the
// sizes of such an entry in a Zip64 data descriptor behind its data and a Zip64
// extra field of its central header, a directory beyond the limit behind a
// Zip64 end record. A container with nothing that large is plain ZIP.
void PackKmz(const std::string& containerPath, const std::vector<KmzSource>& sources, Platform& platform,
             KmlPacker* packed = nullptr, uint64_t zip32Limit = kZip32Limit);

// A container packed beside its place, complete and on the disk, but not yet
// in its place: for a run that writes several containers and puts them into
// place only once all of them are written. It is removed when it goes
// without Commit.
class PackedKmz {
public:
    PackedKmz(std::string temporaryPath, std::string target, std::string containerPath);
    ~PackedKmz();
    PackedKmz(const PackedKmz&) = delete;
    PackedKmz& operator=(const PackedKmz&) = delete;
    // Moves the container into its place. Throws CreateFileError with the
    // container's path; the container is then removed when this goes.
    void Commit();

private:
    std::string temporaryPath_;
    std::string target_;  // the container's path, or the file its link names
    std::string containerPath_;
    bool committed_ = false;
};

// PackKmz up to the move into place; the same checks, the same failures.
std::unique_ptr<PackedKmz> PackKmzAside(const std::string& containerPath,
                                        const std::vector<KmzSource>& sources, Platform& platform,
                                        KmlPacker* packed = nullptr, uint64_t zip32Limit = kZip32Limit);

// Packs the KML document into the new container while the run writes it, so
// that deflating it (the bulk of a run's work) overlaps with writing it. Nothing
// here is visible: the container is only finished by PackKmz, and the packer
// removes its temporary file when it goes without PackKmz having taken it.
class KmlPacker {
public:
    // Starts the container beside the one `containerPath` names with the local
    // header of the KML entry; nullptr when that cannot be done now (PackKmz
    // then packs from the KML file, and reports a container it cannot write).
    static std::unique_ptr<KmlPacker> Begin(const std::string& containerPath, const std::string& kmlPath);
    // The same with the entry named as `kml` says.
    static std::unique_ptr<KmlPacker> Begin(const std::string& containerPath, const KmzSource& kml);
    ~KmlPacker();
    KmlPacker(const KmlPacker&) = delete;
    KmlPacker& operator=(const KmlPacker&) = delete;

    // The next bytes of the document. A container that cannot be written gives
    // up the packing without a word.
    void Add(const char* data, size_t size);
    // Gives up the packing and removes the temporary container at once, so that
    // its disk space is free for the KML file.
    void Abandon();
    bool Active() const { return state_ != nullptr; }

private:
    struct State;
    explicit KmlPacker(std::unique_ptr<State> state);
    friend struct KmlPackerAccess;

    std::unique_ptr<State> state_;
};

}  // namespace tervo
