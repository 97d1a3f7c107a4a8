#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
    // Writes the central directory and closes the file.
    bool Close();

    // What went wrong, for the operator.
    const std::wstring& error() const { return error_; }

  private:
    bool OpenEntry(const std::string& name, const FILETIME& written, bool folder, bool large);
    bool Fail(const std::wstring& text);

    void* zip_ = nullptr;
    std::vector<char> buffer_;
    std::wstring error_;
};
