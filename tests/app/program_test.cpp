#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "common/text.h"
#include "tests/support/temp_folder.h"
#include "updater/variant_names.h"

namespace {

// Every program a build delivers: the launcher and its self-updater.
const wchar_t* const kPrograms[] = {VANTORA_PROGRAM_PATH, VANTORA_SELF_UPDATER_PATH};

std::string ProgramManifest(const std::wstring& program) {
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) {
        return std::string();
    }
    std::string text;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    if (resource != nullptr) {
        HGLOBAL loaded = LoadResource(module, resource);
        const char* data = static_cast<const char*>(LockResource(loaded));
        if (data != nullptr) {
            text.assign(data, SizeofResource(module, resource));
        }
    }
    FreeLibrary(module);
    return text;
}

// The names of the DLLs the program imports, read from its PE headers.
std::vector<std::string> ImportedDlls(const std::string& image, WORD* machine, WORD* subsystem) {
    std::vector<std::string> names;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const auto* ntBase = image.data() + dos->e_lfanew;
    const auto* file = reinterpret_cast<const IMAGE_FILE_HEADER*>(ntBase + 4);
    *machine = file->Machine;
    const char* optional = ntBase + 4 + sizeof(IMAGE_FILE_HEADER);
    const WORD magic = *reinterpret_cast<const WORD*>(optional);
    DWORD importRva = 0;
    if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        const auto* header = reinterpret_cast<const IMAGE_OPTIONAL_HEADER64*>(optional);
        *subsystem = header->Subsystem;
        importRva = header->DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    } else {
        const auto* header = reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(optional);
        *subsystem = header->Subsystem;
        importRva = header->DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    }
    const auto* sections =
        reinterpret_cast<const IMAGE_SECTION_HEADER*>(optional + file->SizeOfOptionalHeader);
    auto toOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < file->NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData) {
                return rva - s.VirtualAddress + s.PointerToRawData;
            }
        }
        return 0;
    };
    const size_t at = toOffset(importRva);
    if (at == 0) {
        return names;
    }
    for (const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + at);
         entry->Name != 0; ++entry) {
        std::string name = image.data() + toOffset(entry->Name);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        names.push_back(name);
    }
    return names;
}

}  // namespace

TEST(Program, ManifestAsksForAdministratorRightsAndDeclaresWindows7) {
    for (const std::wstring program : kPrograms) {
        SCOPED_TRACE(WideToUtf8(program));
        const std::string manifest = ProgramManifest(program);
        ASSERT_FALSE(manifest.empty()) << "no manifest resource in the program";
        EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
        EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos);
        EXPECT_NE(manifest.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), std::string::npos);
        // No DPI awareness is declared: the system scales the fixed-size window.
        EXPECT_EQ(manifest.find("dpiAware"), std::string::npos);
    }
}

TEST(Program, IsAWindowsGuiProgramOfThisBuildThatNeedsNoRuntimeDll) {
    for (const std::wstring program : kPrograms) {
        SCOPED_TRACE(WideToUtf8(program));
        const std::string image = ReadBytes(program);
        ASSERT_GT(image.size(), 4096u);
        WORD machine = 0;
        WORD subsystem = 0;
        const std::vector<std::string> dlls = ImportedDlls(image, &machine, &subsystem);
        EXPECT_EQ(subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
        EXPECT_EQ(machine, sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
        ASSERT_FALSE(dlls.empty());
        for (const std::string& dll : dlls) {
            EXPECT_EQ(dll.find("libgcc"), std::string::npos) << dll;
            EXPECT_EQ(dll.find("libstdc++"), std::string::npos) << dll;
            EXPECT_EQ(dll.find("libwinpthread"), std::string::npos) << dll;
            EXPECT_EQ(dll.find("zlib"), std::string::npos) << dll;
        }
    }
}

TEST(Program, FileNamesFollowTheBuild) {
    const std::wstring launcher = kPrograms[0];
    const std::wstring selfUpdater = kPrograms[1];
    auto name = [](const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); };
    EXPECT_EQ(name(launcher), CurrentVariantNames().launcherProgram);
    EXPECT_EQ(name(selfUpdater), CurrentVariantNames().selfUpdaterProgram);
}
