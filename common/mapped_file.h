#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/win_handle.h"

struct MappedViewTraits {
    using Type = void*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type view) noexcept { ::UnmapViewOfFile(view); }
};
using UniqueMappedView = UniqueHandle<MappedViewTraits>;

// A whole file mapped into memory: its pages come from the file itself and
// go back to it, so a file of any size costs no private memory. An empty
// file cannot be mapped.
class MappedFile {
  public:
    // Maps the file at path for reading; others may read it meanwhile, no
    // one may write it. False when it cannot be opened or mapped (an empty
    // file, or no room in the address space); error holds the system error.
    bool OpenForReading(const std::wstring& path, DWORD& error);
    // Sets the open file's size to size (above 0) and maps it for writing.
    bool MapForWriting(HANDLE file, uint64_t size, DWORD& error);
    void Close();

    const unsigned char* data() const { return static_cast<const unsigned char*>(view_.get()); }
    unsigned char* mutableData() { return static_cast<unsigned char*>(view_.get()); }
    uint64_t size() const { return size_; }

  private:
    bool Map(HANDLE file, DWORD protect, DWORD access, DWORD& error);

    UniqueFile file_;  // only when the mapping opened it
    UniqueHandleKernel mapping_;
    UniqueMappedView view_;
    uint64_t size_ = 0;
};
