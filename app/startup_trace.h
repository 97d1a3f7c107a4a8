#pragma once

// Marks the end of one step of the launcher's start, up to its first painted
// frame. The launcher's own definition does nothing; the start-up benchmark
// links one that times every step (bench/startup_trace.cpp).
void MarkStartupStep(const char* step);
