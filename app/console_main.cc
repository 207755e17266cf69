// The console front end: tervoconverter INPUT OUTPUT [SETTINGS] converts and exits.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/console_view.h"
#include "core/conversion.h"
#include "core/platform.h"
#include "nmea/sentence.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tervoconverter INPUT OUTPUT [SETTINGS]\n");
        return 64;
    }
    tervo::SystemPlatform platform;
    tervo::SentenceAssembler assembler;
    tervo::ConsoleView view(stderr, isatty(STDERR_FILENO) == 1);

    tervo::ConversionSettings settings;
    settings.InputPath = argv[1];
    settings.InputName = tervo::FileNamePart(argv[1]);
    std::string output = argv[2];
    settings.OutputName = tervo::FileNamePart(output);
    settings.OutputPath = output.find('/') == std::string::npos ? std::string() : output;
    try {
        tervo::ConversionResult result = tervo::RunConversion(settings, view, assembler, platform);
        view.FinishBar();
        if (result == tervo::ConversionResult::Completed) {
            std::fprintf(stderr, "Output: %s\n", view.outputPath().c_str());
            return 0;
        }
        return 1 + static_cast<int>(result);
    } catch (const tervo::CreateFileError& error) {
        view.FinishBar();
        std::fprintf(stderr, "%s.\n", error.what());
        return 5;
    }
}
