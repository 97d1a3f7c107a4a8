#include "updater/variant_names.h"

const VariantNames kX64VariantNames = {
    L"Tessaly.exe", L"Selvane.exe", "tessaly.exe", {"tessaly win7.exe", "selvane win7.exe"},
    "selvane.exe",
};

const VariantNames kWin7VariantNames = {
    L"Tessaly Win7.exe", L"Selvane Win7.exe", "tessaly win7.exe", {"tessaly.exe", "selvane.exe"},
    "selvane win7.exe",
};

const VariantNames& CurrentVariantNames() {
#if defined(VANTORA_VARIANT_WIN7)
    return kWin7VariantNames;
#else
    return kX64VariantNames;
#endif
}
