#pragma once

#include <string>

// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the object goes away.
class TempFolder {
  public:
    // The optional suffix becomes part of the folder name (non-ASCII allowed).
    explicit TempFolder(const std::wstring& suffix = L"");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Full path, no trailing backslash.
    const std::wstring& path() const { return path_; }
    // path() + "\" + relative.
    std::wstring Child(const std::wstring& relative) const;

  private:
    std::wstring path_;
};

// Makes a folder the current directory for the lifetime of the object.
class ScopedCurrentDirectory {
  public:
    explicit ScopedCurrentDirectory(const std::wstring& folder);
    ~ScopedCurrentDirectory();
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

  private:
    std::wstring previous_;
};

// Small file helpers for tests; paths are UTF-16.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);  // "" when the file cannot be read
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
