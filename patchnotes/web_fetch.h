#pragma once

#include "common/site.h"

#include <cstdint>
#include <string>
#include <vector>

// The largest body a fetch accepts (a page or an image).
constexpr uint64_t kMaxFetchedBodySize = 16 * 1024 * 1024;

// Blocking GET of one path on a web site into body (appended to). True only
// when the final answer was 200 and its body arrived whole and within
// kMaxFetchedBodySize; on false (also when memory runs out), body is left as
// it was passed in. path is the absolute request path with any query,
// e.g. "/patchnotes/patchnotes.php".
bool FetchFromSite(const SiteAddress& site, const std::wstring& path, std::vector<uint8_t>& body);

// The same on the game web site, the only site the launcher reads pages and
// images from.
bool FetchFromWebSite(const std::wstring& path, std::vector<uint8_t>& body);
