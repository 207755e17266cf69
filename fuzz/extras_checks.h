// The extras a fuzz input asks for, and the checks of what they add to a run:
// the summary as the console prints it and the pictures of the container.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/in_memory_run.h"
#include "run/extras.h"

namespace tervo::fuzzing {

// The extras of a log input, from its last two bytes as a 16-bit mask: the last
// byte the low half, the one before it the high half, each first XORed with the
// format's usual ending (CR LF for NMEA, DLE ETX for BINR), so that a log as a
// receiver ends it asks for none and keeps the fuzzing of the plain run fast.
//   bit 0 a placemark every 2 s        bit 8  the track coloured by speed
//   bit 1 ... every 10 m               bit 9  the summary in the description
//   bit 2 ... at a turn of 15°         bit 10 the plots
//   bit 3 at most 2 placemarks         bit 11 the summary shown after the run
//   bits 4-5 lines within 0, 1, 1000 m bit 12 dates from ZDA
//   bit 6 hourly regions               bit 13 the viewer preset
//   bit 7 the track coloured by quality (bit 8 wins)
//   bit 14 the track in time, and the filters: at least a single fix, an HDOP
//          of at most 5, at least 4 satellites used
//   bit 15 the accuracy against the mean of the fixes (with bits 7 and 8 the
//          track coloured by the error)
Extras ExtrasFromLastBytes(std::string_view log, int32_t format);

// "" when the text is one JSON value (RFC 8259: no NaN, no raw control
// characters in strings, nothing after it but white space), else what is wrong.
std::string JsonError(std::string_view text);

// Prints what is wrong with what a completed run's extras made, with the
// input's size, and aborts: the summary's JSON, and any entry of the container
// or plot of the report that is no PNG. Formats the summary's table as well, so
// that the sanitizers see it.
void AbortUnlessExtrasSound(const InMemoryRun& run, size_t inputSize);

}  // namespace tervo::fuzzing
