#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>

#include <nlohmann/json.hpp>

#include "common/sha256.h"
#include "updater/updater.h"

namespace {

using nlohmann::json;

const int64_t kInt64Lowest = std::numeric_limits<int64_t>::min();
const int64_t kInt64Highest = std::numeric_limits<int64_t>::max();

// Every reader below returns false for a value of the wrong type; a missing
// key leaves the default in place.

bool ReadString(const json& object, const char* key, std::string& out) {
    const auto found = object.find(key);
    if (found == object.end()) {
        return true;
    }
    if (!found->is_string()) {
        return false;
    }
    out = found->get<std::string>();
    return true;
}

enum class OutOfRange { kSaturate, kReject };

// Integers are taken as they are; a floating-point value is truncated toward
// zero. A value beyond [lowest, highest] either saturates at the nearer end
// or makes the value unusable (false), as `outOfRange` says.
bool ReadInteger(const json& object, const char* key, int64_t lowest, int64_t highest,
                 OutOfRange outOfRange, int64_t& out) {
    const auto found = object.find(key);
    if (found == object.end()) {
        return true;
    }
    bool above = false;
    bool below = false;
    int64_t value = 0;
    if (found->is_number_unsigned()) {
        const uint64_t number = found->get<uint64_t>();
        above = number > static_cast<uint64_t>(highest);
        value = above ? highest : static_cast<int64_t>(number);
    } else if (found->is_number_integer()) {
        value = found->get<int64_t>();
    } else if (found->is_number_float()) {
        // 2^63 as a double; every double below it converts exactly.
        const double limit = 9223372036854775808.0;
        const double number = std::trunc(found->get<double>());
        above = number >= limit;
        below = number < -limit;
        value = above ? highest : below ? lowest : static_cast<int64_t>(number);
    } else {
        return false;
    }
    above = above || value > highest;
    below = below || value < lowest;
    if ((above || below) && outOfRange == OutOfRange::kReject) {
        return false;
    }
    out = above ? highest : below ? lowest : value;
    return true;
}

bool ReadPackage(const json& object, bool numericVersion, UpdatePackage& package) {
    if (!object.is_object()) {
        return false;
    }
    if (numericVersion) {
        int64_t version = 0;
        if (!ReadInteger(object, "version", kInt64Lowest, kInt64Highest, OutOfRange::kSaturate,
                         version)) {
            return false;
        }
        package.version = std::to_string(version);
    } else if (!ReadString(object, "version", package.version)) {
        return false;
    }
    // "size" is not used: any integer is taken and cut to 32 bits, since full
    // archives of the client often pass 2 GiB.
    int64_t size = 0;
    if (!ReadString(object, "zip", package.zip) || !ReadString(object, "crc", package.crc) ||
        !ReadInteger(object, "size", kInt64Lowest, kInt64Highest, OutOfRange::kSaturate, size) ||
        !ReadInteger(object, "created", kInt64Lowest, kInt64Highest, OutOfRange::kReject,
                     package.created)) {
        return false;
    }
    package.size = static_cast<int32_t>(static_cast<uint32_t>(size));
    // "sha256" is optional; when present it must be a digest the download
    // can be checked against.
    return !object.contains("sha256") ||
           (ReadString(object, "sha256", package.sha256) && IsSha256Hex(package.sha256));
}

// A patch's "delta" object. Launchers before it ignore it, so one this
// launcher cannot use is ignored too: the whole patch serves.
void ReadDelta(const json& package, DeltaPackage& delta) {
    const auto found = package.find("delta");
    if (found == package.end() || !found->is_object()) {
        return;
    }
    DeltaPackage read;
    int64_t from = 0;
    const bool numericFrom = found->contains("from") && (*found)["from"].is_number();
    if (!ReadString(*found, "zip", read.zip) || !ReadString(*found, "crc", read.crc) ||
        !ReadInteger(*found, "size", kInt64Lowest, kInt64Highest, OutOfRange::kSaturate,
                     read.size) ||
        !ReadString(*found, "sha256", read.sha256) ||
        (numericFrom ? !ReadInteger(*found, "from", 1, kInt64Highest, OutOfRange::kReject, from)
                     : !ReadString(*found, "from", read.from)) ||
        (!read.sha256.empty() && !IsSha256Hex(read.sha256))) {
        return;
    }
    if (numericFrom) {
        read.from = std::to_string(from);
    }
    if (!read.zip.empty() && ParseVersionNumber(read.from) > 0) {
        delta = std::move(read);
    }
}

// "patches" and "fulls": absent or null means none; anything but an array of
// package objects makes the manifest unusable.
bool ReadPackageList(const json& root, const char* key, bool numericVersion,
                     std::vector<UpdatePackage>& out) {
    const auto found = root.find(key);
    if (found == root.end() || found->is_null()) {
        return true;
    }
    if (!found->is_array()) {
        return false;
    }
    for (const json& item : *found) {
        UpdatePackage package;
        if (!ReadPackage(item, numericVersion, package)) {
            return false;
        }
        if (numericVersion) {
            ReadDelta(item, package.delta);
        }
        out.push_back(std::move(package));
    }
    return true;
}

}  // namespace

bool ParseManifest(const std::string& path, UpdateManifest& manifest) {
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        return false;
    }
    return ParseManifestText(
        std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()),
        manifest);
}

bool ParseManifestText(const std::string& text, UpdateManifest& manifest) {
    try {
        const json root = json::parse(text, nullptr, /*allow_exceptions=*/false);
        if (root.is_discarded() || !root.is_object()) {
            return false;
        }
        UpdateManifest parsed;
        if (!ReadString(root, "latest", parsed.latest) ||
            !ReadPackageList(root, "patches", /*numericVersion=*/true, parsed.patches) ||
            !ReadPackageList(root, "fulls", /*numericVersion=*/false, parsed.fulls)) {
            return false;
        }
        manifest = std::move(parsed);
        return true;
    } catch (const std::exception&) {
        // Out of memory on a huge file, or anything else the library throws.
        return false;
    }
}
