#include "app/run_ending.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace tervo {
namespace {

TEST(EndingOf, TellsEachEndingByTheRunsResultAndReport) {
    struct Row {
        const char* legend;
        ConversionResult result;
        StopReason stop;
        bool nothingRecognised;
        int placemarks;
        FileFailure failure;
        int status;
        EndingKind kind;
        const char* text;
        const char* oneLine;  // as the many-logs form prints it
    };
    const Row rows[] = {
        {"a plain success given a text",
         ConversionResult::Completed,
         StopReason::None,
         false,
         3,
         {},
         0,
         EndingKind::Completed,
         "",
         ""},
        {"a log without positions called a success",
         ConversionResult::Completed,
         StopReason::None,
         true,
         0,
         {},
         9,
         EndingKind::Note,
         "no position found in /d/x.nmea",
         "no position found in /d/x.nmea"},
        {"placemarks of an unrecognised log called nothing",
         ConversionResult::Completed,
         StopReason::None,
         true,
         2,
         {},
         0,
         EndingKind::Completed,
         "",
         ""},
        {"the other format not named",
         ConversionResult::LooksLikeBinr,
         StopReason::None,
         false,
         0,
         {},
         9,
         EndingKind::Note,
         "the input looks like a BINR log; use --format binr",
         "the input looks like a BINR log; use --format binr"},
        {"a missing log without its path and reason",
         ConversionResult::InputNotOpened,
         StopReason::None,
         false,
         0,
         {"/d/x.nmea", ENOENT},
         3,
         EndingKind::ShownByRun,
         "Can't open the input file",
         "Can't open the input file (/d/x.nmea: No such file or directory)"},
        {"a full disk without its reason",
         ConversionResult::WriteFailed,
         StopReason::None,
         false,
         0,
         {"/d/x.kmz", ENOSPC},
         7,
         EndingKind::ShownByRun,
         "Can't write the output file",
         "Can't write the output file (/d/x.kmz: No space left on device)"},
        {"a read error without a path when none is known",
         ConversionResult::InputNotRead,
         StopReason::None,
         false,
         0,
         {},
         8,
         EndingKind::ShownByRun,
         "Can't read the input file",
         "Can't read the input file"},
        {"a list stop given advice",
         ConversionResult::Stopped,
         StopReason::ListNotCreated,
         false,
         0,
         {},
         5,
         EndingKind::Error,
         "Operation aborted",
         "Operation aborted"},
        {"a date stop without advice",
         ConversionResult::Stopped,
         StopReason::DateNotFound,
         false,
         0,
         {},
         5,
         EndingKind::Error,
         "Operation aborted",
         "Operation aborted. A point has no date: give a fallback date with CheckBox1=1 and "
         "MaskEdit1=YYYY-MM-DD in the [Settings] section of the settings file."},
    };
    for (const Row& row : rows) {
        RunReport report;
        report.Stop = row.stop;
        report.NothingRecognised = row.nothingRecognised;
        report.Placemarks = row.placemarks;
        report.Failure = row.failure;
        const RunEnding ending = EndingOf(row.result, report, "/d/x.nmea");
        EXPECT_EQ(ending.Status, row.status) << row.legend;
        EXPECT_EQ(ending.Kind, row.kind) << row.legend;
        EXPECT_EQ(ending.Text, row.text) << row.legend;
        EXPECT_EQ(OneLine(ending), row.oneLine) << row.legend;
    }
}

TEST(EndingOf, NamesTheReferenceOfTheAccuracy) {
    struct Row {
        const char* legend;
        ConversionResult result;
        ReferenceTrouble trouble;
        int64_t unmatched;  // of the report's accuracy; -1: none
        int status;
        const char* oneLine;
    };
    const Row rows[] = {
        {"the log named for its reference", ConversionResult::InputNotOpened, ReferenceTrouble::NotOpened, -1,
         3, "Can't open the reference log (/d/t.nmea: No such file or directory)"},
        {"a reference cut short called the log's", ConversionResult::InputNotRead, ReferenceTrouble::NotRead,
         -1, 8, "Can't read the reference log (/d/t.nmea: No such file or directory)"},
        {"no matched fix called a success", ConversionResult::Completed, ReferenceTrouble::NothingMatched, 12,
         9,
         "no epoch matched the reference log t.nmea. None of the log's 12 fixes lies within the reference's "
         "times (UTC, by date when both logs have one); the KMZ file was written without the accuracy."},
        {"a log without fixes blamed on the times", ConversionResult::Completed,
         ReferenceTrouble::NothingMatched, 0, 9,
         "no epoch matched the reference log t.nmea. The log has no valid fix; the KMZ file was written "
         "without "
         "the accuracy."},
    };
    for (const Row& row : rows) {
        RunReport report;
        report.Reference = row.trouble;
        if (row.result != ConversionResult::Completed) {
            report.Failure = {"/d/t.nmea", ENOENT};
        }
        if (row.unmatched >= 0) {
            report.Accuracy = AccuracyOutcome{"the reference log t.nmea", {}};
            report.Accuracy->Result.All.UnmatchedEpochs = row.unmatched;
        }
        const RunEnding ending = EndingOf(row.result, report, "/d/x.nmea");
        EXPECT_EQ(ending.Status, row.status) << row.legend;
        EXPECT_EQ(OneLine(ending), row.oneLine) << row.legend;
    }
}

// A completed run whose exports could not all be written: its own status, each
// path with its reason, and the rule behind a refusal.
TEST(EndingOf, TellsExportsThatCouldNotBeWritten) {
    struct Row {
        const char* legend;
        std::vector<FileFailure> failures;
        const char* oneLine;
    } rows[] = {
        {"one", {{"/d/x.gpx", EISDIR}}, "Cannot write the export (/d/x.gpx: Is a directory)"},
        {"two: the second one lost",
         {{"/d/x.gpx", ENOSPC}, {"/d/x.csv", ENOSPC}},
         "Cannot write the exports (/d/x.gpx: No space left on device). Also /d/x.csv: No space left on "
         "device."},
        {"a refusal without its rule",
         {{"/d/x.csv", EEXIST}},
         "Cannot write the export (/d/x.csv: File exists). An export is never written over the log or the "
         "KMZ "
         "file itself."},
    };
    for (const Row& row : rows) {
        RunReport report;
        report.NothingRecognised = true;  // the exports' failure comes first
        report.ExportFailures = row.failures;
        const RunEnding ending = EndingOf(ConversionResult::Completed, report, "/d/x.nmea");
        EXPECT_EQ(ending.Status, kExitExportFailed) << row.legend;
        EXPECT_EQ(ending.Kind, EndingKind::Error) << row.legend;
        EXPECT_EQ(OneLine(ending), row.oneLine) << row.legend;
    }
}

TEST(EndingOfError, GivesAFileThatCouldNotBeCreatedItsOwnStatusAndReason) {
    const RunEnding created = EndingOfError(std::make_exception_ptr(CreateFileError("/d/x.kmz", EACCES)));
    EXPECT_EQ(created.Status, kExitFileNotCreated);
    EXPECT_EQ(created.Text, "Cannot create file /d/x.kmz");
    EXPECT_EQ(WhereText(created), "/d/x.kmz: Permission denied");

    const RunEnding other = EndingOfError(std::make_exception_ptr(std::bad_alloc()));
    EXPECT_EQ(other.Status, kExitOtherError);
    EXPECT_EQ(other.Kind, EndingKind::Error);
    EXPECT_EQ(WhereText(other), "");

    const RunEnding unknown = EndingOfError(std::make_exception_ptr(42));
    EXPECT_EQ(unknown.Text, "An unexpected error ended the conversion");
}

}  // namespace
}  // namespace tervo
