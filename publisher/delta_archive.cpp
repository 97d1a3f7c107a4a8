#include "publisher/delta_archive.h"

#include <windows.h>

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "common/mapped_file.h"
#include "common/path.h"
#include "common/sha256.h"
#include "common/text.h"
#include "publisher/zip_writer.h"
#include "updater/delta_frame.h"
#include "updater/delta_header.h"
#include "updater/exe_guard.h"
#include "updater/zip_reader.h"

namespace {

// The file an entry name ("/" separated, UTF-8) stands for below root.
std::wstring EntryFile(const std::wstring& root, const std::string& name) {
    std::wstring relative = Utf8ToWide(name);
    std::replace(relative.begin(), relative.end(), L'/', L'\\');
    return ExtendedLengthPath(JoinPath(root, relative));
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

uint32_t Crc32Of(const char* data, size_t size) {
    uLong crc = crc32(0, nullptr, 0);
    while (size > 0) {
        const uInt piece = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), piece);
        data += piece;
        size -= piece;
    }
    return static_cast<uint32_t>(crc);
}

// The difference of entry against the old release, with its header, when
// there is one that pays; frame stays empty otherwise.
bool MakeDifference(const ZipEntryStat& entry, const std::wstring& oldRoot,
                    const std::wstring& newRoot, std::string& frame, DeltaHeader& header,
                    std::wstring& error) {
    frame.clear();
    const std::wstring oldPath = EntryFile(oldRoot, entry.name);
    if (IsLauncherManagedArtifact(entry.name) || entry.uncompressedSize == 0 ||
        entry.uncompressedSize > kDeltaFileLimit || !IsFile(oldPath)) {
        return true;
    }
    MappedFile before;
    MappedFile after;
    DWORD code = ERROR_SUCCESS;
    const std::wstring newPath = EntryFile(newRoot, entry.name);
    if (!after.OpenForReading(newPath, code) || after.size() != entry.uncompressedSize) {
        error = L"Cannot read " + newPath + L" (Win32 error " + std::to_wstring(code) + L").";
        return false;
    }
    if (!before.OpenForReading(oldPath, code)) {
        // An empty old file cannot be mapped, and gains nothing from a difference.
        return true;
    }
    if (before.size() > kDeltaFileLimit) {
        return true;
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    // A quarter smaller than the deflated entry, or not at all.
    const uint64_t limit = entry.compressedSize - entry.compressedSize / 4;
    if (!MakeDeltaFrame(before.data(), before.size(), after.data(), after.size(), limit, cores,
                        frame)) {
        frame.clear();
        return true;
    }
    header.baseSize = before.size();
    header.baseSha256 = Sha256HexOf(before.data(), static_cast<size_t>(before.size()));
    header.resultSize = after.size();
    header.resultSha256 = Sha256HexOf(after.data(), static_cast<size_t>(after.size()));
    return true;
}

// Copies entry of reader into zip as the archive keeps it.
bool CopyEntry(ZipReader& reader, const ZipEntryStat& entry, ZipWriter& zip, std::wstring& error) {
    RawEntry raw;
    raw.name = entry.name;
    ZipEntryTime(entry.dosDate, raw.written);
    if (entry.isDirectory) {
        return zip.AddFolder(entry.name, raw.written) || (error = zip.error(), false);
    }
    raw.method = entry.method == 0 ? ZipMethod::kStored : ZipMethod::kDeflated;
    raw.large =
        entry.uncompressedSize >= kLargeEntrySize || entry.compressedSize >= kLargeEntrySize;
    if (!zip.OpenRaw(raw) ||
        !reader.ReadRawEntry(
            entry, [&](const char* data, size_t size) { return zip.WriteRaw(data, size); }) ||
        !zip.CloseRaw(entry.uncompressedSize, entry.crc)) {
        error = zip.error().empty() ? L"Cannot read back the whole patch." : zip.error();
        return false;
    }
    return true;
}

bool AddDifference(const ZipEntryStat& entry, const std::string& frame, const DeltaHeader& header,
                   ZipWriter& zip) {
    RawEntry raw;
    raw.name = entry.name;
    ZipEntryTime(entry.dosDate, raw.written);
    raw.method = ZipMethod::kStored;
    raw.comment = DeltaHeaderText(header);
    raw.large = frame.size() >= kLargeEntrySize;
    return zip.OpenRaw(raw) && zip.WriteRaw(frame.data(), frame.size()) &&
           zip.CloseRaw(frame.size(), Crc32Of(frame.data(), frame.size()));
}

// An entry of the whole patch and, when one pays, its difference.
struct PlannedDifference {
    ZipEntryStat entry;
    std::string frame;
    DeltaHeader header;
};

// Makes the differences of every entry on every core.
bool MakeDifferences(std::vector<PlannedDifference>& planned, const std::wstring& oldRoot,
                     const std::wstring& newRoot, std::wstring& error) {
    std::atomic<size_t> next{0};
    std::mutex failure;
    const auto work = [&] {
        for (size_t i = next++; i < planned.size(); i = next++) {
            PlannedDifference& item = planned[i];
            std::wstring problem;
            if (!item.entry.isDirectory &&
                !MakeDifference(item.entry, oldRoot, newRoot, item.frame, item.header, problem)) {
                std::lock_guard<std::mutex> lock(failure);
                error = error.empty() ? problem : error;
                next = planned.size();
            }
        }
    };
    std::vector<std::thread> threads;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 1; i < cores; ++i) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& thread : threads) {
        thread.join();
    }
    return error.empty();
}

bool WriteDeltaEntries(ZipReader& reader, const std::wstring& oldRoot, const std::wstring& newRoot,
                       ZipWriter& zip, DeltaSummary& summary, std::wstring& error) {
    std::vector<PlannedDifference> planned(static_cast<size_t>(reader.EntryCount()));
    for (size_t i = 0; i < planned.size(); ++i) {
        if (!reader.GetEntryStat(static_cast<int>(i), planned[i].entry)) {
            error = L"Cannot read back the whole patch.";
            return false;
        }
    }
    if (!MakeDifferences(planned, oldRoot, newRoot, error)) {
        return false;
    }
    for (PlannedDifference& item : planned) {
        if (!item.frame.empty()) {
            if (!AddDifference(item.entry, item.frame, item.header, zip)) {
                error = zip.error();
                return false;
            }
            ++summary.differences;
        } else {
            if (!CopyEntry(reader, item.entry, zip, error)) {
                return false;
            }
            summary.whole += item.entry.isDirectory ? 0 : 1;
        }
        std::string().swap(item.frame);
    }
    return true;
}

}  // namespace

bool WriteDeltaArchive(const std::wstring& wholeArchive, const std::wstring& oldRoot,
                       const std::wstring& newRoot, const std::wstring& deltaPath,
                       DeltaSummary& summary, std::wstring& error) {
    ZipReader reader;
    if (!reader.Open(WideToUtf8(wholeArchive))) {
        error = L"Cannot read back " + wholeArchive + L".";
        return false;
    }
    const std::wstring temporary = deltaPath + L".partial";
    bool ok = false;
    {
        ZipWriter zip;
        ok = zip.Create(temporary) &&
             WriteDeltaEntries(reader, oldRoot, newRoot, zip, summary, error);
        if (!zip.Close() && ok) {
            error = zip.error();
            ok = false;
        }
        if (ok && error.empty() && !zip.error().empty()) {
            error = zip.error();
        }
    }
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (ok && GetFileAttributesExW(temporary.c_str(), GetFileExInfoStandard, &data) &&
        MoveFileExW(temporary.c_str(), deltaPath.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        summary.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        return true;
    }
    if (ok) {
        error = L"Cannot move the archive into place as " + deltaPath + L" (Win32 error " +
                std::to_wstring(GetLastError()) + L").";
    }
    DeleteFileW(temporary.c_str());
    return false;
}

bool ReleaseHoldsArchiveFiles(const std::wstring& archivePath, const std::wstring& root,
                              std::wstring& mismatch, std::wstring& error) {
    ZipReader reader;
    if (!reader.Open(WideToUtf8(archivePath))) {
        error = L"Cannot read " + archivePath + L".";
        return false;
    }
    for (int i = 0; i < reader.EntryCount(); ++i) {
        ZipEntryStat entry;
        if (!reader.GetEntryStat(i, entry)) {
            error = L"Cannot read " + archivePath + L".";
            return false;
        }
        if (entry.isDirectory) {
            continue;
        }
        const std::wstring path = EntryFile(root, entry.name);
        MappedFile file;
        DWORD code = ERROR_SUCCESS;
        const bool empty = IsFile(path) && entry.uncompressedSize == 0;
        if (!empty && (!file.OpenForReading(path, code) || file.size() != entry.uncompressedSize ||
                       Crc32Of(reinterpret_cast<const char*>(file.data()),
                               static_cast<size_t>(file.size())) != entry.crc)) {
            mismatch = Utf8ToWide(entry.name);
            return false;
        }
    }
    return true;
}
