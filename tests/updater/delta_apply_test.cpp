#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "common/sha256.h"
#include "common/text.h"
#include "common/win_handle.h"
#include "tests/support/emulation.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_builder.h"
#include "updater/delta_header.h"
#include "updater/updater.h"

namespace {

// Bytes no compressor can shrink, so that only a difference makes them small.
std::string NoiseBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random());
    }
    return bytes;
}

// The names in folder, in the order the file system lists them.
std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &data)) {
        if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0) {
            names.push_back(data.cFileName);
        }
    }
    return names;
}

// A game folder at release 1 of two files and the archive of differences
// to release 2, which changes both in a few places and adds a third.
class DeltaApplyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryW(game_.c_str(), nullptr));
        inside_ = std::make_unique<ScopedCurrentDirectory>(game_);
        updater_.extractionThreads = TestExtractionThreads();
        updater_.runsUnderWine = [] { return false; };  // never the system tools
        oldPak_ = NoiseBytes(3 << 20, 1);
        newPak_ = oldPak_;
        for (size_t at = 4096; at < newPak_.size(); at += 300000) {
            newPak_.replace(at, 512, NoiseBytes(512, static_cast<unsigned>(at)));
        }
        newPak_ += NoiseBytes(70000, 2);  // and it grows
        oldText_ = std::string(20000, 'a') + "version 1" + std::string(20000, 'b');
        newText_ = std::string(20000, 'a') + "version 2!" + std::string(20000, 'b');
        ASSERT_TRUE(CreateDirectoryW(L"data", nullptr));
        ASSERT_TRUE(WriteBytes(L"data\\big.pak", oldPak_));
        ASSERT_TRUE(WriteBytes(L"notes.txt", oldText_));
    }
    void TearDown() override { inside_.reset(); }

    ZipBuilder Differences() const {
        ZipBuilder archive;
        archive.AddFolder("data/")
            .Add(DifferenceEntry("data/big.pak", oldPak_, newPak_))
            .AddFile("data/new.txt", "added in 2")
            .Add(DifferenceEntry("notes.txt", oldText_, newText_));
        return archive;
    }

    void ExpectRelease2() const {
        EXPECT_EQ(ReadBytes(L"data\\big.pak"), newPak_);
        EXPECT_EQ(ReadBytes(L"data\\new.txt"), "added in 2");
        EXPECT_EQ(ReadBytes(L"notes.txt"), newText_);
    }

    TempFolder scratch_;
    std::wstring game_ = scratch_.Child(L"game");
    std::unique_ptr<ScopedCurrentDirectory> inside_;
    Updater updater_;
    std::string oldPak_, newPak_, oldText_, newText_;
};

}  // namespace

// Applying again (a run stopped before its stamp moved on) finds each file
// already done and leaves it.
TEST_F(DeltaApplyTest, DifferencesGiveTheNewReleaseOnceOrTwice) {
    ASSERT_TRUE(Differences().WriteTo(L"patch_delta.zip"));
    EXPECT_LT(ReadBytes(L"patch_delta.zip").size(), newPak_.size() / 20);

    ASSERT_TRUE(updater_.ApplyDeltaArchive(L"patch_delta.zip", L"."));
    ExpectRelease2();
    ASSERT_TRUE(updater_.ApplyDeltaArchive(L"patch_delta.zip", L"."));
    ExpectRelease2();
    EXPECT_EQ(FolderEntries(L"data"), (std::vector<std::wstring>{L"big.pak", L"new.txt"}));
}

// A file that is neither the base nor the result, a difference that does
// not give its result, and a difference for the launcher's own program all
// fail the archive; the file keeps its bytes and no scratch file stays.
TEST_F(DeltaApplyTest, AnythingButTheExpectedFileFailsTheArchiveAndKeepsTheFile) {
    ZipBuilder::Entry damaged = DifferenceEntry("notes.txt", oldText_, newText_);
    damaged.data[damaged.data.size() / 2] ^= 0x20;
    ZipBuilder::Entry wrongResult = DifferenceEntry("notes.txt", oldText_, newText_);
    wrongResult.comment = DeltaHeaderText(
        {oldText_.size(), Sha256HexOf(oldText_), newText_.size(), Sha256HexOf(newText_ + "x")});
    const std::wstring program = updater_.variantNames->launcherProgram;
    ZipBuilder::Entry launcher = DifferenceEntry(WideToUtf8(program), oldText_, newText_);
    struct Case {
        const char* title;
        std::string playerText;  // notes.txt before the run
        ZipBuilder::Entry entry;
    } cases[] = {
        {"changed by the player", oldText_ + "mine",
         DifferenceEntry("notes.txt", oldText_, newText_)},
        {"damaged difference", oldText_, damaged},
        {"result of another digest", oldText_, wrongResult},
        {"launcher program", oldText_, launcher},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        ASSERT_TRUE(WriteBytes(L"notes.txt", c.playerText));
        if (std::string(c.title) == "launcher program") {
            ASSERT_TRUE(WriteBytes(program, c.playerText));
        }
        ASSERT_TRUE(ZipBuilder().Add(c.entry).WriteTo(L"patch_delta.zip"));

        EXPECT_FALSE(updater_.ApplyDeltaArchive(L"patch_delta.zip", L"."));

        EXPECT_EQ(ReadBytes(L"notes.txt"), c.playerText);
        EXPECT_EQ(ReadBytes(program),
                  std::string(c.title) == "launcher program" ? c.playerText : "");
        EXPECT_FALSE(updater_.blockedByRunningExecutable);
        EXPECT_FALSE(FileExists(L"_launcher_self_update"));
        for (const std::wstring& name : FolderEntries(L".")) {
            EXPECT_EQ(name.find(L".tmp"), std::wstring::npos) << WideToUtf8(name);
        }
    }
}
