// How a run ended, said once for every front end: the console prints it, the
// many-logs form prints it on one line per log, the window shows its errors.
// The run's result and report say why it ended; nothing here reads a status
// text to learn what happened.
#pragma once

#include <exception>
#include <string>

#include "run/conversion.h"

namespace tervo {

// The exit statuses; scripts rely on these numbers.
enum ExitStatus : int {
    kExitCompleted = 0,
    kExitOtherError = 1,  // an unexpected error (such as memory exhausted)
    kExitBadCommandLine = 2,
    kExitInputNotOpened = 3,    // "Can't open the input file"
    kExitOutputNotCreated = 4,  // "Can't create the output file"
    kExitStopped = 5,           // "Operation aborted" after "Can't create the list!" or "Date isn't found"
    kExitFileNotCreated = 6,    // "Cannot create file <path>": an icon or the KMZ file
    kExitWriteFailed = 7,       // the KML file could not be written whole
    kExitInputNotRead = 8,      // "Can't read the input file": a read error before its end
    kExitWrongFormat = 9,       // the log looks like the other format, no position was found in it, or
                                // no epoch matched the reference of the accuracy
    kExitExportFailed = 10,     // the KMZ file was written, but an export beside it could not be
};

enum class EndingKind {
    Completed,   // nothing to say but what the front end reports of a success
    ShownByRun,  // the run's own status text said it: Text is that text
    Error,       // an error the run's status texts did not show: Text is its message
    Note,        // the front end's remark on a run that ended: Text is the remark
};

struct RunEnding {
    int Status = kExitCompleted;
    EndingKind Kind = EndingKind::Completed;
    // "Can't open the input file", "Operation aborted", "Cannot create file
    // /data/x.kmz", "the input looks like a BINR log; use --format binr", "no
    // position found in /data/x.nmea"; empty for a plain completed run.
    std::string Text;
    // What to do about it, a sentence; empty when there is nothing to say.
    std::string Advice;
    // The file concerned and the system's reason for it; both empty when no
    // file is concerned, the reason empty when the system gave none.
    std::string Path;
    std::string Reason;
};

// The ending of a run that returned `result` with `report`; `inputPath` names
// the log.
RunEnding EndingOf(ConversionResult result, const RunReport& report, const std::string& inputPath);

// The ending of a run that threw `error`: CreateFileError, or anything else.
RunEnding EndingOfError(const std::exception_ptr& error);

// The ending of a live run that could not start: `failure` names the file it
// could not make (the recording, the live directory or the link file), the
// recording when `recording`.
RunEnding EndingOfLiveStart(const FileFailure& failure, bool recording);

// "path: reason", "path", or empty: where it happened.
std::string WhereText(const RunEnding& ending);

// The ending on one line: its text, where in parentheses, then the advice.
std::string OneLine(const RunEnding& ending);

}  // namespace tervo
