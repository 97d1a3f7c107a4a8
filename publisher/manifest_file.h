#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "updater/updater.h"

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

    // Appends package to list and sets "latest".
    void Add(const char* list, const nlohmann::ordered_json& package, const std::string& latest);

    // Writes the manifest to a temporary file beside it and moves that into
    // place. False, with a message in error, when that failed; the old
    // manifest is then unchanged.
    bool Save(std::wstring& error) const;

    const nlohmann::ordered_json& json() const { return root_; }

  private:
    std::wstring path_;
    nlohmann::ordered_json root_ = nlohmann::ordered_json::object();
    UpdateManifest parsed_;
};
