#include "common/win_handle.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// A closed handle no longer answers GetHandleInformation.
bool IsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}

}  // namespace

TEST(UniqueHandle, ClosesOnceAndMovesOwnership) {
    HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(raw, nullptr);
    {
        UniqueHandleKernel first(raw);
        UniqueHandleKernel second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), raw);
        UniqueHandleKernel third;
        third = std::move(second);
        EXPECT_TRUE(IsOpen(raw));
    }
    EXPECT_FALSE(IsOpen(raw));
}

TEST(UniqueHandle, ReleaseGivesUpOwnershipAndFileHandlesUseTheirOwnInvalidValue) {
    HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        UniqueHandleKernel owner(raw);
        EXPECT_EQ(owner.release(), raw);
    }
    EXPECT_TRUE(IsOpen(raw));
    CloseHandle(raw);

    UniqueFile missing(CreateFileW(L"Z:\\no\\such\\file.bin", GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.get(), INVALID_HANDLE_VALUE);
}
