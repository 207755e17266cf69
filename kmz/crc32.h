// CRC-32 of the ZIP format, as zlib's crc32 computes it, on x86-64 by carry-less
// multiplication (PCLMULQDQ) where the processor has it: some ten times faster,
// which counts for a document of hundreds of megabytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tervo {

// The CRC of `size` bytes at `data`, continuing `crc` (0 to begin).
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);

}  // namespace tervo
