#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "common/ecdsa_p256.h"
#include "updater/updater.h"

enum class ManifestSave {
    kSaved,
    kNothingWritten,       // the folder is as it was
    kSignatureNotWritten,  // the new manifest is in place, its signature is not
};

// The manifest of an update folder as the publisher edits it: the JSON kept
// whole, in its own key order, with every package and key the publisher does
// not know.
class ManifestFile {
  public:
    // Reads "manifest.json" of updateFolder; a folder without one starts an
    // empty manifest. False, with a message in error, when the file cannot
    // be read or does not parse as the launcher parses it.
    bool Load(const std::wstring& updateFolder, std::wstring& error);

    // False, with a message in error, when stamp is not above every stamp
    // ("created") already in list ("fulls" or "patches").
    bool CheckStamp(const char* list, int64_t stamp, std::wstring& error) const;

    // The highest stamp ("created") in list; 0 when it is empty.
    int64_t NewestStamp(const char* list) const;

    // True when a package of "fulls" or "patches" names the archive zipName
    // (without regard to case, as the file system compares names).
    bool ListsArchive(const std::string& zipName) const;

    // Appends package to list and sets "latest".
    void Add(const char* list, const nlohmann::ordered_json& package, const std::string& latest);

    // Writes the manifest to a temporary file beside it and, with a signing
    // key, its signature "manifest.json.sig" to another; then moves the
    // manifest into place and the signature after it. Between the two moves
    // the folder holds the new manifest with the old signature. A message in
    // error unless kSaved.
    ManifestSave Save(const ByteString& signingKey, std::wstring& error) const;

    const nlohmann::ordered_json& json() const { return root_; }
    // The bytes Load read; empty for a folder without a manifest.
    const std::string& text() const { return text_; }

  private:
    std::wstring folder_;
    std::wstring path_;
    std::string text_;
    nlohmann::ordered_json root_ = nlohmann::ordered_json::object();
    UpdateManifest parsed_;
};
