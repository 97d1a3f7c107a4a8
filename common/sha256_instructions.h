#pragma once

#include <cstddef>
#include <cstdint>

// SHA-256 on the processor's own SHA instructions (x86 SHA extensions),
// where it has them. The system's implementation does not use them on
// Windows 7 (nor under Wine), where this is several times faster.

// True when this processor has the SHA extensions (and SSE4.1).
bool ProcessorHasSha256();

// Runs the compression function over `blocks` blocks of 64 bytes at data;
// only where ProcessorHasSha256().
void Sha256ProcessorBlocks(uint32_t state[8], const unsigned char* data, size_t blocks);
