#include "tests/support/diary_lines.h"

#include <regex>

#include "tests/support/temp_folder.h"

std::vector<std::string> DiaryLines(const std::wstring& folder) {
    const std::string text = ReadBytes(folder + L"\\updateerror.txt");
    static const std::regex prefix(R"(^\[[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\] )");
    std::vector<std::string> messages;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            messages.push_back("!" + text.substr(start));  // a line without its line end
            break;
        }
        const std::string line = text.substr(start, end - start);
        if (std::regex_search(line, prefix)) {
            messages.push_back(line.substr(11));
        } else {
            messages.push_back("!" + line);
        }
        start = end + 2;
    }
    return messages;
}
