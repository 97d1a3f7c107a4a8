#include <climits>
#include <cstdlib>
#include <fstream>

#include "updater/file_replace.h"
#include "updater/updater.h"

namespace {

const char kVersionFileName[] = "version.txt";
const wchar_t kVersionFilePath[] = L"version.txt";

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads one "%d" field at text[at]: blanks, an optional sign, digits. Values
// beyond the 32-bit range saturate. False when there are no digits.
bool ScanInt(const std::string& text, size_t& at, int32_t& value) {
    size_t i = at;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const size_t digitsStart = i;
    int64_t magnitude = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (magnitude <= INT64_C(0xFFFFFFFF)) {
            magnitude = magnitude * 10 + (text[i] - '0');
        }
        ++i;
    }
    if (i == digitsStart) {
        return false;
    }
    const int64_t signedValue = negative ? -magnitude : magnitude;
    value = static_cast<int32_t>(signedValue < INT32_MIN   ? INT32_MIN
                                 : signedValue > INT32_MAX ? INT32_MAX
                                                           : signedValue);
    at = i;
    return true;
}

}  // namespace

std::string ReadVersionFile() {
    std::ifstream file(kVersionFileName, std::ios::binary);
    if (!file.is_open()) {
        return "0";
    }
    std::string token;
    file >> token;
    return token;
}

bool WriteVersionFile(const std::string& text) {
    // The new stamp is complete and flushed in a file of its own before it
    // replaces the old one, so a full disk or a crash never leaves an empty
    // stamp behind (which would make every archive due again).
    const std::wstring path = kVersionFilePath;
    RemoveLeftoverScratchFiles(L".", path);
    DWORD error = ERROR_SUCCESS;
    return ReplaceFileContents(path, text, error);
}

int64_t ParseVersionNumber(const std::string& text) {
    if (!text.empty() && text.find('.') != std::string::npos) {
        // "major.minor.patch"; missing parts count 0, as a "%d.%d.%d" scan gives.
        int32_t parts[3] = {0, 0, 0};
        size_t at = 0;
        for (int i = 0; i < 3; ++i) {
            if (i > 0) {
                if (at >= text.size() || text[at] != '.') {
                    break;
                }
                ++at;
            }
            if (!ScanInt(text, at, parts[i])) {
                break;
            }
        }
        // minor * 100 is a 32-bit product; wrap it the way the hardware does.
        const int32_t minorPart = static_cast<int32_t>(static_cast<uint32_t>(parts[1]) * 100u);
        return static_cast<int64_t>(parts[0]) * 10000 + minorPart + parts[2];
    }
    return static_cast<int64_t>(std::strtoll(text.c_str(), nullptr, 10));
}
