#include "ui/ui_font.h"

#include <memory>
#include <mutex>

namespace {

// "Segoe UI" first; Tahoma ships with every Windows and with Wine, the others
// cover systems that map fonts from elsewhere.
constexpr const wchar_t* kFamilies[] = {L"Segoe UI", L"Tahoma", L"Arial", L"Liberation Sans",
                                        L"DejaVu Sans"};

std::mutex fontMutex;
std::unique_ptr<Gdiplus::FontFamily> fontFamily;
bool fontLookedUp = false;

std::unique_ptr<Gdiplus::FontFamily> LookUpFontFamily() {
    for (const wchar_t* name : kFamilies) {
        auto family = std::make_unique<Gdiplus::FontFamily>(name);
        // The wrappers overwrite their status on every call: read it first.
        if (family->GetLastStatus() == Gdiplus::Ok && family->IsAvailable()) {
            return family;
        }
    }
    // Null under Wine unless a replacement for "Microsoft Sans Serif" exists.
    const Gdiplus::FontFamily* generic = Gdiplus::FontFamily::GenericSansSerif();
    if (generic && generic->IsAvailable()) {
        std::unique_ptr<Gdiplus::FontFamily> copy(generic->Clone());
        if (copy && copy->GetLastStatus() == Gdiplus::Ok) {
            return copy;
        }
    }
    return nullptr;
}

}  // namespace

const Gdiplus::FontFamily* UIFontFamily() {
    std::lock_guard<std::mutex> lock(fontMutex);
    if (!fontLookedUp) {
        fontFamily = LookUpFontFamily();
        fontLookedUp = true;
    }
    return fontFamily.get();
}

void ReleaseUIFontFamily() {
    std::lock_guard<std::mutex> lock(fontMutex);
    fontFamily.reset();
    fontLookedUp = false;
}
