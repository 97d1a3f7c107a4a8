#include "publisher/verify_delta.h"

#include <algorithm>
#include <map>
#include <memory>

#include "common/path.h"
#include "common/sha256.h"
#include "common/text.h"
#include "updater/delta_header.h"
#include "updater/updater.h"
#include "updater/zip_reader.h"

namespace {

using nlohmann::ordered_json;

// An archive of the folder with its entries by name.
struct ListedArchive {
    int64_t stamp = 0;
    std::unique_ptr<ZipReader> reader = std::make_unique<ZipReader>();
    std::map<std::string, ZipEntryStat> entries;
};

bool ReadArchive(const std::wstring& folder, const std::string& zip, ListedArchive& archive) {
    if (!archive.reader->Open(WideToUtf8(JoinPath(folder, Utf8ToWide(zip))))) {
        return false;
    }
    for (int i = 0; i < archive.reader->EntryCount(); ++i) {
        ZipEntryStat entry;
        if (!archive.reader->GetEntryStat(i, entry)) {
            return false;
        }
        archive.entries[entry.name] = entry;
    }
    return true;
}

std::string EntrySha256(ZipReader& reader, const ZipEntryStat& entry) {
    Sha256 hash;
    const bool read = reader.ReadEntry(entry, [&](const char* data, size_t size) {
        hash.Update(data, size);
        return true;
    });
    return read ? hash.FinishHex() : std::string();
}

int64_t StampOf(const ordered_json& package) {
    const auto found = package.find("created");
    return found != package.end() && found->is_number_integer() ? found->get<int64_t>() : 0;
}

// The archives that make up the release of stamp from: the newest full at or
// below it and the patches after that full up to it, newest first.
std::vector<ListedArchive> ReleaseArchives(const std::wstring& folder, const ordered_json& root,
                                           int64_t from) {
    int64_t full = 0;
    std::string fullZip;
    if (root.contains("fulls") && root["fulls"].is_array()) {
        for (const ordered_json& package : root["fulls"]) {
            const int64_t stamp = StampOf(package);
            if (stamp <= from && stamp > full) {
                full = stamp;
                fullZip = package.value("zip", std::string());
            }
        }
    }
    std::vector<std::pair<int64_t, std::string>> chosen;
    if (!fullZip.empty()) {
        chosen.emplace_back(full, fullZip);
    }
    if (root.contains("patches") && root["patches"].is_array()) {
        for (const ordered_json& package : root["patches"]) {
            const int64_t stamp = StampOf(package);
            if (stamp > full && stamp <= from) {
                chosen.emplace_back(stamp, package.value("zip", std::string()));
            }
        }
    }
    std::sort(chosen.begin(), chosen.end(), [](const auto& a, const auto& b) { return a > b; });
    std::vector<ListedArchive> archives;
    for (const auto& [stamp, zip] : chosen) {
        ListedArchive archive;
        archive.stamp = stamp;
        if (ReadArchive(folder, zip, archive)) {
            archives.push_back(std::move(archive));
        }
    }
    return archives;
}

// The newest stamp of the folder below stamp.
int64_t StampBefore(const ordered_json& root, int64_t stamp) {
    int64_t before = 0;
    for (const char* list : {"fulls", "patches"}) {
        if (root.contains(list) && root[list].is_array()) {
            for (const ordered_json& package : root[list]) {
                const int64_t other = StampOf(package);
                if (other < stamp) {
                    before = std::max(before, other);
                }
            }
        }
    }
    return before;
}

void CheckBase(std::vector<ListedArchive>& release, const ZipEntryStat& entry,
               const DeltaHeader& header, std::vector<std::wstring>& problems,
               std::vector<std::wstring>& notes) {
    const std::wstring name = Utf8ToWide(entry.name);
    for (ListedArchive& archive : release) {
        const auto found = archive.entries.find(entry.name);
        if (found == archive.entries.end()) {
            continue;
        }
        if (found->second.uncompressedSize != header.baseSize ||
            EntrySha256(*archive.reader, found->second) != header.baseSha256) {
            problems.push_back(L"the difference of \"" + name +
                               L"\" is not made from that file of stamp " +
                               std::to_wstring(archive.stamp));
        }
        return;
    }
    notes.push_back(L"the base of \"" + name + L"\" is in none of the folder's archives");
}

}  // namespace

std::vector<std::wstring> CheckDeltaArchive(const std::wstring& folder, const ordered_json& root,
                                            const ordered_json& patch,
                                            std::vector<std::wstring>& notes) {
    std::vector<std::wstring> problems;
    const ordered_json& delta = patch["delta"];
    const std::string fromText = delta.value("from", std::string());
    const int64_t from = ParseVersionNumber(fromText);
    const int64_t before = StampBefore(root, StampOf(patch));
    if (from <= 0 || from != before) {
        problems.push_back(L"\"from\" is \"" + Utf8ToWide(fromText) +
                           L"\", not the stamp before the patch (" + std::to_wstring(before) +
                           L")");
    }
    ListedArchive whole;
    ListedArchive differences;
    if (!ReadArchive(folder, patch.value("zip", std::string()), whole) ||
        !ReadArchive(folder, delta.value("zip", std::string()), differences)) {
        problems.push_back(L"the whole patch or the archive of differences cannot be read");
        return problems;
    }
    std::vector<ListedArchive> release = ReleaseArchives(folder, root, from);
    if (whole.reader->EntryCount() != differences.reader->EntryCount()) {
        problems.push_back(L"its entries are not the whole patch's");
        return problems;
    }
    for (int i = 0; i < whole.reader->EntryCount(); ++i) {
        ZipEntryStat expected;
        ZipEntryStat entry;
        if (!whole.reader->GetEntryStat(i, expected) ||
            !differences.reader->GetEntryStat(i, entry) || entry.name != expected.name) {
            problems.push_back(L"its entries are not the whole patch's");
            return problems;
        }
        const std::wstring name = Utf8ToWide(entry.name);
        DeltaHeader header;
        if (!IsDeltaComment(entry.comment)) {
            if (entry.crc != expected.crc || entry.uncompressedSize != expected.uncompressedSize) {
                problems.push_back(L"\"" + name + L"\" differs from the whole patch's");
            }
        } else if (!ParseDeltaHeader(entry.comment, header)) {
            problems.push_back(L"\"" + name + L"\" has a difference header no launcher reads");
        } else if (header.resultSize != expected.uncompressedSize ||
                   EntrySha256(*whole.reader, expected) != header.resultSha256) {
            problems.push_back(L"the difference of \"" + name +
                               L"\" does not give the whole patch's file");
        } else {
            CheckBase(release, entry, header, problems, notes);
        }
    }
    return problems;
}
