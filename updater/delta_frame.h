#pragma once

#include <cstdint>
#include <string>

// Makes the zstd frame that gives data (size bytes) from base (the file's
// earlier release, baseSize bytes, both at most kDeltaFileLimit) in zstd's
// patch mode: base as referenced prefix, long-distance matching, a window
// that covers the larger of the two, the content size and checksum in the
// frame. threads above 1 lets zstd compress a large file on that many
// threads. False when the frame would pass limit bytes (the difference does
// not pay) or zstd fails; frame is then empty.
bool MakeDeltaFrame(const unsigned char* base, uint64_t baseSize, const unsigned char* data,
                    uint64_t size, uint64_t limit, unsigned threads, std::string& frame);
