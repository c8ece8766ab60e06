// Adding to the list: files and folders from outside (the command line, drops, a selection) and
// the Add dialog's files. A folder stands for the WebM files in it and in its subfolders. Tens of
// thousands of files take seconds, so they come in short slices between the window's messages:
// the window keeps answering, and the label above the list counts the rows as they come.
#include "Main.h"

#include "AppError.h"
#include "Application.h"
#include "Batch.h"
#include "FolderScan.h"
#include "Layouts.h"
#include "TextTemplate.h"

#include "resource.h"
#include "win32/UiOwners.h"

namespace {

constexpr UINT WM_ADDSLICE = WM_APP + 2;
// Long enough that a slice's own costs (drawing, the label) stay small beside its work, short
// enough that a click waits no longer than a person notices.
constexpr ULONGLONG SliceMs = 30;
// How often an add paused by a batch looks whether the batch has ended.
constexpr UINT BatchRecheckMs = 100;
// How often the list is drawn while rows come. Letting a list view draw again costs about as much
// as a slice's work (under Wine, 30 to 60 ms), so it is not done after every slice.
constexpr ULONGLONG DrawEveryMs = 200;

} // namespace

void TMainForm::AddPaths(const std::vector<std::wstring>& Paths) {
    TAddRequest Request;
    Request.Paths = Paths;
    QueueAdd(std::move(Request));
}

void TMainForm::AddFiles(const std::vector<std::wstring>& FileNames) {
    TAddRequest Request;
    Request.Paths = FileNames;
    Request.FilesOnly = true;
    QueueAdd(std::move(Request));
}

void TMainForm::QueueAdd(TAddRequest Request) {
    if (Request.Paths.empty())
        return;
    AddQueue.push_back(std::move(Request));
    ScheduleAddSlice();
}

void TMainForm::ScheduleAddSlice() {
    if (AddSliceScheduled || AddQueue.empty() || !Window)
        return;
    AddSliceScheduled = true;
    // A posted message comes before the user's input and before painting; when either waits,
    // the next slice comes after it, by the timer, which comes last.
    if (RunningBatch())
        SetTimer(Window, AddTimerId, BatchRecheckMs, nullptr);
    else if (HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT)) != 0)
        SetTimer(Window, AddTimerId, USER_TIMER_MINIMUM, nullptr);
    else
        PostMessageW(Window, WM_ADDSLICE, 0, 0);
}

bool TMainForm::AddSliceMessage(UINT Msg, WPARAM WParam) {
    if (Msg == WM_TIMER) {
        if (WParam != AddTimerId)
            return false;
        KillTimer(Window, AddTimerId);
    } else if (Msg != WM_ADDSLICE) {
        return false;
    }
    AddSliceScheduled = false;
    AddSlice();
    return true;
}

void TMainForm::AddSlice() {
    if (AddQueue.empty())
        return;
    // Rows that came in the middle of a batch would change the list under it; the add waits.
    if (RunningBatch()) {
        ScheduleAddSlice();
        return;
    }
    const ULONGLONG Deadline = GetTickCount64() + SliceMs;
    bool Finished = false;
    {
        // Drawn now and then, never once a row; between draws the list keeps what it showed.
        SendMessageW(lstFilesToConvert, WM_SETREDRAW, FALSE, 0);
        TAddRequest& Request = AddQueue.front();
        if (!Request.Started) {
            Request.Started = true;
            if (Request.Selection)
                StartSelectionGroup(Request.ArrivalTime);
        }
        size_t FilesThisSlice = 0;
        auto Add = [&](const std::wstring& File, int64_t ListedSize) {
            ++FilesThisSlice;
            try {
                AddFile(File, ListedSize);
            } catch (...) {
                Request.Failures.emplace_back(File, std::current_exception());
            }
        };
        while (!Finished && GetTickCount64() < Deadline && FilesThisSlice < AddSliceFileLimit) {
            if (Request.NextFound < Request.Found.Files.size()) {
                const size_t Next = Request.NextFound++;
                Add(Request.Found.Files[Next], Request.Found.Sizes[Next]);
            } else if (Request.Walk) {
                Request.Found.Files.clear();
                Request.Found.Sizes.clear();
                Request.NextFound = 0;
                if (!Request.Walk->Step(Request.Found))
                    Request.Walk.reset();
                for (const auto& [Folder, Code] : Request.Found.Unreadable)
                    Request.Failures.emplace_back(Folder,
                                                  std::make_exception_ptr(EInOutError(Code)));
                Request.Found.Unreadable.clear();
            } else if (Request.NextPath < Request.Paths.size()) {
                const std::wstring& Path = Request.Paths[Request.NextPath++];
                if (!Request.FilesOnly && IsFolder(Path))
                    Request.Walk = std::make_unique<TFolderWalk>(Path);
                else
                    Add(Path, -1);
            } else {
                Finished = true;
            }
        }
    }
    UpdateControlsOnListChange();
    TAddRequest Done;
    if (Finished) {
        Done = std::move(AddQueue.front());
        AddQueue.pop_front();
    }
    ShowAddProgress();
    if (AddQueue.empty() || GetTickCount64() - ListDrawnAt >= DrawEveryMs) {
        SendMessageW(lstFilesToConvert, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(lstFilesToConvert, nullptr, TRUE);
        // What waits to be drawn is drawn now, before the next slice.
        RedrawWindow(Window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        ListDrawnAt = GetTickCount64();
    }
    ScheduleAddSlice();
    if (AddQueue.empty() && std::exchange(ConvertAfterAdd, false)) {
        // Convert looks again whether a selection is still arriving.
        if (IsWindowEnabled(btnConvert)) {
            PostMessageW(Window, WM_COMMAND, MAKEWPARAM(IDC_BTNCONVERT, BN_CLICKED),
                         reinterpret_cast<LPARAM>(btnConvert));
        } else {
            ConvertWaitStart = 0;
            ShowAddProgress();
        }
    }
    // Last: a failure's message box lets the next slices run while it waits for the user.
    if (Finished)
        FinishAddRequest(Done);
}

void TMainForm::FinishAddRequest(TAddRequest& Request) {
    if (Request.Selection)
        SortSelectionGroup();
    ThrowAddFailures(Request.Failures);
}

void TMainForm::ShowAddProgress() {
    // Also while Convert waits for a selection's files still on their way.
    const std::wstring Text =
        Adding() || ConvertAfterAdd
            ? FormatTemplate(Application.LoadStr(IDS_ADDINGFILES), {std::to_wstring(RowCount())})
            : Application.LoadStr(IDS_FILESTOCONVERT);
    HWND Label = Control(IDC_LBLFILESTOCONVERT);
    wchar_t Shown[128] = L"";
    GetWindowTextW(Label, Shown, 128);
    if (Text == Shown)
        return;
    SetWindowTextW(Label, Text.c_str());
    FitWidthToText(Label);
}
