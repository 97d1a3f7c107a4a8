#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// How an entry's bytes are kept in the archive.
enum class ZipMethod { kStored, kDeflated };

// Entries from this size up get ZIP64 fields: they may pass 4 GiB,
// compressed or not.
constexpr uint64_t kLargeEntrySize = 0xFFFF0000;

// An entry whose bytes are written as they are kept in the archive.
struct RawEntry {
    std::string name;
    FILETIME written = {};
    ZipMethod method = ZipMethod::kDeflated;
    std::string comment;  // kept in the central directory; none when empty
    bool large = false;   // ZIP64 fields (kLargeEntrySize)
};

// Writes a zip archive entry by entry with minizip's zip writer: names in
// UTF-8 (flagged as such), files deflated as they stream from disk, times in
// local time of their own date, ZIP64 records wherever sizes need them.
class ZipWriter {
  public:
    ZipWriter() = default;
    // An archive that was not closed is left incomplete; the caller removes it.
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Creates the archive at path, replacing a file of that name.
    bool Create(const std::wstring& path);
    bool AddFolder(const std::string& name, const FILETIME& written);
    // Deflates the file at source into an entry; onBytes receives the size of
    // every block read.
    bool AddFile(const std::string& name, const std::wstring& source, const FILETIME& written,
                 const std::function<void(uint64_t)>& onBytes);
    // Writes one entry from bytes already deflated (or stored as they are):
    // OpenRaw, then WriteRaw with each piece in order, then CloseRaw with the
    // size and CRC-32 of the bytes they stand for.
    bool OpenRaw(const RawEntry& entry);
    bool WriteRaw(const char* data, size_t size);
    bool CloseRaw(uint64_t size, uint32_t crc);
    // Writes the central directory and closes the file.
    bool Close();

    // What went wrong, for the operator.
    const std::wstring& error() const { return error_; }

  private:
    bool OpenEntry(const RawEntry& entry, bool folder, bool raw);
    bool Fail(const std::wstring& text);

    void* zip_ = nullptr;
    std::vector<char> buffer_;
    std::wstring error_;
};
