#pragma once

#include <cstdint>
#include <string>

// Exit codes of vantora-publish.
constexpr int kPublishOk = 0;
constexpr int kPublishFailed = 1;  // bad input or a failed check; nothing half written
constexpr int kPublishUsage = 2;   // the command line is not understood
constexpr int kPublishRemovalsRefused = 3;

struct FullRequest {
    std::wstring releaseFolder;
    std::wstring updateFolder;
    std::wstring keyFile;  // the private key that signs the manifest; none when empty
    int64_t stamp = 0;
    std::string version;  // shown by the launcher; the stamp when empty
};

struct PatchRequest {
    std::wstring oldFolder;
    std::wstring newFolder;
    std::wstring updateFolder;
    std::wstring keyFile;
    int64_t stamp = 0;
    bool allowRemovals = false;
    bool delta = false;  // also the archive of differences against oldFolder
};

// "full": the whole release tree as "full_<stamp>.zip", listed in "fulls".
int PublishFull(const FullRequest& request);

// "patch": the files added or changed from the old tree to the new one as
// "patch_<stamp>.zip", listed in "patches"; with delta, also their
// differences against the old tree as "patch_<stamp>_delta.zip", listed as
// the package's "delta".
int PublishPatch(const PatchRequest& request);

// "keygen": a new private key file at keyFile (never over an existing file);
// prints the public key.
int GenerateKey(const std::wstring& keyFile);

// "sign": signs the update folder's manifest.json as it is, once it parses
// as the launcher parses it.
int SignUpdateFolder(const std::wstring& updateFolder, const std::wstring& keyFile);
