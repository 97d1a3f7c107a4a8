#include "patchnotes/patch_image.h"

#include "common/text.h"
#include "patchnotes/html_scan.h"
#include "patchnotes/web_fetch.h"

#include <utility>
#include <vector>

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// Sources that never make an image: nothing written, inline data, and the
// site's emoji pictures.
bool IsSkippedSource(const std::string& src) {
    return src.empty() || StartsWith(src, "data:") || StartsWith(src, "emojis/");
}

// Line breaks or other control bytes in a request path could end the
// request line early; such a source is not fetched.
bool HasControlBytes(const std::string& path) {
    for (const char c : path) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool ResolvePatchImagePath(const std::string& src, std::string& path) {
    if (IsSkippedSource(src)) {
        return false;
    }
    std::string resolved;
    if (StartsWith(src, "https://") || StartsWith(src, "http://")) {
        const size_t slash = src.find('/', src.find("://") + 3);
        if (slash == std::string::npos) {
            return false;
        }
        resolved = src.substr(slash);
    } else if (StartsWith(src, "/")) {
        resolved = src;
    } else {
        resolved = "/patchnotes/" + src;
    }
    if (HasControlBytes(resolved)) {
        return false;
    }
    path = resolved;
    return true;
}

std::shared_ptr<PatchImageData> FetchPatchImage(const std::string& src, const SiteAddress& site) {
    std::string path;
    if (!ResolvePatchImagePath(src, path)) {
        return nullptr;
    }
    const std::wstring widePath = Utf8ToWide(path);
    std::vector<uint8_t> bytes;
    if (!FetchFromSite(site, widePath, bytes)) {
        return nullptr;
    }
    auto image = std::make_shared<PatchImageData>();
    image->bytes = std::move(bytes);
    image->url = widePath;
    return image;
}

bool MakeImageBlock(const std::string& tag, const SiteAddress& site, int32_t indent,
                    PatchNoteBlock& block) {
    const std::string src = GetTagAttribute(tag, "src");
    if (IsSkippedSource(src)) {
        return false;
    }
    std::shared_ptr<PatchImageData> image = FetchPatchImage(src, site);
    if (!image) {
        image = std::make_shared<PatchImageData>();
        image->url = Utf8ToWide(src);
    }
    image->altText = StripEmoji(Utf8ToWide(GetTagAttribute(tag, "alt")));

    block = PatchNoteBlock();
    block.indent = indent;
    block.spaceBefore = 6;
    block.spaceAfter = 8;
    block.image = std::move(image);
    return true;
}
