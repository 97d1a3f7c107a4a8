#include "patchnotes/html_scan.h"

#include "common/text.h"

#include <cstdlib>

namespace {

// The longest entity name between "&" and ";".
constexpr size_t kMaxEntityName = 11;

struct NamedEntity {
    const char* name;
    const char* utf8;
};

const NamedEntity kNamedEntities[] = {
    {"nbsp", " "},
    {"amp", "&"},
    {"lt", "<"},
    {"gt", ">"},
    {"quot", "\""},
    {"apos", "'"},
    {"ndash", "\xE2\x80\x93"},
    {"mdash", "\xE2\x80\x94"},
    {"hellip", "\xE2\x80\xA6"},
    {"bull", "\xE2\x80\xA2"},
};

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The white space of isspace in the C locale.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Calls test with the lower-cased text of every "<div ...>" tag from position
// from on, until test returns true; gives that tag's "<" and ">" positions.
template <typename Test>
bool FindDivTag(const std::string& html, size_t from, Test test, size_t& open, size_t& close) {
    while (html.size() >= 4 && from <= html.size() - 4) {
        const size_t lt = html.find("<div", from);
        if (lt == std::string::npos) {
            return false;
        }
        const size_t gt = html.find('>', lt);
        if (gt == std::string::npos) {
            return false;
        }
        if (test(AsciiLower(html.substr(lt, gt - lt + 1)))) {
            open = lt;
            close = gt;
            return true;
        }
        from = gt + 1;
    }
    return false;
}

// Decodes "#65" or "#x41" (name lower-cased). False when it is not a number
// that ends exactly at the name's end.
bool DecodeCharacterReference(const std::string& name, std::string& out) {
    if (name.size() < 2 || name[0] != '#') {
        return false;
    }
    const bool hex = name[1] == 'x';
    const std::string digits = name.substr(hex ? 2 : 1);
    char* end = nullptr;
    const unsigned long value = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
    if (end == digits.c_str() || end != digits.c_str() + digits.size()) {
        return false;
    }
    if (value <= 0x10FFFF) {
        AppendUtf8(out, static_cast<uint32_t>(value));
    }
    return true;
}

}  // namespace

size_t FindPatchNoteDiv(const std::string& html, size_t from) {
    size_t open = 0;
    size_t close = 0;
    const auto isPatchNote = [](const std::string& tag) {
        return tag.size() >= 10 && tag.find("patch-note") != std::string::npos;
    };
    return FindDivTag(html, from, isPatchNote, open, close) ? open : std::string::npos;
}

size_t FindDivContaining(const std::string& html, const std::string& word) {
    size_t open = 0;
    size_t close = 0;
    const auto mentionsWord = [&word](const std::string& tag) {
        return tag.find(word) != std::string::npos;
    };
    return FindDivTag(html, 0, mentionsWord, open, close) ? close + 1 : std::string::npos;
}

std::string DecodeHtmlEntities(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '&') {
            out += text[i++];
            continue;
        }
        // Only a ";" within reach can end an entity, so look no further.
        const size_t semicolon = text.substr(i + 1, kMaxEntityName + 1).find(';');
        if (semicolon == std::string::npos) {
            out += text[i++];
            continue;
        }
        const std::string name = text.substr(i + 1, semicolon);
        const std::string lower = AsciiLower(name);
        bool decoded = false;
        for (const NamedEntity& entity : kNamedEntities) {
            if (lower == entity.name) {
                out += entity.utf8;
                decoded = true;
                break;
            }
        }
        if (!decoded && !DecodeCharacterReference(lower, out)) {
            out += '&';
            out += name;
            out += ';';
        }
        i += semicolon + 2;
    }
    return out;
}

void AppendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint <= 0x7F) {
        out += static_cast<char>(codePoint);
    } else if (codePoint <= 0x7FF) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint <= 0xFFFF) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint <= 0x10FFFF) {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::wstring HtmlToPlainText(const std::string& html) {
    std::string text;
    bool inTag = false;
    for (const char c : html) {
        if (c == '<') {
            inTag = true;
        } else if (c == '>') {
            inTag = false;
        } else if (!inTag) {
            text += c;
        }
    }
    text = DecodeHtmlEntities(text);

    std::string collapsed;
    bool inBlank = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            inBlank = true;
            continue;
        }
        if (inBlank && !collapsed.empty()) {
            collapsed += ' ';
        }
        inBlank = false;
        collapsed += c;
    }
    return Utf8ToWide(collapsed);
}

std::wstring StripEmoji(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            const uint32_t codePoint = 0x10000 + ((static_cast<uint32_t>(unit) - 0xD800) << 10) +
                                       (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
            if (codePoint < 0x1F000 || codePoint > 0x1FAFF) {
                out += unit;
                out += text[i + 1];
            }
            ++i;
            continue;
        }
        const bool dropped = unit == 0xFE0E || unit == 0xFE0F || unit == 0x200D ||
                             (unit >= 0x2600 && unit <= 0x27BF);
        if (!dropped) {
            out += unit;
        }
    }
    const size_t first = out.find_first_not_of(L" \t");
    if (first == std::wstring::npos) {
        return std::wstring();
    }
    const size_t last = out.find_last_not_of(L" \t");
    return out.substr(first, last - first + 1);
}

std::string GetTagAttribute(const std::string& tag, const std::string& name) {
    const std::string lowerTag = AsciiLower(tag);
    const std::string lowerName = AsciiLower(name);
    if (lowerName.empty()) {
        return std::string();
    }
    size_t at = 0;
    for (size_t from = 0;; from = at + lowerName.size()) {
        at = lowerTag.find(lowerName, from);
        if (at == std::string::npos) {
            return std::string();
        }
        const size_t after = at + lowerName.size();
        const bool startsWord = at == 0 || !IsAsciiAlnum(lowerTag[at - 1]);
        const bool endsWord = after == lowerTag.size() || !IsAsciiAlnum(lowerTag[after]);
        if (startsWord && endsWord) {
            break;
        }
    }
    const size_t equals = tag.find('=', at + lowerName.size());
    if (equals == std::string::npos) {
        return std::string();
    }
    size_t value = equals + 1;
    while (value < tag.size() && IsSpace(tag[value])) {
        ++value;
    }
    if (value == tag.size()) {
        return std::string();
    }
    const char quote = tag[value];
    if (quote == '"' || quote == '\'') {
        const size_t end = tag.find(quote, value + 1);
        return tag.substr(value + 1,
                          end == std::string::npos ? std::string::npos : end - value - 1);
    }
    const size_t end = tag.find_first_of(" \t\r\n>", value);
    return tag.substr(value, end == std::string::npos ? std::string::npos : end - value);
}

TagName ParseTagName(const std::string& tag) {
    TagName result;
    size_t at = 1;
    if (at < tag.size() && tag[at] == '/') {
        result.closing = true;
        ++at;
    }
    while (at < tag.size() && IsSpace(tag[at])) {
        ++at;
    }
    while (at < tag.size() && IsAsciiAlnum(tag[at])) {
        result.name += tag[at++];
    }
    result.name = AsciiLower(result.name);
    return result;
}
