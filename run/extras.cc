#include "run/extras.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string_view>

namespace tervo {

namespace {

constexpr const char* kColourByChoices[] = {"quality", "speed"};

constexpr ExtraGroupTitle kGroups[] = {
    {ExtraGroup::Viewer, "Long logs in a globe viewer"},
    {ExtraGroup::Report, "The report (summary, plots)"},
    {ExtraGroup::Colours, "Colours"},
    {ExtraGroup::Dates, "Dates"},
};

// Each row: group; option, key, label, help; kind, min, max, start; member (and choices).
const ExtraKey kKeys[] = {
    {ExtraGroup::Viewer, "--viewer", "Viewer", "Ready for a globe viewer (preset)",
     "at most 2000 placemarks per folder, lines within 0.5 m, regions on", ExtraKind::Flag, 0, 1, 1,
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
    {ExtraGroup::Colours, "--colour-by", "ColourBy", "Track coloured by",
     "a track coloured by fix quality or by speed, with its legend", ExtraKind::Choice, 0, 1,
     kColourByQuality, &Extras::ColourBy, kColourByChoices},
    {ExtraGroup::Dates, "--date-from-zda", "DateFromZda", "Dates from ZDA sentences",
     "NMEA epochs without a date of their own (GGA only) take the date of the latest ZDA", ExtraKind::Flag, 0,
     1, 1, &Extras::DatesFromZda},
};

}  // namespace

std::span<const ExtraKey> ExtraKeys() { return kKeys; }

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
