#pragma once

#include <cstdint>
#include <string>

// What an archive of differences holds.
struct DeltaSummary {
    uint64_t differences = 0;  // files as differences
    uint64_t whole = 0;        // files whole
    uint64_t size = 0;         // bytes of the archive
};

// Writes to deltaPath, through a temporary file, the archive of differences
// (updater/delta_header.h) of the whole patch at wholeArchive, whose files
// come from the release below newRoot, against the release below oldRoot:
// every entry of the whole patch in its order, a file that oldRoot also
// holds as its difference when that takes at most three quarters of the
// entry's deflated bytes, every other entry copied as it is. Launcher
// programs, empty files and files above kDeltaFileLimit go whole. False,
// with a message in error, when a file or an archive cannot be read or
// written; deltaPath is then untouched.
bool WriteDeltaArchive(const std::wstring& wholeArchive, const std::wstring& oldRoot,
                       const std::wstring& newRoot, const std::wstring& deltaPath,
                       DeltaSummary& summary, std::wstring& error);

// True when the release below root holds every file of the archive at
// archivePath with the same size and CRC-32: the release that archive
// brought players to (or a later one that left those files alone).
// mismatch names the first file that differs, or error what could not be read.
bool ReleaseHoldsArchiveFiles(const std::wstring& archivePath, const std::wstring& root,
                              std::wstring& mismatch, std::wstring& error);
