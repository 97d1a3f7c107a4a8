#include "settings/user_ini.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/site.h"
#include "common/text.h"
#include "common/win_handle.h"
#include "settings/schema.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr wchar_t kMarker[] = L"{C4BDBE38-6DB0-4D0B-A25D-0E68E13F4A91}";
constexpr wchar_t kAbsent[] = L"<absent>";

UserFolderFunction FolderAt(const std::wstring& folder) {
    return [folder] { return folder; };
}

std::wstring ReadValue(const std::wstring& path, const wchar_t* section, const wchar_t* key) {
    wchar_t value[512] = {};
    GetPrivateProfileStringW(section, key, kAbsent, value, 512, path.c_str());
    return value;
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Every known key, in its section, with the value of the table or an override.
std::string CompleteIni(const std::string& extraClientLines) {
    std::string text;
    std::string section;
    for (const KnownClientKey& known : kKnownClientKeys) {
        const std::string name(known.section, known.section + wcslen(known.section));
        if (name != section) {
            text += "[" + name + "]\r\n";
            if (name == "Client") {
                text += extraClientLines;
            }
            section = name;
        }
        const std::string key(known.key, known.key + wcslen(known.key));
        text += key + "=7\r\n";
    }
    return text;
}

class UserSetupIni : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(temp.path().empty());
        ASSERT_TRUE(CreateDirectoryW(localAppData.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(gameFolder.c_str(), nullptr));
    }

    bool Ensure(std::wstring* error) {
        return EnsureUserSetupIni(legacyIni, error, FolderAt(userFolder));
    }

    TempFolder temp;
    std::wstring localAppData = temp.Child(L"Local");
    std::wstring userFolder = localAppData + L"\\VantoraOnline";
    std::wstring userIni = userFolder + L"\\setup.ini";
    std::wstring gameFolder = temp.Child(L"game");
    std::wstring legacyIni = gameFolder + L"\\setup.ini";
};

}  // namespace

TEST(UserSetupIniPath, ComesFromTheLocalApplicationDataFolder) {
    const std::wstring folder = GetUserDataFolder();
    const std::wstring suffix = L"\\VantoraOnline";
    ASSERT_GT(folder.size(), suffix.size());
    EXPECT_EQ(folder.substr(folder.size() - suffix.size()), suffix);
    EXPECT_NE(folder[folder.size() - suffix.size() - 1], L'\\');
    EXPECT_TRUE(FolderExists(folder.substr(0, folder.size() - suffix.size())));

    EXPECT_EQ(GetUserSetupIniPath(FolderAt(L"C:\\x\\VantoraOnline")),
              L"C:\\x\\VantoraOnline\\setup.ini");
    EXPECT_EQ(GetUserSetupIniPath(FolderAt(L"")), L"");
    EXPECT_EQ(GetUserSetupIniPath(), folder + L"\\setup.ini");
}

TEST_F(UserSetupIni, FreshInstallGetsEveryKnownKeyWithItsDefaultInItsSection) {
    std::wstring error = L"untouched";
    ASSERT_TRUE(Ensure(&error));
    EXPECT_EQ(error, L"untouched");

    for (const KnownClientKey& known : kKnownClientKeys) {
        EXPECT_EQ(ReadValue(userIni, known.section, known.key), known.defaultValue) << known.key;
    }
    EXPECT_EQ(ReadValue(userIni, L"NET", L"IP"), DefaultGameServerHost());
    const std::string text = ReadBytes(userIni);
    EXPECT_EQ(CountOf(text, "="), kKnownClientKeyCount);
    const size_t client = text.find("[Client]");
    const size_t local = text.find("[Local]");
    const size_t net = text.find("[NET]");
    const size_t interface = text.find("[Interface]");
    const size_t tracker = text.find("[PerformanceTracker]");
    const size_t discord = text.find("[Discord]");
    EXPECT_EQ(client, 0u);
    EXPECT_TRUE(client < local && local < net && net < interface && interface < tracker &&
                tracker < discord)
        << text;
    EXPECT_LT(text.find("ColorBit=0"), text.find("Shadow=2"));
    EXPECT_FALSE(FileExists(legacyIni));

    // A second run finds nothing to do and leaves the file as it is.
    ASSERT_TRUE(Ensure(&error));
    EXPECT_EQ(ReadBytes(userIni), text);
}

TEST_F(UserSetupIni, CreatesEveryMissingFolderLevel) {
    userFolder = temp.Child(L"a\\b/c\\VantoraOnline");
    userIni = userFolder + L"\\setup.ini";
    ASSERT_TRUE(EnsureUserSetupIni(L"", nullptr, FolderAt(userFolder)));
    EXPECT_TRUE(FolderExists(temp.Child(L"a\\b\\c\\VantoraOnline")));
    EXPECT_EQ(ReadValue(userIni, L"Client", L"Width"), L"1024");
}

TEST_F(UserSetupIni, MigratesTheLegacyFileOnceAndAddsOnlyWhatItLacks) {
    const std::string legacy =
        "; kept by the player\r\n"
        "[Client]\r\n"
        "width=1920\r\n"
        "Gamma=\r\n"
        "Shadow={C4BDBE38-6DB0-4D0B-A25D-0E68E13F4A91}\r\n"
        "CustomOption=keep me\r\n"
        "[Mods]\r\n"
        "Enabled=yes\r\n"
        "path=C:\\mods ; not a comment\r\n";
    ASSERT_TRUE(WriteBytes(legacyIni, legacy));
    std::wstring error;
    ASSERT_TRUE(Ensure(&error)) << error;

    EXPECT_EQ(ReadBytes(legacyIni), legacy);
    const std::string text = ReadBytes(userIni);
    for (const char* line :
         {"; kept by the player\r\n", "width=1920\r\n", "Gamma=\r\n", "CustomOption=keep me\r\n",
          "[Mods]\r\nEnabled=yes\r\n", "path=C:\\mods ; not a comment\r\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
    // Present keys keep their values, whatever the case of their names; an
    // empty value is a value; the marker text counts as missing.
    EXPECT_EQ(ReadValue(userIni, L"Client", L"Width"), L"1920");
    EXPECT_EQ(CountOf(text, "idth="), 1u) << text;
    EXPECT_EQ(ReadValue(userIni, L"Client", L"Gamma"), L"");
    EXPECT_EQ(ReadValue(userIni, L"Client", L"Shadow"), L"2");
    EXPECT_EQ(text.find(WideToUtf8(kMarker)), std::string::npos);
    EXPECT_EQ(ReadValue(userIni, L"NET", L"PORT"), L"11299");
    EXPECT_EQ(ReadValue(userIni, L"Discord", L"ShareShop"), L"1");
    EXPECT_EQ(ReadValue(userIni, L"Mods", L"Enabled"), L"yes");
}

TEST_F(UserSetupIni, CompleteLegacyFileArrivesByteForByte) {
    const std::string legacy =
        CompleteIni("; comment\r\nUnknown = spaced value \r\n") + "[Extra]\r\nthing=1\r\n\r\n";
    ASSERT_TRUE(WriteBytes(legacyIni, legacy));
    ASSERT_TRUE(Ensure(nullptr));
    EXPECT_EQ(ReadBytes(userIni), legacy);
}

TEST_F(UserSetupIni, ExistingPerUserFileWinsOverTheLegacyFile) {
    ASSERT_TRUE(CreateDirectoryW(userFolder.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(userIni, "[Client]\r\nWidth=800\r\n"));
    const std::string legacy = "[Client]\r\nWidth=1920\r\nHeight=1080\r\n[Legacy]\r\nOnly=here\r\n";
    ASSERT_TRUE(WriteBytes(legacyIni, legacy));

    ASSERT_TRUE(Ensure(nullptr));
    EXPECT_EQ(ReadValue(userIni, L"Client", L"Width"), L"800");
    EXPECT_EQ(ReadValue(userIni, L"Client", L"Height"), L"768");
    EXPECT_EQ(ReadValue(userIni, L"Legacy", L"Only"), kAbsent);
    EXPECT_EQ(ReadBytes(legacyIni), legacy);
}

TEST_F(UserSetupIni, ReportsEachFailureWithItsOwnMessage) {
    std::wstring error = L"untouched";
    EXPECT_FALSE(EnsureUserSetupIni(legacyIni, &error, FolderAt(L"")));
    EXPECT_EQ(error, L"Could not resolve %LOCALAPPDATA%\\VantoraOnline.");
    EXPECT_FALSE(EnsureUserSetupIni(legacyIni, nullptr, FolderAt(L"")));

    // A file stands where a parent folder should be.
    ASSERT_TRUE(WriteBytes(temp.Child(L"blocked"), "not a folder"));
    error.clear();
    EXPECT_FALSE(EnsureUserSetupIni(legacyIni, &error,
                                    FolderAt(temp.Child(L"blocked\\inner\\VantoraOnline"))));
    EXPECT_EQ(error, L"Could not create %LOCALAPPDATA%\\VantoraOnline.");
    EXPECT_EQ(ReadBytes(temp.Child(L"blocked")), "not a folder");

    // A folder path that does not fit 260 characters is not created at all.
    const std::wstring longFolder = temp.Child(std::wstring(270 - temp.path().size(), L'n'));
    error.clear();
    EXPECT_FALSE(EnsureUserSetupIni(legacyIni, &error, FolderAt(longFolder)));
    EXPECT_EQ(error, L"Could not create %LOCALAPPDATA%\\VantoraOnline.");

    // The legacy file cannot be read while another program holds it.
    ASSERT_TRUE(WriteBytes(legacyIni, "[Client]\r\nWidth=1920\r\n"));
    {
        UniqueFile locked(CreateFileW(legacyIni.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(locked);
        error.clear();
        EXPECT_FALSE(Ensure(&error));
        EXPECT_EQ(error, L"Could not migrate the existing setup.ini to LocalAppData.");
        EXPECT_TRUE(FolderExists(userFolder));
        EXPECT_FALSE(FileExists(userIni));
    }
    // The next run heals.
    ASSERT_TRUE(Ensure(&error));
    EXPECT_EQ(ReadValue(userIni, L"Client", L"Width"), L"1920");
}

TEST_F(UserSetupIni, ReportsADefaultThatCannotBeWritten) {
    ASSERT_TRUE(CreateDirectoryW(userFolder.c_str(), nullptr));
    const std::string partial = "[Client]\r\nColorBit=1\r\n";
    ASSERT_TRUE(WriteBytes(userIni, partial));
    std::wstring error;
    {
        UniqueFile locked(CreateFileW(userIni.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(locked);
        EXPECT_FALSE(Ensure(&error));
        EXPECT_EQ(error, L"Could not initialize the new client setup.ini.");
    }
    EXPECT_EQ(ReadBytes(userIni), partial);
}
