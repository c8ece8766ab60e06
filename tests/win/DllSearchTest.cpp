// Once the search is restricted, a DLL beside the program or in the current folder is not
// loaded by its name: only the system folder is searched.
#include "SystemLibraries.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace testing_support;

TEST(DllSearch, DllsBesideTheProgramOrInTheCurrentFolderAreNotLoadedByName) {
    const fs::path planted = ExecutableFolder() / "kestrova_planted.dll";
    ASSERT_TRUE(fs::exists(planted)) << planted;
    TempFolder current;
    fs::copy_file(planted, current.Path() / "kestrova_planted_here.dll");
    wchar_t before[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_TRUE(SetCurrentDirectoryW(current.Wide().c_str()));

    EXPECT_TRUE(RestrictDllSearch());
    for (const wchar_t* name : {L"kestrova_planted.dll", L"kestrova_planted_here.dll"}) {
        HMODULE loaded = LoadLibraryW(name);
        EXPECT_EQ(loaded, nullptr) << "loaded by name: " << fs::path(name).string();
        if (loaded)
            FreeLibrary(loaded);
    }
    // What kept them out is the search: the same DLL named by its full path loads.
    HMODULE byPath = LoadLibraryW(planted.wstring().c_str());
    EXPECT_NE(byPath, nullptr);
    if (byPath)
        FreeLibrary(byPath);
    SetCurrentDirectoryW(before);
}
