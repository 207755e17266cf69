// A run's files in memory: the log from memory or from the disk, the document
// into a string, the icons only named (their colours kept, so that whoever
// packs can draw each once), further entries kept with their bytes. The merge
// runs every log so, and the fuzz targets and tests run whole conversions so
// without touching the disk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_files.h"

namespace tervo {

class MemoryFiles : public RunFiles {
public:
    // A further entry (RunFiles::AddEntry), its name as the run gave it.
    struct Entry {
        std::string name;
        std::vector<uint8_t> bytes;
    };
    // A piece of a split log: its container's path, its document and the
    // files beside it (as besides() keeps them).
    struct Piece {
        std::string path;
        std::string kml;
        std::vector<Entry> besides;
    };

    // The log is `log` itself; it must outlive the run.
    static MemoryFiles OfText(std::string_view log);
    // The log is the file at `path`, opened as a run on the disk opens it.
    static MemoryFiles OfFile(std::string path);

    InputFile OpenLog(int64_t* size) override;
    ByteSink* CreateDocument() override { return &sink_; }
    std::string ContainerPath() const override { return containerPath_; }
    std::string MakeIcon(int32_t colour) override;
    void Pack(const std::string&, const std::string&, const std::string&) override {}
    void AddEntry(const std::string& name, const std::vector<uint8_t>& bytes) override;
    // Kept in besides() (a piece's in its own) by extension; nothing is refused.
    bool WriteBeside(const std::string& extension, const std::function<bool(ByteSink&)>& write) override;
    bool FolderWhileReading() const override { return folderWhileReading_; }
    void NoteReadError(int error) override { failure_ = {logPath_, error}; }
    FileFailure LastFailure() const override { return failure_; }
    DocumentPlace Place() const override { return place_; }
    void BeginPiece(const std::string& containerPath) override;
    void CommitPieces() override;
    // The reference named `path` is `text` when SetReference named it so; any
    // other is opened from the disk.
    InputFile OpenReference(const std::string& path, int64_t* size, FileFailure* failure) override;

    void SetContainerPath(std::string path) { containerPath_ = std::move(path); }
    void SetFolderWhileReading(bool onThread) { folderWhileReading_ = onThread; }
    void SetPlace(DocumentPlace place) { place_ = std::move(place); }
    // `text` must outlive the run.
    void SetReference(std::string path, std::string_view text) {
        referencePath_ = std::move(path);
        referenceText_ = text;
    }

    // What the run wrote.
    const std::string& kml() const { return sink_.text; }
    std::string TakeKml() { return std::move(sink_.text); }
    const std::vector<int32_t>& iconColours() const { return iconColours_; }
    std::vector<Entry>& entries() { return entries_; }
    // The pieces of a split log, each document whole once the run committed them.
    const std::vector<Piece>& pieces() const { return pieces_; }
    // The files beside the container: the extension as the name, the text as bytes.
    std::vector<Entry>& besides() { return besides_; }

private:
    MemoryFiles() = default;

    std::string_view logText_;
    std::string referencePath_;
    std::string_view referenceText_;
    std::string logPath_;  // empty: the log is logText_
    std::string containerPath_ = "memory.kmz";
    bool folderWhileReading_ = true;
    DocumentPlace place_;
    StringSink sink_;
    std::vector<int32_t> iconColours_;
    std::vector<Entry> entries_;
    std::vector<Entry> besides_;
    FileFailure failure_;
    std::vector<Piece> pieces_;
};

}  // namespace tervo
