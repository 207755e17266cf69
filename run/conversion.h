// One conversion run: a receiver log in, a KMZ container out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/log_format.h"
#include "core/platform.h"
#include "core/point_list.h"
#include "nmea/sentence.h"
#include "run/conversion_view.h"
#include "run/extras.h"
#include "run/run_files.h"
#include "run/run_report.h"

namespace tervo {

// Everything one run takes from the window, read once when the run starts.
struct ConversionSettings {
    std::string InputPath;   // the log to read (full path of Edit1)
    std::string InputName;   // the log's name as shown (text of Edit1); final message only
    std::string OutputName;  // file name of the container (text of Edit6)
    std::string OutputPath;  // full path of Edit6; only its directory is used; may be empty
    // The format chosen (LogFormatOfIndex of RadioGroup1); nothing for an
    // index the window does not know, and the run then reads nothing.
    std::optional<LogFormat> Format = LogFormat::Nmea;
    int32_t ShapeRightPoint = 0xFFFFFF;
    int32_t ShapeIncorPoint = 0xFFFFFF;
    int32_t ShapeDTrack = 0xFFFFFF;
    int32_t ShapeStyleTrack = 0xFFFFFF;
    int32_t ShapeFullTrack = 0xFFFFFF;
    std::string Edit3 = "5";    // track width text
    std::string Edit7 = "1";    // D-Track width text
    std::string Edit4 = "0.5";  // icon scale text
    bool CheckBox1 = true;      // use the fallback date
    std::string MaskEdit1 = "2000-01-01";
    bool CheckBox2 = false;    // "Use all the waypoints"
    bool CheckBox3 = false;    // "Show value of height"
    bool CheckBox4 = false;    // "Start first fix"
    bool Interactive = false;  // only then the final message box is shown
    // What is asked for beyond the converter's own output; nothing by default.
    tervo::Extras Extras;
};

enum class ConversionResult {
    Completed,
    InputNotOpened,    // "Can't open the input file"
    OutputNotCreated,  // "Can't create the output file"
    Stopped,           // "Can't create the list!" or "Date isn't found" (RunReport::Stop says which)
    WriteFailed,       // the KML file could not be written whole: "Can't write the output file"
    InputNotRead,      // the log could not be read to its end: "Can't read the input file"
    // The chosen format finds nothing of its own at the start of the log, but
    // the other one does: the run stops before anything is written.
    LooksLikeNmea,  // "The input looks like an NMEA log"
    LooksLikeBinr,  // "The input looks like a BINR log"
};

// Performs one run on the disk (see DiskFiles). Besides its result it can end
// with CreateFileError (an icon or the container could not be written) or any
// other exception; the controls are unlocked first whenever they were locked.
//
// `assembler` is the program's one sentence assembler; `platform` gives today's
// date, file times and the program's directory; `gate`, when given, decides each
// node allocation.
ConversionResult RunConversion(const ConversionSettings& settings, ConversionView& view,
                               SentenceAssembler& assembler, Platform& platform,
                               AllocationGate* gate = nullptr, RunReport* report = nullptr);

// The same run with its log and files where `files` keeps them. `report`, when
// given, says how the run ended (Stop, Failure) and what a completed run found.
ConversionResult RunConversion(const ConversionSettings& settings, ConversionView& view,
                               SentenceAssembler& assembler, Platform& platform, RunFiles& files,
                               AllocationGate* gate = nullptr, RunReport* report = nullptr);

// A list read already, to be written as a document of its own: a live run's stretch.
struct ListDocument {
    // Start names the first node the document holds (nullptr: none), as the
    // read loops leave it; the folders and lines run to the end of the list.
    PointList& Points;
    NmeaLogDate& LogDate;
    // The node the lines start at when not at Start: the node before Start, so
    // that the lines of consecutive stretches join; its Next must be Start.
    const list* LinesStart = nullptr;
    // The number of the first placemark: the placemarks of the stretches before.
    int FirstNumber = 0;
};

// Writes the document of `document` through the run's own phases (head,
// folders, lines, packing) into `files`, without reading anything: the list
// stays as it is but for the dates the folders give dateless NMEA points. Ends
// as RunConversion ends once its log is read: Completed, Stopped ("Date isn't
// found"), WriteFailed, OutputNotCreated, or CreateFileError.
ConversionResult WriteListDocument(const ConversionSettings& settings, ConversionView& view,
                                   Platform& platform, RunFiles& files, const ListDocument& document,
                                   RunReport* report = nullptr);

// Only reads the log and fills `report` (its Summary always): no document, no
// container. Ends InputNotOpened, Stopped ("Can't create the list!"),
// InputNotRead, LooksLikeBinr/LooksLikeNmea or Completed; `files` gives only
// the log.
ConversionResult SummariseLog(const ConversionSettings& settings, ConversionView& view,
                              SentenceAssembler& assembler, Platform& platform, RunFiles& files,
                              RunReport& report, AllocationGate* gate = nullptr);

}  // namespace tervo
