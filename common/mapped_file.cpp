#include "common/mapped_file.h"

bool MappedFile::Map(HANDLE file, DWORD protect, DWORD access, DWORD& error) {
    if (size_ == 0 || size_ != static_cast<uint64_t>(static_cast<SIZE_T>(size_))) {
        error = ERROR_NOT_ENOUGH_MEMORY;  // nothing to map, or more than the address space
        return false;
    }
    mapping_.reset(CreateFileMappingW(file, nullptr, protect, static_cast<DWORD>(size_ >> 32),
                                      static_cast<DWORD>(size_), nullptr));
    if (mapping_) {
        view_.reset(MapViewOfFile(mapping_.get(), access, 0, 0, static_cast<SIZE_T>(size_)));
    }
    if (!view_) {
        error = GetLastError();
        Close();
        return false;
    }
    return true;
}

bool MappedFile::OpenForReading(const std::wstring& path, DWORD& error) {
    Close();
    file_.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file_ || !GetFileSizeEx(file_.get(), &size)) {
        error = GetLastError();
        Close();
        return false;
    }
    size_ = static_cast<uint64_t>(size.QuadPart);
    return Map(file_.get(), PAGE_READONLY, FILE_MAP_READ, error);
}

bool MappedFile::MapForWriting(HANDLE file, uint64_t size, DWORD& error) {
    Close();
    size_ = size;
    return Map(file, PAGE_READWRITE, FILE_MAP_WRITE, error);
}

void MappedFile::Close() {
    view_.reset();
    mapping_.reset();
    file_.reset();
    size_ = 0;
}
