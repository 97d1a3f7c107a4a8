#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/process.h"
#include "common/text.h"
#include "tests/selfupdate/installation.h"
#include "tests/support/diary_lines.h"
#include "tests/support/http_test_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_builder.h"
#include "updater/updater.h"

namespace {

using Tree = std::map<std::wstring, std::string>;

// Release trees with nested folders, a name with a blank, a non-ASCII name
// and an empty file.
const Tree kRelease100 = {
    {L"data\\a.dat", std::string(70000, 'a') + "end"},
    {L"data\\deep\\er\\b.dat", "b100"},
    {L"with blank.txt", "blank 100"},
    {L"na\u00EFve \u00FCn\u00EFcode.txt", "\xC3\xA9t\xC3\xA9"},
    {L"empty.dat", ""},
};

Tree With(Tree tree, const Tree& changes) {
    for (const auto& change : changes) {
        tree[change.first] = change.second;
    }
    return tree;
}

const Tree kRelease110 = With(kRelease100, {{L"data\\a.dat", "a110"}, {L"data\\new\\c.dat", "c"}});
const Tree kRelease120 =
    With(kRelease110, {{L"with blank.txt", "blank 120"}, {L"\u00FCber\\d.dat", "d"}});

class PublisherRoundTrip : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server_.Start()); }

    std::wstring Folder(const std::wstring& name) const { return work_.Child(name); }

    void MakeTree(const std::wstring& name, const Tree& tree) const {
        for (const auto& file : tree) {
            const std::wstring path = Folder(name + L"\\" + file.first);
            for (size_t slash = path.find(L'\\', work_.path().size() + 1);
                 slash != std::wstring::npos; slash = path.find(L'\\', slash + 1)) {
                CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
            }
            ASSERT_TRUE(WriteBytes(path, file.second));
        }
    }

    // Runs the publisher with arguments; output_ receives what it printed.
    int Publish(const std::vector<std::wstring>& arguments) {
        std::wstring commandLine = QuoteArgument(VANTORA_PUBLISHER_PATH);
        for (const std::wstring& argument : arguments) {
            commandLine += L" " + QuoteArgument(argument);
        }
        output_.clear();
        const ProcessOptions options =
            HiddenIn(L"", [this](const std::string& line) { output_ += line + "\n"; });
        DWORD exitCode = 0;
        bool ran = RunProcess(commandLine, options, exitCode);
        // Under load Wine now and then loses a program before it runs
        // (ERROR_INTERNAL_ERROR); the test runner starts test programs once
        // more for the same reason.
        if (!ran && exitCode == ERROR_INTERNAL_ERROR) {
            output_.clear();
            ran = RunProcess(commandLine, options, exitCode);
        }
        EXPECT_TRUE(ran);
        return static_cast<int>(exitCode);
    }

    // Serves every file of the update folder and runs an update in game.
    bool Update(const std::wstring& game) {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((Folder(L"site") + L"\\*").c_str(), &data);
        EXPECT_NE(find, INVALID_HANDLE_VALUE);
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                server_.SetResponse(
                    "/ClientUpdates/" + WideToUtf8(data.cFileName),
                    ScriptedResponse::Ok(ReadBytes(Folder(L"site\\") + data.cFileName)));
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
        CreateDirectoryW(game.c_str(), nullptr);
        ScopedCurrentDirectory inside(game);
        Updater updater;
        std::wostringstream console;
        updater.console = &console;
        updater.baseUrl = server_.BaseUrl() + L"/ClientUpdates/";
        updater.runsUnderWine = [] { return true; };
        return updater.Run();
    }

    // The game folder without the files the update itself keeps there.
    static Tree GameFiles(const std::wstring& game) {
        Tree tree = TestInstallation::Snapshot(game);
        for (const wchar_t* own :
             {L"version.txt", L"manifest.json", L"full.zip", L"patch.zip", L"patch_delta.zip"}) {
            tree.erase(own);
        }
        for (auto it = tree.begin(); it != tree.end();) {
            it = it->second == "<folder>" ? tree.erase(it) : std::next(it);
        }
        return tree;
    }

    TempFolder work_{L" publish \u00E9"};
    TestHttpServer server_;
    std::string output_;
};

}  // namespace

TEST_F(PublisherRoundTrip, AFullAndTwoPatchesBringAnEmptyFolderToTheLastRelease) {
    MakeTree(L"r100", kRelease100);
    MakeTree(L"r110", kRelease110);
    MakeTree(L"r120", kRelease120);
    const std::wstring site = Folder(L"site");
    ASSERT_EQ(Publish({L"full", Folder(L"r100"), site, L"--stamp", L"100", L"--version", L"1.0"}),
              0)
        << output_;
    ASSERT_EQ(Publish({L"patch", Folder(L"r100"), Folder(L"r110"), site, L"--stamp", L"110"}), 0)
        << output_;
    ASSERT_EQ(Publish({L"patch", Folder(L"r110"), Folder(L"r120"), site, L"--stamp", L"120"}), 0)
        << output_;
    ASSERT_EQ(Publish({L"verify", site}), 0) << output_;
    EXPECT_EQ(output_,
              "OK    full  100  full_100.zip\n"
              "OK    patch 110  patch_110.zip\n"
              "OK    patch 120  patch_120.zip\n");

    UpdateManifest manifest;
    ASSERT_TRUE(ParseManifestText(ReadBytes(site + L"\\manifest.json"), manifest));
    EXPECT_EQ(manifest.latest, "120");
    ASSERT_EQ(manifest.fulls.size(), 1u);
    EXPECT_EQ(manifest.fulls[0].version, "1.0");
    ASSERT_EQ(manifest.patches.size(), 2u);
    EXPECT_EQ(manifest.patches[1].version, "120");
    EXPECT_EQ(manifest.patches[1].sha256.size(), 64u);
    // A patch carries only what changed.
    const std::string patch110 = ReadBytes(site + L"\\patch_110.zip");
    EXPECT_NE(patch110.find("data/new/c.dat"), std::string::npos);
    EXPECT_EQ(patch110.find("with blank.txt"), std::string::npos);

    const std::wstring game = Folder(L"game");
    ASSERT_TRUE(Update(game)) << ::testing::PrintToString(DiaryLines(game));
    EXPECT_EQ(GameFiles(game), kRelease120);
    EXPECT_EQ(ReadBytes(game + L"\\version.txt"), "120");

    // A damaged package fails the folder wherever it stands in the lists.
    std::string middle = ReadBytes(site + L"\\patch_110.zip");
    middle[middle.size() / 2] ^= 0x55;
    ASSERT_TRUE(WriteBytes(site + L"\\patch_110.zip", middle));
    EXPECT_EQ(Publish({L"verify", site}), 1) << output_;
    EXPECT_NE(output_.find("\nFAIL  patch 110  patch_110.zip; crc is "), std::string::npos);
    EXPECT_NE(output_.find("\nOK    patch 120"), std::string::npos) << output_;
}

TEST_F(PublisherRoundTrip, ATamperedArchiveIsNamedByVerifyAndRefusedByTheLauncher) {
    MakeTree(L"r100", kRelease100);
    const std::wstring site = Folder(L"site");
    ASSERT_EQ(Publish({L"full", Folder(L"r100"), site, L"--stamp", L"100"}), 0) << output_;
    std::string archive = ReadBytes(site + L"\\full_100.zip");
    archive[archive.size() / 2] ^= 0x55;
    ASSERT_TRUE(WriteBytes(site + L"\\full_100.zip", archive));

    EXPECT_EQ(Publish({L"verify", site}), 1);
    EXPECT_EQ(output_.compare(0, 34, "FAIL  full  100  full_100.zip; crc"), 0) << output_;
    EXPECT_NE(output_.find("; sha256 is "), std::string::npos) << output_;

    const std::wstring game = Folder(L"game");
    EXPECT_FALSE(Update(game));
    UpdateManifest manifest;
    ASSERT_TRUE(ParseManifestText(ReadBytes(site + L"\\manifest.json"), manifest));
    const std::string expected =
        "Download hash mismatch. Expected=" + manifest.fulls[0].sha256 + " Actual=";
    const auto diary = DiaryLines(game);
    ASSERT_FALSE(diary.empty());
    EXPECT_EQ(diary.back().compare(0, expected.size(), expected), 0) << diary.back();
    EXPECT_FALSE(FileExists(game + L"\\version.txt"));
    EXPECT_FALSE(FileExists(game + L"\\full.zip"));
    EXPECT_EQ(GameFiles(game), Tree());
}

TEST_F(PublisherRoundTrip, RemovalsAndBadInputChangeNothing) {
    MakeTree(L"r100", kRelease100);
    Tree changed = With(kRelease100, {{L"data\\a.dat", "a110"}});
    changed.erase(L"with blank.txt");
    MakeTree(L"r110", changed);
    const std::wstring site = Folder(L"site");
    ASSERT_EQ(Publish({L"full", Folder(L"r100"), site, L"--stamp", L"100"}), 0) << output_;
    const std::string manifest = ReadBytes(site + L"\\manifest.json");

    const struct {
        std::vector<std::wstring> arguments;
        int exitCode;
        const char* says;
    } refused[] = {
        {{L"patch", Folder(L"r100"), Folder(L"r110"), site, L"--stamp", L"110"},
         3,
         "  with blank.txt\n"},
        {{L"patch", Folder(L"r100"), Folder(L"r100"), site, L"--stamp", L"110"},
         0,
         "nothing was written"},
        {{L"patch", Folder(L"r100"), Folder(L"r110"), site, L"--stamp", L"100"},
         1,
         "not above the newest full's stamp 100"},
        {{L"full", Folder(L"r100"), site, L"--stamp", L"100"}, 1, nullptr},  // not above 100
        {{L"full", Folder(L"r100"), site, L"--stamp", L"12a"}, 2, nullptr},
        {{L"full", Folder(L"missing"), site, L"--stamp", L"200"}, 1, nullptr},
    };
    for (const auto& c : refused) {
        EXPECT_EQ(Publish(c.arguments), c.exitCode) << WideToUtf8(c.arguments[1]) << output_;
        if (c.says != nullptr) {
            EXPECT_NE(output_.find(c.says), std::string::npos) << output_;
        }
        EXPECT_EQ(ReadBytes(site + L"\\manifest.json"), manifest);
        EXPECT_FALSE(FileExists(site + L"\\patch_110.zip"));
        EXPECT_FALSE(FileExists(site + L"\\full_200.zip"));
    }
    ASSERT_TRUE(WriteBytes(site + L"\\manifest.json", "{\"fulls\": 3}"));
    EXPECT_EQ(Publish({L"full", Folder(L"r100"), site, L"--stamp", L"200"}), 1);
    EXPECT_EQ(ReadBytes(site + L"\\manifest.json"), "{\"fulls\": 3}");
    ASSERT_TRUE(WriteBytes(site + L"\\manifest.json", manifest));

    // Allowed, the removal is still listed and the rest published.
    EXPECT_EQ(Publish({L"patch", Folder(L"r100"), Folder(L"r110"), site, L"--stamp", L"110",
                       L"--allow-removals"}),
              0);
    EXPECT_NE(output_.find("  with blank.txt\n"), std::string::npos) << output_;
    EXPECT_TRUE(FileExists(site + L"\\patch_110.zip"));
}

TEST_F(PublisherRoundTrip, ASignedFolderHoldsOnlyForItsKeyAndSignRepairsIt) {
    MakeTree(L"r100", kRelease100);
    MakeTree(L"r110", kRelease110);
    const std::wstring site = Folder(L"site");
    const std::wstring keyFiles[] = {Folder(L"key 1.txt"), Folder(L"key 2.txt")};
    std::wstring keys[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(Publish({L"keygen", keyFiles[i]}), 0) << output_;
        keys[i] = Utf8ToWide(output_.substr(output_.size() - 129, 128));
        EXPECT_EQ(Utf8ToWide(ReadBytes(keyFiles[i]).substr(0, 128)), keys[i]);
    }
    const std::string key1 = ReadBytes(keyFiles[0]);
    EXPECT_EQ(Publish({L"keygen", keyFiles[0]}), 1);
    EXPECT_NE(output_.find("already exists"), std::string::npos) << output_;
    EXPECT_EQ(ReadBytes(keyFiles[0]), key1);

    ASSERT_EQ(Publish({L"full", Folder(L"r100"), site, L"--stamp", L"100", L"--key", keyFiles[0]}),
              0)
        << output_;
    ASSERT_EQ(Publish({L"patch", Folder(L"r100"), Folder(L"r110"), site, L"--stamp", L"110",
                       L"--key", keyFiles[0]}),
              0)
        << output_;
    EXPECT_EQ(Publish({L"verify", site, L"--public-key", keys[1], L"--public-key", keys[0]}), 0);
    EXPECT_EQ(output_.find("OK    signature  manifest.json.sig by key 2\n"), 0u) << output_;
    // Unsigned, the new manifest would no longer match the signature.
    EXPECT_EQ(Publish({L"full", Folder(L"r100"), site, L"--stamp", L"200"}), 1);
    EXPECT_FALSE(FileExists(site + L"\\full_200.zip"));

    const std::wstring manifestPath = site + L"\\manifest.json";
    const std::wstring signaturePath = site + L"\\manifest.json.sig";
    const std::string manifest = ReadBytes(manifestPath);
    const std::string signature = ReadBytes(signaturePath);
    const struct {
        std::string manifest, signature;  // no signature file when empty
        std::wstring key;
        const char* says;
    } broken[] = {
        {manifest + " ", signature, keys[0], "no key matches"},
        {manifest, "", keys[0], "manifest.json.sig is missing"},
        {manifest, signature.substr(1), keys[0], "manifest.json.sig is malformed"},
        {manifest, signature, keys[1], "no key matches"},
    };
    for (const auto& c : broken) {
        ASSERT_TRUE(WriteBytes(manifestPath, c.manifest));
        DeleteFileW(signaturePath.c_str());
        ASSERT_TRUE(c.signature.empty() || WriteBytes(signaturePath, c.signature));
        EXPECT_EQ(Publish({L"verify", site, L"--public-key", c.key}), 1) << c.says;
        EXPECT_EQ(output_.find(std::string("FAIL  signature  ") + c.says), 0u) << output_;
    }
    // A signature that cannot take its place leaves the new manifest unsigned
    // until sign repairs the folder.
    ASSERT_TRUE(DeleteFileW(signaturePath.c_str()) && CreateDirectoryW(signaturePath.c_str(), 0));
    MakeTree(L"r120", kRelease120);
    EXPECT_EQ(Publish({L"patch", Folder(L"r110"), Folder(L"r120"), site, L"--stamp", L"120",
                       L"--key", keyFiles[0]}),
              1);
    EXPECT_NE(output_.find("until \"vantora-publish sign\""), std::string::npos) << output_;
    ASSERT_TRUE(RemoveDirectoryW(signaturePath.c_str()));
    ASSERT_EQ(Publish({L"sign", site, L"--key", keyFiles[0]}), 0) << output_;
    EXPECT_EQ(Publish({L"verify", site, L"--public-key", keys[0]}), 0) << output_;
    EXPECT_NE(output_.find("OK    patch 120  patch_120.zip"), std::string::npos) << output_;

    // sign signs the manifest as it is, and every package must have sha256.
    std::string unchecked = manifest;
    unchecked.replace(unchecked.find("\"sha256\""), 8, "\"sha-256\"");
    ASSERT_TRUE(WriteBytes(manifestPath, unchecked));
    ASSERT_EQ(Publish({L"sign", site, L"--key", keyFiles[0]}), 0) << output_;
    EXPECT_EQ(Publish({L"verify", site, L"--public-key", keys[0]}), 1);
    EXPECT_NE(output_.find("OK    signature"), std::string::npos) << output_;
    EXPECT_NE(output_.find("FAIL  full  100  full_100.zip; no sha256"), std::string::npos);
    EXPECT_EQ(Publish({L"verify", site}), 0) << output_;
}

TEST_F(PublisherRoundTrip, AChangeBetweenFileAndFolderIsRefusedByPatchAndCaughtByVerify) {
    MakeTree(L"r100", kRelease100);
    Tree swapped = With(kRelease100, {{L"with blank.txt\\inside.txt", "i"}, {L"data\\deep", "f"}});
    swapped.erase(L"with blank.txt");
    swapped.erase(L"data\\deep\\er\\b.dat");
    MakeTree(L"swapped", swapped);
    const std::wstring site = Folder(L"site");
    ASSERT_EQ(Publish({L"full", Folder(L"r100"), site, L"--stamp", L"100"}), 0) << output_;
    const std::string manifest = ReadBytes(site + L"\\manifest.json");
    for (const bool allowRemovals : {false, true}) {
        std::vector<std::wstring> arguments = {L"patch", Folder(L"r100"), Folder(L"swapped"),
                                               site,     L"--stamp",      L"110"};
        if (allowRemovals) {
            arguments.push_back(L"--allow-removals");
        }
        EXPECT_EQ(Publish(arguments), 1) << output_;
    }
    EXPECT_NE(output_.find("\n  data\\deep\n  with blank.txt\n"), std::string::npos) << output_;
    EXPECT_NE(output_.find("publish a full"), std::string::npos) << output_;
    EXPECT_EQ(ReadBytes(site + L"\\manifest.json"), manifest);
    EXPECT_FALSE(FileExists(site + L"\\patch_110.zip"));

    // Patches made from trees other than the installed ones: 110 against the
    // full, 120 against patch 110, 130 within its own archive.
    Tree without = kRelease100;
    without.erase(L"with blank.txt");
    MakeTree(L"old", without);
    MakeTree(L"r110", With(without, {{L"with blank.txt\\inside.txt", "i"}, {L"extra", "e"}}));
    MakeTree(L"r120", With(without, {{L"extra\\inner.txt", "x"}}));
    const std::pair<const wchar_t*, const wchar_t*> patches[] = {
        {L"110", L"r110"}, {L"120", L"r120"}, {L"130", L"r120"}};
    for (const auto& patch : patches) {
        ASSERT_EQ(Publish({L"patch", Folder(L"old"), Folder(patch.second), site, L"--stamp",
                           patch.first}),
                  0)
            << output_;
    }
    ASSERT_TRUE(ZipBuilder()
                    .AddFile("late", "l")
                    .AddFile("Late/x", "x")
                    .WriteTo(site + L"\\patch_130.zip"));
    EXPECT_EQ(Publish({L"verify", site}), 1);
    EXPECT_NE(output_.find("OK    full  100  full_100.zip\n"
                           "FAIL  patch 110  patch_110.zip; entry \"with blank.txt/\" needs a "
                           "folder where a file is: with blank.txt\n"
                           "FAIL  patch 120  patch_120.zip; entry \"extra/\" needs a folder where "
                           "a file is: extra\n"),
              std::string::npos)
        << output_;
    EXPECT_NE(output_.find("; entry \"Late/x\" needs a folder where a file is: Late\n"),
              std::string::npos)
        << output_;
}

TEST_F(PublisherRoundTrip, ARetryReplacesAnArchiveNoPackageListsButNoListedOne) {
    MakeTree(L"r100", kRelease100);
    MakeTree(L"r110", kRelease110);
    const std::wstring site = Folder(L"site");
    ASSERT_EQ(Publish({L"full", Folder(L"r100"), site, L"--stamp", L"100"}), 0) << output_;
    // Left by a run that stopped before the manifest's move.
    ASSERT_TRUE(WriteBytes(site + L"\\patch_110.zip", "half of an earlier run"));
    ASSERT_EQ(Publish({L"patch", Folder(L"r100"), Folder(L"r110"), site, L"--stamp", L"110"}), 0)
        << output_;
    EXPECT_EQ(output_.find("Replacing "), 0u) << output_;
    ASSERT_EQ(Publish({L"verify", site}), 0) << output_;
    EXPECT_NE(output_.find("OK    patch 110  patch_110.zip\n"), std::string::npos) << output_;

    // A listed archive stays, whatever stamp names it.
    std::string manifest = ReadBytes(site + L"\\manifest.json");
    manifest.replace(manifest.find("full_100.zip"), 12, "full_200.zip");
    ASSERT_TRUE(WriteBytes(site + L"\\manifest.json", manifest));
    ASSERT_TRUE(WriteBytes(site + L"\\full_200.zip", "listed"));
    EXPECT_EQ(Publish({L"full", Folder(L"r110"), site, L"--stamp", L"200"}), 1);
    EXPECT_NE(output_.find("already exists; pick another stamp"), std::string::npos) << output_;
    EXPECT_EQ(ReadBytes(site + L"\\full_200.zip"), "listed");
}

// Differences are made only from the release of the folder's newest
// package; a launcher that has just installed that package takes them, and
// verify names a "from" that is not the stamp before the patch.
TEST_F(PublisherRoundTrip, DifferencesComeFromTheNewestReleaseAndVerifyChecksThem) {
    const Tree release110 = With(kRelease100, {{L"data\\a.dat", std::string(70000, 'a') + "END"},
                                               {L"data\\new\\c.dat", "c"}});
    MakeTree(L"r100", kRelease100);
    MakeTree(L"r110", release110);
    const std::wstring site = Folder(L"site");
    ASSERT_EQ(Publish({L"full", Folder(L"r100"), site, L"--stamp", L"100"}), 0) << output_;
    EXPECT_EQ(
        Publish({L"patch", Folder(L"r110"), Folder(L"r110"), site, L"--stamp", L"110", L"--delta"}),
        1);
    EXPECT_NE(output_.find("is not the release of stamp 100"), std::string::npos) << output_;
    EXPECT_FALSE(FileExists(site + L"\\patch_110.zip"));
    ASSERT_EQ(
        Publish({L"patch", Folder(L"r100"), Folder(L"r110"), site, L"--stamp", L"110", L"--delta"}),
        0)
        << output_;
    ASSERT_EQ(Publish({L"verify", site}), 0) << output_;
    EXPECT_NE(output_.find("OK    delta 110  patch_110_delta.zip\n"), std::string::npos);

    const std::wstring game = Folder(L"game");
    ASSERT_TRUE(Update(game));
    EXPECT_EQ(GameFiles(game), release110);
    const auto diary = DiaryLines(game);
    EXPECT_NE(std::find(diary.begin(), diary.end(), "Delta patch applied: patch_110_delta.zip"),
              diary.end());

    std::string manifest = ReadBytes(site + L"\\manifest.json");
    manifest.replace(manifest.find("\"from\": \"100\""), 13, "\"from\": \"99\"");
    ASSERT_TRUE(WriteBytes(site + L"\\manifest.json", manifest));
    EXPECT_EQ(Publish({L"verify", site}), 1);
    EXPECT_NE(output_.find("FAIL  delta 110  patch_110_delta.zip; \"from\" is \"99\""),
              std::string::npos)
        << output_;
}
