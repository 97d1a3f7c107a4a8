#include "settings/schema.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <set>
#include <string>

#include "common/site.h"
#include "settings/settings_layout.h"

namespace {

const KnownClientKey* FindKnown(const wchar_t* section, const wchar_t* key) {
    for (const KnownClientKey& known : kKnownClientKeys) {
        // The profile functions match names without regard to case.
        if (_wcsicmp(known.section, section) == 0 && _wcsicmp(known.key, key) == 0) {
            return &known;
        }
    }
    return nullptr;
}

struct Rect {
    int left, top, right, bottom;
    bool Contains(const Rect& inner) const {
        return inner.left >= left && inner.top >= top && inner.right <= right &&
               inner.bottom <= bottom;
    }
    bool Overlaps(const Rect& other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
};

// The area a layout entry covers; a number row spans caption, field and hint.
Rect Area(const SettingsLayoutItem& item) {
    if (item.kind == SettingsControlKind::kNumberRow) {
        return {item.x, item.y, item.x + 318, item.y + 24};
    }
    return {item.x, item.y, item.x + item.width, item.y + item.height};
}

}  // namespace

TEST(ClientSettingsSchema, EveryWindowSettingIsAKnownKeyWithTheSameDefault) {
    std::set<std::wstring> names;
    for (const KnownClientKey& known : kKnownClientKeys) {
        EXPECT_TRUE(names.insert(std::wstring(known.section) + L"/" + known.key).second)
            << "duplicate " << known.key;
        ASSERT_NE(known.defaultValue, nullptr);
    }
    for (const CheckboxSetting& box : kCheckboxSettings) {
        const KnownClientKey* known = FindKnown(box.section, box.key);
        ASSERT_NE(known, nullptr) << box.key;
        EXPECT_EQ(std::to_wstring(box.defaultValue), known->defaultValue) << box.key;
        EXPECT_TRUE(box.defaultValue == 0 || box.defaultValue == 1) << box.key;
    }
    for (const NumberSetting& number : kNumberSettings) {
        const KnownClientKey* known = FindKnown(number.section, number.key);
        ASSERT_NE(known, nullptr) << number.key;
        EXPECT_EQ(std::to_wstring(number.defaultValue), known->defaultValue) << number.key;
        EXPECT_LE(number.minimum, number.defaultValue) << number.key;
        EXPECT_LE(number.defaultValue, number.maximum) << number.key;
        // A field holds nine digits and shows values as unsigned text.
        EXPECT_GE(number.minimum, 0) << number.key;
    }
    // 34 + 28 window keys and the two of [NET], which the window never shows.
    EXPECT_EQ(kCheckboxSettingCount + kNumberSettingCount + 2, kKnownClientKeyCount);
    EXPECT_EQ(FindKnown(L"NET", L"IP")->defaultValue, std::wstring(DefaultGameServerHost()));
    EXPECT_STREQ(FindKnown(L"NET", L"PORT")->defaultValue, L"11299");
}

TEST(ClientSettingsSchema, ControlIdentifiersAreUniqueAndInTheirRange) {
    std::set<int> ids;
    for (const CheckboxSetting& box : kCheckboxSettings) {
        EXPECT_TRUE(ids.insert(box.controlId).second) << box.controlId;
        EXPECT_GE(box.tabIndex, 0);
        EXPECT_LT(box.tabIndex, kSettingsTabCount);
    }
    for (const NumberSetting& number : kNumberSettings) {
        EXPECT_TRUE(ids.insert(number.controlId).second) << number.controlId;
        EXPECT_GE(number.tabIndex, 0);
        EXPECT_LT(number.tabIndex, kSettingsTabCount);
    }
    ASSERT_EQ(ids.size(), 62u);
    EXPECT_EQ(*ids.begin(), 1001);
    EXPECT_EQ(*ids.rbegin(), 1062);
}

TEST(SettingsLayout, PlacesEverySettingOnceOnItsTabInsideAFrame) {
    std::set<int> placed;
    for (const SettingsLayoutItem& item : kSettingsLayout) {
        if (item.kind == SettingsControlKind::kCheckbox) {
            bool found = false;
            for (const CheckboxSetting& box : kCheckboxSettings) {
                if (box.controlId == item.controlId) {
                    EXPECT_EQ(box.tabIndex, item.tabIndex) << item.controlId;
                    found = true;
                }
            }
            EXPECT_TRUE(found) << item.controlId;
            EXPECT_TRUE(placed.insert(item.controlId).second) << item.controlId;
        } else if (item.kind == SettingsControlKind::kNumberRow) {
            bool found = false;
            for (const NumberSetting& number : kNumberSettings) {
                if (number.controlId == item.controlId) {
                    EXPECT_EQ(number.tabIndex, item.tabIndex) << item.controlId;
                    found = true;
                }
            }
            EXPECT_TRUE(found) << item.controlId;
            EXPECT_TRUE(placed.insert(item.controlId).second) << item.controlId;
        }
    }
    EXPECT_EQ(placed.size(), kCheckboxSettingCount + kNumberSettingCount);

    // Every entry stands inside the frame that precedes it; frames of one tab
    // do not overlap each other, and all of it fits the tab control's page.
    const Rect page = {16, 50 + 30, 16 + 848, 50 + 620};
    const SettingsLayoutItem* frame = nullptr;
    for (const SettingsLayoutItem& item : kSettingsLayout) {
        EXPECT_TRUE(page.Contains(Area(item))) << item.x << "," << item.y;
        if (item.kind == SettingsControlKind::kGroup) {
            for (const SettingsLayoutItem& other : kSettingsLayout) {
                if (&other != &item && other.kind == SettingsControlKind::kGroup &&
                    other.tabIndex == item.tabIndex) {
                    EXPECT_FALSE(Area(item).Overlaps(Area(other)))
                        << "frames overlap at " << item.x << "," << item.y;
                }
            }
            frame = &item;
            continue;
        }
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->tabIndex, item.tabIndex);
        EXPECT_TRUE(Area(*frame).Contains(Area(item)))
            << "entry at " << item.x << "," << item.y << " outside its frame";
    }
}
