#include "app/resolution.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

TEST(Resolution, TheButtonShowsTheRowMatchingBothNumbersOfSetupIni) {
    struct Case {
        const char* ini;  // nullptr: no file
        const wchar_t* label;
    };
    const Case cases[] = {
        {"[Client]\r\nwidth=1366\r\nheight=768\r\n", L"1366 x 768"},
        {"[CLIENT]\r\nWidth=1024\r\nHEIGHT=768\r\n", L"1024 x 768"},
        {"[Client]\r\nwidth=1280\r\nheight=800\r\n", L"1280 x 800"},
        {"[Client]\r\nwidth=1600\r\nheight=1024\r\n", L"1600 x 1024"},
        {"[Client]\r\nwidth=2560\r\nheight=1440\r\n", L"1920 x 1080"},
        {"[Client]\r\nwidth=1600\r\nheight=768\r\n", L"1920 x 1080"},  // from two rows
        {"[Client]\r\nwidth=1366\r\n", L"1920 x 1080"},
        {"[Other]\r\nwidth=1366\r\nheight=768\r\n", L"1920 x 1080"},
        {nullptr, L"1920 x 1080"},
    };
    for (const Case& c : cases) {
        TempFolder folder(L"resolution");
        const std::wstring ini = folder.Child(L"setup.ini");
        if (c.ini != nullptr) {
            ASSERT_TRUE(WriteBytes(ini, c.ini));
        }
        int32_t width = -1;
        int32_t height = -1;
        ReadClientResolution(ini, width, height);
        EXPECT_EQ(ResolutionAt(SelectResolutionRow(width, height)).label, c.label)
            << (c.ini ? c.ini : "no file");
    }
}
