#include "common/file_retry.h"

#include <gtest/gtest.h>

#include <vector>

TEST(FileRetry, TriesAgainWhileTheFileIsHeldAndTellsOfTheFirstRetryOnly) {
    struct Case {
        const char* name;
        RetryPolicy retry;
        std::vector<DWORD> failures;  // the errors of the first tries; the next one succeeds
        bool result;
        DWORD error;
        size_t tries;
        std::vector<DWORD> notices;
    };
    const RetryPolicy held = {3, 0, IsSharingError};
    const Case cases[] = {
        {"held twice", held, {32, 5}, true, 0, 3, {32}},
        {"held throughout", held, {32, 32, 32, 32}, false, 32, 3, {32}},
        {"not there", held, {2}, false, 2, 1, {}},
        {"mapped, not counted", held, {1224}, false, 1224, 1, {}},
        {"mapped, counted", {3, 0, IsTransientFileError}, {1224}, true, 0, 2, {1224}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        size_t tries = 0;
        std::vector<DWORD> notices;
        DWORD error = 99;
        const bool result = WithRetry(
            c.retry,
            [&] {
                if (tries < c.failures.size()) {
                    SetLastError(c.failures[tries++]);
                    return false;
                }
                ++tries;
                return true;
            },
            error, [&](DWORD first) { notices.push_back(first); });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(tries, c.tries);
        EXPECT_EQ(notices, c.notices);
    }
}
