// Adding files (drop and Add dialog), the admission rules, removing, and the controls that follow
// the list and its selection.
#include "AppError.h"
#include "Details.h"
#include "MainFormFixture.h"

#include "TestSupport.h"

#include <filesystem>

using testing_support::TempFolder;

namespace {

std::wstring PathOf(const std::filesystem::path& Path) {
    return Path.wstring();
}

} // namespace

class ConversionListTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        CreateForm();
    }
    std::wstring Make(const std::wstring& Name, size_t Size = 10) {
        return PathOf(Files.WriteFile(Name, std::string(Size, 'x')));
    }
    std::wstring Folder() const { return PathOf(Files.Path()) + L"\\"; }

    TempFolder Files{L"kestrova-list"};
};

TEST_F(ConversionListTest, DroppedFilesBecomeRowsAndTheDropHandleIsReleased) {
    std::wstring Clip = Make(L"clip.webm", 1234);
    Drop({Clip});
    ASSERT_EQ(Form->RowCount(), 1);
    EXPECT_EQ(Form->RowName(0), L"clip.webm");
    EXPECT_EQ(Form->RowLocation(0), Folder());
    EXPECT_EQ(Form->GetItemFileName(0), Clip);
    EXPECT_EQ(Form->RowFileSize(0), 1234);
    EXPECT_EQ(Form->RowImage(0), iiFilmReel);
    EXPECT_FALSE(HintShown());
    EXPECT_TRUE(Enabled(IDC_BTNCONVERT));
    EXPECT_EQ(GlobalFlags(LastDrop), static_cast<UINT>(GMEM_INVALID_HANDLE));
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(ConversionListTest, OnlyWebMFilesNotYetListedAreAdmittedSilently) {
    std::wstring Upper = Make(L"A.WEBM");
    std::wstring Umlaut = Make(L"Ärger.webm");
    Drop({Upper, Make(L"clip.webm.txt"), Make(L"clip.mkv"), Make(L"webm"), Make(L"clip.webm2"),
          Umlaut});
    ASSERT_EQ(Form->RowCount(), 2);
    EXPECT_EQ(Form->RowName(0), L"A.WEBM");
    EXPECT_EQ(Form->RowName(1), L"Ärger.webm");

    // The same files again, spelt in other cases (non-ASCII letters too): still two rows.
    std::wstring Folded = Folder();
    for (wchar_t& c : Folded)
        c = static_cast<wchar_t>(towupper(c));
    Drop({Folded + L"a.webm", Folder() + L"äRGER.WEBM"});
    EXPECT_EQ(Form->RowCount(), 2);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(ConversionListTest, ReadOnlyLargeAndOpenFilesAreAddedWithTheirFullSize) {
    std::wstring ReadOnly = Make(L"locked.webm", 777);
    ASSERT_TRUE(SetFileAttributesW(ReadOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    std::wstring Large = Folder() + L"large.webm";
    {
        // Sparse, so it costs no disk space.
        HANDLE File = CreateFileW(Large.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(File, INVALID_HANDLE_VALUE);
        LARGE_INTEGER End;
        End.QuadPart = 5LL << 30;
        SetFilePointerEx(File, End, nullptr, FILE_BEGIN);
        ASSERT_TRUE(SetEndOfFile(File));
        CloseHandle(File);
    }
    // Held open by a program that lets others read but not write.
    std::wstring Playing = Make(L"playing.webm", 55);
    HANDLE Player = CreateFileW(Playing.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(Player, INVALID_HANDLE_VALUE);
    Drop({ReadOnly, Large, Playing});
    CloseHandle(Player);
    EXPECT_TRUE(Boxes.empty());
    ASSERT_EQ(Form->RowCount(), 3);
    EXPECT_EQ(Form->RowFileSize(0), 777);
    EXPECT_EQ(Form->RowFileSize(1), 5LL << 30);
    EXPECT_EQ(Form->RowFileSize(2), 55);
    SetFileAttributesW(ReadOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ConversionListTest, FileWhoseSizeCannotBeReadLeavesNoRowAndTheOthersAreAdded) {
    std::wstring First = Make(L"first.webm");
    std::wstring Last = Make(L"last.webm");
    Drop({First, Folder() + L"vanished.webm", Last});
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, L"The specified file was not found.");
    EXPECT_EQ(Boxes[0].Caption, L"Kestrova");
    EXPECT_EQ(Boxes[0].Type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
    ASSERT_EQ(Form->RowCount(), 2);
    EXPECT_EQ(Form->RowName(0), L"first.webm");
    EXPECT_EQ(Form->RowName(1), L"last.webm");
}

TEST_F(ConversionListTest, SeveralFailuresAreReportedTogetherWithTheirCauses) {
    std::wstring Held = Make(L"held.webm");
    HANDLE Holder = CreateFileW(Held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(Holder, INVALID_HANDLE_VALUE);
    std::filesystem::create_directory(Files.Path() / L"folder.webm");
    // Through the Add dialog: a drop would take the folder for a folder.
    NextOpenDialogChoice = {Held, Folder() + L"folder.webm", Folder() + L"gone.webm"};
    Click(IDC_BTNADDFILES);
    CloseHandle(Holder);
    EXPECT_EQ(Form->RowCount(), 0);
    EXPECT_TRUE(HintShown());
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, L"Some files could not be added:\r\n" + Held + L": I/O error 32\r\n" +
                                 Folder() + L"folder.webm: File access denied\r\n" + Folder() +
                                 L"gone.webm: The specified file was not found.");
}

TEST_F(ConversionListTest, PathsLongerThanTheOldLimitArriveWhole) {
    std::filesystem::path Deep = Files.Path();
    for (int i = 0; i < 4; ++i)
        Deep /= std::wstring(70, static_cast<wchar_t>(L'a' + i));
    std::filesystem::create_directories(Deep);
    std::wstring Clip = PathOf(Deep / L"clip.webm");
    ASSERT_GT(Clip.size(), 300u);
    HANDLE File = CreateFileW(Clip.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(File, INVALID_HANDLE_VALUE);
    CloseHandle(File);
    Drop({Clip});
    EXPECT_TRUE(Boxes.empty());
    ASSERT_EQ(Form->RowCount(), 1);
    EXPECT_EQ(Form->GetItemFileName(0), Clip);
}

TEST_F(ConversionListTest, AddDialogAddsTheChosenFilesAndRemembersTheFirst) {
    std::wstring B = Make(L"b.webm"), A = Make(L"a.webm");
    NextOpenDialogChoice = {B, A};
    Click(IDC_BTNADDFILES);
    EXPECT_EQ(OpenDialogRuns, 1);
    EXPECT_EQ(OpenDialogStartName, L"");
    ASSERT_EQ(Form->RowCount(), 2);
    EXPECT_EQ(Form->RowName(0), L"b.webm");
    EXPECT_EQ(Form->RowName(1), L"a.webm");

    NextOpenDialogChoice.clear(); // cancelled: nothing changes
    Click(IDC_BTNADDFILES);
    EXPECT_EQ(OpenDialogStartName, B);
    EXPECT_EQ(Form->RowCount(), 2);
}

TEST_F(ConversionListTest, DoubleClickAddsOnAnEmptyListAndPlaysOnAFilledOne) {
    SendListNotification(NM_DBLCLK);
    EXPECT_EQ(OpenDialogRuns, 1);
    SendMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(IDC_LBLADDFILES, STN_DBLCLK),
                 reinterpret_cast<LPARAM>(Form->Control(IDC_LBLADDFILES)));
    EXPECT_EQ(OpenDialogRuns, 2);

    std::wstring Clip = Make(L"clip.webm");
    Drop({Clip});
    SendListNotification(NM_DBLCLK); // no row selected: Play is disabled
    EXPECT_EQ(OpenDialogRuns, 2);
    EXPECT_TRUE(ShellCalls.empty());
    SelectRows({0});
    SendListNotification(NM_DBLCLK);
    ASSERT_EQ(ShellCalls.size(), 1u);
    EXPECT_EQ(ShellCalls[0].Verb, L"open");
    EXPECT_EQ(ShellCalls[0].File, Clip);
}

TEST_F(ConversionListTest, SelectionDrivesRemoveAndTheMenuItems) {
    Drop({Make(L"one.webm"), Make(L"two.webm")});
    EXPECT_FALSE(Enabled(IDC_BTNREMOVE));
    EXPECT_FALSE(MenuEnabled(IDM_PLAY));
    EXPECT_FALSE(MenuEnabled(IDM_OPENFOLDER));
    EXPECT_FALSE(MenuEnabled(IDM_REMOVE));
    SelectRows({1});
    EXPECT_TRUE(Enabled(IDC_BTNREMOVE));
    EXPECT_TRUE(MenuEnabled(IDM_PLAY));
    EXPECT_TRUE(MenuEnabled(IDM_OPENFOLDER));
    EXPECT_TRUE(MenuEnabled(IDM_REMOVE));
    SelectRows({});
    EXPECT_FALSE(Enabled(IDC_BTNREMOVE));
    EXPECT_FALSE(MenuEnabled(IDM_PLAY));
}

TEST_F(ConversionListTest, PlayAndOpenFolderUseTheFirstSelectedRow) {
    std::wstring One = Make(L"one.webm"), Two = Make(L"two.webm"), Three = Make(L"three.webm");
    Drop({One, Two, Three});
    PressKeyInList(VK_RETURN); // nothing selected
    EXPECT_TRUE(ShellCalls.empty());
    SelectRows({1, 2});
    PressKeyInList(VK_RETURN);
    SendMessageW(Form->Handle(), WM_COMMAND, IDM_OPENFOLDER, 0);
    ASSERT_EQ(ShellCalls.size(), 2u);
    EXPECT_EQ(ShellCalls[0].Verb, L"open");
    EXPECT_EQ(ShellCalls[0].File, Two);
    EXPECT_EQ(ShellCalls[1].Verb, L"explore");
    EXPECT_EQ(ShellCalls[1].File, Folder());
    EXPECT_EQ(Form->RowCount(), 3);
}

TEST_F(ConversionListTest, PlayAndOpenFolderSayWhyWindowsCouldNotDoThem) {
    std::wstring Clip = Make(L"clip.webm");
    Drop({Clip});
    SelectRows({0});
    NextShellError = ERROR_NO_ASSOCIATION;
    PressKeyInList(VK_RETURN);
    NextShellError = ERROR_PATH_NOT_FOUND;
    SendMessageW(Form->Handle(), WM_COMMAND, IDM_OPENFOLDER, 0);
    ASSERT_EQ(ShellCalls.size(), 2u);
    ASSERT_EQ(Boxes.size(), 2u);
    const std::wstring NoApp = SystemErrorText(ERROR_NO_ASSOCIATION);
    EXPECT_EQ(Boxes[0].Text, L"Windows could not play " + Clip + L": " + NoApp + L".");
    EXPECT_EQ(Boxes[1].Text, L"Windows could not open the folder " + Folder() + L": " +
                                 SystemErrorText(ERROR_PATH_NOT_FOUND) + L".");
    EXPECT_NE(NoApp, SystemErrorText(ERROR_PATH_NOT_FOUND)) << "the system's own reason";
    for (const TRecordedBox& Box : Boxes)
        EXPECT_EQ(Box.Type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));

    // Some of the system's words have a place for the file's name.
    NextShellError = ERROR_BAD_EXE_FORMAT;
    PressKeyInList(VK_RETURN);
    ASSERT_EQ(Boxes.size(), 3u);
    EXPECT_EQ(Boxes[2].Text.find(L"%1"), std::wstring::npos)
        << testing::PrintToString(Boxes[2].Text);
    EXPECT_NE(Boxes[2].Text.find(Clip, Boxes[2].Text.find(L": ", 3)), std::wstring::npos);

    NextShellError = 0;
    PressKeyInList(VK_RETURN);
    EXPECT_EQ(Boxes.size(), 3u) << "nothing to say when the shell did it";
    EXPECT_EQ(Form->RowCount(), 1);
}

TEST_F(ConversionListTest, RemoveDeletesTheSelectedRowsAndTheHintReturnsWhenEmpty) {
    std::wstring One = Make(L"one.webm"), Two = Make(L"two.webm"), Three = Make(L"three.webm");
    Drop({One, Two, Three});
    SelectRows({0, 2});
    Click(IDC_BTNREMOVE);
    ASSERT_EQ(Form->RowCount(), 1);
    EXPECT_EQ(Form->RowName(0), L"two.webm");
    EXPECT_FALSE(Enabled(IDC_BTNREMOVE));
    EXPECT_FALSE(MenuEnabled(IDM_REMOVE));
    EXPECT_TRUE(Enabled(IDC_BTNCONVERT));

    PressKeyInList(VK_DELETE); // no selection: nothing goes
    EXPECT_EQ(Form->RowCount(), 1);
    SelectRows({0});
    PressKeyInList(VK_DELETE);
    EXPECT_EQ(Form->RowCount(), 0);
    EXPECT_TRUE(HintShown());
    EXPECT_FALSE(Enabled(IDC_BTNCONVERT));

    // A removed file can be added again.
    Drop({Two});
    EXPECT_EQ(Form->RowCount(), 1);
    SelectRows({0});
    SendMessageW(Form->Handle(), WM_COMMAND, IDM_REMOVE, 0);
    EXPECT_EQ(Form->RowCount(), 0);
}

TEST_F(ConversionListTest, BatchAccessorsMarkAndDeleteRows) {
    Drop({Make(L"one.webm", 5), Make(L"two.webm", 7)});
    Form->SetRowImage(0, iiFailed);
    EXPECT_EQ(Form->RowImage(0), iiFailed);
    Form->DeleteRow(1);
    Form->UpdateControlsOnListChange();
    ASSERT_EQ(Form->RowCount(), 1);
    EXPECT_EQ(Form->RowFileSize(0), 5);
    Form->DeleteRow(0);
    Form->UpdateControlsOnListChange();
    EXPECT_TRUE(HintShown());
    EXPECT_FALSE(Enabled(IDC_BTNCONVERT));
}

// With Alt held, Enter and Delete arrive as system keys; they act all the same.
TEST_F(ConversionListTest, AltEnterPlaysAndAltDeleteRemoves) {
    Drop({Make(L"a.webm"), Make(L"b.webm")});
    SelectRows({1});
    HWND List = Form->Control(IDC_LSTFILESTOCONVERT);
    const LPARAM AltDown = 1 | (1 << 29);
    SendMessageW(List, WM_SYSKEYDOWN, VK_RETURN, AltDown);
    ASSERT_EQ(ShellCalls.size(), 1u);
    EXPECT_EQ(ShellCalls[0].Verb, L"open");
    EXPECT_EQ(ShellCalls[0].File, Form->GetItemFileName(1));
    SendMessageW(List, WM_SYSKEYDOWN, VK_DELETE, AltDown);
    ASSERT_EQ(Form->RowCount(), 1);
    EXPECT_EQ(Form->RowName(0), L"a.webm");
}

// A failed row says why: in its tooltip, and whole in its Details window with the converter's
// last lines; rows without a failure offer neither.
TEST_F(ConversionListTest, FailedRowExplainsItselfInTooltipAndDetails) {
    Drop({Make(L"good.webm"), Make(L"bad.webm")});
    Form->SetRowImage(1, iiFailed);
    Form->SetRowFailure(1, L"the file is not a WebM video, or it is damaged",
                        L"[matroska,webm] EBML header parsing failed\nbad.webm: Invalid data");
    std::vector<std::pair<std::wstring, std::wstring>> Shown;
    Application.Hooks.ShowDetails = [&](HWND, const std::wstring& Caption,
                                        const std::wstring& Text) {
        Shown.emplace_back(Caption, Text);
    };

    auto Tip = [&](int Row) {
        wchar_t Buffer[512] = L"";
        NMLVGETINFOTIPW Info{};
        Info.hdr.hwndFrom = Form->Control(IDC_LSTFILESTOCONVERT);
        Info.hdr.idFrom = IDC_LSTFILESTOCONVERT;
        Info.hdr.code = LVN_GETINFOTIPW;
        Info.dwFlags = LVGIT_UNFOLDED;
        Info.pszText = Buffer;
        Info.cchTextMax = 512;
        Info.iItem = Row;
        SendMessageW(Form->Handle(), WM_NOTIFY, IDC_LSTFILESTOCONVERT,
                     reinterpret_cast<LPARAM>(&Info));
        return std::wstring(Buffer);
    };
    EXPECT_EQ(Tip(1), L"the file is not a WebM video, or it is damaged");
    EXPECT_EQ(Tip(0), L"");

    SelectRows({0});
    EXPECT_FALSE(MenuEnabled(IDM_DETAILS));
    SendMessageW(Form->Handle(), WM_COMMAND, IDM_DETAILS, 0);
    EXPECT_TRUE(Shown.empty());

    SelectRows({1});
    EXPECT_TRUE(MenuEnabled(IDM_DETAILS));
    SendMessageW(Form->Handle(), WM_COMMAND, IDM_DETAILS, 0);
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].first, L"bad.webm could not be converted");
    EXPECT_EQ(Shown[0].second,
              L"the file is not a WebM video, or it is damaged\r\n\r\n"
              L"[matroska,webm] EBML header parsing failed\nbad.webm: Invalid data");
}

// The real Details window: the text whole, read-only, line breaks kept; Esc closes it.
TEST_F(ConversionListTest, DetailsWindowShowsTheTextReadOnly) {
    static std::wstring SeenText, SeenCaption;
    static bool ReadOnly = false;
    SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR Id, DWORD) {
        KillTimer(nullptr, Id);
        HWND Dialog = FindWindowW(nullptr, L"clip.webm could not be converted");
        if (!Dialog)
            return;
        wchar_t Buffer[512] = L"";
        GetWindowTextW(Dialog, Buffer, 512);
        SeenCaption = Buffer;
        HWND Edit = GetDlgItem(Dialog, IDC_EDDETAILS);
        GetWindowTextW(Edit, Buffer, 512);
        SeenText = Buffer;
        ReadOnly = (GetWindowLongPtrW(Edit, GWL_STYLE) & ES_READONLY) != 0;
        PostMessageW(Dialog, WM_COMMAND, IDCANCEL, 0);
    });
    ShowDetails(Form->Handle(), L"clip.webm could not be converted", L"why\nline one\rline two");
    EXPECT_EQ(SeenCaption, L"clip.webm could not be converted");
    EXPECT_EQ(SeenText, L"why\r\nline one\r\nline two");
    EXPECT_TRUE(ReadOnly);
}
