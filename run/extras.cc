#include "run/extras.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string_view>

#include "report/accuracy.h"

namespace tervo {

namespace {

constexpr const char* kColourByChoices[] = {"quality", "speed", "error"};

std::string_view Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return std::string_view(text).substr(first, text.find_last_not_of(" \t") + 1 - first);
}

std::optional<std::string> CheckReferencePoint(const std::string& text) {
    if (!ParsePointReference(text).Value) {
        return std::nullopt;
    }
    return std::string(Trimmed(text));
}

std::string ExplainReferencePoint(const std::string& text) { return ParsePointReference(text).Error; }

std::optional<std::string> CheckPath(const std::string& text) {
    if (Trimmed(text).empty()) {
        return std::nullopt;
    }
    return text;
}
// The keys of the fix classes, in FixClass order (FixClassInfo::Key).
constexpr const char* kFixClassChoices[] = {"no-fix",    "single",    "differential",   "pps",
                                            "rtk-fixed", "rtk-float", "dead-reckoning", "manual",
                                            "simulated", "unknown"};
static_assert(std::size(kFixClassChoices) == kFixClassCount);

struct ExportName {
    ExportFormat Format;
    std::string_view Name;
    const char* Extension;
};
constexpr ExportName kExportNames[] = {{ExportFormat::Gpx, "gpx", ".gpx"},
                                       {ExportFormat::Csv, "csv", ".csv"},
                                       {ExportFormat::GeoJson, "geojson", ".geojson"}};

constexpr ExtraGroupTitle kGroups[] = {
    {ExtraGroup::Viewer, "Long logs in a globe viewer"},
    {ExtraGroup::Pieces, "A KMZ file per piece of the log"},
    {ExtraGroup::Report, "The report (summary, plots)"},
    {ExtraGroup::Accuracy, "Accuracy against a reference"},
    {ExtraGroup::Colours, "Colours"},
    {ExtraGroup::Time, "The log in time and in other tools"},
    {ExtraGroup::Filters, "Which fixes count"},
    {ExtraGroup::Dates, "Dates"},
};

// Each row: group; option, key, label, help; kind, min, max, start; member (and choices).
const ExtraKey kKeys[] = {
    {ExtraGroup::Viewer, "--viewer", "Viewer", "Ready for a globe viewer (preset)",
     "at most 100 brief placemarks per folder, lines within 5 m, regions on", ExtraKind::Flag, 0, 1, 1,
     &Extras::Viewer},
    {ExtraGroup::Viewer, "--thin-seconds", "ThinSeconds", "Placemark at least every (s)",
     "a placemark at least every X seconds (the lines keep every fix)", ExtraKind::Number, 0, 86400, 10,
     &Extras::ThinSeconds},
    {ExtraGroup::Viewer, "--thin-metres", "ThinMetres", "... or every (m)",
     "a placemark at least every X metres", ExtraKind::Number, 0, 1e7, 100, &Extras::ThinMetres},
    {ExtraGroup::Viewer, "--thin-degrees", "ThinDegrees", "... or at a turn of (°)",
     "a placemark where the course turned by X degrees", ExtraKind::Number, 0, 180, 30, &Extras::ThinDegrees},
    {ExtraGroup::Viewer, "--max-placemarks", "MaxPlacemarks", "At most placemarks per folder",
     "at most N placemarks per folder (the thinning interval is chosen for it)", ExtraKind::Count, 2, 1e9,
     kViewerMaxPlacemarks, &Extras::MaxPlacemarks},
    {ExtraGroup::Viewer, "--line-tolerance", "LineTolerance", "Lines within (m) of every fix",
     "lines that pass every fix within X metres (0 keeps every fix)", ExtraKind::Number, 0, 1e6,
     kViewerLineTolerance, &Extras::LineTolerance},
    {ExtraGroup::Viewer, "--regions", "Regions", "Placemarks by the hour, shown when zoomed in",
     "placemarks in hourly folders that a viewer draws only when zoomed in", ExtraKind::Flag, 0, 1, 1,
     &Extras::Regions},
    {ExtraGroup::Pieces, "--split-gap", "SplitGap", "A KMZ file per piece between gaps of (s)",
     "a KMZ file per piece of the log between gaps longer than X seconds (NAME-1.kmz, NAME-2.kmz ...)",
     ExtraKind::Number, 0.1, 1e7, 300, &Extras::SplitGap},
    {ExtraGroup::Pieces, "--split-day", "SplitDay", "A KMZ file per UTC day",
     "a KMZ file per UTC day of the log (NAME-2024-05-17.kmz ...)", ExtraKind::Flag, 0, 1, 1,
     &Extras::SplitDay},
    {ExtraGroup::Report, "--summary", "Summary", "Summary on standard output",
     "print the log's summary table on standard output (with INPUT alone: only that)", ExtraKind::Flag, 0, 1,
     1, &Extras::Summary},
    {ExtraGroup::Report, "--summary-json", "SummaryJson", "Summary as JSON on standard output",
     "print the log's summary as JSON on standard output (with INPUT alone: only that)", ExtraKind::Flag, 0,
     1, 1, &Extras::SummaryJson},
    {ExtraGroup::Report, "--summary-in-kml", "SummaryInKml", "Summary in the document's description",
     "the log's summary as a table in the document's description", ExtraKind::Flag, 0, 1, 1,
     &Extras::SummaryInKml},
    {ExtraGroup::Report, "--plots", "Plots", "Plots in a folder \"Plots\" (hidden at first)",
     "sky, SNR, speed and altitude, and fix quality plots as screen overlays in a hidden folder",
     ExtraKind::Flag, 0, 1, 1, &Extras::Plots},
    {ExtraGroup::Report, "--show-summary", "ShowSummary", "Show the summary after a run",
     "the window shows the summary and the plots after a run (no effect on the console)", ExtraKind::Flag, 0,
     1, 1, &Extras::ShowSummary},
    {ExtraGroup::Accuracy,
     "--reference-point",
     "ReferencePoint",
     "Reference point (LAT,LON,HEIGHT or mean)",
     "the accuracy against a surveyed point (degrees, metres above the ellipsoid) or the mean of the fixes",
     ExtraKind::Text,
     0,
     0,
     0,
     nullptr,
     {},
     &Extras::ReferencePoint,
     CheckReferencePoint,
     "LAT,LON,HEIGHT|mean",
     ExplainReferencePoint},
    {ExtraGroup::Accuracy,
     "--reference-log",
     "ReferenceLog",
     "Reference log of a better receiver",
     "the accuracy against the log of a better receiver recorded at the same time (NMEA or BINR)",
     ExtraKind::Text,
     0,
     0,
     0,
     nullptr,
     {},
     &Extras::ReferenceLog,
     CheckPath,
     "FILE"},
    {ExtraGroup::Colours, "--colour-by", "ColourBy", "Track coloured by",
     "a track coloured by fix quality, by speed or by the error against the reference, with its legend",
     ExtraKind::Choice, 0, 2, kColourByQuality, &Extras::ColourBy, kColourByChoices},
    {ExtraGroup::Time, "--time-track", "TimeTrack", "Track in time, for the time slider",
     "the valid fixes as a track in time (a folder \"Track in time\") for the viewer's time slider",
     ExtraKind::Flag, 0, 1, 1, &Extras::TimeTrack},
    {ExtraGroup::Time,
     "--export",
     "Export",
     "Files beside the KMZ file (gpx,csv,geojson)",
     "writes NAME.gpx, NAME.csv or NAME.geojson beside NAME.kmz (repeatable, or a list: gpx,csv)",
     ExtraKind::Text,
     0,
     0,
     0,
     nullptr,
     {},
     &Extras::Export,
     CheckExportList,
     "gpx|csv|geojson",
     nullptr,
     true},
    {ExtraGroup::Filters, "--min-quality", "MinQuality", "Only fixes of at least the quality",
     "leaves out epochs below the fix class (single, differential, rtk-float, rtk-fixed ...)",
     ExtraKind::Choice, 0, kFixClassCount - 1, 1, &Extras::MinQuality, kFixClassChoices},
    {ExtraGroup::Filters, "--max-hdop", "MaxHdop", "Only fixes with an HDOP of at most",
     "leaves out epochs whose HDOP is above X", ExtraKind::Number, 0, 100, 5, &Extras::MaxHdop},
    {ExtraGroup::Filters, "--min-satellites", "MinSatellites", "Only fixes with satellites used, at least",
     "leaves out epochs with fewer than N satellites used", ExtraKind::Count, 0, 99, 4,
     &Extras::MinSatellites},
    {ExtraGroup::Dates, "--date-from-zda", "DateFromZda", "Dates from ZDA sentences",
     "NMEA epochs without a date of their own (GGA only) take the date of the latest ZDA", ExtraKind::Flag, 0,
     1, 1, &Extras::DatesFromZda},
};

}  // namespace

std::span<const ExtraKey> ExtraKeys() { return kKeys; }

const char* ExportExtension(ExportFormat format) {
    for (const ExportName& name : kExportNames) {
        if (name.Format == format) {
            return name.Extension;
        }
    }
    return "";
}

std::optional<std::string> CheckExportList(const std::string& text) {
    bool asked[std::size(kExportNames)] = {};
    size_t from = 0;
    while (from <= text.size()) {
        const size_t comma = std::min(text.find(',', from), text.size());
        std::string word;
        for (size_t i = from; i < comma; ++i) {
            if (text[i] != ' ') {
                word += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
            }
        }
        const auto* name = std::find_if(std::begin(kExportNames), std::end(kExportNames),
                                        [&](const ExportName& n) { return n.Name == word; });
        if (name == std::end(kExportNames)) {
            return std::nullopt;
        }
        asked[name - std::begin(kExportNames)] = true;
        from = comma + 1;
    }
    std::string list;
    for (size_t i = 0; i < std::size(kExportNames); ++i) {
        if (asked[i]) {
            list += (list.empty() ? "" : ",") + std::string(kExportNames[i].Name);
        }
    }
    return list;
}

std::vector<ExportFormat> ExportsOf(const Extras& extras) {
    std::vector<ExportFormat> formats;
    const std::optional<std::string> list = extras.Export ? CheckExportList(*extras.Export) : std::nullopt;
    for (const ExportName& name : kExportNames) {
        if (list && ("," + *list + ",").find("," + std::string(name.Name) + ",") != std::string::npos) {
            formats.push_back(name.Format);
        }
    }
    return formats;
}

FixFilter FilterOf(const Extras& extras) {
    FixFilter filter;
    if (extras.MinQuality) {
        filter.MinQuality = static_cast<FixClass>(*extras.MinQuality);
    }
    filter.MaxHdop = extras.MaxHdop;
    if (extras.MinSatellites) {
        filter.MinSatellites = static_cast<int32_t>(*extras.MinSatellites);
    }
    return filter;
}

std::span<const ExtraGroupTitle> ExtraGroups() { return kGroups; }

std::span<const ExtraKey> ExtraKeysOf(ExtraGroup group) {
    const std::span<const ExtraKey> keys = ExtraKeys();
    const auto in = [group](const ExtraKey& key) { return key.Group == group; };
    const auto first = std::find_if(keys.begin(), keys.end(), in);
    const auto last = std::find_if_not(first, keys.end(), in);
    return {first, last};
}

bool AsksForSummary(const Extras& extras) {
    auto on = [](const std::optional<double>& value) { return value.value_or(0) != 0; };
    return on(extras.Summary) || on(extras.SummaryJson) || on(extras.SummaryInKml) || on(extras.ShowSummary);
}

bool AsksForAccuracy(const Extras& extras) {
    return extras.ReferencePoint.has_value() || extras.ReferenceLog.has_value();
}

Extras ResolveExtras(const Extras& asked) {
    Extras resolved = asked;
    if (asked.Viewer.value_or(0) != 0) {
        if (!resolved.MaxPlacemarks) {
            resolved.MaxPlacemarks = kViewerMaxPlacemarks;
        }
        if (!resolved.LineTolerance) {
            resolved.LineTolerance = kViewerLineTolerance;
        }
        if (!resolved.Regions) {
            resolved.Regions = 1;
        }
    }
    return resolved;
}

Extras OverlaidExtras(const Extras& base, const Extras& over) {
    Extras overlaid = base;
    if (AsksForAccuracy(over)) {
        overlaid.ReferencePoint.reset();
        overlaid.ReferenceLog.reset();
    }
    for (const ExtraKey& key : ExtraKeys()) {
        if (!IsAsked(over, key)) {
            continue;
        }
        if (key.Kind == ExtraKind::Text) {
            overlaid.*key.TextMember = over.*key.TextMember;
        } else {
            overlaid.*key.Member = over.*key.Member;
        }
    }
    return overlaid;
}

bool IsAsked(const Extras& extras, const ExtraKey& key) {
    return key.Kind == ExtraKind::Text ? (extras.*key.TextMember).has_value()
                                       : (extras.*key.Member).has_value();
}

bool SetExtra(Extras& extras, const ExtraKey& key, const std::string& text) {
    if (key.Kind == ExtraKind::Text) {
        std::optional<std::string> checked = key.CheckText(text);
        if (!checked) {
            return false;
        }
        extras.*key.TextMember = std::move(checked);
        return true;
    }
    const std::optional<double> value = ParseExtraValue(key, text);
    if (value) {
        extras.*key.Member = value;
    }
    return value.has_value();
}

void ClearExtra(Extras& extras, const ExtraKey& key) {
    if (key.Kind == ExtraKind::Text) {
        (extras.*key.TextMember).reset();
    } else {
        (extras.*key.Member).reset();
    }
}

std::string AskedText(const Extras& extras, const ExtraKey& key) {
    if (key.Kind == ExtraKind::Text) {
        return (extras.*key.TextMember).value_or("");
    }
    const std::optional<double>& value = extras.*key.Member;
    return value ? ExtraValueText(key, *value) : "";
}

std::string RefusalText(const ExtraKey& key) {
    if (key.Kind == ExtraKind::Text) {
        return std::string("not ") + key.TextMeaning;
    }
    if (key.Kind == ExtraKind::Choice) {
        std::string names;
        for (const char* name : key.Choices) {
            names += (names.empty() ? "" : "|") + std::string(name);
        }
        return "not one of " + names;
    }
    return "no value between " + ExtraValueText(key, key.Min) + " and " + ExtraValueText(key, key.Max);
}

std::string WhyRefused(const ExtraKey& key, const std::string& text) {
    if (key.ExplainRefusal != nullptr) {
        return key.ExplainRefusal(text);
    }
    return "'" + text + "' is " + RefusalText(key);
}

std::optional<double> ParseExtraValue(const ExtraKey& key, const std::string& text) {
    const size_t start = text.find_first_not_of(' ');
    const size_t end = text.find_last_not_of(' ');
    if (start == std::string::npos) {
        return std::nullopt;
    }
    if (key.Kind == ExtraKind::Choice) {
        const std::string_view word(text.data() + start, end + 1 - start);
        for (size_t i = 0; i < key.Choices.size(); ++i) {
            const std::string_view name = key.Choices[i];
            if (name.size() == word.size() &&
                std::equal(name.begin(), name.end(), word.begin(), [](char a, char b) {
                    return std::tolower(static_cast<unsigned char>(a)) ==
                           std::tolower(static_cast<unsigned char>(b));
                })) {
                return static_cast<double>(i);
            }
        }
        return std::nullopt;
    }
    double value = 0;
    const char* first = text.data() + start;
    const char* last = text.data() + end + 1;
    const auto [stop, error] = std::from_chars(first, last, value);
    if (error != std::errc() || stop != last || !std::isfinite(value) || value < key.Min || value > key.Max) {
        return std::nullopt;
    }
    if ((key.Kind == ExtraKind::Flag || key.Kind == ExtraKind::Count) && value != std::floor(value)) {
        return std::nullopt;
    }
    return value;
}

std::string ExtraValueText(const ExtraKey& key, double value) {
    if (key.Kind == ExtraKind::Choice) {
        const auto index = static_cast<size_t>(value);
        return value >= 0 && index < key.Choices.size() ? key.Choices[index] : "";
    }
    if (key.Kind != ExtraKind::Number || value == std::floor(value)) {
        return std::to_string(static_cast<long long>(value));
    }
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string("0");
}

}  // namespace tervo
