#include "core/log_pieces.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tervo {
namespace {

// Points from words: "10:00:05" a timed point, "2024-05-17/10:00:05" one with
// its date, "-" one without a time. A fraction after the seconds is in
// milliseconds ("10:00:00.500").
std::vector<waypoints> Points(const std::string& words) {
    std::vector<waypoints> points;
    std::istringstream in(words);
    for (std::string word; in >> word;) {
        waypoints& point = points.emplace_back();
        if (word == "-") {
            continue;
        }
        const size_t slash = word.find('/');
        if (slash != std::string::npos) {
            point.Date = word.substr(0, slash);
            word = word.substr(slash + 1);
        }
        point.Time = word;
        point.TimeMs = std::stoi(word.substr(0, 2)) * 3600000 + std::stoi(word.substr(3, 2)) * 60000 +
                       std::stoi(word.substr(6, 2)) * 1000 +
                       (word.size() > 9 ? std::stoi(word.substr(9)) : 0);
    }
    return points;
}

std::vector<const waypoints*> Pointers(const std::vector<waypoints>& points) {
    std::vector<const waypoints*> out;
    for (const waypoints& p : points) {
        out.push_back(&p);
    }
    return out;
}

// "[0,2)" per piece; by day followed by its day ("2024-05-17" is day 19860) or
// "+N" for a piece without a day, N its RelativeDay.
std::string Text(const std::vector<LogPiece>& pieces) {
    std::string out;
    for (const LogPiece& p : pieces) {
        out += "[" + std::to_string(p.Begin) + "," + std::to_string(p.End) + ")";
        if (p.Day) {
            out += std::to_string(*p.Day);
        } else if (p.RelativeDay != 0) {
            out += "+" + std::to_string(p.RelativeDay);
        }
        out += " ";
    }
    return out;
}

struct SplitCase {
    const char* catches;
    const char* points;
    const char* expected;
};

TEST(LogPieces, CutAtGapsLongerThanTheSecondsBetweenTimedPoints) {
    const SplitCase cases[] = {
        {"a gap of exactly the seconds cut, or 90 s not", "10:00:00 10:00:30 10:01:30 10:03:00",
         "[0,3) [3,4) "},
        {"an untimed point starting a piece or measured as midnight", "10:00:00 - 10:05:00 -",
         "[0,2) [2,4) "},
        {"leading untimed points in a piece of their own", "- - 10:00:00 10:00:01", "[0,4) "},
        {"midnight taken as a day-long step back", "23:59:30 00:00:10", "[0,2) "},
        {"a gap across midnight missed", "23:59:30 00:05:00", "[0,1) [1,2)+1 "},
        {"time running back by an hour not cut", "10:00:00 09:00:00 09:00:01", "[0,1) [1,3) "},
        {"the dates ignored: a day and 10 s", "2024-05-17/10:00:00 2024-05-18/10:00:10", "[0,1) [1,2) "},
        {"a date against no date measured from day 0", "10:00:00 2024-05-17/10:00:10", "[0,2) "},
        {"no points giving a piece", "", ""},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.catches);
        const std::vector<waypoints> points = Points(c.points);
        EXPECT_EQ(Text(SplitAtGaps(Pointers(points), 60)), c.expected);
    }
    const std::vector<waypoints> points = Points("10:00:00.000 10:00:00.500 10:00:01.100");
    EXPECT_EQ(Text(SplitAtGaps(Pointers(points), 0.5)), "[0,2) [2,3) ") << "the fraction of a second lost";
}

TEST(LogPieces, CutWhereTheUtcDayChanges) {
    const SplitCase cases[] = {
        {"the dates not followed", "2024-05-17/23:59:59 2024-05-18/00:00:00 2024-05-18/00:00:01",
         "[0,1)19860 [1,3)19861 "},
        {"a point without a date not stepped over midnight", "2024-05-17/23:59:59 00:00:00 00:00:01",
         "[0,1)19860 [1,3)19861 "},
        {"points before the first date not counted back over midnight",
         "23:59:58 23:59:59 2024-05-18/00:00:00", "[0,2)19860 [2,3)19861 "},
        {"a log without dates not cut at midnight", "23:00:00 01:00:00 - 02:00:00", "[0,1) [1,4)+1 "},
        {"days without a midnight between (a gap of days)", "2024-05-17/10:00:00 2024-05-19/11:00:00",
         "[0,1)19860 [1,2)19862 "},
        {"time running back within a day cut", "2024-05-17/10:00:00 2024-05-17/09:00:00", "[0,2)19860 "},
        {"a date that is no date taken", "2024-02-30/10:00:00 2024-05-17/10:00:01", "[0,2)19860 "},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.catches);
        const std::vector<waypoints> points = Points(c.points);
        EXPECT_EQ(Text(SplitByUtcDay(Pointers(points))), c.expected);
    }
}

TEST(LogPieces, BothRulesCutWhereEitherDoes) {
    const std::vector<waypoints> points =
        Points("2024-05-17/23:00:00 2024-05-17/23:59:59 2024-05-18/00:00:00 2024-05-18/00:10:00");
    EXPECT_EQ(Text(SplitLog(Pointers(points), {60, true})), "[0,1)19860 [1,2)19860 [2,3)19861 [3,4)19861 ");
    EXPECT_EQ(Text(SplitLog(Pointers(points), {7200, false})), "[0,4) ") << "a day cut without being asked";
}

TEST(LogPieces, PiecePathsPutTheNumberOrTheDayBeforeTheExtension) {
    struct Case {
        const char* catches;
        const char* output;
        std::vector<LogPiece> pieces;
        bool byDay;
        std::optional<int64_t> defaultDay;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"numbered from 0, or after the extension",
         "out/drive.kmz",
         {{}, {}},
         false,
         {},
         {"out/drive-1.kmz", "out/drive-2.kmz"}},
        {"a full stop of the directory taken for the extension",
         "a.b/drive",
         {{}},
         false,
         {},
         {"a.b/drive-1"}},
        {"the first full stop taken", "drive.tar.kmz", {{}}, false, {}, {"drive.tar-1.kmz"}},
        {"a day again overwriting the first piece of that day",
         "drive.kmz",
         {{0, 1, 19860}, {1, 2, 19861}, {2, 3, 19860}},
         true,
         {},
         {"drive-2024-05-17.kmz", "drive-2024-05-18.kmz", "drive-2024-05-17-2.kmz"}},
        {"the default day not stepped by the midnights",
         "drive.kmz",
         {{0, 1, {}, 0}, {1, 2, {}, 1}},
         true,
         19860,
         {"drive-2024-05-17.kmz", "drive-2024-05-18.kmz"}},
        {"no day at all",
         "drive.kmz",
         {{0, 1, {}, 0}, {1, 2, {}, 1}},
         true,
         {},
         {"drive-1.kmz", "drive-2.kmz"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.catches);
        EXPECT_EQ(PiecePaths(c.output, c.pieces, c.byDay, c.defaultDay), c.expected);
    }
}

}  // namespace
}  // namespace tervo
