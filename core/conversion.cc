#include "core/conversion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "binr/binr_reader.h"
#include "core/folder_writer.h"
#include "core/nmea_reader.h"
#include "kml/document.h"
#include "kml/icon.h"
#include "kml/kml_stream.h"
#include "kml/track_writer.h"
#include "kml/waypoint_writer.h"
#include "kmz/kmz.h"

namespace tervo {

namespace {

// Remembers the text last given to the right pane: the final message repeats it.
class CountRecorder : public ConversionView {
public:
    explicit CountRecorder(ConversionView& view) : view_(view) {}
    void ShowStatus(const std::string& text) override { view_.ShowStatus(text); }
    void ShowCount(const std::string& text) override {
        lastCount = text;
        view_.ShowCount(text);
    }
    void ResetProgress() override { view_.ResetProgress(); }
    void StepProgress() override { view_.StepProgress(); }
    void SetOutputPath(const std::string& path) override { view_.SetOutputPath(path); }
    void DisableRun() override { view_.DisableRun(); }
    void LockControls() override { view_.LockControls(); }
    void UnlockControls() override { view_.UnlockControls(); }
    // The read loops give the window a turn between blocks (NMEA) or bytes
    // (BINR): the list is complete up to its last node then, so every so often
    // the folder writer gets the new nodes.
    void ProcessPendingEvents() override {
        view_.ProcessPendingEvents();
        if (folder_ != nullptr && --callsBeforePublish_ == 0) {
            callsBeforePublish_ = kCallsPerPublish;
            folder_->Publish(*points_, *logDate_);
        }
    }
    void ShowInformation(const std::string& text) override { view_.ShowInformation(text); }
    void Follow(FolderWriter* folder, const PointList* points, const NmeaLogDate* logDate) {
        folder_ = folder;
        points_ = points;
        logDate_ = logDate;
    }
    std::string lastCount;

private:
    static constexpr int kCallsPerPublish = 1024;
    ConversionView& view_;
    FolderWriter* folder_ = nullptr;
    const PointList* points_ = nullptr;
    const NmeaLogDate* logDate_ = nullptr;
    int callsBeforePublish_ = kCallsPerPublish;
};

// The KML file, with a copy of every byte for the packer.
class PackingSink : public ByteSink {
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

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

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

std::string WithoutFinalSeparator(const std::string& dir) {
    if (dir.size() > 1 && dir.back() == '/') {
        return dir.substr(0, dir.size() - 1);
    }
    return dir;
}

}  // namespace

std::string DirectoryPart(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNamePart(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ChangeFileExtension(const std::string& name, const std::string& extension) {
    size_t nameStart = name.rfind('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < nameStart) {
        return name + extension;
    }
    return name.substr(0, dot) + extension;
}

ConversionResult RunConversion(const ConversionSettings& settings, ConversionView& outerView,
                               SentenceAssembler& assembler, Platform& platform, AllocationGate* gate) {
    CountRecorder view(outerView);
    PointList points(gate);
    NmeaLogDate logDate;

    InputFile input = OpenInput(settings.InputPath);
    if (!input) {
        view.ShowStatus("");
        view.ShowStatus("Can't open the input file");
        view.ProcessPendingEvents();
        return ConversionResult::InputNotOpened;
    }

    const std::string outputDir =
        settings.OutputPath.empty() ? platform.ProgramDirectory() : DirectoryPart(settings.OutputPath);
    const std::string kmlPath = outputDir + ChangeFileExtension(settings.OutputName, ".kml");

    FileSink kmlFile(kmlPath);
    if (!kmlFile.is_open()) {
        view.ShowStatus("");
        view.ShowStatus("Can't create the output file");
        view.ProcessPendingEvents();
        return ConversionResult::OutputNotCreated;
    }
    const std::string containerPath = outputDir + settings.OutputName;
    // The document is packed while it is written; when the disk fills up, the
    // KML file gets the packer's space and PackKmz packs from the file.
    std::unique_ptr<KmlPacker> packer = KmlPacker::Begin(containerPath, kmlPath);
    kmlFile.OnDiskFull([&packer] {
        if (packer) {
            packer->Abandon();
        }
    });
    PackingSink kmlSink(kmlFile, packer.get());
    KmlStream kml(kmlSink);

    view.SetOutputPath(containerPath);
    view.ResetProgress();
    view.ShowStatus(" ");
    view.ShowCount(" ");
    view.DisableRun();

    BeginKmlDocument(kml);

    WaypointOptions options;
    options.Scale = settings.Edit4;
    options.Extrude = settings.CheckBox3;
    options.UseFallbackDate = settings.CheckBox1;
    options.FallbackDate = settings.MaskEdit1;
    try {
        const std::string iconDir = WithoutFinalSeparator(outputDir);
        options.ValidIconName = MakeWaypointIcon(settings.ShapeRightPoint, iconDir);
        options.InvalidIconName = MakeWaypointIcon(settings.ShapeIncorPoint, iconDir);
        options.DTrackIconName = MakeWaypointIcon(settings.ShapeDTrack, iconDir);
    } catch (const CreateFileError&) {
        // The files written so far stay; the window must not stay half locked.
        kml.Close();
        view.UnlockControls();
        throw;
    }

    WriteLineStyle(kml, settings.Edit3, KmlColor(settings.ShapeStyleTrack), "NormalTrack");
    WriteLineStyle(kml, settings.Edit7, KmlColor(settings.ShapeDTrack), "D-Track");

    const int32_t progressStep = static_cast<int32_t>(FileSize(input.get()) / 100);
    view.ShowStatus("");
    view.ShowStatus("The progress started");
    view.LockControls();

    // The "WayPoints" folder is written while the log is read (see FolderWriter).
    std::optional<FolderWriter> folder;
    if (settings.Format == 0 || settings.Format == 1) {
        const int format = settings.Format == 0 ? kPlacemarkNmea : kPlacemarkBinr;
        folder.emplace(kml, options, format, settings.CheckBox4);
        view.Follow(&*folder, &points, &logDate);
    }

    // A stop while reading ends the run at once: the partial KML (without any of
    // the folder) and the icons stay on disk. A read error ends it too: a track
    // cut short by a failing disk is not passed off as the whole log.
    // `result` is Stopped for a node that could not be allocated, InputNotRead for a read error.
    auto endWhileReading = [&](ConversionResult result) {
        view.Follow(nullptr, nullptr, nullptr);
        folder->Cancel();
        if (result == ConversionResult::Stopped) {
            view.ShowStatus("Can't create the list!");
        } else {
            view.ShowStatus("");
            view.ShowStatus("Can't read the input file");
        }
        view.ProcessPendingEvents();
        points.FreePointList(points.Head);
        kml.Close();
        view.UnlockControls();
        return result;
    };

    // The rest of the folder once the log is read whole; "Waypoints N" after it.
    auto finishFolder = [&] {
        view.Follow(nullptr, nullptr, nullptr);
        view.ShowStatus("");
        view.ShowStatus("Creation of KML-file");
        if (folder->Finish(points, logDate) == WaypointsOutcome::DateNotFound) {
            return false;
        }
        folder->End();
        view.ShowCount("");
        view.ShowCount("Waypoints " + std::to_string(folder->Count()));
        return true;
    };

    if (settings.Format == 0 || settings.Format == 1) {
        const ReadOutcome read =
            settings.Format == 0
                ? ReadNmeaLog(input.get(), view, progressStep, settings.CheckBox4, assembler, platform, points,
                              logDate)
                : ReadBinrLog(input.get(), view, progressStep, settings.CheckBox4, points);
        if (read == ReadOutcome::ListNotCreated) {
            return endWhileReading(ConversionResult::Stopped);
        }
        if (std::ferror(input.get())) {
            return endWhileReading(ConversionResult::InputNotRead);
        }
        // Only the date rules of an NMEA folder can stop the run here.
        if (!finishFolder()) {
            points.FreePointList(points.Head);
            view.ShowStatus("");
            view.ShowStatus("Date isn't found");
            kml.Close();
            view.UnlockControls();
            return ConversionResult::Stopped;
        }
        if (settings.Format == 0) {
            WriteDTrackWaypoints(kml, points.Start, options);
            WriteNmeaTrack(kml, points.Start, "NormalTrack");
            WriteDTrackLine(kml, points.Start, "D-Track");
        } else {
            WriteBinrTrack(kml, points.Start, "NormalTrack");
        }
    }

    if (settings.CheckBox2) {
        WriteLineStyle(kml, settings.Edit3, KmlColor(settings.ShapeFullTrack), "IncorrectTrack");
        WriteAllPointsTrack(kml, points.Start, "IncorrectTrack");
    }

    EndKmlDocument(kml);
    const bool kmlWritten = kml.Close();
    input.reset();
    if (!kmlWritten) {
        // A KML file that did not reach the disk whole is never packed or called finished.
        view.ShowStatus("");
        view.ShowStatus("Can't write the output file");
        view.ProcessPendingEvents();
        points.FreePointList(points.Head);
        view.UnlockControls();
        return ConversionResult::WriteFailed;
    }

    const std::string validIcon = outputDir + options.ValidIconName;
    const std::string invalidIcon = outputDir + options.InvalidIconName;
    const std::string dtrackIcon = outputDir + options.DTrackIconName;
    try {
        PackKmz(containerPath, kmlPath, validIcon, invalidIcon, dtrackIcon, platform, packer.get());
    } catch (const CreateFileError&) {
        points.FreePointList(points.Head);
        view.UnlockControls();
        throw;
    }
    points.FreePointList(points.Head);
    RemoveIntermediateFiles(kmlPath, validIcon, invalidIcon, dtrackIcon);

    view.ShowStatus("");
    view.ShowStatus("The progress finished");
    const std::string message =
        "The progress finished!\n\rInput file " + settings.InputName + "\n\r" + view.lastCount;
    if (settings.Interactive) {
        view.ShowInformation(message);
    }
    view.UnlockControls();
    return ConversionResult::Completed;
}

}  // namespace tervo
