#include "publisher/zip_writer.h"

#include <zip.h>
// After zip.h, which declares what iowin32.h uses.
#include <iowin32.h>

#include <algorithm>

#include "common/text.h"
#include "common/win_handle.h"

namespace {

const DWORD kReadBlock = 1 << 20;
const uLong kMadeByDos20 = 20;  // host MS-DOS, zip format 2.0
const uLong kUtf8NamesFlag = 0x800;
const uLong kAttributeFolder = 0x10;
const uLong kAttributeArchive = 0x20;

// The DOS date (high word) and time (low word) of a file time, in local time
// with the daylight-saving offset of that date, as the launcher reads it back.
uint32_t DosDateTimeOf(const FILETIME& written) {
    SYSTEMTIME utc;
    SYSTEMTIME local;
    FILETIME localTime;
    WORD date = 0;
    WORD time = 0;
    if (!FileTimeToSystemTime(&written, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
        !SystemTimeToFileTime(&local, &localTime) ||
        !FileTimeToDosDateTime(&localTime, &date, &time)) {
        return (0x21u << 16);  // 1980-01-01 00:00:00
    }
    return (static_cast<uint32_t>(date) << 16) | time;
}

}  // namespace

ZipWriter::~ZipWriter() {
    if (zip_ != nullptr) {
        zipClose(static_cast<zipFile>(zip_), nullptr);
    }
}

bool ZipWriter::Fail(const std::wstring& text) {
    error_ = text;
    return false;
}

bool ZipWriter::Create(const std::wstring& path) {
    zlib_filefunc64_def functions;
    fill_win32_filefunc64W(&functions);
    zip_ = zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
    if (zip_ == nullptr) {
        return Fail(L"Cannot create " + path + L".");
    }
    buffer_.resize(kReadBlock);
    return true;
}

bool ZipWriter::OpenEntry(const RawEntry& entry, bool folder, bool raw) {
    zip_fileinfo info = {};
    info.dosDate = DosDateTimeOf(entry.written);
    info.external_fa = folder ? kAttributeFolder : kAttributeArchive;
    const bool deflated = !folder && entry.method == ZipMethod::kDeflated;
    const int result = zipOpenNewFileInZip4_64(
        static_cast<zipFile>(zip_), entry.name.c_str(), &info, nullptr, 0, nullptr, 0,
        entry.comment.empty() ? nullptr : entry.comment.c_str(), deflated ? Z_DEFLATED : 0,
        deflated ? Z_DEFAULT_COMPRESSION : 0, raw ? 1 : 0, -MAX_WBITS, DEF_MEM_LEVEL,
        Z_DEFAULT_STRATEGY, nullptr, 0, kMadeByDos20, kUtf8NamesFlag, entry.large ? 1 : 0);
    return result == ZIP_OK || Fail(L"Cannot add " + Utf8ToWide(entry.name) + L" to the archive.");
}

bool ZipWriter::AddFolder(const std::string& name, const FILETIME& written) {
    RawEntry entry;
    entry.name = name;
    entry.written = written;
    if (!OpenEntry(entry, true, false)) {
        return false;
    }
    return zipCloseFileInZip(static_cast<zipFile>(zip_)) == ZIP_OK ||
           Fail(L"Cannot add " + Utf8ToWide(name) + L" to the archive.");
}

bool ZipWriter::AddFile(const std::string& name, const std::wstring& source,
                        const FILETIME& written, const std::function<void(uint64_t)>& onBytes) {
    UniqueFile file(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        return Fail(L"Cannot read " + source + L" (Win32 error " + std::to_wstring(GetLastError()) +
                    L").");
    }
    RawEntry entry;
    entry.name = name;
    entry.written = written;
    entry.large = static_cast<uint64_t>(size.QuadPart) >= kLargeEntrySize;
    if (!OpenEntry(entry, false, false)) {
        return false;
    }
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer_.data(), kReadBlock, &read, nullptr)) {
            return Fail(L"Cannot read " + source + L" (Win32 error " +
                        std::to_wstring(GetLastError()) + L").");
        }
        if (read == 0) {
            break;
        }
        if (zipWriteInFileInZip(static_cast<zipFile>(zip_), buffer_.data(), read) != ZIP_OK) {
            return Fail(L"Cannot write the archive (disk full?).");
        }
        if (onBytes) {
            onBytes(read);
        }
    }
    return zipCloseFileInZip(static_cast<zipFile>(zip_)) == ZIP_OK ||
           Fail(L"Cannot write the archive (disk full?).");
}

bool ZipWriter::OpenRaw(const RawEntry& entry) {
    return OpenEntry(entry, false, true);
}

bool ZipWriter::WriteRaw(const char* data, size_t size) {
    while (size > 0) {
        const unsigned piece = static_cast<unsigned>(std::min<size_t>(size, kReadBlock));
        if (zipWriteInFileInZip(static_cast<zipFile>(zip_), data, piece) != ZIP_OK) {
            return Fail(L"Cannot write the archive (disk full?).");
        }
        data += piece;
        size -= piece;
    }
    return true;
}

bool ZipWriter::CloseRaw(uint64_t size, uint32_t crc) {
    return zipCloseFileInZipRaw64(static_cast<zipFile>(zip_), size, crc) == ZIP_OK ||
           Fail(L"Cannot write the archive (disk full?).");
}

bool ZipWriter::Close() {
    zipFile zip = static_cast<zipFile>(zip_);
    zip_ = nullptr;
    return zipClose(zip, nullptr) == ZIP_OK || Fail(L"Cannot finish the archive (disk full?).");
}
