#include "updater/variant_names.h"

#include <gtest/gtest.h>

#include <string>

#include "common/text.h"

TEST(VariantNames, EachBuildStagesItsOwnLauncherAndSkipsTheOtherBuildsPrograms) {
    for (const VariantNames* names : {&kX64VariantNames, &kWin7VariantNames}) {
        const VariantNames& other =
            names == &kX64VariantNames ? kWin7VariantNames : kX64VariantNames;
        // The compared names are the lower-cased program file names.
        EXPECT_EQ(names->stagedLauncher, AsciiLower(WideToUtf8(names->launcherProgram)));
        EXPECT_EQ(names->ownSelfUpdater, AsciiLower(WideToUtf8(names->selfUpdaterProgram)));
        // Whatever one build stages or writes, the other skips.
        EXPECT_STREQ(names->skipped[0], other.stagedLauncher);
        EXPECT_STREQ(names->skipped[1], other.ownSelfUpdater);
    }
    EXPECT_STREQ(kX64VariantNames.launcherProgram, L"Tessaly.exe");
    EXPECT_STREQ(kWin7VariantNames.launcherProgram, L"Tessaly Win7.exe");
    EXPECT_STREQ(kX64VariantNames.selfUpdaterProgram, L"Selvane.exe");
    EXPECT_STREQ(kWin7VariantNames.selfUpdaterProgram, L"Selvane Win7.exe");
}

TEST(VariantNames, TheProgramUsesTheTableOfItsOwnBuild) {
    // The x64 build is the 64-bit program, the Win7 build the 32-bit one.
    const VariantNames& expected = sizeof(void*) == 8 ? kX64VariantNames : kWin7VariantNames;
    EXPECT_EQ(&CurrentVariantNames(), &expected);
    // The built program carries the launcher file name of its table.
    const std::wstring program = VANTORA_PROGRAM_PATH;
    const std::wstring fileName = program.substr(program.find_last_of(L"/\\") + 1);
    EXPECT_EQ(fileName, CurrentVariantNames().launcherProgram);
}
