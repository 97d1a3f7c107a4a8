#include "common/gdi_owners.h"

#include <gtest/gtest.h>

#include <utility>

#include "common/win_handle.h"

TEST(GdiOwners, SelectionPutsThePreviousObjectBackOnce) {
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_BITMAP);
    UniqueBitmap first(CreateCompatibleBitmap(dc.get(), 4, 4));
    UniqueBitmap second(CreateCompatibleBitmap(dc.get(), 4, 4));
    ASSERT_TRUE(first && second);
    {
        GdiSelection outer(dc.get(), first.get());
        ASSERT_TRUE(outer);
        GdiSelection moved;
        {
            GdiSelection inner(dc.get(), second.get());
            EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), second.get());
            moved = std::move(inner);
        }
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), second.get()) << "moved from";
        moved.reset();
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), first.get());
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), original);
}
