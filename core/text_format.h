// Text helpers every writer shares: numbers as printf prints them in the C
// locale, whatever the process locale, and the UTF-8 check behind escaping.
#pragma once

#include <cstddef>

namespace tervo {

// "%.Nf" of value in the C locale into `out` (at least 350 bytes); returns the length.
size_t FormatFixed(double value, int decimals, char* out);

// The length of the valid UTF-8 sequence at `s` (which has `n` bytes, n >= 1),
// 0 when it is not one: an overlong form, a surrogate, U+FFFE, U+FFFF, or a code
// point beyond U+10FFFF count as invalid too.
size_t Utf8SequenceLength(const unsigned char* s, size_t n);

}  // namespace tervo
