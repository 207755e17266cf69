#include "app/console_front_end.h"

#include <unistd.h>

#include <exception>
#include <string_view>
#include <vector>

#include "app/console_view.h"
#include "app/error_text.h"
#include "app/file_fields.h"
#include "app/ini.h"
#include "app/settings.h"
#include "core/paths.h"
#include "run/conversion.h"

namespace tervo {

namespace {

constexpr const char* kVersion = "5.2";

constexpr const char* kUsage =
    "Usage: tervoconverter [--format nmea|binr] INPUT OUTPUT [SETTINGS]\n"
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
    "\n"
    "Options:\n"
    "  --format nmea|binr  the format of INPUT: NMEA 0183 text (the default) or\n"
    "                      BINR binary messages\n"
    "  -h, --help          print this help and exit\n"
    "  --version           print the version and exit\n"
    "  --                  end of options: the arguments after it are paths\n"
    "\n"
    "Status texts, the progress and errors are written to standard error.\n"
    "\n"
    "Exit status:\n"
    "  0  the KMZ file was written\n"
    "  1  an unexpected error (such as memory exhausted)\n"
    "  2  bad command line\n"
    "  3  the input file could not be opened\n"
    "  4  the KML file could not be created\n"
    "  5  the conversion stopped (Operation aborted): a point list node could not\n"
    "     be allocated, or a point has no date (Date isn't found)\n"
    "  6  an icon file or the KMZ file could not be created\n"
    "  7  the KML file could not be written whole\n"
    "  8  the input file could not be read to its end\n";

struct CommandLine {
    std::vector<std::string> positional;
    bool help = false;
    bool version = false;
    bool anyOption = false;
    int32_t format = 0;
    std::string error;  // what is wrong with it; empty when nothing
};

void SetFormat(CommandLine& line, std::string_view name) {
    if (EqualNoCase(name, "nmea")) {
        line.format = 0;
    } else if (EqualNoCase(name, "binr")) {
        line.format = 1;
    } else if (line.error.empty()) {
        line.error = "unknown format '" + std::string(name) + "' (nmea or binr)";
    }
}

// Only "--" options and "-h" are options: any other argument, "-" and "-x"
// included, is a path as it always was.
CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine line;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || (arg.substr(0, 2) != "--" && arg != "-h")) {
            line.positional.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        line.anyOption = true;
        if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (arg == "--format") {
            if (i + 1 < argc) {
                SetFormat(line, argv[++i]);
            } else if (line.error.empty()) {
                line.error = "--format needs a value (nmea or binr)";
            }
        } else if (arg.substr(0, 9) == "--format=") {
            SetFormat(line, arg.substr(9));
        } else if (line.error.empty()) {
            line.error = "unknown option '" + std::string(arg) + "'";
        }
    }
    return line;
}

int BadCommandLine(std::FILE* err, const std::string& reason) {
    std::fprintf(err, "tervoconverter: %s\n%sTry 'tervoconverter --help' for more information.\n",
                 reason.c_str(), kUsage);
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

int RunBatch(const CommandLine& line, Platform& platform, SentenceAssembler& assembler, std::FILE* err) {
    const std::string programDirectory = platform.ProgramDirectory();
    MemorySettingsControls controls;
    LoadSettings(SettingsPathFromArgument(line.positional.size() >= 3 ? line.positional[2] : ""), controls);

    FileField edit1;
    Edit1Change(edit1, line.positional[0], programDirectory);
    const FileField edit6 = OutputFieldFromArgument(line.positional[1]);
    const ConversionSettings settings =
        MakeConversionSettings(controls.values(), edit1, edit6, line.format, false);

    ConsoleView view(err, isatty(fileno(err)) == 1);
    ConversionResult result = ConversionResult::Completed;
    try {
        result = RunConversion(settings, view, assembler, platform);
    } catch (const CreateFileError& error) {
        view.FinishBar();
        std::fprintf(err, "%s\n", WithFullStop(error.what()).c_str());
        return kExitFileNotCreated;
    }
    view.FinishBar();
    switch (result) {
        case ConversionResult::Completed:
            std::fprintf(err, "KMZ file written: %s\n", view.outputPath().c_str());
            return kExitCompleted;
        case ConversionResult::InputNotOpened:
            return kExitInputNotOpened;
        case ConversionResult::OutputNotCreated:
            return kExitOutputNotCreated;
        case ConversionResult::Stopped:
            std::fprintf(err, "%s\n", WithFullStop("Operation aborted").c_str());
            return kExitStopped;
        case ConversionResult::WriteFailed:
            return kExitWriteFailed;
        case ConversionResult::InputNotRead:
            return kExitInputNotRead;
    }
    return kExitOtherError;
}

}  // namespace

std::string SettingsPathFromArgument(const std::string& argument) {
    if (!argument.empty() && argument.front() == '/') {
        return argument;
    }
    return "./" + argument;
}

bool IsConsoleCommandLine(int argc, char** argv) {
    const CommandLine line = ParseCommandLine(argc, argv);
    return line.positional.size() >= 2 || line.anyOption;
}

int RunConsoleFrontEnd(int argc, char** argv, Platform& platform, SentenceAssembler& assembler,
                       std::FILE* err) {
    return RunConsoleFrontEnd(argc, argv, platform, assembler, stdout, err);
}

int RunConsoleFrontEnd(int argc, char** argv, Platform& platform, SentenceAssembler& assembler,
                       std::FILE* out, std::FILE* err) {
    const CommandLine line = ParseCommandLine(argc, argv);
    if (!line.error.empty()) {
        return BadCommandLine(err, line.error);
    }
    if (line.help) {
        std::fprintf(out, "%s%s", kUsage, kHelp);
        return std::fflush(out) == 0 ? kExitCompleted : kExitOtherError;
    }
    if (line.version) {
        std::fprintf(out, "tervoconverter %s\n", kVersion);
        return std::fflush(out) == 0 ? kExitCompleted : kExitOtherError;
    }
    if (line.positional.size() < 2) {
        return BadCommandLine(err, "an input file and an output name are needed");
    }
    if (line.positional[0].empty() || line.positional[1].empty()) {
        return BadCommandLine(err, "the input file and the output name must not be empty");
    }
    try {
        return RunBatch(line, platform, assembler, err);
    } catch (const std::exception& error) {
        std::fprintf(err, "%s\n", WithFullStop(error.what()).c_str());
        return kExitOtherError;
    }
}

}  // namespace tervo
