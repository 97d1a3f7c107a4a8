#include "app/status_mailbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(StatusMailbox, OneMessageInFlightCarriesTheNewestTextOfEveryStep) {
    StatusMailbox mailbox;
    int posts = 0;
    const auto post = [&posts] {
        ++posts;
        return true;
    };
    // A download reports every read; the window is busy meanwhile.
    for (int percent = 0; percent <= 100; ++percent) {
        mailbox.Put(L"Downloading... " + std::to_wstring(percent) + L"% (10.0 KB/s)", post);
    }
    mailbox.Put(L"Opening archive...", post);
    mailbox.Put(L"Opening archive... 5% (1 files)", post);
    mailbox.Put(L"Opening archive... 100%", post);
    mailbox.Put(L"Extracting... 0%", post);
    mailbox.Put(L"Extracting... 50%", post);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(mailbox.Take(),
              (std::vector<std::wstring>{L"Downloading... 100% (10.0 KB/s)", L"Opening archive...",
                                         L"Opening archive... 100%", L"Extracting... 50%"}));

    // Taken: the next text posts again, and a step's last text is kept.
    mailbox.Put(L"Extracting... 100%", post);
    mailbox.Put(L"Extraction complete", post);
    mailbox.Put(L"Ready to start.", post);
    EXPECT_EQ(posts, 2);
    EXPECT_EQ(mailbox.Take(),
              (std::vector<std::wstring>{L"Extracting... 100%", L"Extraction complete",
                                         L"Ready to start."}));
    EXPECT_TRUE(mailbox.Take().empty());

    // A window that is gone takes nothing: the texts do not pile up, and a
    // later text tries to post again.
    mailbox.Put(L"Checking for updates...", [] { return false; });
    EXPECT_TRUE(mailbox.Take().empty());
    mailbox.Put(L"Ready to start.", post);
    EXPECT_EQ(posts, 3);
}
