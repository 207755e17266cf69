// The accuracy as text: the summary's section, JSON, and the HTML tables of a
// KML description.
#include <algorithm>
#include <cmath>

#include "report/accuracy.h"
#include "report/report_text.h"
#include "report/timeline.h"

namespace tervo {

namespace {

constexpr int kTextDecimals = 3;  // millimetres
constexpr int kJsonDecimals = 4;

// A column of a figures table: its heading and the figures under it.
struct Column {
    std::string heading;
    const AccuracyFigures* figures;
    const Accuracy* accuracy;  // for the times
};

std::string Metres(const std::optional<double>& value) {
    return value ? NumberText(*value, kTextDecimals) + " m" : "-";
}

// One row of a figures table: its label and how a column shows it.
struct FigureRow {
    const char* label;
    std::string (*value)(const Column& column);
};

const FigureRow kRows[] = {
    {"Matched epochs", [](const Column& c) { return std::to_string(c.figures->MatchedEpochs); }},
    {"Unmatched epochs", [](const Column& c) { return std::to_string(c.figures->UnmatchedEpochs); }},
    {"CEP50", [](const Column& c) { return Metres(c.figures->Cep50M); }},
    {"CEP95", [](const Column& c) { return Metres(c.figures->Cep95M); }},
    {"2DRMS", [](const Column& c) { return Metres(c.figures->TwiceDrmsM); }},
    {"R95 (3-D)", [](const Column& c) { return Metres(c.figures->R95ThreeDM); }},
    {"Mean east", [](const Column& c) { return Metres(c.figures->MeanEastM); }},
    {"Mean north", [](const Column& c) { return Metres(c.figures->MeanNorthM); }},
    {"Mean up", [](const Column& c) { return Metres(c.figures->MeanUpM); }},
    {"SD east", [](const Column& c) { return Metres(c.figures->SdEastM); }},
    {"SD north", [](const Column& c) { return Metres(c.figures->SdNorthM); }},
    {"SD up", [](const Column& c) { return Metres(c.figures->SdUpM); }},
    {"Largest horizontal", [](const Column& c) { return Metres(c.figures->MaxHorizontalM); }},
    {"  at",
     [](const Column& c) {
         return c.figures->MaxHorizontalSeconds
                    ? AccuracyTimeText(*c.accuracy, *c.figures->MaxHorizontalSeconds)
                    : std::string("-");
     }},
    {"Vertical 50 %", [](const Column& c) { return Metres(c.figures->Vertical50M); }},
    {"Vertical 95 %", [](const Column& c) { return Metres(c.figures->Vertical95M); }},
};

std::vector<Column> ColumnsOf(const Accuracy& accuracy) {
    std::vector<Column> columns = {{"all", &accuracy.All, &accuracy}};
    for (const QualityFigures& quality : accuracy.ByQuality) {
        columns.push_back({std::string(InfoOf(quality.Class).Name), &quality.Figures, &accuracy});
    }
    return columns;
}

std::vector<Column> ColumnsOf(std::span<const NamedAccuracy> receivers) {
    std::vector<Column> columns;
    for (const NamedAccuracy& receiver : receivers) {
        columns.push_back({receiver.Name, &receiver.Result->All, receiver.Result});
    }
    return columns;
}

// The heading line, then the aligned table: labels left, each column two
// blanks after the widest text of the one before.
std::string TextTable(const std::string& heading, const std::vector<Column>& columns) {
    std::vector<std::vector<std::string>> cells;
    cells.push_back({""});
    for (const Column& column : columns) {
        cells.back().push_back(column.heading);
    }
    for (const FigureRow& row : kRows) {
        cells.push_back({row.label});
        for (const Column& column : columns) {
            cells.back().push_back(row.value(column));
        }
    }
    std::vector<size_t> widths(columns.size() + 1, 0);
    for (const std::vector<std::string>& line : cells) {
        for (size_t i = 0; i < line.size(); ++i) {
            widths[i] = std::max(widths[i], line[i].size());
        }
    }
    std::string out = heading + "\n";
    for (const std::vector<std::string>& line : cells) {
        std::string text;
        for (size_t i = 0; i < line.size(); ++i) {
            text += line[i];
            if (i + 1 < line.size()) {
                text += std::string(widths[i] + 2 - line[i].size(), ' ');
            }
        }
        out += text + "\n";
    }
    return out;
}

std::string HtmlTable(const std::string& heading, const std::vector<Column>& columns) {
    std::string out = "<table>\n";
    out += "<tr><th colspan=" + std::to_string(columns.size() + 1) + " align=left>" + HtmlEscaped(heading) +
           "</th></tr>\n";
    out += "<tr><th></th>";
    for (const Column& column : columns) {
        out += "<th align=right>" + HtmlEscaped(column.heading) + "</th>";
    }
    out += "</tr>\n";
    for (const FigureRow& row : kRows) {
        const std::string_view label = row.label;
        out += "<tr><th align=left>" + HtmlEscaped(label.substr(label.find_first_not_of(' '))) + "</th>";
        for (const Column& column : columns) {
            out += "<td align=right>" + HtmlEscaped(row.value(column)) + "</td>";
        }
        out += "</tr>\n";
    }
    return out + "</table>\n";
}

std::string Heading(std::string_view reference) { return "Accuracy against " + std::string(reference); }

std::optional<std::string> TimeOrNull(const Accuracy& accuracy, const std::optional<double>& seconds) {
    if (!seconds || std::isnan(*seconds)) {
        return std::nullopt;
    }
    return AccuracyTimeText(accuracy, *seconds);
}

void AddFigures(JsonObject& object, const AccuracyFigures& f, const Accuracy& accuracy) {
    object.Int("matched_epochs", f.MatchedEpochs)
        .Int("unmatched_epochs", f.UnmatchedEpochs)
        .Num("cep50_m", f.Cep50M, kJsonDecimals)
        .Num("cep95_m", f.Cep95M, kJsonDecimals)
        .Num("twice_drms_m", f.TwiceDrmsM, kJsonDecimals)
        .Num("r95_3d_m", f.R95ThreeDM, kJsonDecimals)
        .Num("mean_east_m", f.MeanEastM, kJsonDecimals)
        .Num("mean_north_m", f.MeanNorthM, kJsonDecimals)
        .Num("mean_up_m", f.MeanUpM, kJsonDecimals)
        .Num("sd_east_m", f.SdEastM, kJsonDecimals)
        .Num("sd_north_m", f.SdNorthM, kJsonDecimals)
        .Num("sd_up_m", f.SdUpM, kJsonDecimals)
        .Num("max_horizontal_m", f.MaxHorizontalM, kJsonDecimals)
        .Text("max_horizontal_time", TimeOrNull(accuracy, f.MaxHorizontalSeconds))
        .Num("vertical50_m", f.Vertical50M, kJsonDecimals)
        .Num("vertical95_m", f.Vertical95M, kJsonDecimals);
}

}  // namespace

std::string AccuracyTimeText(const Accuracy& accuracy, double seconds) {
    if (std::isnan(seconds) || !accuracy.StartTimeOfDayMs) {
        return "unknown";
    }
    const int64_t offsetMs = std::llround(seconds * 1000);
    if (accuracy.StartUnixMs) {
        return IsoUtcText(*accuracy.StartUnixMs + offsetMs);
    }
    return TimeOfDayText(*accuracy.StartTimeOfDayMs + offsetMs) + " UTC (no date)";
}

std::string AccuracyTable(const Accuracy& accuracy, std::string_view reference) {
    return TextTable(Heading(reference), ColumnsOf(accuracy));
}

std::string AccuracyJson(const Accuracy& accuracy, int indent) {
    JsonObject byQuality(indent + 2);
    for (const QualityFigures& quality : accuracy.ByQuality) {
        JsonObject one(indent + 4);
        AddFigures(one, quality.Figures, accuracy);
        byQuality.Raw(InfoOf(quality.Class).Name, one.str());
    }
    JsonObject root(indent);
    AddFigures(root, accuracy.All, accuracy);
    root.Raw("by_quality", byQuality.str());
    return root.str();
}

std::string AccuracyHtmlTable(const Accuracy& accuracy, std::string_view reference) {
    return HtmlTable(Heading(reference), ColumnsOf(accuracy));
}

std::string AccuracyComparisonTable(std::span<const NamedAccuracy> receivers, std::string_view reference) {
    return TextTable(Heading(reference), ColumnsOf(receivers));
}

std::string AccuracyComparisonHtmlTable(std::span<const NamedAccuracy> receivers,
                                        std::string_view reference) {
    return HtmlTable(Heading(reference), ColumnsOf(receivers));
}

}  // namespace tervo
