#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "common/win_handle.h"
#include "tests/support/temp_folder.h"

// A temporary installation folder with a blank in its name, a staging
// folder "_launcher_self_update" inside it and helpers to fill both.
class TestInstallation {
  public:
    TestInstallation();

    const std::wstring& folder() const { return temp_.path(); }
    std::wstring Path(const std::wstring& relative) const { return temp_.Child(relative); }
    std::wstring staging() const { return Path(L"_launcher_self_update"); }
    std::wstring launcher() const { return Path(L"Tessaly.exe"); }

    // Writes a file below the installation or the staging folder, creating
    // its folders.
    void Put(const std::wstring& relative, const std::string& bytes) const;
    void Stage(const std::wstring& relative, const std::string& bytes) const;

    // Every file and folder below a folder: relative path -> content, folders
    // as "<folder>". The diary and the stand-in's record are left out.
    static std::map<std::wstring, std::string> Snapshot(const std::wstring& folder);

  private:
    TempFolder temp_;
};

// Creates a folder link at `link` pointing to `target`: a symbolic link, or
// under Wine (which keeps no reparse data of its own) a host symbolic link,
// which Wine reports as a reparse point. Returns false when neither worked.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);
// Removes such a link without touching what it points to.
bool RemoveFolderLink(const std::wstring& link);

// A started program; terminated when the object goes away still running.
class ChildProcess {
  public:
    ChildProcess(const std::wstring& program, const std::wstring& arguments,
                 const std::wstring& workingFolder);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return static_cast<bool>(process_); }
    DWORD id() const { return id_; }
    // The exit code, or STILL_ACTIVE when it did not end within the time.
    DWORD Wait(DWORD milliseconds) const;

  private:
    UniqueHandleKernel process_;
    DWORD id_ = 0;
};

// Waits up to the time given until the file holds at least `lines` lines;
// returns its lines.
std::vector<std::string> WaitForLines(const std::wstring& path, size_t lines, DWORD milliseconds);
