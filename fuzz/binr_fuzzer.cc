// Fuzz target: BINR log bytes through the framer, the message decoders and the
// read loop into the KML writers, all in memory. The first byte also picks the
// four options (see SettingsFromFirstByte), the last two the extras
// (ExtrasFromLastBytes).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/extras_checks.h"
#include "fuzz/in_memory_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view log(reinterpret_cast<const char*>(data), size);
    tervo::ConversionSettings settings = tervo::fuzzing::SettingsFromFirstByte(log, 1);
    settings.Extras = tervo::fuzzing::ExtrasFromLastBytes(log, 1);
    const tervo::fuzzing::InMemoryRun run = tervo::fuzzing::ConvertInMemory(log, settings);
    tervo::fuzzing::AbortUnlessSound(run, size);
    tervo::fuzzing::AbortUnlessExtrasSound(run, size);
    return 0;
}
