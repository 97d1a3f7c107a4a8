#include "app/status_progress.h"

#include <gtest/gtest.h>

TEST(StatusProgress, ReadsTheNumberBeforeTheFirstPercentOfProgressTexts) {
    struct Case {
        const wchar_t* text;
        bool isProgress;
        float progress;
    };
    const Case cases[] = {
        {L"Downloading... 7% (3.2 KB/s)", true, 0.07f},
        {L"Downloading... 100% (512.0 KB/s)", true, 1.0f},
        {L"Opening archive... 45% (120 files)", true, 0.45f},
        {L"Extracting... 0%", true, 0.0f},
        {L"Extracting... 250%", true, 2.5f},  // not clamped
        {L"Extracting... -5%", true, -0.05f},
        {L"Extracting... abc%", true, 0.0f},  // no digits read as 0
        {L"Extracting with PowerShell...", false, 0},
        {L"Checking for updates...", false, 0},
        {L"Ready to start. 100%", false, 0},  // a percentage without a keyword
        {L"Downloading:45%", false, 0},       // no space before the number
        {L"downloading... 45%", false, 0},    // keywords are case-sensitive
        {L"Opening archive...", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.text, c.text + wcslen(c.text)));
        float progress = -99.0f;
        EXPECT_EQ(ParseStatusProgress(c.text, progress), c.isProgress);
        if (c.isProgress) {
            EXPECT_FLOAT_EQ(progress, c.progress);
        } else {
            EXPECT_EQ(progress, -99.0f);
        }
    }
}
