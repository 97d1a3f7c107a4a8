#pragma once

#include <string>
#include <vector>

#include "updater/variant_names.h"
#include "updater/zip_reader.h"

// What an update does with one entry of an archive.
enum class EntryRole {
    kFolder,   // a folder: folders come into being through the files below them
    kWritten,  // written below the destination
    kStaged,   // this build's launcher: written below the staging folder
    kSkipped,  // the other build's launcher or self-updater: never written
};

// Whether an entry may reach the disk at all.
enum class EntrySafety {
    kSafe,
    kOutside,  // its path leaves the folder it goes to
    kLink,     // a symbolic link or other reparse point
    kBadName,  // a NUL, a control character or a colon in its name
};

struct PlannedEntry {
    ZipEntryStat stat;        // stored name, sizes, where its record lies
    std::string name;         // the normalized relative path (UTF-8)
    std::wstring targetPath;  // full path of the file it becomes
    EntryRole role = EntryRole::kWritten;
    EntrySafety safety = EntrySafety::kSafe;
    bool program = false;        // a written ".exe": must not replace a program in use
    bool artifact = false;       // the launcher or self-updater of either build
    int earlierSameTarget = -1;  // the last earlier entry writing the same file, or -1
    bool delta = false;          // a binary difference to apply to the target (delta_header.h)
};

// Everything an extraction needs to know about an archive, from one reading
// of its directory: every entry's target, safety and role. Roles come from
// the file a target path names (its last component, resolved as Windows
// resolves it), never from the stored name alone. The reader stays
// open, so the archive cannot change while it is planned and written.
class ArchivePlan {
  public:
    // Reads the directory and plans every entry below destination and
    // stagingFolder (each made absolute once). False when the archive
    // cannot be opened; openError tells why. Entries are planned in archive
    // order up to the first whose record cannot be read (unreadableAt).
    bool Read(const std::wstring& archivePath, const std::wstring& destination,
              const std::wstring& stagingFolder, const VariantNames& names);

    // True when a planned program would replace a program in use;
    // runningPath then holds its full path.
    bool FindRunningProgram(std::wstring& runningPath) const;
    // True when a file entry is the launcher or self-updater of either build.
    bool HasLauncherArtifacts() const;
    // Marks the file entries whose comment makes them binary differences:
    // for an archive of differences only.
    void MarkDifferences();

    std::vector<PlannedEntry> entries;
    std::wstring destinationBase;  // full paths, without a trailing separator
    std::wstring stagingBase;
    int unsafeAt = -1;      // index of the first entry that must not reach the disk
    int unreadableAt = -1;  // index of the first entry whose record could not be read
    int openError = kZipOk;
    ZipReader reader;
};
