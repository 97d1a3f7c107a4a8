#include "updater/zip_reader.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

// minizip: unzip.h brings ioapi.h, which zip_reader_io.h needs.
#include <unzip.h>

#include "updater/zip_reader_io.h"

#include "common/file_error.h"
#include "common/path.h"
#include "common/text.h"
#include "updater/file_replace.h"

namespace {

const DWORD kCopyBlockSize = 256 * 1024;
const unsigned kDosDirectoryAttribute = 0x10;
const unsigned kReparsePointAttribute = 0x400;
const unsigned kUnixDirectoryMode = 0040000;
const unsigned kUnixLinkMode = 0120000;
const unsigned kUnixFileTypeMask = 0170000;
const unsigned kUnixHost = 3;

unsigned UnixFileType(const unz_file_info64& info) {
    const unsigned madeBy = info.version >> 8;
    return madeBy == kUnixHost ? (info.external_fa >> 16) & kUnixFileTypeMask : 0;
}

// A name ending in a separator or the DOS directory attribute marks a folder;
// so does a Unix folder mode from archivers that set no DOS attributes, and a
// trailing backslash from Windows tools that write their own separator.
bool IsDirectoryEntry(const std::string& name, const unz_file_info64& info) {
    if (!name.empty() && (name.back() == '/' || name.back() == '\\')) {
        return true;
    }
    if (info.external_fa & kDosDirectoryAttribute) {
        return true;
    }
    return UnixFileType(info) == kUnixDirectoryMode;
}

// A symbolic link stored by a Unix archiver (its data is the link's target),
// or an entry that Windows tools marked as a reparse point (tar.exe recreates
// such entries as links).
bool IsLinkEntry(const unz_file_info64& info) {
    return (info.external_fa & kReparsePointAttribute) != 0 || UnixFileType(info) == kUnixLinkMode;
}

bool ReadCurrentEntryInfo(void* archive, unz_file_info64& info) {
    return unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK;
}

// Why minizip could not open a file: it reports a missing, a locked and a
// damaged file alike, and it refuses an archive that is nothing but its end
// record (no entries), although that is a valid zip file.
enum class UnopenedArchive { kUnreadable, kEmpty, kDamaged };

UnopenedArchive ExamineUnopenedArchive(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return UnopenedArchive::kUnreadable;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 22 || size.QuadPart > 22 + 0xFFFF) {
        return UnopenedArchive::kDamaged;
    }
    unsigned char record[22];
    DWORD read = 0;
    if (!ReadFile(file.get(), record, sizeof(record), &read, nullptr) || read != sizeof(record)) {
        return UnopenedArchive::kDamaged;
    }
    auto word = [&](int at) { return record[at] | record[at + 1] << 8; };
    const bool endRecord = record[0] == 'P' && record[1] == 'K' && record[2] == 5 && record[3] == 6;
    const bool empty = endRecord && word(8) == 0 && word(10) == 0 && 22 + word(20) == size.QuadPart;
    return empty ? UnopenedArchive::kEmpty : UnopenedArchive::kDamaged;
}

// Every record of the central directory takes at least this many bytes.
const uint64_t kCentralRecordBytes = 46;
const DWORD kEndRecordBytes = 22;
const DWORD kZip64LocatorBytes = 20;
const DWORD kZip64EndRecordBytes = 56;

uint64_t LittleEndian(const unsigned char* bytes, int count) {
    uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

bool ReadAt(HANDLE file, uint64_t offset, unsigned char* bytes, DWORD count) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    DWORD read = 0;
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
           ReadFile(file, bytes, count, &read, nullptr) && read == count;
}

// The size of the central directory as the archive's end records give it
// (the ZIP64 one where there is one). False when they cannot be read.
bool ReadDirectorySize(const std::wstring& path, uint64_t& size) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER fileSize;
    if (!file || !GetFileSizeEx(file.get(), &fileSize)) {
        return false;
    }
    // The end record, its comment of up to 64 KiB and the ZIP64 locator before it.
    const uint64_t total = static_cast<uint64_t>(fileSize.QuadPart);
    const DWORD tailSize = static_cast<DWORD>(
        std::min<uint64_t>(total, kZip64LocatorBytes + kEndRecordBytes + 0xFFFF));
    std::vector<unsigned char> tail(tailSize);
    if (tailSize < kEndRecordBytes ||
        !ReadAt(file.get(), total - tailSize, tail.data(), tailSize)) {
        return false;
    }
    for (size_t at = tailSize - kEndRecordBytes + 1; at-- > 0;) {
        const unsigned char* end = &tail[at];
        if (end[0] != 'P' || end[1] != 'K' || end[2] != 5 || end[3] != 6) {
            continue;
        }
        size = LittleEndian(end + 12, 4);
        const unsigned char* locator = end - kZip64LocatorBytes;
        if (at >= kZip64LocatorBytes && locator[0] == 'P' && locator[1] == 'K' && locator[2] == 6 &&
            locator[3] == 7) {
            unsigned char record[kZip64EndRecordBytes];
            if (!ReadAt(file.get(), LittleEndian(locator + 8, 8), record, sizeof(record)) ||
                record[0] != 'P' || record[1] != 'K' || record[2] != 6 || record[3] != 6) {
                return false;
            }
            size = LittleEndian(record + 40, 8);
        }
        return true;
    }
    return false;
}

}  // namespace

bool ZipEntryTime(uint32_t dosDate, FILETIME& out) {
    FILETIME dosTime;
    SYSTEMTIME local;
    SYSTEMTIME utc;
    return DosDateTimeToFileTime(HIWORD(dosDate), LOWORD(dosDate), &dosTime) &&
           FileTimeToSystemTime(&dosTime, &local) &&
           TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) &&
           SystemTimeToFileTime(&utc, &out);
}

void ZipArchiveTraits::Close(Type archive) noexcept {
    unzClose(archive);
}

const char* ZipErrorText(int code) {
    switch (code) {
        case kZipOk:
            return "no error";
        case kZipFileOpenFailed:
            return "file open failed";
        case kZipInvalidArchive:
            return "not a zip archive or archive damaged";
        case kZipInvalidParameter:
            return "invalid parameter";
        case kZipEntryDamaged:
            return "entry data damaged";
        case kZipCrcMismatch:
            return "CRC-32 check failed";
        case kZipUnsupportedEntry:
            return "unsupported compression method or encryption";
        case kZipFileCreateFailed:
            return "file create failed";
        case kZipFileWriteFailed:
            return "file write failed";
        case kZipFileReplaceFailed:
            return "could not replace existing file";
        case kZipBaseMismatch:
            return "file differs from the one the difference was made from";
        case kZipDifferenceDamaged:
            return "difference does not give the expected file";
        default:
            return "unknown error";
    }
}

bool ZipReader::Fail(int code) {
    lastError_ = code;
    return false;
}

int ZipReader::TakeLastError() {
    const int code = lastError_;
    lastError_ = kZipOk;
    return code;
}

bool ZipReader::Open(const std::string& utf8Path) {
    Close();
    const std::wstring path = Utf8ToWide(utf8Path);
    zlib_filefunc64_def functions;
    FillBufferedReadFunctions(functions);
    archive_.reset(unzOpen2_64(path.c_str(), &functions));
    if (!archive_) {
        switch (ExamineUnopenedArchive(path)) {
            case UnopenedArchive::kEmpty:
                return true;  // a valid archive without entries: nothing to read
            case UnopenedArchive::kUnreadable:
                return Fail(kZipFileOpenFailed);
            case UnopenedArchive::kDamaged:
                break;
        }
        return Fail(kZipInvalidArchive);
    }
    unz_global_info64 info;
    if (unzGetGlobalInfo64(archive_.get(), &info) != UNZ_OK) {
        archive_.reset();
        return Fail(kZipInvalidArchive);
    }
    // An end record may claim any number of entries; more than the directory
    // can hold marks a damaged (or hostile) archive.
    uint64_t directorySize = 0;
    if (!ReadDirectorySize(path, directorySize) ||
        info.number_entry > directorySize / kCentralRecordBytes) {
        archive_.reset();
        return Fail(kZipInvalidArchive);
    }
    entryCount_ = info.number_entry > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(info.number_entry);
    positions_.clear();
    return true;
}

void ZipReader::Close() {
    archive_.reset();
    entryCount_ = 0;
    positions_.clear();
}

// Makes entry `index` the current one. Entries are found by walking the
// directory once; the positions seen on the way are kept for later visits.
bool ZipReader::SeekEntry(int index) {
    if (!archive_ || index < 0 || index >= entryCount_) {
        return Fail(kZipInvalidParameter);
    }
    const size_t known = positions_.size() / 2;
    if (static_cast<size_t>(index) < known) {
        unz64_file_pos position = {positions_[2 * index], positions_[2 * index + 1]};
        if (unzGoToFilePos64(archive_.get(), &position) != UNZ_OK) {
            return Fail(kZipInvalidArchive);
        }
        return true;
    }
    int result = UNZ_OK;
    if (known == 0) {
        result = unzGoToFirstFile(archive_.get());
    } else {
        unz64_file_pos last = {positions_[2 * (known - 1)], positions_[2 * (known - 1) + 1]};
        result = unzGoToFilePos64(archive_.get(), &last);
        if (result == UNZ_OK) {
            result = unzGoToNextFile(archive_.get());
        }
    }
    for (size_t at = known;; ++at) {
        if (result != UNZ_OK) {
            return Fail(kZipInvalidArchive);
        }
        unz64_file_pos position;
        if (unzGetFilePos64(archive_.get(), &position) != UNZ_OK) {
            return Fail(kZipInvalidArchive);
        }
        positions_.push_back(position.pos_in_zip_directory);
        positions_.push_back(position.num_of_file);
        if (at == static_cast<size_t>(index)) {
            return true;
        }
        result = unzGoToNextFile(archive_.get());
    }
}

bool ZipReader::GetEntryStat(int index, ZipEntryStat& stat) {
    if (!SeekEntry(index)) {
        return false;
    }
    unz_file_info64 info;
    if (!ReadCurrentEntryInfo(archive_.get(), info)) {
        return Fail(kZipInvalidArchive);
    }
    std::string name(info.size_filename, '\0');
    std::string comment(info.size_file_comment, '\0');
    if (unzGetCurrentFileInfo64(archive_.get(), &info, name.empty() ? nullptr : &name[0],
                                static_cast<uLong>(name.size()), nullptr, 0,
                                comment.empty() ? nullptr : &comment[0],
                                static_cast<uLong>(comment.size())) != UNZ_OK) {
        return Fail(kZipInvalidArchive);
    }
    stat.name = name;
    stat.isDirectory = IsDirectoryEntry(name, info);
    stat.isLink = IsLinkEntry(info);
    stat.uncompressedSize = info.uncompressed_size;
    stat.compressedSize = info.compressed_size;
    stat.directoryPosition = positions_[2 * index];
    stat.entryNumber = positions_[2 * index + 1];
    stat.dosDate = static_cast<uint32_t>(info.dosDate);
    stat.crc = static_cast<uint32_t>(info.crc);
    stat.method = static_cast<int>(info.compression_method);
    stat.comment = comment;
    return true;
}

bool ZipReader::ExtractToFile(int index, const std::wstring& path) {
    return SeekEntry(index) && ExtractCurrentToFile(path);
}

bool ZipReader::GoToEntry(const ZipEntryStat& entry) {
    if (!archive_) {
        return Fail(kZipInvalidParameter);
    }
    unz64_file_pos position = {entry.directoryPosition, entry.entryNumber};
    if (unzGoToFilePos64(archive_.get(), &position) != UNZ_OK) {
        return Fail(kZipInvalidArchive);
    }
    return true;
}

bool ZipReader::ExtractToFile(const ZipEntryStat& entry, const std::wstring& path) {
    return GoToEntry(entry) && ExtractCurrentToFile(path);
}

bool ZipReader::ReadEntry(const ZipEntryStat& entry, const ZipEntrySink& sink) {
    unz_file_info64 info;
    if (!GoToEntry(entry) || !OpenCurrentEntry(info)) {
        return false;
    }
    const int error = ReadCurrentEntry(sink);
    return error == kZipOk ? true : Fail(error);
}

bool ZipReader::ReadRawEntry(const ZipEntryStat& entry, const ZipEntrySink& sink) {
    unz_file_info64 info;
    if (!GoToEntry(entry) || !OpenCurrentEntry(info, true)) {
        return false;
    }
    const int error = ReadCurrentEntry(sink);
    return error == kZipOk ? true : Fail(error);
}

bool ZipReader::OpenCurrentEntry(unz_file_info64& info, bool raw) {
    if (!ReadCurrentEntryInfo(archive_.get(), info)) {
        return Fail(kZipInvalidArchive);
    }
    if ((info.flag & 1) != 0 || (info.compression_method != 0 && info.compression_method != 8)) {
        return Fail(kZipUnsupportedEntry);
    }
    if (unzOpenCurrentFile2(archive_.get(), nullptr, nullptr, raw ? 1 : 0) != UNZ_OK) {
        return Fail(kZipEntryDamaged);
    }
    if (!buffer_) {
        // Not zero-filled: every byte used is read first.
        buffer_.reset(new char[kCopyBlockSize]);
    }
    return true;
}

int ZipReader::ReadCurrentEntry(const ZipEntrySink& sink) {
    int error = kZipOk;
    for (;;) {
        const int read = unzReadCurrentFile(archive_.get(), buffer_.get(), kCopyBlockSize);
        if (read < 0) {
            error = read == UNZ_CRCERROR ? kZipCrcMismatch : kZipEntryDamaged;
            break;
        }
        if (read == 0) {
            break;
        }
        if (!sink(buffer_.get(), static_cast<size_t>(read))) {
            error = kZipFileWriteFailed;
            break;
        }
    }
    const int closeResult = unzCloseCurrentFile(archive_.get());
    if (error == kZipOk && closeResult == UNZ_CRCERROR) {
        error = kZipCrcMismatch;
    } else if (error == kZipOk && closeResult != UNZ_OK) {
        error = kZipEntryDamaged;
    }
    return error;
}

bool ZipReader::ExtractCurrentToFile(const std::wstring& path) {
    unz_file_info64 info;
    if (!OpenCurrentEntry(info)) {
        return false;
    }

    // A file that does not exist yet is written in place: nothing can be lost
    // there, and the bytes of a damaged entry are removed again. An existing
    // file is replaced only by a complete and verified copy written beside it.
    const std::wstring target = ExtendedLengthPath(path);
    std::wstring partPath;
    FILETIME modified;
    const bool hasTime = ZipEntryTime(static_cast<uint32_t>(info.dosDate), modified);
    UniqueFile file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    const bool inPlace = static_cast<bool>(file);
    if (!inPlace) {
        file = CreateTempFileBeside(path, partPath);
    }
    if (!file) {
        unzCloseCurrentFile(archive_.get());
        return Fail(kZipFileCreateFailed);
    }
    int error = ReadCurrentEntry([&](const char* data, size_t size) {
        DWORD written = 0;
        return WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) &&
               written == static_cast<DWORD>(size);
    });
    if (error == kZipOk && hasTime) {
        SetFileTime(file.get(), nullptr, nullptr, &modified);
    }
    file.reset();
    if (inPlace) {
        if (error != kZipOk) {
            DeleteFileW(target.c_str());
        }
        return error == kZipOk ? true : Fail(error);
    }
    bool moved = false;
    if (error == kZipOk) {
        error = PutScratchInPlace(partPath, path, hasTime ? &modified : nullptr, moved)
                    ? kZipOk
                    : kZipFileReplaceFailed;
    }
    if (!moved) {
        DeleteFileW(partPath.c_str());
    }
    return error == kZipOk ? true : Fail(error);
}
