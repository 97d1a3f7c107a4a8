#include "updater/archive_paths.h"

#include <windows.h>

#include "common/text.h"

std::string NormalizeEntryPath(const std::string& entryName) {
    std::string path = entryName;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    const size_t start = path.find_first_not_of("\\.");
    return start == std::string::npos ? std::string() : path.substr(start);
}

std::string WithoutTrailingDotsAndSpaces(std::string name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
        name.pop_back();
    }
    return name;
}

void CreateParentFolders(const std::string& path) {
    for (size_t at = path.find_first_of("\\/"); at != std::string::npos;
         at = path.find_first_of("\\/", at + 1)) {
        const std::string prefix = path.substr(0, at);
        if (!prefix.empty() && prefix != ".") {
            CreateDirectoryW(ArchiveNameToWide(prefix).c_str(), nullptr);
        }
    }
}

namespace {

bool HasParentComponent(const std::string& name) {
    size_t start = 0;
    for (;;) {
        const size_t end = name.find_first_of("\\/", start);
        // Windows drops trailing blanks from a path component, so ".. " goes up too.
        std::string component = name.substr(start, end - start);
        while (!component.empty() && component.back() == ' ') {
            component.pop_back();
        }
        if (component == "..") {
            return true;
        }
        if (end == std::string::npos) {
            return false;
        }
        start = end + 1;
    }
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

bool IsUnsafeEntryName(const std::string& storedName) {
    const bool uncPrefix = storedName.size() >= 2 &&
                           (storedName[0] == '/' || storedName[0] == '\\') &&
                           (storedName[1] == '/' || storedName[1] == '\\');
    if (uncPrefix || HasParentComponent(storedName)) {
        return true;
    }
    const std::string name = NormalizeEntryPath(storedName);
    if (HasParentComponent(name)) {
        return true;
    }
    const bool drive = name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':';
    const bool unc = name.size() >= 2 && name[0] == '\\' && name[1] == '\\';
    return drive || unc;
}

bool HasForbiddenCharacter(const std::string& storedName) {
    for (char c : storedName) {
        if (static_cast<unsigned char>(c) < 0x20 || c == ':') {
            return true;
        }
    }
    return false;
}

std::string VisibleEntryName(const std::string& storedName) {
    std::string visible;
    for (char c : storedName) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20) {
            static const char kDigits[] = "0123456789ABCDEF";
            visible += "\\x";
            visible += kDigits[byte >> 4];
            visible += kDigits[byte & 15];
        } else {
            visible += c;
        }
    }
    return visible;
}
