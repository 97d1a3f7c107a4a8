#include "app/status_mailbox.h"

#include <cwctype>
#include <utility>

namespace {

// The step a progress text belongs to: its text before the first digit
// ("Downloading... "), or "" for a text without a percentage.
std::wstring ProgressStep(const std::wstring& text) {
    if (text.find(L'%') == std::wstring::npos) {
        return std::wstring();
    }
    size_t digit = 0;
    while (digit < text.size() && !iswdigit(text[digit])) {
        ++digit;
    }
    return text.substr(0, digit);
}

}  // namespace

void StatusMailbox::Put(const std::wstring& text, const PostFunction& post) {
    bool postNow = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::wstring step = ProgressStep(text);
        if (!waiting_.empty() && !step.empty() && ProgressStep(waiting_.back()) == step) {
            waiting_.back() = text;
        } else {
            waiting_.push_back(text);
        }
        postNow = !posted_;
        posted_ = true;
    }
    // Posted outside the lock: the window may take the texts at once.
    if (postNow && !post()) {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_.clear();
        posted_ = false;
    }
}

std::vector<std::wstring> StatusMailbox::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    posted_ = false;
    return std::exchange(waiting_, {});
}
