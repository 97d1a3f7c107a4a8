#include "updater/variant_names.h"

#include <gtest/gtest.h>

#include <string>

TEST(VariantNames, EachBuildStagesItsOwnLauncherAndSkipsTheOtherBuildsPrograms) {
    EXPECT_STREQ(kX64VariantNames.launcherProgram, L"Tessaly.exe");
    EXPECT_STREQ(kX64VariantNames.selfUpdaterProgram, L"Selvane.exe");
    EXPECT_STREQ(kX64VariantNames.stagedLauncher, "tessaly.exe");
    EXPECT_STREQ(kX64VariantNames.skipped[0], "tessaly win7.exe");
    EXPECT_STREQ(kX64VariantNames.skipped[1], "selvane win7.exe");
    EXPECT_STREQ(kX64VariantNames.ownSelfUpdater, "selvane.exe");

    EXPECT_STREQ(kWin7VariantNames.launcherProgram, L"Tessaly Win7.exe");
    EXPECT_STREQ(kWin7VariantNames.selfUpdaterProgram, L"Selvane Win7.exe");
    EXPECT_STREQ(kWin7VariantNames.stagedLauncher, "tessaly win7.exe");
    EXPECT_STREQ(kWin7VariantNames.skipped[0], "tessaly.exe");
    EXPECT_STREQ(kWin7VariantNames.skipped[1], "selvane.exe");
    EXPECT_STREQ(kWin7VariantNames.ownSelfUpdater, "selvane win7.exe");
}

TEST(VariantNames, TheTwoBuildsTreatTheFourArtifactsTheOtherWayRound) {
    // Whatever one build stages or writes, the other skips.
    for (const VariantNames* names : {&kX64VariantNames, &kWin7VariantNames}) {
        const VariantNames& other =
            names == &kX64VariantNames ? kWin7VariantNames : kX64VariantNames;
        EXPECT_STREQ(names->stagedLauncher, other.skipped[0]);
        EXPECT_STREQ(names->ownSelfUpdater, other.skipped[1]);
    }
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
