#include "updater/variant_names.h"

#include "build_names.h"

const VariantNames kX64VariantNames = {
    VANTORA_X64_LAUNCHER,        // launcherProgram
    VANTORA_X64_SELF_UPDATER,    // selfUpdaterProgram
    VANTORA_X64_LAUNCHER_LOWER,  // stagedLauncher
    {VANTORA_WIN7_LAUNCHER_LOWER, VANTORA_WIN7_SELF_UPDATER_LOWER},
    VANTORA_X64_SELF_UPDATER_LOWER,  // ownSelfUpdater
};

const VariantNames kWin7VariantNames = {
    VANTORA_WIN7_LAUNCHER,        // launcherProgram
    VANTORA_WIN7_SELF_UPDATER,    // selfUpdaterProgram
    VANTORA_WIN7_LAUNCHER_LOWER,  // stagedLauncher
    {VANTORA_X64_LAUNCHER_LOWER, VANTORA_X64_SELF_UPDATER_LOWER},
    VANTORA_WIN7_SELF_UPDATER_LOWER,  // ownSelfUpdater
};

const VariantNames& CurrentVariantNames() {
#if defined(VANTORA_VARIANT_WIN7)
    return kWin7VariantNames;
#else
    return kX64VariantNames;
#endif
}
