// Every file-system call of the platform layer with paths of 300 characters. Wine opens long
// plain paths as readily as short ones, Windows does not; so in the Windows build each call is
// also watched through Win32Path.h, and the path that reached the system must be in the
// extended form.
#include "FileSystem.h"
#include "FolderScan.h"
#include "LongPath.h"
#include "Precheck.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#ifdef _WIN32
#include "win32/FullPath.h"
#include "win32/ShortPath.h"
#include "win32/Win32Path.h"
#endif

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

std::vector<std::wstring> Seen;

class LongPathCalls : public ::testing::Test {
protected:
    TempFolder Temp{L"kestrova-long"};
    // A folder, not yet there, whose path has 300 characters.
    std::wstring Deep = DeepPath(300);
    std::wstring File = Deep + PathDelim + L"clip.avi";

    std::wstring DeepPath(size_t Length) const {
        std::wstring Path = Temp.Wide();
        while (Path.size() + 41 < Length)
            Path += PathDelim + std::wstring(40, L'd');
        return Path + PathDelim + std::wstring(Length - Path.size() - 1, L'e');
    }

    // A file written without the calls under test.
    void Write(const std::wstring& Path, const std::string& Bytes) {
#ifdef _WIN32
        std::ofstream Out(fs::path(ExtendedLengthPath(Path)), std::ios::binary);
#else
        std::ofstream Out(PathFromWide(Path), std::ios::binary);
#endif
        Out << Bytes;
    }

#ifdef _WIN32
    void SetUp() override {
        SetWin32PathObserver([](const std::wstring& P) { Seen.push_back(P); });
    }
    void TearDown() override {
        SetWin32PathObserver(nullptr);
    }
#endif

    // What the last call gave the system: Path in the extended form, and no long path plain.
    void ExpectReachedExtended(const std::wstring& Path, const char* Call) {
#ifdef _WIN32
        const std::wstring Extended = ExtendedLengthPath(Path);
        ASSERT_EQ(Extended.rfind(L"\\\\?\\", 0), 0u);
        EXPECT_NE(std::find(Seen.begin(), Seen.end(), Extended), Seen.end())
            << Call << " did not give the system the extended form of its path";
        for (const std::wstring& Given : Seen)
            EXPECT_TRUE(Given.rfind(L"\\\\?\\", 0) == 0 || Given.size() < ExtendedLengthThreshold)
                << Call << " gave the system a long plain path";
#else
        (void)Path;
        (void)Call;
#endif
        Seen.clear();
    }
};

TEST_F(LongPathCalls, EachCallWorksAndReachesTheSystemInTheExtendedForm) {
    ASSERT_EQ(Deep.size(), 300u);
    std::wstring Reason;
    ASSERT_TRUE(CreateDirectories(Deep, Reason)) << fs::path(Reason).string();
    ExpectReachedExtended(Deep, "CreateDirectories");
    EXPECT_TRUE(DirectoryExists(Deep));
    ExpectReachedExtended(Deep, "DirectoryExists");

    Write(File, "12345");
    EXPECT_TRUE(PathExists(File));
    ExpectReachedExtended(File, "PathExists");
    EXPECT_FALSE(PathExists(File + L"x"));
    ExpectReachedExtended(File + L"x", "PathExists");
    EXPECT_TRUE(FileHasContent(File));
    ExpectReachedExtended(File, "FileHasContent");
    int64_t Size = 0;
    uint32_t Error = 0;
    EXPECT_TRUE(FileSize(File, Size, Error));
    EXPECT_EQ(Size, 5);
    ExpectReachedExtended(File, "FileSize");

    std::vector<TFolderEntry> Entries;
    TFolderIdentity Identity;
    ASSERT_TRUE(ListFolder(Deep, Entries, Identity, Error));
    EXPECT_TRUE(Identity.Known);
    ASSERT_EQ(Entries.size(), 1u);
    EXPECT_EQ(Entries[0].Name, L"clip.avi");
    ExpectReachedExtended(Deep + PathDelim + L"*", "ListFolder");
    EXPECT_TRUE(IsFolder(Deep));
    ExpectReachedExtended(Deep, "IsFolder");

#ifdef _WIN32
    EXPECT_EQ(OpenablePath(File), ExtendedLengthPath(File)) << "the converter's names";
    ShortPathForm(File);
    ExpectReachedExtended(File, "ShortPathForm");
#else
    EXPECT_EQ(OpenablePath(File), File);
#endif

    EXPECT_TRUE(RemoveFile(File));
    ExpectReachedExtended(File, "RemoveFile");
    EXPECT_FALSE(PathExists(File)) << "a half-made file this deep is deleted";
    EXPECT_FALSE(FileSize(File, Size, Error));
    EXPECT_NE(Error, 0u);
}

TEST_F(LongPathCalls, TheCheckBeforeABatchTakesALongConverterPathAndAnExistingLongFolder) {
    std::wstring Reason;
    ASSERT_TRUE(CreateDirectories(Deep, Reason));
    const std::wstring Converter = Deep + PathDelim + L"ffmpeg.exe";
    Write(Converter, "MZ");
    Seen.clear();
    EXPECT_EQ(CheckBeforeBatch(Converter, true, L"").Kind, TPrecheckKind::Ok);
    ExpectReachedExtended(Converter, "the converter's check");
    // A folder of 248 characters or more that is there already is taken as it is.
    const std::wstring Folder = DeepPath(ExtendedLengthThreshold + 2);
    ASSERT_TRUE(CreateDirectories(Folder, Reason));
    Seen.clear();
    const TPrecheck Check = CheckBeforeBatch(Converter, false, Folder);
    EXPECT_EQ(Check.Kind, TPrecheckKind::Ok) << fs::path(Check.Reason).string();
    ExpectReachedExtended(Folder, "the folder's check");
}

#ifdef _WIN32
TEST(Win32FilePath, LongPathsOfEveryKindGetTheExtendedFormAndOthersStayAsTheyAre) {
    const std::wstring Long(260, L'a');
    EXPECT_EQ(Win32FilePath(L"C:\\short"), L"C:\\short");
    EXPECT_EQ(Win32FilePath(L"C:\\" + Long), L"\\\\?\\C:\\" + Long);
    EXPECT_EQ(Win32FilePath(L"\\\\server\\share\\" + Long), L"\\\\?\\UNC\\server\\share\\" + Long);
    EXPECT_EQ(Win32FilePath(L"\\\\?\\C:\\" + Long), L"\\\\?\\C:\\" + Long);
    EXPECT_EQ(Win32FilePath(L"\\\\.\\pipe\\" + Long), L"\\\\.\\pipe\\" + Long);
    // A relative one is taken against the current folder, as the system itself would.
    const std::wstring Relative = Win32FilePath(Long);
    EXPECT_EQ(Relative.rfind(L"\\\\?\\", 0), 0u) << fs::path(Relative).string();
    EXPECT_EQ(Relative.substr(Relative.size() - Long.size() - 1), L"\\" + Long);
}

TEST(FullPathName, ResolvesAgainstTheCurrentFolderAtAnyLength) {
    const std::wstring Here = FullPathName(L".");
    ASSERT_FALSE(Here.empty());
    ASSERT_NE(Here.back(), L'\\') << "not a drive's root";
    EXPECT_EQ(FullPathName(L"a\\..\\b\\.\\c.webm"), Here + L"\\b\\c.webm");
    // Several times MAX_PATH (260 characters).
    const std::wstring Deep = std::wstring(700, L'd') + L"\\" + std::wstring(700, L'e');
    EXPECT_EQ(FullPathName(Deep), Here + L"\\" + Deep);
    EXPECT_EQ(FullPathName(L"\\\\?\\C:\\x"), L"\\\\?\\C:\\x");
    EXPECT_EQ(FullPathName(L""), L"") << "the system cannot tell an empty path's form";
}
#endif

} // namespace
