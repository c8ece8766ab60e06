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
TEST_F(FolderScanTest, ALinkBackUpIsNotFollowedButLinkedFilesCount) {
    Make(L"sub/clip.webm");
    fs::create_directory_symlink(Temp.Path(), Temp.Path() / "sub" / "loop");
    fs::create_symlink(Temp.Path() / "sub" / "clip.webm", Temp.Path() / "link.webm");
    TFolderScan Scan = FindWebMFiles(Root);
    EXPECT_EQ(Scan.Files, (std::vector<std::wstring>{In(L"link.webm"), In(L"sub/clip.webm")}));
    // A link's own size is not its file's: it is left to be read from the file.
    EXPECT_EQ(Scan.Sizes, (std::vector<int64_t>{-1, 1}));
}
#endif

// Runs Walk to its end, at most Limit folders: a walk that loops fails the test instead of hanging.
size_t WalkAtMost(TFolderWalk& Walk, TFolderScan& Scan, size_t Limit = 1000) {
    size_t Steps = 0;
    while (Steps < Limit && Walk.Step(Scan))
        ++Steps;
    return Steps;
}

// Real links: a folder that holds a link to itself and one to its parent ends, and a link to a
// folder outside the walked tree is followed, once however many links lead there.
TEST_F(FolderScanTest, LinksThatLoopEndAndAFolderOutsideIsListedOnce) {
    TempFolder Outside{L"kestrova-outside"};
    Outside.WriteFile(L"far.webm", "x");
    Make(L"a/clip.webm");
    try {
        fs::create_directory_symlink(Temp.Path() / "a", Temp.Path() / "a" / "self");
        fs::create_directory_symlink(Temp.Path(), Temp.Path() / "a" / "up");
        fs::create_directory_symlink(Outside.Path(), Temp.Path() / "b-outside");
        fs::create_directory_symlink(Outside.Path(), Temp.Path() / "c-outside-again");
    } catch (const fs::filesystem_error& Error) {
        GTEST_SKIP() << "no folder links here: " << Error.what();
    }
    TFolderWalk Walk(Root);
    TFolderScan Scan;
    EXPECT_LT(WalkAtMost(Walk, Scan), 1000u) << "the walk loops";
    EXPECT_EQ(Scan.Files,
              (std::vector<std::wstring>{In(L"a/clip.webm"), In(L"b-outside/far.webm")}));
    EXPECT_TRUE(Scan.Unreadable.empty());
}

// A share whose server follows its own links shows them as plain folders: only the folders'
// identities tell that "loop" is the top folder again. Each folder's identity here is that of the
// last part of its path.
bool ListShareThatLoops(const std::wstring& Folder, std::vector<TFolderEntry>& Entries,
                        TFolderIdentity& Identity, uint32_t& Error) {
    Error = 0;
    const std::wstring Last = Folder.substr(Folder.find_last_of(L"\\/") + 1);
    Entries.clear();
    if (Last == L"top" || Last == L"loop" || Last == L"back") {
        Identity = {7, 0, 1, true};
        Entries = {{L"clip.webm", false, false, false, 5},
                   {L"loop", true, false, false, -1},
                   {L"sub", true, false, false, -1}};
    } else if (Last == L"sub") {
        Identity = {7, 0, 2, true};
        Entries = {{L"deep.webm", false, false, false, 6}, {L"back", true, false, false, -1}};
    } else {
        return Error = 2, false;
    }
    return true;
}

TEST(FolderWalkIdentity, AShareThatContainsItselfIsWalkedOnce) {
    TFolderWalk Walk(L"//server/top", ListShareThatLoops);
    TFolderScan Scan;
    EXPECT_LT(WalkAtMost(Walk, Scan), 10u) << "the walk loops";
    const std::wstring Top = IncludeTrailingPathDelimiter(L"//server/top");
    EXPECT_EQ(Scan.Files,
              (std::vector<std::wstring>{
                  Top + L"clip.webm", IncludeTrailingPathDelimiter(Top + L"sub") + L"deep.webm"}));
    EXPECT_EQ(Scan.Sizes, (std::vector<int64_t>{5, 6}));
    EXPECT_TRUE(Scan.Unreadable.empty());
}

// Where the system does not tell identities, plain folders are still walked, but a link is not
// followed: nothing could tell where it leads back.
bool ListWithoutIdentities(const std::wstring& Folder, std::vector<TFolderEntry>& Entries,
                           TFolderIdentity& Identity, uint32_t& Error) {
    Error = 0;
    Identity = {};
    Entries.clear();
    const std::wstring Last = Folder.substr(Folder.find_last_of(L"\\/") + 1);
    if (Last == L"top")
        Entries = {{L"link", true, true, false, -1}, {L"plain", true, false, false, -1}};
    else
        Entries = {{Last + L".webm", false, false, false, 1}};
    return true;
}

TEST(FolderWalkIdentity, WithoutIdentitiesLinksAreNotFollowed) {
    TFolderWalk Walk(L"//server/top", ListWithoutIdentities);
    TFolderScan Scan;
    WalkAtMost(Walk, Scan);
    EXPECT_EQ(Scan.Files, std::vector<std::wstring>{
                              IncludeTrailingPathDelimiter(
                                  IncludeTrailingPathDelimiter(L"//server/top") + L"plain") +
                              L"plain.webm"});
}

} // namespace
