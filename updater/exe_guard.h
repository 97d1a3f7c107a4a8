#pragma once

#include <string>

#include "updater/variant_names.h"

// The entry's file name: normalized, ASCII letters lower-cased, the text
// after the last "\".
std::string LowerFileName(const std::string& entryName);

// True for the launcher and self-updater programs of either build.
bool IsLauncherManagedArtifact(const std::string& entryName);

// True when the entry is the other build's launcher or self-updater, which
// this build never writes.
bool IsSkippedArtifact(const std::string& entryName,
                       const VariantNames& names = CurrentVariantNames());

// True when the entry is this build's launcher, which goes to the staging
// folder for the self-updater.
bool IsStagedLauncher(const std::string& entryName,
                      const VariantNames& names = CurrentVariantNames());

// True when the normalized, lower-cased name ends with ".exe".
bool HasExeExtension(const std::string& entryName);

// The launcher-file rules for a file by its resolved name: the last
// component of its full target path, compared as the file system compares
// names (without regard to case, by the system's own rule).
struct ResolvedNameRules {
    bool staged = false;    // this build's launcher
    bool skipped = false;   // the other build's launcher or self-updater
    bool artifact = false;  // the launcher or self-updater of either build
    bool program = false;   // ends with ".exe"
};
ResolvedNameRules RulesForResolvedName(const std::wstring& fileName,
                                       const VariantNames& names = CurrentVariantNames());

// True when some process holds the existing file at fullPath in a way that
// blocks replacing it (Restart Manager first, then an exclusive open).
bool IsFileInUse(const std::wstring& fullPath);

// True when writing an entry of the archive below destination would replace
// a program file that is in use; targetPath then holds its full path. Only
// ".exe" entries this build writes are tested (not the staged or skipped
// launcher files). An archive that cannot be opened counts as clean (logged).
bool FindRunningTargetInArchive(const std::wstring& archivePath, const std::wstring& destination,
                                std::wstring& targetPath,
                                const VariantNames& names = CurrentVariantNames());

// True when a file entry of the archive is a launcher-managed artifact. An
// archive that cannot be opened gives false (logged).
bool ArchiveHasLauncherArtifacts(const std::wstring& archivePath);
