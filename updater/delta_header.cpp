#include "updater/delta_header.h"

#include <sstream>

#include "common/sha256.h"

namespace {

const char kMarker[] = "vantora-delta/";
const char kVersion1[] = "vantora-delta/1";

bool ParseSize(const std::string& text, uint64_t& size) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    size = std::stoull(text);
    return size >= 1 && size <= kDeltaFileLimit;
}

bool IsLowerHexDigest(const std::string& text) {
    return IsSha256Hex(text) && text.find_first_of("ABCDEF") == std::string::npos;
}

}  // namespace

bool IsDeltaComment(const std::string& comment) {
    return comment.compare(0, sizeof(kMarker) - 1, kMarker) == 0;
}

std::string DeltaHeaderText(const DeltaHeader& header) {
    return std::string(kVersion1) + " " + std::to_string(header.baseSize) + " " +
           header.baseSha256 + " " + std::to_string(header.resultSize) + " " + header.resultSha256;
}

bool ParseDeltaHeader(const std::string& comment, DeltaHeader& header) {
    std::istringstream words(comment);
    std::string version, baseSize, baseSha256, resultSize, resultSha256;
    if (!(words >> version >> baseSize >> baseSha256 >> resultSize >> resultSha256) ||
        version != kVersion1) {
        return false;
    }
    DeltaHeader parsed;
    parsed.baseSha256 = baseSha256;
    parsed.resultSha256 = resultSha256;
    if (!ParseSize(baseSize, parsed.baseSize) || !ParseSize(resultSize, parsed.resultSize) ||
        !IsLowerHexDigest(baseSha256) || !IsLowerHexDigest(resultSha256) ||
        comment != DeltaHeaderText(parsed)) {  // one spelling only: no blanks, signs or zeros
        return false;
    }
    header = parsed;
    return true;
}
