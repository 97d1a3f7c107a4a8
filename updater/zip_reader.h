#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/win_handle.h"

struct unz_file_info64_s;  // minizip's description of an entry

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
    kZipFileOpenFailed = 1,      // the archive file cannot be opened
    kZipInvalidArchive = 2,      // not a zip archive, or its directory is damaged
    kZipInvalidParameter = 3,    // no archive open, or an entry index out of range
    kZipEntryDamaged = 4,        // an entry's data cannot be read or decompressed
    kZipCrcMismatch = 5,         // an entry's data does not match its checksum
    kZipUnsupportedEntry = 6,    // encrypted, or stored with an unknown method
    kZipFileCreateFailed = 7,    // the output file cannot be created
    kZipFileWriteFailed = 8,     // writing the output file failed
    kZipFileReplaceFailed = 9,   // the existing file at the output path cannot be replaced
    kZipBaseMismatch = 10,       // a difference's file is not the one it was made from
    kZipDifferenceDamaged = 11,  // a difference does not give the file it describes
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
    uint32_t dosDate = 0;  // modification time, DOS date and time in local time
    uint32_t crc = 0;      // CRC-32 of the entry's bytes
    int method = 0;        // 0 stored, 8 deflated, or another the reader refuses
    std::string comment;   // the entry's comment in the directory
};

// The modification time of an entry as a file time (UTC), with the
// daylight-saving offset in force on that date rather than today's.
bool ZipEntryTime(uint32_t dosDate, FILETIME& out);

// Receives an entry's bytes block by block; false stops the reading.
using ZipEntrySink = std::function<bool(const char* data, size_t size)>;

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

    // Hands the bytes of the entry another reader of the archive described
    // to sink, then checks them against the entry's CRC-32. False when the
    // entry is damaged (kZipCrcMismatch only once all bytes went to sink) or
    // the sink stopped (kZipFileWriteFailed).
    bool ReadEntry(const ZipEntryStat& entry, const ZipEntrySink& sink);
    // Hands the entry's bytes as the archive keeps them (deflated or
    // stored) to sink, for a copy into another archive.
    bool ReadRawEntry(const ZipEntryStat& entry, const ZipEntrySink& sink);

    // The code of the last failure, cleared by reading it.
    int TakeLastError();

  private:
    bool Fail(int code);
    bool SeekEntry(int index);
    bool ExtractCurrentToFile(const std::wstring& path);
    bool GoToEntry(const ZipEntryStat& entry);
    // Opens the current entry (a stored or deflated one) for reading, or
    // for reading its bytes as kept with raw.
    bool OpenCurrentEntry(unz_file_info64_s& info, bool raw = false);
    // Reads the open entry to sink and closes it; the error code.
    int ReadCurrentEntry(const ZipEntrySink& sink);

    UniqueZipArchive archive_;
    int entryCount_ = 0;
    int lastError_ = kZipOk;
    // Directory positions of the entries visited so far (two 64-bit values each).
    std::vector<uint64_t> positions_;
    std::unique_ptr<char[]> buffer_;  // one copy buffer for every entry
};
