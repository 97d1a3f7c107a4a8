#include "app/startup_trace.h"

// Alone in its file, so that a program that defines its own is linked
// without this one.
void MarkStartupStep(const char*) {}
