// Files and folders from outside the Add dialog: the command line, dropped folders, and paths
// of 260 characters (MAX_PATH) or more on their way to the list, the shell and the converter.
#include "MainFormFixture.h"
#include "PathForms.h"
#include "Shell.h"
#include "TextConversion.h"
#include "win32/UiOwners.h"

#include "LongPath.h"
#include "TestSupport.h"

#include <shlobj.h>

#include <filesystem>

using testing_support::SamplesFolder;
using testing_support::TempFolder;

namespace {

namespace fs = std::filesystem;

// Whether two paths name the same file, whatever their spelling.
bool SameFile(const std::wstring& A, const std::wstring& B) {
    BY_HANDLE_FILE_INFORMATION Info[2];
    const std::wstring* Paths[2] = {&A, &B};
    for (int i = 0; i < 2; ++i) {
        HANDLE File = CreateFileW(ExtendedLengthPath(*Paths[i]).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (File == INVALID_HANDLE_VALUE)
            return false;
        bool Read = GetFileInformationByHandle(File, &Info[i]);
        CloseHandle(File);
        if (!Read)
            return false;
    }
    return Info[0].dwVolumeSerialNumber == Info[1].dwVolumeSerialNumber &&
           Info[0].nFileIndexHigh == Info[1].nFileIndexHigh &&
           Info[0].nFileIndexLow == Info[1].nFileIndexLow;
}

class OutsidePathsTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        CreateForm();
    }
    std::wstring Make(const std::wstring& Relative, size_t Size = 10) {
        fs::path Path = Files.Path() / Relative;
        fs::create_directories(Path.parent_path());
        return Files.WriteFile(Relative, std::string(Size, 'x')).wstring();
    }
    std::wstring In(const std::wstring& Relative) const {
        return (Files.Path() / Relative).make_preferred().wstring();
    }
    // A folder below the temporary one whose path is longer than Length.
    std::wstring DeepFolder(size_t Length) {
        fs::path Deep = Files.Path();
        for (wchar_t c = L'a'; Deep.wstring().size() <= Length; ++c)
            Deep /= std::wstring(60, c);
        fs::create_directories(Deep);
        return Deep.wstring();
    }
    std::vector<std::wstring> Rows() const {
        std::vector<std::wstring> Result;
        for (int Row = 0; Row < Form->RowCount(); ++Row)
            Result.push_back(Form->GetItemFileName(Row));
        return Result;
    }

    TempFolder Files{L"kestrova-outside"};
};

TEST_F(OutsidePathsTest, ADroppedFolderAddsItsWebMFilesAndThoseBelowInNaturalOrder) {
    Make(L"Films\\clip10.webm");
    Make(L"Films\\Clip2.WEBM");
    Make(L"Films\\notes.txt");
    Make(L"Films\\b\\x.webm");
    Make(L"Films\\a.webm\\inside.webm"); // a folder named like a WebM file is a folder
    Make(L"Films\\nothing\\readme.txt");
    std::wstring Single = Make(L"single.webm");

    Drop({In(L"Films"), Single});
    EXPECT_TRUE(Boxes.empty()) << "other files are skipped without a word";
    const std::vector<std::wstring> Expected{In(L"Films\\Clip2.WEBM"), In(L"Films\\clip10.webm"),
                                             In(L"Films\\a.webm\\inside.webm"),
                                             In(L"Films\\b\\x.webm"), In(L"single.webm")};
    EXPECT_EQ(Rows(), Expected);
    EXPECT_EQ(Form->RowName(0), L"Clip2.WEBM");
    EXPECT_EQ(Form->RowLocation(0), In(L"Films") + L"\\");

    // The same folder again, as its parent: only what was not listed yet comes in.
    Make(L"Films\\b\\new.webm");
    Drop({Files.Path().wstring()});
    EXPECT_TRUE(Boxes.empty());
    ASSERT_EQ(Form->RowCount(), 6);
    EXPECT_EQ(Form->GetItemFileName(5), In(L"Films\\b\\new.webm"));
}

TEST_F(OutsidePathsTest, AFoldersFilesTakeTheListingsSizesAndNamedFilesAreReadTogether) {
    // A folder's files are not opened one by one: the size comes from the folder's listing, so
    // one that another program holds without sharing is listed (its conversion will say why it
    // fails). A file named on its own is opened, and what cannot be read is reported together.
    std::wstring InFolder = Make(L"Films\\held.webm", 33);
    Make(L"Films\\ok.webm", 44);
    std::wstring Alone = Make(L"alone.webm");
    std::vector<HANDLE> Holders;
    for (const std::wstring& Held : {InFolder, Alone}) {
        Holders.push_back(CreateFileW(Held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_NE(Holders.back(), INVALID_HANDLE_VALUE);
    }
    Form->AddPaths({In(L"Films"), Alone, In(L"gone.webm")});
    FinishAdding();
    for (HANDLE Holder : Holders)
        CloseHandle(Holder);
    EXPECT_EQ(Rows(), (std::vector<std::wstring>{InFolder, In(L"Films\\ok.webm")}));
    EXPECT_EQ(Form->RowFileSize(0), 33);
    EXPECT_EQ(Form->RowFileSize(1), 44);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, L"Some files could not be added:\r\n" + Alone + L": I/O error 32\r\n" +
                                 In(L"gone.webm") + L": The specified file was not found.");
}

TEST_F(OutsidePathsTest, CommandLinePathsAreMadeAbsoluteAndOrdinary) {
    Make(L"here\\clip.webm");
    wchar_t Saved[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, Saved);
    ASSERT_TRUE(SetCurrentDirectoryW(In(L"here").c_str()));
    std::vector<std::wstring> Paths = CommandLinePaths(SplitCommandLine(
        LR"("C:\Program Files\Kestrova\Kestrova.exe" clip.webm "" ..\here\.\clip.webm )"
        LR"("\\?\C:\a b\c.webm" "D:\with space\x.webm")"));
    SetCurrentDirectoryW(Saved);
    EXPECT_EQ(Paths, (std::vector<std::wstring>{In(L"here\\clip.webm"), In(L"here\\clip.webm"),
                                                L"C:\\a b\\c.webm", L"D:\\with space\\x.webm"}));
    EXPECT_TRUE(CommandLinePaths(SplitCommandLine(L"Kestrova.exe")).empty());
}

TEST_F(OutsidePathsTest, CommandLineFailuresGetTheListsMessages) {
    std::wstring Clip = Make(L"clip.webm");
    Form->AddPaths({In(L"gone.webm"), Clip, In(L"notes.txt")});
    FinishAdding();
    ASSERT_EQ(Boxes.size(), 1u) << "a missing file is reported";
    EXPECT_EQ(Boxes[0].Text, L"The specified file was not found.");
    EXPECT_EQ(Rows(), std::vector<std::wstring>{Clip});
}

TEST_F(OutsidePathsTest, LongPathsAreListedPlayedAndOpenedInAFormTheShellTakes) {
    std::wstring Deep = DeepFolder(300);
    Make(fs::path(Deep).lexically_relative(Files.Path()).wstring() + L"\\deep.webm", 77);
    std::wstring Clip = Deep + L"\\deep.webm";
    ASSERT_GT(Clip.size(), 300u);

    Form->AddPaths({Files.Path().wstring()});
    FinishAdding();
    EXPECT_TRUE(Boxes.empty());
    ASSERT_EQ(Rows(), std::vector<std::wstring>{Clip});
    EXPECT_EQ(Form->RowFileSize(0), 77);

    SelectRows({0});
    Click(IDM_PLAY);
    Click(IDM_OPENFOLDER);
    ASSERT_EQ(ShellCalls.size(), 2u);
    EXPECT_EQ(ShellCalls[0].Verb, L"open");
    EXPECT_LT(ShellCalls[0].File.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_TRUE(SameFile(ShellCalls[0].File, Clip)) << ShellCalls[0].File;
    EXPECT_EQ(ShellCalls[1].Verb, L"explore");
    EXPECT_LT(ShellCalls[1].File.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_TRUE(SameFile(ShellCalls[1].File, Deep)) << ShellCalls[1].File;

    // Short paths go to the shell as they are.
    EXPECT_EQ(ShellPathForm(L"C:\\x\\clip.webm"), L"C:\\x\\clip.webm");
}

// A folder chosen in the shell's chooser reaches the folder box as the file system names it.
// (Wine's shell cannot name a folder of MAX_PATH characters or more: only Windows shows that.)
TEST_F(OutsidePathsTest, AChosenFolderComesBackAsTheFileSystemNamesIt) {
    std::wstring Folder = (Files.Path() / L"Out put ü").wstring();
    fs::create_directories(Folder);
    PIDLIST_ABSOLUTE Item = nullptr;
    ASSERT_EQ(SHParseDisplayName(Folder.c_str(), nullptr, &Item, 0, nullptr), S_OK);
    UniqueCoTaskMem<PIDLIST_ABSOLUTE> Owned(Item);
    EXPECT_EQ(FolderPathOf(Item), Folder);

    // A place in the shell that is no folder on disk gives no path.
    PIDLIST_ABSOLUTE Root = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &Root), S_OK);
    UniqueCoTaskMem<PIDLIST_ABSOLUTE> OwnedRoot(Root);
    EXPECT_EQ(FolderPathOf(Root), L"") << "\"This PC\" is no folder to write into";
}

// The real converter beside the tests, given a source and a destination beyond the limit.
TEST_F(OutsidePathsTest, ALongPathIsConvertedBesideItsSourceWithoutOverwriting) {
    std::wstring Deep = DeepFolder(280);
    fs::path Source = fs::path(Deep) / L"clip.webm";
    fs::copy_file(SamplesFolder() / L"vp8-vorbis.webm", Source);
    fs::path Taken = fs::path(Deep) / L"clip.avi";
    Files.WriteFile(Taken.lexically_relative(Files.Path()).wstring(), "taken");

    Drop({Source.wstring()});
    ASSERT_EQ(Form->RowCount(), 1);
    Click(IDC_BTNCONVERT);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, L"The conversion is finished.");
    EXPECT_EQ(Form->RowCount(), 0);
    EXPECT_EQ(fs::file_size(Taken), 5u) << "the existing file is left alone";
    fs::path Made = fs::path(Deep) / L"clip(2).avi";
    ASSERT_TRUE(fs::exists(Made));
    EXPECT_TRUE(testing_support::ReadAviStreams(Made).IsAvi);
}

} // namespace
