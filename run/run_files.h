// Where a conversion run reads its log and puts what it writes. The run on the
// disk takes DiskFiles; the fuzz targets keep everything in memory, so that
// every input goes through the one document sequence of RunConversion.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/platform.h"
#include "kml/kml_stream.h"
#include "kmz/kmz.h"
#include "run/private_directory.h"

namespace tervo {

struct ConversionSettings;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

// What a failed file operation of a run was about: the path as the user knows
// it and the system's errno (0 when unknown).
struct FileFailure {
    std::string path;
    int error = 0;
};

// Where a run's document stands: a document of its own, or one log's part of a
// merged document (RunManyLogs's --merge), which the merge places in a folder.
struct DocumentPlace {
    bool PartOnly = false;      // only what lies inside <Document>: no frame
    std::string StyleIdPrefix;  // before every style id and its references ("2-")
    std::string EntryPrefix;    // before the name of every further entry ("2/")
};

// The log at `path` opened for binary reading, with its size in bytes (0 when
// unknown); nullptr when it cannot be opened, and `failure` then says why. A
// directory is no log, and a FIFO that nobody writes to reads as an empty log.
InputFile OpenLogFile(const std::string& path, int64_t* size, FileFailure* failure);

class RunFiles {
public:
    virtual ~RunFiles() = default;
    // The log opened for reading and its size in bytes (0 when unknown);
    // nullptr when it cannot be opened.
    virtual InputFile OpenLog(int64_t* size) = 0;
    // The sink of the KML document; nullptr when it cannot be created.
    virtual ByteSink* CreateDocument() = 0;
    // The container's full path, as the output field keeps it.
    virtual std::string ContainerPath() const = 0;
    // Draws the icon of `colour` and returns its file name. Throws CreateFileError.
    virtual std::string MakeIcon(int32_t colour) = 0;
    // Packs the closed document and the three icons (named as MakeIcon named
    // them) into the container. Throws CreateFileError.
    virtual void Pack(const std::string& validIcon, const std::string& invalidIcon,
                      const std::string& dtrackIcon) = 0;
    // A further entry of the container (a plot, say), packed after the icons
    // under `name` ("plots/sky.png"). Throws CreateFileError.
    virtual void AddEntry(const std::string& name, const std::vector<uint8_t>& bytes) = 0;
    // A file beside the container, named as the container but with
    // `extension` (".gpx"): `write` writes it whole onto the sink it is given,
    // closes the sink and says whether every byte got there. False when the file
    // cannot be written; the run goes on without it, and BesideFailures says why.
    // Files that keep nothing beside the container refuse every one.
    virtual bool WriteBeside(const std::string&, const std::function<bool(ByteSink&)>&) { return false; }
    // The files beside the container that could not be written or moved into place.
    virtual std::vector<FileFailure> BesideFailures() const { return {}; }
    // Whether the "WayPoints" folder is written on a thread of its own while
    // the log is read (the same bytes as when it is written after reading).
    virtual bool FolderWhileReading() const { return true; }
    // The run tells of a read error on the log, with its errno.
    virtual void NoteReadError(int) {}
    // Why the log could not be opened or read, or the document not created
    // or written, when the run ended so.
    virtual FileFailure LastFailure() const { return {}; }
    // Where the document stands; a document of its own unless told otherwise.
    virtual DocumentPlace Place() const { return {}; }
    // A log split into pieces (Extras SplitGap, SplitDay): from now on the
    // document, the icons, the further entries and Pack are those of the piece
    // whose container is `containerPath`; Pack packs it beside its place, and
    // CommitPieces moves every piece packed so into its place, once all are.
    // Throws CreateFileError; one that keeps a single document refuses pieces.
    virtual void BeginPiece(const std::string& containerPath);
    virtual void CommitPieces() {}
    // The reference log of the accuracy extras, `path` as the extra names it
    // (relative to the current directory), opened as the log is, with its size;
    // nullptr when it cannot be opened, `failure` then saying why.
    virtual InputFile OpenReference(const std::string& path, int64_t* size, FileFailure* failure);
};

// The files of a run on the disk: the log at InputPath and the container in the
// output's directory (the program's directory when the output field keeps no
// full path). The KML file and the icons are written in a private directory
// made beside the container, under the names their entries take, and that
// directory goes with everything in it whenever the run ends, so no file of
// the user's is ever opened for writing but the container, and a failed run
// leaves nothing new behind. The document is deflated into the new container
// while it is written. A file beside the container (WriteBeside) is written
// there too and moved into place right after the container, replacing a file
// of its name as the container replaces its own, but never the log or the
// container: such a file is refused (EEXIST).
class DiskFiles : public RunFiles {
public:
    DiskFiles(const ConversionSettings& settings, Platform& platform);
    ~DiskFiles() override;
    InputFile OpenLog(int64_t* size) override;
    ByteSink* CreateDocument() override;
    std::string ContainerPath() const override { return containerPath_; }
    std::string MakeIcon(int32_t colour) override;
    void Pack(const std::string& validIcon, const std::string& invalidIcon,
              const std::string& dtrackIcon) override;
    void AddEntry(const std::string& name, const std::vector<uint8_t>& bytes) override;
    bool WriteBeside(const std::string& extension, const std::function<bool(ByteSink&)>& write) override;
    std::vector<FileFailure> BesideFailures() const override { return besideFailures_; }
    void NoteReadError(int error) override;
    FileFailure LastFailure() const override;
    void BeginPiece(const std::string& containerPath) override;
    void CommitPieces() override;

private:
    class PackingSink;

    void MoveBesideIntoPlace();

    const ConversionSettings& settings_;
    Platform& platform_;
    std::string containerPath_;
    std::string kmlName_;
    PrivateDirectory workDir_;
    std::string kmlPath_;
    std::unique_ptr<FileSink> kmlFile_;
    std::unique_ptr<KmlPacker> packer_;
    std::unique_ptr<PackingSink> sink_;
    std::vector<KmzSource> entries_;  // AddEntry's, each in a file of the work directory
    std::vector<KmzSource> beside_;   // WriteBeside's: the final path (name) and the file written
    std::vector<FileFailure> besideFailures_;
    FileFailure failure_;
    // The pieces packed beside their places, in order; Pack adds to them once
    // BeginPiece was called.
    bool pieces_ = false;
    std::vector<std::unique_ptr<PackedKmz>> packedPieces_;
};

}  // namespace tervo
