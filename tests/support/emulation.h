#pragma once

#include <cstdlib>

// Writer threads for the extractions of a test: 0 (one per core) normally,
// and 1 in the emulated 32-bit run (cmake/emulated-run.sh), where 32-bit
// Wine under user-mode emulation ends the process on an internal assertion
// as soon as several threads read and write files at once. The x64 suite
// and a native 32-bit run extract on every core.
inline unsigned TestExtractionThreads() {
    const char* emulated = std::getenv("VANTORA_EMULATED_RUN");
    return emulated != nullptr && emulated[0] == '1' ? 1u : 0u;
}
