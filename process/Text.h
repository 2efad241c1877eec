#pragma once
// Small text helpers shared by the core: numbers read the way atoi reads
// them, and copies that never run past either end.

#include <cstddef>

namespace orvane {

// Leading white space, an optional sign, then decimal digits up to the first
// other character; 0 without digits. Values beyond int's range saturate
// instead of overflowing.
int ReadDecimal(const char* text);

// Copies src up to its first zero byte, reading at most srcLimit bytes and
// writing at most dstSize - 1 characters; dst is always zero-terminated.
// Returns the number of characters written.
size_t CopyBounded(char* dst, size_t dstSize, const char* src, size_t srcLimit);

}  // namespace orvane
