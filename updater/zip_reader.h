#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/win_handle.h"

// Releases an open zip archive (kept opaque so that no other file needs the
// zip library's headers).
struct ZipArchiveTraits {
    using Type = void*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type archive) noexcept;
};
using UniqueZipArchive = UniqueHandle<ZipArchiveTraits>;

// Error codes of ZipReader, each with an English text (ZipErrorText).
enum ZipError : int {
    kZipOk = 0,
    kZipFileOpenFailed = 1,     // the archive file cannot be opened
    kZipInvalidArchive = 2,     // not a zip archive, or its directory is damaged
    kZipInvalidParameter = 3,   // no archive open, or an entry index out of range
    kZipEntryDamaged = 4,       // an entry's data cannot be read or decompressed
    kZipCrcMismatch = 5,        // an entry's data does not match its checksum
    kZipUnsupportedEntry = 6,   // encrypted, or stored with an unknown method
    kZipFileCreateFailed = 7,   // the output file cannot be created
    kZipFileWriteFailed = 8,    // writing the output file failed
    kZipFileReplaceFailed = 9,  // the existing file at the output path cannot be replaced
};

const char* ZipErrorText(int code);

// What the archive's directory says about one entry.
struct ZipEntryStat {
    std::string name;  // stored name bytes, normally UTF-8
    bool isDirectory = false;
    bool isLink = false;  // a symbolic link or other reparse point, not a file
    uint64_t uncompressedSize = 0;
    uint64_t compressedSize = 0;
    // Where the entry's record lies in the directory: another reader of the
    // same archive goes straight to it (ExtractToFile with a stat).
    uint64_t directoryPosition = 0;
    uint64_t entryNumber = 0;
};

// Reads zip archives entry by entry, streaming each entry to disk.
class ZipReader {
  public:
    // Opens the archive at a UTF-8 path (non-ASCII paths work). False on
    // failure; TakeLastError tells why.
    bool Open(const std::string& utf8Path);
    void Close();

    // Number of entries in the archive's directory; 0 when none is open.
    int EntryCount() const { return entryCount_; }

    bool GetEntryStat(int index, ZipEntryStat& stat);

    // Writes entry `index` to path, replacing an existing file, and gives the
    // file the entry's modification time. A new file is written in place (and
    // removed again when the entry is damaged). An existing one is replaced
    // only by a complete and verified copy written to a fresh temporary file
    // beside it, so a damaged entry never touches the file it would have
    // replaced. A target held for a moment by another program is tried again
    // briefly; one that can be written but not replaced receives the verified
    // bytes in place.
    bool ExtractToFile(int index, const std::wstring& path);
    // The same for an entry this or another reader of the archive described.
    bool ExtractToFile(const ZipEntryStat& entry, const std::wstring& path);

    // The code of the last failure, cleared by reading it.
    int TakeLastError();

  private:
    bool Fail(int code);
    bool SeekEntry(int index);
    bool ExtractCurrentToFile(const std::wstring& path);

    UniqueZipArchive archive_;
    int entryCount_ = 0;
    int lastError_ = kZipOk;
    // Directory positions of the entries visited so far (two 64-bit values each).
    std::vector<uint64_t> positions_;
    std::unique_ptr<char[]> buffer_;  // one copy buffer for every entry
};
