#pragma once

#include <windows.h>

#include <string>

#include "common/win_handle.h"

// Creates a new, empty file for writing beside `target`, under a name that no
// existing file has (the file is created exclusively, so no game file of any
// name is ever opened or overwritten): "<target>.~<pid>-<n>.tmp", process id
// and counter in hex. Gives its extended-length full path ("\\?\...") in
// tempPath, which stays usable where the name passes the 260 units of a plain
// path; an invalid handle when no such file can be created.
UniqueFile CreateTempFileBeside(const std::wstring& target, std::wstring& tempPath);

// Removes the scratch files that CreateTempFileBeside made in folder for a
// process that no longer runs (one killed while it wrote them): every such
// file, or only those of the file targetName when it is given. Scratch files
// of a running process and all other files stay.
void RemoveLeftoverScratchFiles(const std::wstring& folder, const std::wstring& targetName = L"");

// Moves `source` over `target`, replacing it (both through their
// extended-length full paths). While another program holds the
// target for a moment (a scanner or indexer that opened it without delete
// sharing), the move is tried again a few times after a short pause. False
// when the target could not be replaced; `error` holds the last system error.
bool MoveOverTarget(const std::wstring& source, const std::wstring& target, DWORD& error);

// Puts the complete scratch file at scratchPath in place of target. A
// target that another program holds without delete sharing cannot be
// replaced; when it can still be written, the bytes are copied into it
// instead (with the given modification time). moved tells whether the
// scratch file is gone; false when target keeps its old bytes.
bool PutScratchInPlace(const std::wstring& scratchPath, const std::wstring& target,
                       const FILETIME* modified, bool& moved);

// A complete copy of text in a scratch file beside its target, moved over
// the target on request and removed otherwise: the first half of replacing a
// file, kept apart so that two files can be written before either moves.
class ScratchFile {
  public:
    ScratchFile() = default;
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile();

    // Writes and flushes text into a new scratch file beside target.
    bool Write(const std::wstring& target, const std::string& text, DWORD& error);
    // Moves the written scratch file over target (see MoveOverTarget).
    bool MoveOver(const std::wstring& target, DWORD& error);

  private:
    std::wstring path_;
};

// Writes text into a scratch file beside path (see CreateTempFileBeside),
// flushes it and moves it over path, so that path holds either its old bytes
// or all of text, never a part. False on failure, with error holding the
// system error; the scratch file is then gone.
bool ReplaceFileContents(const std::wstring& path, const std::string& text, DWORD& error);

// Writes the bytes of `source` into the existing file `target` in place,
// keeping the target's identity (for a target that may be written but not
// replaced). The target ends up with exactly the source's bytes and the given
// modification time. False when the target cannot be opened for writing
// (it is then untouched) or when copying fails part-way.
bool CopyIntoExistingFile(const std::wstring& source, const std::wstring& target,
                          const FILETIME* modified, DWORD& error);
