#include "FolderScan.h"
#include "FileSystem.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;
using testing_support::PathFromWide;
using testing_support::TempFolder;
using testing_support::WideFromPath;

namespace {

std::vector<std::wstring> Sorted(std::vector<std::wstring> Names) {
    std::sort(Names.begin(), Names.end(), NaturalLess);
    return Names;
}

TEST(NaturalOrder, NumbersCompareByValueAndCaseIsIgnored) {
    EXPECT_EQ(
        Sorted({L"clip10.webm", L"clip2.webm", L"Clip1.webm", L"clip 3.webm"}),
        (std::vector<std::wstring>{L"clip 3.webm", L"Clip1.webm", L"clip2.webm", L"clip10.webm"}));
    EXPECT_EQ(Sorted({L"b", L"A", L"a", L"B"}), (std::vector<std::wstring>{L"A", L"a", L"B", L"b"}))
        << "names equal but for case keep one fixed order";
    EXPECT_EQ(Sorted({L"take 007", L"take 7", L"take 08", L"take 100000000000000000000001",
                      L"take 99999999999999999999999"}),
              (std::vector<std::wstring>{L"take 007", L"take 7", L"take 08",
                                         L"take 99999999999999999999999",
                                         L"take 100000000000000000000001"}))
        << "numbers of any length, leading zeros ignored";
    EXPECT_EQ(Sorted({L"x10y2", L"x10y10", L"x9y99", L"x"}),
              (std::vector<std::wstring>{L"x", L"x9y99", L"x10y2", L"x10y10"}));
}

TEST(NaturalOrder, AccentedAndCyrillicCapitalsSortWithTheirSmallLetters) {
    EXPECT_TRUE(NaturalLess(L"\u00c4rger b", L"\u00e4rger c")); // Ä, ä
    EXPECT_TRUE(NaturalLess(L"\u017e a", L"\u017d b"));         // ž, Ž
    EXPECT_TRUE(NaturalLess(L"\u0141a", L"\u0142b"));           // Ła before łb
    EXPECT_TRUE(NaturalLess(L"\u0431", L"\u0412"));             // б before В
    EXPECT_FALSE(NaturalLess(L"same", L"same"));
}

TEST(WebMExtension, TheListsOwnRule) {
    EXPECT_TRUE(HasWebMExtension(L"a.webm"));
    EXPECT_TRUE(HasWebMExtension(L"C:\\x\\A.WeBm"));
    EXPECT_TRUE(HasWebMExtension(L".webm"));
    EXPECT_FALSE(HasWebMExtension(L"clip.webm.txt"));
    EXPECT_FALSE(HasWebMExtension(L"clip.webm2"));
    EXPECT_FALSE(HasWebMExtension(L"webm"));
    EXPECT_FALSE(HasWebMExtension(L"films.webm\\clip"));
    EXPECT_FALSE(HasWebMExtension(L"films.webm/clip"));
}

class FolderScanTest : public ::testing::Test {
protected:
    TempFolder Temp{L"kestrova-scan"};
    const std::wstring Root = WideFromPath(Temp.Path());

    std::wstring Make(const std::wstring& Relative, size_t Size = 1) {
        fs::path Path = Temp.Path() / PathFromWide(Relative);
        fs::create_directories(Path.parent_path());
        Temp.WriteFile(Relative, std::string(Size, 'x'));
        return WideFromPath(Path);
    }
    std::wstring In(const std::wstring& Relative) const {
        std::wstring Path = IncludeTrailingPathDelimiter(Root) + Relative;
        std::replace(Path.begin(), Path.end(), L'/', PathDelim);
        return Path;
    }
};

TEST_F(FolderScanTest, OwnFilesFirstThenEachSubfolderInNaturalOrder) {
    Make(L"clip10.webm", 10);
    Make(L"Clip9.WEBM", 9);
    Make(L"notes.txt");
    Make(L"clip.webm.part");
    Make(L"b/2.webm");
    Make(L"b/deeper/x.webm", 0);
    Make(L"b/1.webm", 4096);
    Make(L"A/only.webm");
    Make(L"empty-of-webm/readme.md");
    fs::create_directories(Temp.Path() / "empty");
    fs::create_directories(Temp.Path() / "folder.webm"); // a folder, named like a file

    TFolderScan Scan = FindWebMFiles(Root);
    EXPECT_EQ(Scan.Files, (std::vector<std::wstring>{In(L"Clip9.WEBM"), In(L"clip10.webm"),
                                                     In(L"A/only.webm"), In(L"b/1.webm"),
                                                     In(L"b/2.webm"), In(L"b/deeper/x.webm")}));
    // Each file's size, as the listing gave it.
    EXPECT_EQ(Scan.Sizes, (std::vector<int64_t>{9, 10, 1, 4096, 1, 0}));
    EXPECT_TRUE(Scan.Unreadable.empty());
    // The folder given with its trailing delimiter reads the same.
    EXPECT_EQ(FindWebMFiles(IncludeTrailingPathDelimiter(Root)).Files, Scan.Files);
    EXPECT_TRUE(IsFolder(Root));
    EXPECT_FALSE(IsFolder(In(L"clip10.webm")));
    EXPECT_FALSE(IsFolder(In(L"missing")));
}

// The walk a window takes in small steps: one folder a step, in the order of the whole scan.
TEST_F(FolderScanTest, AStepwiseWalkListsOneFolderAStepInTheSameOrder) {
    Make(L"top.webm");
    Make(L"a/1.webm");
    Make(L"a/inner/2.webm");
    Make(L"b/3.webm");
    fs::create_directories(Temp.Path() / "a" / "empty");

    TFolderWalk Walk(Root);
    TFolderScan Scan;
    std::vector<size_t> FilesAfterStep;
    while (Walk.Step(Scan))
        FilesAfterStep.push_back(Scan.Files.size());
    // Root, a, a/empty, a/inner, b.
    EXPECT_EQ(FilesAfterStep, (std::vector<size_t>{1, 2, 2, 3, 4}));
    EXPECT_EQ(Scan.Files, FindWebMFiles(Root).Files);
    EXPECT_EQ(Scan.Files, (std::vector<std::wstring>{In(L"top.webm"), In(L"a/1.webm"),
                                                     In(L"a/inner/2.webm"), In(L"b/3.webm")}));
    EXPECT_FALSE(Walk.Step(Scan)) << "a finished walk stays finished";
    EXPECT_EQ(Scan.Files.size(), 4u);
    EXPECT_EQ(Scan.Sizes.size(), 4u);

    TFolderWalk Missing(In(L"missing"));
    TFolderScan Nothing;
    EXPECT_TRUE(Missing.Step(Nothing));
    EXPECT_EQ(Nothing.Unreadable.size(), 1u);
    EXPECT_FALSE(Missing.Step(Nothing));
}

TEST_F(FolderScanTest, AMissingFolderIsReportedAsUnreadable) {
    TFolderScan Scan = FindWebMFiles(In(L"missing"));
    EXPECT_TRUE(Scan.Files.empty());
    ASSERT_EQ(Scan.Unreadable.size(), 1u);
    EXPECT_EQ(Scan.Unreadable[0].first, In(L"missing"));
    EXPECT_NE(Scan.Unreadable[0].second, 0u);
}

TEST_F(FolderScanTest, HiddenEntriesAreLeftOut) {
    Make(L"shown.webm");
#ifdef _WIN32
    std::wstring Hidden = Make(L"hidden.webm");
    std::wstring HiddenFolder = In(L"hidden-folder");
    Make(L"hidden-folder/inside.webm");
    SetFileAttributesW(Hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW(HiddenFolder.c_str(), FILE_ATTRIBUTE_HIDDEN);
    if (!(GetFileAttributesW(Hidden.c_str()) & FILE_ATTRIBUTE_HIDDEN))
        GTEST_SKIP() << "this file system keeps no hidden attribute";
#else
    Make(L".hidden.webm");
    Make(L".hidden-folder/inside.webm");
#endif
    EXPECT_EQ(FindWebMFiles(Root).Files, std::vector<std::wstring>{In(L"shown.webm")});
}

#ifndef _WIN32
TEST_F(FolderScanTest, LinksToFoldersAreNotFollowedButLinkedFilesCount) {
    Make(L"sub/clip.webm");
    fs::create_directory_symlink(Temp.Path(), Temp.Path() / "sub" / "loop");
    fs::create_symlink(Temp.Path() / "sub" / "clip.webm", Temp.Path() / "link.webm");
    TFolderScan Scan = FindWebMFiles(Root);
    EXPECT_EQ(Scan.Files, (std::vector<std::wstring>{In(L"link.webm"), In(L"sub/clip.webm")}));
    // A link's own size is not its file's: it is left to be read from the file.
    EXPECT_EQ(Scan.Sizes, (std::vector<int64_t>{-1, 1}));
}
#endif

} // namespace
