#pragma once

#include <string>

#include "common/file_retry.h"

// The update diary "updateerror.txt" of one installation folder. Lines have
// the launcher's format (see common/update_log.h) so that support reads one
// file, but the folder is named explicitly instead of taken from the current
// directory.
class Diary {
  public:
    explicit Diary(std::wstring folder) : folder_(std::move(folder)) {}

    // Appends one time-stamped line; the format follows LogUpdate's. A line
    // that cannot be written is dropped; nothing is thrown.
    void Write(const wchar_t* format, ...) const;

    // Inside a catch block: writes "Internal error: <what()>" for the
    // exception being handled.
    void WriteInternalError() const;

    // For WithRetry: writes "File is in use, retrying: <path> Win32=<error>"
    // when an operation on path is about to be tried again.
    RetryNotice InUseNotice(const std::wstring& path) const;

    const std::wstring& folder() const { return folder_; }

  private:
    std::wstring folder_;
};
