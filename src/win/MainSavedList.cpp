// The main window's list kept on disk (SavedList.h): saved within a second of every change by a
// thread of its own, taken over by the next start when the window ended without closing, and the
// window registered for restart while a batch runs.
#include "Main.h"

#include "Application.h"
#include "FileSystem.h"
#include "Language.h"
#include "Progress.h"
#include "TextTemplate.h"

#include "resource.h"

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>

#include <algorithm>
#include <utility>

namespace {

// The most a change waits before it is saved, while a save costs little.
constexpr UINT SaveDelayMs = 1000;
// Saving takes at most this share of the time (1 %): a list so big that one save costs more than
// 10 ms is saved less often than once a second, so that a batch never pays more.
constexpr ULONGLONG SaveCostShare = 100;
// Sent to itself once the window shows: says what was listed again, or starts the batch again.
constexpr UINT WM_LEFTLIST = WM_APP + 5;

std::wstring LocalAppDataFolder() {
    if (Application.Hooks.LocalAppDataFolder)
        return Application.Hooks.LocalAppDataFolder();
    // Freed whether or not the call succeeds, as the shell asks.
    UniqueCoTaskMem<PWSTR> Path;
    if (SUCCEEDED(
            SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, Path.put())))
        return Path.get();
    return {};
}

HRESULT RegisterRestart(const std::wstring& CommandLine, DWORD Flags) {
    if (Application.Hooks.RegisterRestart)
        return Application.Hooks.RegisterRestart(CommandLine, Flags);
    return RegisterApplicationRestart(CommandLine.c_str(), Flags);
}

HRESULT UnregisterRestart() {
    if (Application.Hooks.UnregisterRestart)
        return Application.Hooks.UnregisterRestart();
    return UnregisterApplicationRestart();
}

bool IsIdCharacter(wchar_t C) {
    return (C >= L'0' && C <= L'9') || (C >= L'a' && C <= L'f') || C == L'-';
}

} // namespace

std::wstring ReadResumeId(const std::vector<std::wstring>& Arguments) {
    std::wstring Id;
    if (Arguments.size() > 2 &&
        CompareStringOrdinal(Arguments[1].c_str(), -1, ResumeSwitch, -1, TRUE) == CSTR_EQUAL) {
        Id = Arguments[2];
        // It names files in the saves' folder: nothing that could lead out of it.
        if (Id.empty() || Id.size() > 40 || !std::all_of(Id.begin(), Id.end(), IsIdCharacter))
            Id.clear();
    }
    return Id;
}

void TMainForm::StartSavedList() {
    const std::wstring AppData = LocalAppDataFolder();
    if (AppData.empty())
        return; // nowhere to save: the window works as it would without
    auto Folder = std::make_unique<TSavedListFolder>(IncludeTrailingPathDelimiter(AppData) +
                                                     L"Kestrova\\Lists\\");
    FILETIME Now;
    GetSystemTimeAsFileTime(&Now);
    uint64_t Time = (static_cast<uint64_t>(Now.dwHighDateTime) << 32) | Now.dwLowDateTime;
    // Two windows of one process within the clock's step would share an id: the later one
    // finds the lock taken and moves on.
    for (int Attempt = 0; Attempt < 16; ++Attempt, ++Time) {
        SaveId = MakeSaveId(Time, GetCurrentProcessId());
        if (Folder->Lock(SaveId, SaveLock))
            break;
    }
    if (!SaveLock.Held()) {
        SaveId.clear();
        return;
    }
    Saves = std::move(Folder);
    // The rows are read on the window's thread; encoded and written on the writer's.
    ListWriter = std::make_unique<TBackgroundWriter<TSavedList>>(
        [Store = Saves.get(), Id = SaveId, Ms = &WriterMs](const TSavedList& List) {
            const ULONGLONG Start = GetTickCount64();
            std::wstring Reason;
            Store->SaveList(Id, List, Reason);
            *Ms = GetTickCount64() - Start;
        });
}

void TMainForm::EndSavedList() {
    if (!Saves)
        return;
    KillTimer(Window, SaveTimerId);
    // Closed by the user, or by Windows' ending the session: the list stays only when Kestrova
    // closed itself after a batch with files left (their failures), or the session ends.
    const bool SessionEnds = SessionEnded || GetSystemMetrics(SM_SHUTTINGDOWN) != 0;
    if ((KeepListOnClose || SessionEnds) && RowCount() > 0) {
        SaveListNow();
    } else {
        ListWriter.reset(); // what it has still to write goes first
        Saves->Remove(SaveId);
    }
    ListWriter.reset();
    SaveLock.Release();
    Saves.reset();
}

void TMainForm::ListChanged() {
    if (!Saves || ListDirty)
        return;
    ListDirty = true;
    const ULONGLONG Spacing = std::max<ULONGLONG>(SaveDelayMs, LastSaveMs * SaveCostShare);
    const ULONGLONG Now = GetTickCount64();
    const ULONGLONG Due = std::max(Now + 10, LastSaveAt + Spacing);
    SetTimer(Window, SaveTimerId, static_cast<UINT>(std::min<ULONGLONG>(Due - Now, Spacing)),
             nullptr);
}

bool TMainForm::SavedListMessage(UINT Msg, WPARAM WParam) {
    if (Msg == WM_TIMER && WParam == SaveTimerId) {
        SaveListSoon();
        return true;
    }
    if (Msg != WM_LEFTLIST)
        return false;
    if (std::exchange(ResumeAfterTakeOver, false))
        btnConvertClick();
    else if (!LeftListNote.empty())
        Application.ShowMessageBox(Window, LeftListNote, Application.LoadStr(IDS_INFORMATION),
                                   MB_OK | MB_ICONINFORMATION);
    return true;
}

TSavedList TMainForm::CurrentList() const {
    TSavedList List;
    List.State = KeepListOnClose ? TSavedState::ClosedAfterBatch : TSavedState::Open;
    List.BatchRunning = RunningBatch() != nullptr;
    List.SameFolder = SameFolderChecked();
    List.OutputFolder = OutputFolderText();
    const int Count = RowCount();
    List.Rows.resize(static_cast<size_t>(Count));
    for (int Row = 0; Row < Count; ++Row) {
        TSavedRow& Saved = List.Rows[static_cast<size_t>(Row)];
        // One message a row: the texts come from the row's own data.
        LVITEMW Item{};
        Item.mask = LVIF_PARAM | LVIF_IMAGE;
        Item.iItem = Row;
        if (!ListView_GetItem(lstFilesToConvert, &Item))
            continue;
        const auto* Data = reinterpret_cast<const TRowData*>(Item.lParam);
        Saved.Name = Data ? Data->Name : RowName(Row);
        Saved.Location = Data ? Data->Location : RowLocation(Row);
        Saved.FileSize = Data ? Data->FileSize : 0;
        Saved.Failed = Item.iImage == iiFailed || (Data && Data->Failure);
        if (Data && Data->Failure) {
            Saved.Reason = Data->Failure->Reason;
            Saved.Details = Data->Failure->Details;
        }
    }
    return List;
}

void TMainForm::SaveListSoon() {
    if (!Saves)
        return;
    ListDirty = false;
    KillTimer(Window, SaveTimerId);
    const ULONGLONG Start = GetTickCount64();
    ListWriter->Submit(CurrentList());
    if (std::exchange(PartialsChanged, false))
        SavePartials();
    LastSaveAt = GetTickCount64();
    // The window's part, and the writer's last one (reading the rows and writing them).
    LastSaveMs = (LastSaveAt - Start) + WriterMs.load();
}

void TMainForm::SaveListNow() {
    if (!Saves)
        return;
    SaveListSoon();
    ListWriter->Flush();
    SavePartials();
}

void TMainForm::SavePartials() {
    std::wstring Reason;
    if (Saves)
        Saves->SavePartials(SaveId, Partials, Reason);
}

void TMainForm::PartialReserved(const std::wstring& Path) {
    TSavedPartial Partial{Path, {}};
    // Written before the converter starts: a crash a moment later still finds it recorded.
    if (Saves && FileIdentity(Path, Partial.Identity)) {
        Partials.push_back(std::move(Partial));
        SavePartials();
    }
}

void TMainForm::PartialGone(const std::wstring& Path) {
    const auto Gone = std::remove_if(Partials.begin(), Partials.end(),
                                     [&](const TSavedPartial& P) { return P.Path == Path; });
    if (Gone == Partials.end())
        return;
    Partials.erase(Gone, Partials.end());
    // Not written at once: a record of a file that is gone, or that became the AVI, matches
    // nothing at the next start, so it can wait for the next save of the list.
    PartialsChanged = true;
    ListChanged();
}

void TMainForm::BatchStarted() {
    if (Saves)
        RegisterRestart(std::wstring(ResumeSwitch) + L" " + SaveId,
                        RESTART_NO_CRASH | RESTART_NO_HANG);
    SaveListSoon();
}

void TMainForm::BatchEnded() {
    if (Saves)
        UnregisterRestart();
    SaveListSoon();
}

void TMainForm::TakeOverLeftList(const std::wstring& ResumeId) {
    if (!Saves)
        return;
    try {
        std::vector<TLeftSave> Left = Saves->LeftSaves(SaveId);
        // The window this start restarts comes first; then the newest.
        std::stable_partition(Left.begin(), Left.end(),
                              [&](const TLeftSave& Save) { return Save.Id == ResumeId; });
        bool Taken = false;
        for (const TLeftSave& Save : Left) {
            TSavedList List;
            const bool Read = Saves->Load(Save.Id, List);
            // Its partial files are debris whoever takes the list: only those still the same
            // file go.
            RemoveLeftPartials(List.Partials);
            if (Taken && Read && !List.Rows.empty())
                continue; // another window's list, for the next start
            if (!Read || List.Rows.empty()) {
                Saves->Remove(Save.Id);
                continue;
            }
            RestoreList(List);
            Taken = true;
            // This window's own save holds the rows before the left one goes.
            SaveListNow();
            Saves->Remove(Save.Id);
            ResumeAfterTakeOver = Save.Id == ResumeId && List.BatchRunning;
            const bool Failed = List.State == TSavedState::ClosedAfterBatch;
            const bool One = RowCount() == 1;
            const UINT Id = Failed ? (One ? IDS_LISTFAILEDKEPTONE : IDS_LISTFAILEDKEPT)
                                   : (One ? IDS_LISTINTERRUPTEDONE : IDS_LISTINTERRUPTED);
            const std::wstring Count = std::to_wstring(RowCount());
            LeftListNote = FormatTemplate(
                ResolvePlurals(Application.LoadStr(Id), Application.Language->Plural, {Count}),
                {Count});
        }
    } catch (...) {
        // A list that cannot be taken over never stops the start.
    }
    if (!LeftListNote.empty())
        PostMessageW(Window, WM_LEFTLIST, 0, 0);
}

void TMainForm::RestoreList(const TSavedList& List) {
    CheckRadioButton(Window, IDC_RBSAMEFOLDER, IDC_RBOTHERFOLDER,
                     List.SameFolder ? IDC_RBSAMEFOLDER : IDC_RBOTHERFOLDER);
    SetWindowTextW(edOutputFolder, List.OutputFolder.c_str());
    rbOutputFolderClick();
    {
        TRedrawLock Lock(lstFilesToConvert);
        for (const TSavedRow& Row : List.Rows) {
            const int Before = RowCount();
            try {
                AddFile(Row.Location + Row.Name, std::max<int64_t>(Row.FileSize, 0));
            } catch (...) {
                continue; // a row that cannot be listed is left out
            }
            if (RowCount() == Before || !Row.Failed)
                continue;
            SetRowImage(Before, iiFailed);
            SetRowFailure(Before, Row.Reason, Row.Details);
        }
    }
    UpdateControlsOnListChange();
    lstFilesToConvertSelectItem();
}
