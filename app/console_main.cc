// The program without a window: the batch command line alone.
#include <cstdio>

#include "app/console_front_end.h"
#include "core/platform.h"
#include "nmea/sentence.h"

int main(int argc, char** argv) {
    tervo::SystemPlatform platform;
    tervo::SentenceAssembler assembler;
    return tervo::RunConsoleFrontEnd(argc, argv, platform, assembler, stderr);
}
