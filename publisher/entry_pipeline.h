#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "publisher/zip_writer.h"

// One block of an entry in the form the archive keeps it.
struct EncodedBlock {
    std::string bytes;
    uint64_t length = 0;  // the entry bytes it stands for
    uint32_t crc = 0;     // CRC-32 of those bytes
};

// An archive entry: a folder, or bytes made of blocks that workers encode
// independently and the archive takes in order.
struct PipelineEntry {
    RawEntry header;
    bool folder = false;
    size_t blocks = 0;
    // Encodes block index of the entry; called on any worker, beside the
    // other blocks. False, with a message in error, on failure.
    std::function<bool(size_t index, EncodedBlock& block, std::wstring& error)> encode;
};

struct PipelineOptions {
    unsigned threads = 0;  // encoding workers; 0: one per core
    // Blocks encoded ahead of the writer, per worker: what bounds memory.
    unsigned blocksPerThread = 3;
};

// Writes entries to zip in their order while workers encode the blocks
// ahead. onBlock receives the length of each block written, onEntry the
// index of each file entry completed, both on the calling thread. False,
// with a message in error, at the first failure; the archive is then
// incomplete.
bool WriteEntries(ZipWriter& zip, const std::vector<PipelineEntry>& entries,
                  const PipelineOptions& options, std::wstring& error,
                  const std::function<void(uint64_t length)>& onBlock = nullptr,
                  const std::function<void(size_t entry)>& onEntry = nullptr);
