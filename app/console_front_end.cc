#include "app/console_front_end.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <exception>
#include <string_view>
#include <vector>

#include "app/console_view.h"
#include "app/error_text.h"
#include "app/file_fields.h"
#include "app/ini.h"
#include "app/live_console.h"
#include "app/many_logs.h"
#include "app/run_ending.h"
#include "app/settings.h"
#include "app/summary_output.h"
#include "app/version.h"
#include "core/paths.h"
#include "report/summary.h"
#include "run/conversion.h"

namespace tervo {

namespace {

constexpr const char* kVersion = kProgramVersion;

constexpr const char* kUsage =
    "Usage: tervoconverter [--format nmea|binr] INPUT OUTPUT [SETTINGS]\n"
    "       tervoconverter [OPTIONS] --out-dir DIR LOG...\n"
    "       tervoconverter [OPTIONS] --merge OUT.kmz LOG...\n"
    "       tervoconverter [OPTIONS] --live SOURCE OUTPUT.kmz [SETTINGS]\n"
    "       tervoconverter --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "Converts the receiver log INPUT into the KMZ file OUTPUT with the display\n"
    "settings of the INI file SETTINGS, then exits.\n"
    "\n"
    "Paths:\n"
    "  INPUT     relative to the program's directory.\n"
    "  OUTPUT    a file name in the program's directory; the KML file and the\n"
    "            icons are made beside it and deleted once packed into it.\n"
    "  SETTINGS  relative to the current directory. Without it, or when it names\n"
    "            no file, the built-in settings apply; the program's own settings\n"
    "            file is not read. Keys missing from the file keep the starting\n"
    "            values: white colours and a D-Track width of 1.\n"
    "  An absolute path is used as it stands; for OUTPUT its directory then holds\n"
    "  the KML file, the icons and the KMZ file.\n"
    "  Every other relative path, of every other form and of every option (a\n"
    "  log alone with --summary, --out-dir, --merge, --settings ...), is taken\n"
    "  relative to the current directory.\n"
    "\n"
    "Several logs:\n"
    "  --out-dir DIR LOG...   converts each LOG into DIR/<LOG's file name>.kmz\n"
    "  --merge OUT.kmz LOG... writes one KMZ file with a folder for each LOG, each\n"
    "                         log's track and arrows in a colour of their own\n"
    "  --jobs N               converts N logs at once (1 to 64; default 2)\n"
    "  --settings FILE        the settings file of every log\n"
    "  A line is printed as each log finishes, a table at the end; the exit status\n"
    "  is the first failing log's, in the order given.\n"
    "\n"
    "A receiver live:\n"
    "  --live SOURCE OUTPUT.kmz [SETTINGS]\n"
    "                         receives from SOURCE until Ctrl+C (SIGINT) or SIGTERM\n"
    "                         and keeps OUTPUT.kmz refreshed; OUTPUT-live.kml beside\n"
    "                         it links to it: open that once in Google Earth or\n"
    "                         CesiumJS. At the end OUTPUT.kmz is the conversion of\n"
    "                         all that was received. SOURCE is one of\n"
    "                           /dev/ttyUSB0[:BAUD]  a serial device, 8N1, BAUD 4800\n"
    "                                                to 921600 (default 4800)\n"
    "                           tcp://HOST:PORT      a receiver's or caster's stream\n"
    "                           gpsd://HOST[:PORT]   a running gpsd (port 2947)\n"
    "                           -                    standard input\n"
    "  --refresh SECONDS      rewrite OUTPUT.kmz this often (0.1 to 3600; default 2)\n"
    "  --record FILE          keep every byte received in FILE, which must not exist;\n"
    "                         converting FILE later gives the same KMZ file\n"
    "\n"
    "Options:\n"
    "  --format nmea|binr  the format of INPUT: NMEA 0183 text (the default) or\n"
    "                      BINR binary messages\n"
    "  -h, --help          print this help and exit\n"
    "  --version           print the version and exit\n"
    "  --                  end of options: the arguments after it are paths\n"
    "  Any other argument that starts with \"-\" is a bad command line; a path that\n"
    "  starts with \"-\" goes after \"--\".\n"
    "\n"
    "Status texts, the progress and errors are written to standard error.\n"
    "\n"
    "Exit status:\n"
    "  0  the KMZ file was written\n"
    "  1  an unexpected error (such as memory exhausted)\n"
    "  2  bad command line\n"
    "  3  the input file (or the reference log) could not be opened\n"
    "  4  the KML file could not be created\n"
    "  5  the conversion stopped (Operation aborted): a point list node could not\n"
    "     be allocated, or a point has no date (Date isn't found)\n"
    "  6  an icon file or the KMZ file could not be created\n"
    "  7  the KML file could not be written whole\n"
    "  8  the input file (or the reference log) could not be read to its end\n"
    "  9  the input looks like the other format (nothing of the chosen one was\n"
    "     found at its start), or no position was found in it, or no fix matched\n"
    "     the reference of the accuracy (the KMZ file is written all the same)\n"
    " 10  the KMZ file was written, but an export beside it (--export) could not\n"
    "     be written\n";

struct CommandLine {
    std::vector<std::string> positional;
    LogFormat format = LogFormat::Nmea;
    Extras extras;  // the extras the options ask for; they override the settings file's
    // The forms for several logs (see many_logs.h); `manyOptions` counts their options.
    ManyLogsLine many;
    size_t manyOptions = 0;
    // The live form (see live_console.h); `liveOptions` counts --refresh and --record.
    LiveLine live;
    bool isLive = false;
    size_t liveOptions = 0;
};

// How the help names an option's value: "N", "X", the choices, "quality|speed",
// or what a text is, "FILE".
std::string ExtraValueName(const ExtraKey& key) {
    if (key.Kind == ExtraKind::Text) {
        return key.TextMeaning;
    }
    if (key.Kind != ExtraKind::Choice) {
        return key.Kind == ExtraKind::Count ? "N" : "X";
    }
    std::string names;
    for (const char* name : key.Choices) {
        names += (names.empty() ? "" : "|") + std::string(name);
    }
    return names;
}

// What parsing decided besides the command line itself.
enum class Parsed {
    Run,
    Help,
    Version,
    Error,
};

// The options and paths of the command line, by CLI11's rules: "--" ends the
// options, a lone "-" is a path, and any other argument that starts with "-"
// must be a known option. `reason` receives CLI11's one-line reason on Error.
Parsed ParseCommandLine(int argc, char** argv, CommandLine& line, std::string& reason) {
    CLI::App app("tervoconverter", "tervoconverter");
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version", std::string("tervoconverter ") + kVersion);
    std::string format = "nmea";
    app.add_option("--format", format, "the format of INPUT")
        ->transform(CLI::IsMember({"nmea", "binr"}, CLI::ignore_case));
    // Arguments after the third are ignored, as they always were.
    app.add_option("paths", line.positional, "INPUT OUTPUT [SETTINGS]");
    CLI::Option* outDir = app.add_option("--out-dir", line.many.outDir, "convert each LOG into DIR");
    CLI::Option* merge = app.add_option("--merge", line.many.mergePath, "merge the LOGs into OUT.kmz");
    outDir->excludes(merge);
    CLI::Option* live =
        app.add_option("--live", line.live.source, "receive from SOURCE")->excludes(outDir, merge);
    CLI::Option* refresh = app.add_option("--refresh", line.live.refreshSeconds, "seconds between refreshes")
                               ->check(CLI::Range(kMinRefreshSeconds, kMaxRefreshSeconds));
    CLI::Option* record =
        app.add_option("--record", line.live.recordPath, "keep every byte received in FILE");
    CLI::Option* jobs =
        app.add_option("--jobs", line.many.jobs, "logs converted at once")->check(CLI::Range(1, 64));
    CLI::Option* settings = app.add_option("--settings", line.many.settingsPath, "the settings file");
    for (const ExtraKey& key : ExtraKeys()) {
        if (key.Kind == ExtraKind::Flag) {
            app.add_flag_callback(
                key.Option, [&line, &key] { SetExtra(line.extras, key, "1"); }, key.Help);
            continue;
        }
        auto set = [&line, &key](const std::string& text) {
            if (!SetExtra(line.extras, key, text)) {
                throw CLI::ValidationError(key.Option, WhyRefused(key, text));
            }
        };
        if (key.Repeatable) {
            // Each time with one value of its own: "--export gpx LOG OUT" leaves the paths alone.
            app.add_option_function<std::vector<std::string>>(
                   key.Option,
                   [set](const std::vector<std::string>& texts) {
                       std::string list;
                       for (const std::string& text : texts) {
                           list += (list.empty() ? "" : ",") + text;
                       }
                       set(list);
                   },
                   key.Help)
                ->type_size(1)
                ->expected(1)
                ->allow_extra_args(false)
                ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                ->type_name(ExtraValueName(key));
            continue;
        }
        app.add_option_function<std::string>(key.Option, set, key.Help)->type_name(ExtraValueName(key));
    }
    try {
        app.parse(argc, argv);
        if (line.extras.ReferencePoint && line.extras.ReferenceLog) {
            throw CLI::ValidationError(
                "--reference-point and --reference-log exclude each other: name one "
                "reference");
        }
    } catch (const CLI::CallForHelp&) {
        return Parsed::Help;
    } catch (const CLI::CallForVersion&) {
        return Parsed::Version;
    } catch (const CLI::ParseError& error) {
        reason = error.what();
        return Parsed::Error;
    }
    line.format = format == "binr" ? LogFormat::Binr : LogFormat::Nmea;
    line.manyOptions = outDir->count() + merge->count() + jobs->count() + settings->count();
    line.isLive = live->count() > 0;
    line.liveOptions = refresh->count() + record->count();
    return Parsed::Run;
}

// The extras under the titles of their groups, each with its option, its key in
// the settings file and its range.
std::string ExtrasHelp() {
    constexpr size_t kTextColumn = 24;
    std::string text =
        "\nExtras (off unless asked for; each also a key of the [Extras] section of the\n"
        "settings file, which an option overrides):\n";
    for (const ExtraGroupTitle& group : ExtraGroups()) {
        const std::span<const ExtraKey> keys = ExtraKeysOf(group.Group);
        if (keys.empty()) {
            continue;
        }
        text += std::string("\n  ") + group.Title + ":\n";
        for (const ExtraKey& key : keys) {
            std::string head = std::string("    ") + key.Option;
            if (key.Kind != ExtraKind::Flag) {
                head += " " + ExtraValueName(key);
            }
            head.resize(std::max(head.size() + 1, kTextColumn), ' ');
            text += head + key.Help + "\n" + std::string(kTextColumn, ' ') + "[Extras] " + key.Key;
            if (key.Kind == ExtraKind::Flag) {
                text += "=1\n";
            } else if (key.Kind == ExtraKind::Choice || key.Kind == ExtraKind::Text) {
                text += "=" + ExtraValueName(key) + "\n";
            } else {
                text += "=" + std::string(key.Kind == ExtraKind::Count ? "N" : "X") + ", " +
                        ExtraValueText(key, key.Min) + " to " + ExtraValueText(key, key.Max) + "\n";
            }
        }
    }
    return text;
}

int BadCommandLine(std::FILE* err, const std::string& reason) {
    std::fprintf(err, "tervoconverter: %s\n%sRun with --help for more information.\n", reason.c_str(),
                 kUsage);
    return kExitBadCommandLine;
}

// The output argument: a name in the program's directory (no full path, as the
// output field has before anything was chosen), or an absolute path whose
// directory then takes every file of the run.
FileField OutputFieldFromArgument(const std::string& argument) {
    FileField edit6;
    edit6.text = argument;
    if (!argument.empty() && argument.front() == '/') {
        edit6.fullPath = argument;
        edit6.text = FileNamePart(argument);
    }
    return edit6;
}

// Whether the command line asks only for a summary of INPUT: a summary option
// and INPUT alone.
bool SummaryOnly(const CommandLine& line) {
    return line.positional.size() == 1 &&
           (line.extras.Summary.value_or(0) != 0 || line.extras.SummaryJson.value_or(0) != 0);
}

// The summaries `extras` ask for, on `out`: the table, then the JSON.
bool PrintSummaries(std::FILE* out, const Extras& extras, const RunReport& report) {
    std::fputs(SummaryOutput(extras, report).c_str(), out);
    return std::fflush(out) == 0 && std::ferror(out) == 0;
}

// The positional form, INPUT OUTPUT [SETTINGS], whose INPUT and OUTPUT are
// taken from the program's directory; and the summary form, INPUT alone, a
// form of its own whose INPUT is taken from the current directory.
ConversionSettings BatchSettings(const CommandLine& line, Platform& platform, std::FILE* err) {
    const bool summaryOnly = SummaryOnly(line);
    const std::optional<std::string> settingsPath =
        line.positional.size() >= 3 ? std::optional(SettingsPathFromArgument(line.positional[2]))
                                    : std::nullopt;
    const WindowSettings values = LoadCommandLineSettings(settingsPath, line.extras, err);
    FileField edit1;
    if (summaryOnly) {
        edit1.text = line.positional[0];
        edit1.fullPath = AbsoluteFrom(line.positional[0], CurrentDirectory());
    } else {
        Edit1Change(edit1, line.positional[0], platform.ProgramDirectory());
    }
    const FileField edit6 = OutputFieldFromArgument(summaryOnly ? "" : line.positional[1]);
    return MakeConversionSettings(values, edit1, edit6, line.format, false);
}

int RunBatch(const CommandLine& line, Platform& platform, SentenceAssembler& assembler, std::FILE* out,
             std::FILE* err, AllocationGate* gate) {
    const bool summaryOnly = SummaryOnly(line);
    const ConversionSettings settings = BatchSettings(line, platform, err);
    if (const std::string conflict = ExtrasConflict(settings.Extras); !conflict.empty()) {
        return BadCommandLine(err, conflict);
    }
    ConsoleView view(err, isatty(fileno(err)) == 1);
    DiskFiles files(settings, platform);
    ConversionResult result = ConversionResult::Completed;
    RunReport report;
    try {
        result = summaryOnly ? SummariseLog(settings, view, assembler, platform, files, report, gate)
                             : RunConversion(settings, view, assembler, platform, files, gate, &report);
    } catch (const CreateFileError&) {
        view.FinishBar();
        return PrintEnding(err, EndingOfError(std::current_exception()));
    } catch (...) {
        view.FinishBar();
        throw;
    }
    view.FinishBar();
    if (result == ConversionResult::Completed) {
        if (!summaryOnly && report.Pieces.empty()) {
            std::fprintf(err, "KMZ file written: %s\n", view.outputPath().c_str());
        } else if (!summaryOnly) {
            std::fprintf(err, "KMZ files written, one for each piece of the log:\n");
            for (const WrittenPiece& piece : report.Pieces) {
                std::fprintf(err, "  %s  Waypoints %d\n", piece.Path.c_str(), piece.Placemarks);
            }
        }
        if (!PrintSummaries(out, settings.Extras, report)) {
            std::fprintf(err, "tervoconverter: the summary could not be written to standard output\n");
            return kExitOtherError;
        }
    }
    return PrintEnding(err, EndingOf(result, report, settings.InputPath));
}

// The --out-dir and --merge forms: every positional argument is a log.
int RunManyLogsForm(CommandLine& line, Platform& platform, std::FILE* out, std::FILE* err,
                    AllocationGate* gate) {
    ManyLogsLine& many = line.many;
    if (many.outDir.empty() && many.mergePath.empty()) {
        return BadCommandLine(err, "--jobs and --settings go with --out-dir DIR or --merge OUT.kmz");
    }
    if (!many.mergePath.empty() && (line.extras.SplitGap || line.extras.SplitDay.value_or(0) != 0)) {
        return BadCommandLine(err,
                              "--split-gap and --split-day do not go with --merge, which writes one file");
    }
    many.logs = line.positional;
    many.format = line.format;
    many.extras = line.extras;
    if (many.logs.empty()) {
        return BadCommandLine(err, "at least one log is needed");
    }
    std::vector<std::string> names;
    for (const std::string& log : many.logs) {
        if (log.empty()) {
            return BadCommandLine(err, "a log's path must not be empty");
        }
        names.push_back(FileNamePart(log));
    }
    std::sort(names.begin(), names.end());
    const auto twice = std::adjacent_find(names.begin(), names.end());
    if (!many.outDir.empty() && twice != names.end()) {
        return BadCommandLine(err, "two logs named " + *twice + " would both be written to " +
                                       ProposedOutputPath(*twice) + " in " + many.outDir);
    }
    return RunManyLogs(many, platform, out, err, gate);
}

// The live form: SOURCE, then OUTPUT.kmz [SETTINGS].
int RunLiveForm(CommandLine& line, Platform& platform, std::FILE* err) {
    if (!line.isLive) {
        return BadCommandLine(err, "--refresh and --record go with --live SOURCE");
    }
    if (line.manyOptions > 0) {
        return BadCommandLine(err, "--live takes neither --jobs nor --settings");
    }
    if (line.positional.empty() || line.positional.size() > 2) {
        return BadCommandLine(err, "--live SOURCE takes OUTPUT.kmz and an optional SETTINGS file");
    }
    if (line.positional[0].empty() || line.live.source.empty()) {
        return BadCommandLine(err, "the source and the output name must not be empty");
    }
    if (line.extras.SplitGap || line.extras.SplitDay.value_or(0) != 0) {
        return BadCommandLine(err,
                              "--split-gap and --split-day do not go with --live, which keeps one KMZ file");
    }
    line.live.positional = line.positional;
    line.live.format = line.format;
    line.live.extras = line.extras;
    try {
        return RunLiveConsole(line.live, platform, err);
    } catch (...) {
        return PrintEnding(err, EndingOfError(std::current_exception()));
    }
}

}  // namespace

int PrintEnding(std::FILE* err, const RunEnding& ending) {
    if (ending.Kind == EndingKind::Error) {
        std::fprintf(err, "%s\n", WithFullStop(ending.Text).c_str());
    } else if (ending.Kind == EndingKind::Note) {
        std::fprintf(err, "tervoconverter: %s\n", ending.Text.c_str());
    }
    const std::string where = WhereText(ending);
    if (!where.empty()) {
        std::fprintf(err, "  %s\n", where.c_str());
    }
    if (!ending.Advice.empty()) {
        std::fprintf(err, "  %s\n", ending.Advice.c_str());
    }
    return ending.Status;
}

std::string SettingsPathFromArgument(const std::string& argument) {
    if (!argument.empty() && argument.front() == '/') {
        return argument;
    }
    return "./" + argument;
}

bool IsConsoleCommandLine(int argc, char** argv) {
    int paths = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            return paths + (argc - i - 1) >= 2;
        }
        if (arg.size() > 1 && arg.front() == '-') {
            return true;
        }
        ++paths;
    }
    return paths >= 2;
}

int RunConsoleFrontEnd(int argc, char** argv, Platform& platform, SentenceAssembler& assembler,
                       std::FILE* err) {
    return RunConsoleFrontEnd(argc, argv, platform, assembler, stdout, err);
}

int RunConsoleFrontEnd(int argc, char** argv, Platform& platform, SentenceAssembler& assembler,
                       std::FILE* out, std::FILE* err, AllocationGate* gate) {
    CommandLine line;
    std::string reason;
    switch (ParseCommandLine(argc, argv, line, reason)) {
        case Parsed::Error:
            return BadCommandLine(err, reason);
        case Parsed::Help:
            std::fprintf(out, "%s%s%s", kUsage, kHelp, ExtrasHelp().c_str());
            return std::fflush(out) == 0 ? kExitCompleted : kExitOtherError;
        case Parsed::Version:
            std::fprintf(out, "tervoconverter %s\n", kVersion);
            return std::fflush(out) == 0 ? kExitCompleted : kExitOtherError;
        case Parsed::Run:
            break;
    }
    if (line.isLive || line.liveOptions > 0) {
        return RunLiveForm(line, platform, err);
    }
    if (line.manyOptions > 0) {
        try {
            return RunManyLogsForm(line, platform, out, err, gate);
        } catch (...) {
            return PrintEnding(err, EndingOfError(std::current_exception()));
        }
    }
    if (line.positional.size() < 2 && !SummaryOnly(line)) {
        return BadCommandLine(err, "an input file and an output name are needed");
    }
    if (line.positional[0].empty() || (!SummaryOnly(line) && line.positional[1].empty())) {
        return BadCommandLine(err, "the input file and the output name must not be empty");
    }
    try {
        return RunBatch(line, platform, assembler, out, err, gate);
    } catch (...) {
        return PrintEnding(err, EndingOfError(std::current_exception()));
    }
}

}  // namespace tervo
