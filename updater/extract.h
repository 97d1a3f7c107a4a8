#pragma once

#include <string>

#include "updater/system_tools.h"
#include "updater/updater.h"

// The system tools in turn: the tar listing and the tar extraction with
// progress, plain tar, then PowerShell's Expand-Archive. False when none of
// them extracted the archive, or when the listing shows launcher-managed
// artifacts (those need the built-in reader). progress must be set.
bool ExtractWithSystemTools(const std::wstring& archivePath, const std::wstring& destination,
                            const StatusCallback& progress,
                            const SystemTools& tools = LocateSystemTools());

// Lists the archive with "tar.exe -tf" (tarPath), counting its lines into entryCount
// and setting hasLauncherArtifacts when a line names a launcher-managed
// artifact. True when tar ended with 0 and listed at least one line.
bool CountTarEntries(const std::wstring& archivePath, const std::wstring& destination,
                     int& entryCount, bool& hasLauncherArtifacts, const StatusCallback& progress,
                     const std::wstring& tarPath = LocateSystemTools().tar);

// Extracts with "tar.exe -xvf", reporting each whole percent of totalEntries
// once. True when tar ended with 0.
bool ExtractZipWithTarProgress(const std::wstring& archivePath, const std::wstring& destination,
                               int totalEntries, const StatusCallback& progress,
                               const std::wstring& tarPath = LocateSystemTools().tar);
