// The extras: what a run can do beyond the converter's own output, each off
// unless asked for. One table names every extra for all three ways in: the
// command-line option, the key of the settings file's [Extras] section and the
// control of the window's Extras dialog.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/fix_filter.h"

namespace tervo {

// The values asked for; an extra not asked for has no value. Flags hold 0 or 1.
struct Extras {
    // Long logs for globe viewers.
    std::optional<double> Viewer{};         // the preset: a budget, a line tolerance, regions
    std::optional<double> ThinSeconds{};    // a placemark at least every so many seconds
    std::optional<double> ThinMetres{};     // ... or metres
    std::optional<double> ThinDegrees{};    // ... or degrees of a turn
    std::optional<double> MaxPlacemarks{};  // at most so many placemarks per folder
    std::optional<double> LineTolerance{};  // metres a line may pass a fix by
    std::optional<double> Regions{};        // placemarks in hourly folders with levels of detail
    // A container of its own for each piece of the log.
    std::optional<double> SplitGap{};  // a piece ends at a gap longer than so many seconds
    std::optional<double> SplitDay{};  // a piece ends where a UTC day ends
    // What the log holds, beside the map.
    std::optional<double> Summary{};       // the summary table on standard output
    std::optional<double> SummaryJson{};   // the summary as JSON on standard output
    std::optional<double> SummaryInKml{};  // the summary as the document's description
    std::optional<double> Plots{};         // the plots as screen overlays in a folder "Plots"
    std::optional<double> ColourBy{};  // a coloured track: kColourByQuality, kColourBySpeed or kColourByError
    std::optional<double> DatesFromZda{};  // NMEA epochs without a date take the latest ZDA's
    std::optional<double> ShowSummary{};   // the window shows the summary after a run
    // How good the receiver was: the accuracy against a point ("LAT,LON,HEIGHT"
    // or "mean") or against the log of a better receiver (its path, relative to
    // the current directory). A log given with a point is the one taken.
    std::optional<std::string> ReferencePoint{};
    std::optional<std::string> ReferenceLog{};
    // The log in time and in other tools.
    std::optional<double> TimeTrack{};    // the valid fixes as a track for the viewer's time slider
    std::optional<std::string> Export{};  // files beside the container: "gpx,csv,geojson" (CheckExportList)
    // Epochs left out of every output made with extras.
    std::optional<double> MinQuality{};     // a FixClass: the lowest rank kept (QualityRank)
    std::optional<double> MaxHdop{};        // the highest HDOP kept
    std::optional<double> MinSatellites{};  // the fewest satellites used kept

    bool operator==(const Extras&) const = default;
};

enum class ExtraKind {
    Flag,    // 0 or 1; the option takes no value
    Number,  // a decimal number within its range
    Count,   // a whole number within its range
    Choice,  // one of the key's Choices, kept as its index (Min 0, Max the last index)
    Text,    // a text the key's CheckText accepts (a path, a list of names), kept in its TextMember
};

// What a user is after: --help and the Extras dialog show the extras by these
// groups, each under its title (ExtraGroups).
enum class ExtraGroup {
    Viewer,    // long logs in a globe viewer
    Pieces,    // a container of its own for each piece of the log
    Report,    // the summary and the plots
    Accuracy,  // the fixes against a known point or a better receiver
    Colours,   // the track coloured by a value
    Time,      // the track in time and the exports for other tools
    Filters,   // the fixes left out of everything made with extras
    Dates,     // dates the log gives beside its positions
};

struct ExtraGroupTitle {
    ExtraGroup Group;
    const char* Title;  // "Long logs in a globe viewer"
};

// One extra: where it is found in each way in, and its range.
struct ExtraKey {
    ExtraGroup Group;
    const char* Option;  // "--thin-seconds"
    const char* Key;     // "ThinSeconds" in [Extras]
    const char* Label;   // the dialog's text for its control
    const char* Help;    // one line for --help
    ExtraKind Kind;
    double Min;
    double Max;
    // Where a control ticked on starts: a value worth a first try, such as the
    // viewer preset's own, not merely the range's end. A flag's is 1, a
    // Choice's the index of its first try.
    double Start;
    std::optional<double> Extras::*Member;
    // The names of a Choice's values, as typed on the command line and kept in
    // the settings file; empty for the other kinds.
    std::span<const char* const> Choices{};
    // A Text's member (Member is null then), its check (the text as a run takes
    // it, or nothing when it is refused) and the name of its value in the help
    // and in a refusal ("FILE", "LAT,LON,HEIGHT|mean").
    std::optional<std::string> Extras::*TextMember = nullptr;
    std::optional<std::string> (*CheckText)(const std::string& text) = nullptr;
    const char* TextMeaning = nullptr;
    // Why a Text refused `text`, when it can say more than RefusalText: "latitude
    // \"91\" is outside -90 to 90".
    std::string (*ExplainRefusal)(const std::string& text) = nullptr;
    // The option may be given more than once: its values join into one list,
    // as "a,b" (a Text whose check takes such a list).
    bool Repeatable = false;
};

// Every extra, in the order the help, the settings file and the dialog list
// them: the rows of a group together, the groups in the order of ExtraGroups.
std::span<const ExtraKey> ExtraKeys();

// The groups in the order they are shown, with their titles.
std::span<const ExtraGroupTitle> ExtraGroups();

// The rows of ExtraKeys() in `group`; empty for a group without any.
std::span<const ExtraKey> ExtraKeysOf(ExtraGroup group);

// The values of ColourBy.
inline constexpr double kColourByQuality = 0;
inline constexpr double kColourBySpeed = 1;
inline constexpr double kColourByError = 2;  // needs a reference

// The formats of the exports, in the order a list of them is kept.
enum class ExportFormat { Gpx, Csv, GeoJson };
// The file name extension of each (".gpx", ".csv", ".geojson").
const char* ExportExtension(ExportFormat format);

// A list of export names ("gpx", "csv", "geojson"), separated by commas, taken
// without regard to case or blanks, each name once, in the order above:
// " CSV,gpx,csv" gives "gpx,csv"; nothing for an empty list or another name.
std::optional<std::string> CheckExportList(const std::string& text);
// The exports the extras ask for, in that order.
std::vector<ExportFormat> ExportsOf(const Extras& extras);
// The fix filter the extras ask for (inactive when none).
FixFilter FilterOf(const Extras& extras);

// Whether the extras ask for the summary in any form (a front end or the document).
bool AsksForSummary(const Extras& extras);

// Whether the extras name a reference to measure the accuracy against.
bool AsksForAccuracy(const Extras& extras);

// The section of the settings file that holds the extras.
inline constexpr const char* kExtrasSection = "Extras";

// What the viewer preset asks for: at most 100 placemarks per folder, lines
// within 5 m of every fix, regions on; and of its own, the placemarks in their
// brief form (ViewerOptions::BriefPlacemarks). A globe viewer that builds every
// placemark and every line's point at load (CesiumJS) is held back by their
// number: an arrow costs it about 3 ms, a thousand line points about 45 ms, on
// top of about 2 s for any document with a line and an arrow. The preset is an
// overview of a long log that opens at once: a day at 1 Hz keeps an arrow
// every quarter of an hour per folder and about 12,000 line points. Google
// Earth draws each hour's placemarks only once zoomed in.
inline constexpr double kViewerMaxPlacemarks = 100;
inline constexpr double kViewerLineTolerance = 5;

// The values a run uses: the preset's parts filled in where they were not
// asked for themselves (a part asked for overrides the preset).
Extras ResolveExtras(const Extras& asked);

// `base` with every extra that `over` asks for taken from `over`: the command
// line's options over the settings file's [Extras]. The reference is one
// choice: a point or a log in `over` replaces both of `base`'s.
Extras OverlaidExtras(const Extras& base, const Extras& over);

// Whatever its kind, whether `key` is asked for in `extras` (a flag of 0 is
// asked for, as "not on").
bool IsAsked(const Extras& extras, const ExtraKey& key);
// `text` (as typed on the command line or kept in a settings file) taken as
// the value of `key`; false, with `extras` unchanged, when it is refused.
bool SetExtra(Extras& extras, const ExtraKey& key, const std::string& text);
void ClearExtra(Extras& extras, const ExtraKey& key);
// The text a settings file keeps for an extra asked for (ExtraValueText, or a
// Text as it is); empty when it is not asked for.
std::string AskedText(const Extras& extras, const ExtraKey& key);
// Why `text` was refused for `key`, after "'text' is ": "no value between 0
// and 180", "not one of quality|speed", "not LAT,LON,HEIGHT|mean".
std::string RefusalText(const ExtraKey& key);
// The whole reason `text` was refused for `key`: "'abc' is no value between 0
// and 180", or what its ExplainRefusal says.
std::string WhyRefused(const ExtraKey& key, const std::string& text);

// `text` read as a value of `key`; nothing when it is no number or outside the
// range, or for a Choice, none of its names (case is ignored).
std::optional<double> ParseExtraValue(const ExtraKey& key, const std::string& text);
// The text a settings file keeps for `value`: "1" for a set flag, "12.5", a
// Choice's name ...
std::string ExtraValueText(const ExtraKey& key, double value);

}  // namespace tervo
