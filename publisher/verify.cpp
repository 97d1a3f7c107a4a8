#include "publisher/verify.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/path.h"
#include "common/text.h"
#include "publisher/archive_digest.h"
#include "publisher/console.h"
#include "publisher/kind_conflicts.h"
#include "publisher/manifest_file.h"
#include "publisher/publish.h"
#include "publisher/update_signature.h"
#include "publisher/verify_delta.h"
#include "updater/archive_plan.h"
#include "updater/exe_guard.h"

namespace {

// An archive name the launcher can append to the folder's address.
bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\:?#%\"<>|*") == std::string::npos;
}

// The problems of one listed package; empty when it is sound. notes receives
// what the operator should know even so.
std::vector<std::wstring> CheckPackage(const std::wstring& folder,
                                       const nlohmann::ordered_json& listed, bool withKeys,
                                       std::vector<std::wstring>& notes) {
    std::vector<std::wstring> problems;
    const std::string zip = listed.value("zip", std::string());
    if (!IsPlainFileName(zip)) {
        problems.push_back(L"\"zip\" is not a plain file name");
        return problems;
    }
    const std::wstring path = JoinPath(folder, Utf8ToWide(zip));
    ArchiveDigest digest;
    if (!DigestArchive(path, digest)) {
        problems.push_back(L"the archive is missing or cannot be read");
        return problems;
    }
    if (listed.contains("size") && listed["size"].is_number_integer() &&
        listed["size"].get<int64_t>() != static_cast<int64_t>(digest.size)) {
        problems.push_back(L"size is " + std::to_wstring(digest.size) + L", listed " +
                           std::to_wstring(listed["size"].get<int64_t>()));
    }
    const std::string crc = AsciiLower(listed.value("crc", std::string()));
    if (!crc.empty() && crc != digest.crc) {
        problems.push_back(L"crc is " + Utf8ToWide(digest.crc) + L", listed " + Utf8ToWide(crc));
    }
    const std::string sha256 = AsciiLower(listed.value("sha256", std::string()));
    if (sha256.empty() && withKeys) {
        problems.push_back(L"no sha256, which launchers holding keys refuse");
    } else if (sha256.empty()) {
        notes.push_back(L"no sha256: players' downloads are not checked");
    } else if (sha256 != digest.sha256) {
        problems.push_back(L"sha256 is " + Utf8ToWide(digest.sha256) + L", listed " +
                           Utf8ToWide(sha256));
    }

    // The launcher's own reading of the archive.
    ArchivePlan plan;
    if (!PlanAsLauncher(path, plan)) {
        problems.push_back(L"the archive does not open");
        return problems;
    }
    if (plan.unsafeAt >= 0) {
        const PlannedEntry& entry = plan.entries[static_cast<size_t>(plan.unsafeAt)];
        problems.push_back(L"entry \"" + Utf8ToWide(entry.stat.name) +
                           (entry.safety == EntrySafety::kLink
                                ? L"\" is a link, which the launcher refuses"
                                : L"\" leaves the game folder, which the launcher refuses"));
    }
    if (plan.unreadableAt >= 0) {
        problems.push_back(L"entry " + std::to_wstring(plan.unreadableAt + 1) + L" cannot be read");
    }
    std::wstring ownFiles;
    for (const PlannedEntry& entry : plan.entries) {
        if (entry.role != EntryRole::kFolder && IsLauncherManagedArtifact(entry.stat.name)) {
            ownFiles += (ownFiles.empty() ? L"" : L", ") + Utf8ToWide(entry.stat.name);
        }
    }
    if (!ownFiles.empty()) {
        notes.push_back(L"launcher files, handled by the launcher itself: " + ownFiles);
    }
    return problems;
}

// The archive a listed package names, with its stamp; no path when its
// name is not a plain file name.
StampedArchive ListedArchive(const std::wstring& folder, const nlohmann::ordered_json& listed) {
    StampedArchive archive;
    archive.stamp = listed.value("created", int64_t{0});
    const std::string zip = listed.value("zip", std::string());
    if (IsPlainFileName(zip)) {
        archive.path = JoinPath(folder, Utf8ToWide(zip));
    }
    return archive;
}

// For each patch, the entries that need a file where a folder is or a
// folder where a file is, once launchers have applied what comes before it.
std::vector<std::vector<std::wstring>> PatchKindConflicts(const std::wstring& folder,
                                                          const nlohmann::ordered_json& root) {
    StampedArchive newestFull;
    if (root.contains("fulls") && root["fulls"].is_array()) {
        for (const nlohmann::ordered_json& listed : root["fulls"]) {
            const StampedArchive full = ListedArchive(folder, listed);
            newestFull = full.stamp > newestFull.stamp ? full : newestFull;
        }
    }
    std::vector<StampedArchive> patches;
    if (root.contains("patches") && root["patches"].is_array()) {
        for (const nlohmann::ordered_json& listed : root["patches"]) {
            patches.push_back(ListedArchive(folder, listed));
        }
    }
    return FindKindConflicts(newestFull, patches);
}

// Checks the archive of differences of a patch that lists one, with a line
// of its own; false when it has a problem.
bool VerifyDelta(const std::wstring& folder, const nlohmann::ordered_json& root,
                 const nlohmann::ordered_json& patch, bool withKeys) {
    if (!patch.contains("delta")) {
        return true;
    }
    const nlohmann::ordered_json& delta = patch["delta"];
    std::vector<std::wstring> notes;
    std::vector<std::wstring> problems;
    if (!delta.is_object()) {
        problems.push_back(L"\"delta\" is not an object: launchers take the whole patch");
    } else {
        problems = CheckPackage(folder, delta, withKeys, notes);
        if (problems.empty()) {
            problems = CheckDeltaArchive(folder, root, patch, notes);
        }
    }
    std::wstring line = (problems.empty() ? L"OK    delta " : L"FAIL  delta ") +
                        std::to_wstring(patch.value("created", int64_t{0})) + L"  " +
                        Utf8ToWide(delta.is_object() ? delta.value("zip", std::string()) : "");
    for (const std::wstring& text : problems.empty() ? notes : problems) {
        line += L"; " + text;
    }
    PrintLine(line);
    return problems.empty();
}

// Checks every package of list; false when one has a problem. more holds
// further problems of each package, in list order.
bool VerifyList(const std::wstring& folder, const nlohmann::ordered_json& root, const char* list,
                bool withKeys, const std::vector<std::vector<std::wstring>>& more = {}) {
    if (!root.contains(list) || root[list].is_null()) {
        return true;
    }
    bool ok = true;
    std::map<int64_t, int> stamps;
    for (const nlohmann::ordered_json& listed : root[list]) {
        const int64_t stamp = listed.value("created", int64_t{0});
        ++stamps[stamp];
    }
    const std::wstring kind = std::string(list) == "fulls" ? L"full " : L"patch";
    size_t index = 0;
    for (const nlohmann::ordered_json& listed : root[list]) {
        const int64_t stamp = listed.value("created", int64_t{0});
        std::vector<std::wstring> notes;
        std::vector<std::wstring> problems = CheckPackage(folder, listed, withKeys, notes);
        if (index < more.size()) {
            problems.insert(problems.end(), more[index].begin(), more[index].end());
        }
        ++index;
        if (stamps[stamp] > 1) {
            problems.insert(problems.begin(),
                            L"stamp " + std::to_wstring(stamp) + L" is listed more than once");
        }
        if (stamp <= 0) {
            problems.insert(problems.begin(), L"no stamp (\"created\"): never installed");
        }
        std::wstring line = (problems.empty() ? L"OK    " : L"FAIL  ") + kind + L" " +
                            std::to_wstring(stamp) + L"  " +
                            Utf8ToWide(listed.value("zip", std::string()));
        for (const std::wstring& text : problems.empty() ? notes : problems) {
            line += L"; " + text;
        }
        PrintLine(line);
        ok = ok && problems.empty();
        ok = VerifyDelta(folder, root, listed, withKeys) && ok;
    }
    return ok;
}

// Prints the signature's line; false when it does not hold.
bool VerifySignature(const std::wstring& folder, const std::string& manifest,
                     const std::vector<ByteString>& keys) {
    size_t matched = 0;
    const std::wstring file = kSignatureFileName;
    std::wstring why;
    switch (CheckSignatureFile(folder, manifest, keys, matched)) {
        case ManifestRefusal::kAccepted:
            PrintLine(L"OK    signature  " + file + L" by key " + std::to_wstring(matched + 1));
            return true;
        case ManifestRefusal::kMissing:
            why = file + L" is missing";
            break;
        case ManifestRefusal::kMalformed:
            why = file + L" is malformed (not 128 hex digits and at most a line break)";
            break;
        default:
            why = L"no key matches: " + file +
                  L" is no signature of this manifest.json by a key given";
            break;
    }
    PrintLine(L"FAIL  signature  " + why);
    return false;
}

}  // namespace

int VerifyUpdateFolder(const std::wstring& updateFolder, const std::vector<ByteString>& keys) {
    ManifestFile manifest;
    std::wstring error;
    const std::wstring path = JoinPath(updateFolder, L"manifest.json");
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        PrintLine(L"FAIL  " + path + L" is missing");
        return kPublishFailed;
    }
    if (!manifest.Load(updateFolder, error)) {
        PrintLine(L"FAIL  " + error);
        return kPublishFailed;
    }
    const bool signature = keys.empty() || VerifySignature(updateFolder, manifest.text(), keys);
    const nlohmann::ordered_json& root = manifest.json();
    const bool fulls = VerifyList(updateFolder, root, "fulls", !keys.empty());
    const bool patches = VerifyList(updateFolder, root, "patches", !keys.empty(),
                                    PatchKindConflicts(updateFolder, root));
    return signature && fulls && patches ? kPublishOk : kPublishFailed;
}
