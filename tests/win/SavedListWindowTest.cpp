// The main window's saved list: saved within a second of a change and removed by a normal close;
// a list left by a window that ended without closing taken over by the next start (its own
// partial files removed, nothing else), a live window's never; and the restart registration
// while a batch runs, through its seam.
#include "MainFormFixture.h"
#include "MessagePump.h"
#include "PathForms.h"

#include "SavedList.h"
#include "TestSupport.h"

#include <windowsx.h>

#include <filesystem>
#include <fstream>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

struct TRestartCall {
    std::wstring CommandLine;
    DWORD Flags;
};

class SavedListWindowTest : public MainFormTest {
protected:
    TempFolder Dir{L"kestrova-savedlist"};
    std::wstring Saves() const { return AppData->Wide() + L"\\Kestrova\\Lists\\"; }
    TSavedListFolder Folder() const { return TSavedListFolder(Saves()); }
    std::wstring File(const std::wstring& Name, const std::string& Text = "webm") {
        return Dir.WriteFile(Name, Text).wstring();
    }
    // The list files in the saves' folder (not the locks).
    std::vector<std::wstring> ListFiles() const {
        std::vector<std::wstring> Names;
        if (fs::exists(Saves()))
            for (const auto& Entry : fs::directory_iterator(Saves()))
                if (Entry.path().extension() != L".lock")
                    Names.push_back(Entry.path().filename().wstring());
        return Names;
    }
    // The list a dead window left: no lock held for it.
    void LeaveList(const std::wstring& Id, const TSavedList& List) {
        std::wstring Reason;
        ASSERT_TRUE(Folder().SaveList(Id, List, Reason));
        ASSERT_TRUE(Folder().SavePartials(Id, List.Partials, Reason));
    }
    static TSavedRow Row(const std::wstring& Path, int64_t Size) {
        TSavedRow R;
        R.Name = fs::path(Path).filename().wstring();
        R.Location = fs::path(Path).parent_path().wstring() + L"\\";
        R.FileSize = Size;
        return R;
    }
};

} // namespace

TEST_F(SavedListWindowTest, ChangesAreSavedWithinASecondAndANormalCloseRemovesTheSave) {
    CreateForm();
    const std::wstring Id = Form->SavedListId();
    ASSERT_FALSE(Id.empty());
    Drop({File(L"a.webm"), File(L"b \u00E9.webm", "bytes")});
    PumpFor(1500);
    TSavedList Saved;
    ASSERT_TRUE(Folder().Load(Id, Saved));
    ASSERT_EQ(Saved.Rows.size(), 2u);
    EXPECT_EQ(Saved.Rows[1].Name, L"b \u00E9.webm");
    EXPECT_EQ(Saved.Rows[1].FileSize, 5);
    EXPECT_TRUE(Saved.SameFolder);

    // A failure mark and the output choice.
    Form->SetRowImage(0, iiFailed);
    Form->SetRowFailure(0, L"The converter stopped.", L"line 1\nline 2");
    CheckRadioButton(Form->Handle(), IDC_RBSAMEFOLDER, IDC_RBOTHERFOLDER, IDC_RBOTHERFOLDER);
    SendMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(IDC_RBOTHERFOLDER, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Form->Control(IDC_RBOTHERFOLDER)));
    SetWindowTextW(Form->Control(IDC_EDOUTPUTFOLDER), L"D:\\Out");
    PumpFor(1500);
    ASSERT_TRUE(Folder().Load(Id, Saved));
    EXPECT_TRUE(Saved.Rows[0].Failed);
    EXPECT_EQ(Saved.Rows[0].Reason, L"The converter stopped.");
    EXPECT_EQ(Saved.Rows[0].Details, L"line 1\nline 2");
    EXPECT_FALSE(Saved.Rows[1].Failed);
    EXPECT_FALSE(Saved.SameFolder);
    EXPECT_EQ(Saved.OutputFolder, L"D:\\Out");

    // Removing a row, then SaveListNow without waiting for the timer.
    SelectRows({1});
    Click(IDC_BTNREMOVE);
    Form->SaveListNow();
    ASSERT_TRUE(Folder().Load(Id, Saved));
    EXPECT_EQ(Saved.Rows.size(), 1u);

    DestroyForm();
    EXPECT_TRUE(ListFiles().empty()) << "a normal close leaves nothing behind";
    EXPECT_FALSE(fs::exists(Saves() + Id + L".lock"));
}

// A window killed mid-batch: the next start lists its files with the failure kept, says so, and
// removes its partial file, but not a file of the same name that is not the same file.
TEST_F(SavedListWindowTest, AKilledWindowsListIsTakenOverAndOnlyItsOwnPartialFileRemoved) {
    const std::wstring A = File(L"a.webm"), B = File(L"b.webm", "bb");
    const std::wstring Ours = File(L"a.partial.avi", "half");
    const std::wstring Theirs = File(L"c.partial.avi", "old");
    TSavedList Left;
    Left.BatchRunning = true;
    Left.SameFolder = false;
    Left.OutputFolder = Dir.Wide();
    Left.Rows = {Row(A, 4), Row(B, 2)};
    Left.Rows[1].Failed = true;
    Left.Rows[1].Reason = L"No video decoder.";
    Left.Partials = {{Ours, {}}, {Theirs, {}}};
    ASSERT_TRUE(FileIdentity(Ours, Left.Partials[0].Identity));
    ASSERT_TRUE(FileIdentity(Theirs, Left.Partials[1].Identity));
    // Another program's file has taken c.partial.avi's name since.
    fs::rename(Theirs, Dir.Path() / L"moved");
    File(L"c.partial.avi", "theirs");
    LeaveList(L"0000000000000001-00000001", Left);

    CreateForm();
    Form->TakeOverLeftList();
    ASSERT_EQ(Form->RowCount(), 2);
    EXPECT_EQ(Form->GetItemFileName(0), A);
    EXPECT_EQ(Form->RowImage(0), iiFilmReel);
    EXPECT_EQ(Form->RowImage(1), iiFailed);
    EXPECT_EQ(Form->RowFailureReason(1), L"No video decoder.");
    EXPECT_FALSE(Form->SameFolderChecked());
    EXPECT_EQ(Form->OutputFolderText(), Dir.Wide());
    EXPECT_FALSE(fs::exists(Ours));
    EXPECT_TRUE(fs::exists(Theirs));
    EXPECT_TRUE(fs::exists(Dir.Path() / L"moved"));

    const std::wstring Note =
        L"Kestrova was interrupted: the 2 files not converted yet are listed again.";
    EXPECT_EQ(Form->TakeOverNote(), Note);
    EXPECT_TRUE(Boxes.empty()) << "said once the window shows, not in its way while starting";
    PumpFor(200);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, Note);

    // The old save is gone; the list is this window's own now.
    TSavedList Read;
    EXPECT_FALSE(Folder().Load(L"0000000000000001-00000001", Read));
    PumpFor(1200);
    ASSERT_TRUE(Folder().Load(Form->SavedListId(), Read));
    EXPECT_EQ(Read.Rows.size(), 2u);
}

TEST_F(SavedListWindowTest, ALiveWindowsListIsNeverTakenOverAndOneFileIsSaidInTheSingular) {
    CreateForm();
    Drop({File(L"live.webm")});
    Form->SaveListNow();
    TSavedList Left;
    Left.State = TSavedState::ClosedAfterBatch;
    Left.Rows = {Row(File(L"failed.webm"), 4)};
    Left.Rows[0].Failed = true;
    Left.Rows[0].Reason = L"Why.";
    LeaveList(L"0000000000000001-00000001", Left);

    TMainForm Second;
    Second.Create();
    Second.TakeOverLeftList();
    ASSERT_EQ(Second.RowCount(), 1) << "only the ended window's list";
    EXPECT_EQ(Second.RowName(0), L"failed.webm");
    EXPECT_EQ(Second.RowFailureReason(0), L"Why.");
    EXPECT_EQ(Second.TakeOverNote(), L"Kestrova closed itself after the last batch: the file "
                                     L"that was not converted is listed again, with the reason.");
    TSavedList Live;
    ASSERT_TRUE(Folder().Load(Form->SavedListId(), Live));
    EXPECT_EQ(Live.Rows.size(), 1u);
    EXPECT_EQ(Form->RowCount(), 1);
    EXPECT_NE(Second.SavedListId(), Form->SavedListId());
}

TEST_F(SavedListWindowTest, AnUnreadableSaveNeverStopsTheStart) {
    fs::create_directories(Saves());
    std::ofstream(fs::path(Saves() + L"0000000000000001-00000001.list")) << "Kestrova list 1\nR\tx";
    std::ofstream(fs::path(Saves() + L"0000000000000001-00000001.list.previous")) << "garbage";
    std::ofstream(fs::path(Saves() + L"0000000000000002-00000001.partials"))
        << std::string(100, '\0');
    CreateForm();
    EXPECT_NO_THROW(Form->TakeOverLeftList());
    EXPECT_EQ(Form->RowCount(), 0);
    EXPECT_TRUE(Form->TakeOverNote().empty());
    PumpFor(100);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_TRUE(ListFiles().empty()) << "what cannot be read is cleared away";
}

// The restart registration is seen through its seam: made when the batch starts, with the switch
// and this window's id, and withdrawn when it ends; a start with the switch lists that window's
// files and converts them.
TEST_F(SavedListWindowTest, ABatchIsRegisteredForRestartAndTheRestartConvertsWhatWasLeft) {
    std::vector<TRestartCall> Registered;
    int Unregistered = 0;
    TSavedList DuringBatch;
    Application.Hooks.RegisterRestart = [&](const std::wstring& CommandLine, DWORD Flags) {
        Registered.push_back({CommandLine, Flags});
        return S_OK;
    };
    Application.Hooks.UnregisterRestart = [&] {
        ++Unregistered;
        return S_OK;
    };
    EXPECT_EQ(ReadResumeId(SplitCommandLine(L"Kestrova.exe /RESUME 0123abcd-0001")),
              L"0123abcd-0001");
    EXPECT_EQ(ReadResumeId(SplitCommandLine(L"Kestrova.exe /resume ..\\..\\x")), L"");
    EXPECT_EQ(ReadResumeId(SplitCommandLine(L"Kestrova.exe C:\\a.webm")), L"");

    // A window ended mid-batch; this start is its restart.
    const std::wstring Source = File(L"clip.webm");
    fs::copy_file(SamplesFolder() / L"vp8-vorbis.webm", Source,
                  fs::copy_options::overwrite_existing);
    TSavedList Left;
    Left.BatchRunning = true;
    Left.Rows = {Row(Source, static_cast<int64_t>(fs::file_size(Source)))};
    LeaveList(L"0000000000000005-00000001", Left);
    TSavedList Other;
    Other.Rows = {Row(File(L"other.webm"), 4)};
    LeaveList(L"0000000000000009-00000001", Other); // newer, but not the one restarted

    CreateForm();
    Form->TakeOverLeftList(L"0000000000000005-00000001");
    ASSERT_EQ(Form->RowCount(), 1);
    EXPECT_EQ(Form->RowName(0), L"clip.webm");
    PumpFor(3000);
    ASSERT_EQ(Registered.size(), 1u);
    EXPECT_EQ(Registered[0].CommandLine, L"/resume " + Form->SavedListId());
    EXPECT_EQ(Registered[0].Flags, static_cast<DWORD>(RESTART_NO_CRASH | RESTART_NO_HANG));
    EXPECT_EQ(Unregistered, 1);
    EXPECT_TRUE(fs::exists(Dir.Path() / L"clip.avi")) << "the restart converted what was left";
    EXPECT_EQ(Form->RowCount(), 0);
    TSavedList Read;
    EXPECT_TRUE(Folder().Load(L"0000000000000009-00000001", Read)) << "kept for the next start";
}

// "When done: Close Kestrova": the window closes itself after the batch, and its failed file stays
// saved, with its reason, for the next start; a close the user makes leaves nothing (above).
TEST_F(SavedListWindowTest, ClosingItselfAfterABatchKeepsTheFailedFilesWithTheirReasons) {
    HKEY Key = SettingsKey();
    const DWORD CloseKestrova = 1;
    RegSetValueExW(Key, L"WhenDone", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&CloseKestrova),
                   sizeof CloseKestrova);
    RegCloseKey(Key);
    const std::wstring Broken = (Dir.Path() / L"broken.webm").wstring();
    fs::copy_file(SamplesFolder() / L"corrupt.webm", Broken);
    CreateForm();
    const std::wstring Id = Form->SavedListId();
    Drop({Broken});
    Click(IDC_BTNCONVERT);
    const ULONGLONG Deadline = GetTickCount64() + 60000;
    while (IsWindow(Form->Handle()) && GetTickCount64() < Deadline)
        PumpFor(100);
    ASSERT_FALSE(IsWindow(Form->Handle())) << "Kestrova closed itself";
    TSavedList Kept;
    ASSERT_TRUE(Folder().Load(Id, Kept));
    EXPECT_EQ(Kept.State, TSavedState::ClosedAfterBatch);
    ASSERT_EQ(Kept.Rows.size(), 1u);
    EXPECT_EQ(Kept.Rows[0].Name, L"broken.webm");
    EXPECT_TRUE(Kept.Rows[0].Failed);
    EXPECT_FALSE(Kept.Rows[0].Reason.empty());
}
