// Files from a selection in Explorer: this start's own and those other starts hand over. They
// arrive one start at a time, in no particular order, and are listed in natural name order.
#include "Main.h"

#include "Batch.h"
#include "FolderScan.h"
#include "Selection.h"

#include "resource.h"

#include <algorithm>
#include <unordered_map>

namespace {

// How often Convert, waiting for a selection, looks whether its files have all arrived.
constexpr UINT ConvertWaitRecheckMs = 100;
// Files that come within this quiet time of each other are listed together.
constexpr UINT SelectionQuietMs = 300;
// Files that come this soon after the previous group join it and are sorted with it: on a busy
// machine a start of the same selection can come as late as its wait for a home allows.
constexpr ULONGLONG SelectionGroupMs = SelectionWaitMs;

struct TSortContext {
    std::unordered_map<LPARAM, std::pair<int, std::wstring>> Keys;
};

// Rows before the group keep their places; the group's rows sort by their full paths.
int CALLBACK CompareRows(LPARAM A, LPARAM B, LPARAM Context) {
    const auto& Keys = reinterpret_cast<const TSortContext*>(Context)->Keys;
    const auto& [IndexA, PathA] = Keys.at(A);
    const auto& [IndexB, PathB] = Keys.at(B);
    const bool GroupA = !PathA.empty(), GroupB = !PathB.empty();
    if (GroupA != GroupB)
        return GroupA ? 1 : -1;
    if (!GroupA)
        return IndexA < IndexB ? -1 : IndexA > IndexB;
    if (NaturalLess(PathA, PathB))
        return -1;
    return NaturalLess(PathB, PathA) ? 1 : 0;
}

} // namespace

bool TMainForm::TakesHandover() const {
    // Not while a batch runs, and not while a modal window (a question, the Add dialog) waits
    // for the user: a list that changed under it would surprise.
    return Window && IsWindowEnabled(Window) && !RunningBatch() && !CloseAfterBatch;
}

void TMainForm::QueueSelection(const std::vector<std::wstring>& Paths) {
    PendingSelection.insert(PendingSelection.end(), Paths.begin(), Paths.end());
    SetTimer(Window, SelectionTimerId, SelectionQuietMs, nullptr);
}

INT_PTR TMainForm::WMCopyData(const COPYDATASTRUCT& Data) {
    const std::optional<std::vector<std::wstring>> Paths = ReadHandover(Data);
    if (!Paths)
        return FALSE;
    if (!TakesHandover())
        return FALSE;
    QueueSelection(*Paths);
    // Once per burst: many starts may be waiting for their answer.
    if (IsIconic(Window))
        ShowWindow(Window, SW_RESTORE);
    if (GetForegroundWindow() != Window)
        SetForegroundWindow(Window);
    return TRUE;
}

bool TMainForm::SelectionArriving() const {
    if (!PendingSelection.empty())
        return true;
    const bool WaitedEnough =
        ConvertWaitStart != 0 && GetTickCount64() - ConvertWaitStart >= HandoverWaitLimitMs;
    return !WaitedEnough && SelectionStartsUnderWay();
}

void TMainForm::WaitForSelectionThenConvert() {
    ConvertAfterAdd = true;
    if (ConvertWaitStart == 0)
        ConvertWaitStart = GetTickCount64();
    // An add under way presses Convert again when it is done; otherwise the timer does.
    if (!Adding())
        SetTimer(Window, ConvertWaitTimerId, ConvertWaitRecheckMs, nullptr);
    ShowAddProgress();
}

bool TMainForm::SelectionTimer(UINT_PTR Id) {
    if (Id == ConvertWaitTimerId) {
        KillTimer(Window, ConvertWaitTimerId);
        if (ConvertAfterAdd && !Adding() && IsWindowEnabled(btnConvert))
            PostMessageW(Window, WM_COMMAND, MAKEWPARAM(IDC_BTNCONVERT, BN_CLICKED),
                         reinterpret_cast<LPARAM>(btnConvert));
        return true;
    }
    if (Id != SelectionTimerId)
        return false;
    KillTimer(Window, SelectionTimerId);
    FlushSelection();
    return true;
}

void TMainForm::FlushSelection() {
    TAddRequest Request;
    Request.Paths = std::exchange(PendingSelection, {});
    std::sort(Request.Paths.begin(), Request.Paths.end(), NaturalLess);
    Request.Selection = true;
    Request.ArrivalTime = GetTickCount64();
    // Sorted into its group once listed; whatever could not be added is reported after that.
    QueueAdd(std::move(Request));
}

void TMainForm::StartSelectionGroup(ULONGLONG ArrivalTime) {
    if (ArrivalTime - SelectionGroupTime > SelectionGroupMs || SelectionGroupStart > RowCount())
        SelectionGroupStart = RowCount();
    SelectionGroupTime = ArrivalTime;
}

void TMainForm::SortSelectionGroup() {
    TSortContext Context;
    const int Count = RowCount();
    for (int Row = 0; Row < Count; ++Row) {
        LVITEMW Item{};
        Item.mask = LVIF_PARAM;
        Item.iItem = Row;
        ListView_GetItem(lstFilesToConvert, &Item);
        Context.Keys[Item.lParam] = {Row, Row >= SelectionGroupStart ? GetItemFileName(Row)
                                                                     : std::wstring()};
    }
    ListView_SortItems(lstFilesToConvert, CompareRows, reinterpret_cast<LPARAM>(&Context));
}
