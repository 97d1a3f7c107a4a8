#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// The problems of the archive of differences a patch of the update folder
// lists (its "delta"), beyond those of any archive: its entries must be the
// whole patch's, in the same order; each difference must describe the
// whole patch's file as its result; "from" must be the stamp of the package
// before the patch; and each difference's base must be the file that the
// folder's own archives give at that stamp. notes receives what could not
// be checked.
std::vector<std::wstring> CheckDeltaArchive(const std::wstring& folder,
                                            const nlohmann::ordered_json& root,
                                            const nlohmann::ordered_json& patch,
                                            std::vector<std::wstring>& notes);
