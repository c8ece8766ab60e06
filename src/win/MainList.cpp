// The conversion list: how files get in (the Add dialog, drops), how rows leave it, the controls
// that follow it and its selection, and the commands on a selected row.
#include "Main.h"

#include "AppError.h"
#include "Application.h"
#include "Details.h"
#include "FileSystem.h"
#include "FolderScan.h"
#include "Layouts.h"
#include "PathForms.h"
#include "TextTemplate.h"

#include "resource.h"

#include <windowsx.h>

#include <climits>
#include <memory>

std::wstring LocaleLowerCase(const std::wstring& Text) {
    if (Text.empty())
        return Text;
    int Length = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_LOWERCASE, Text.c_str(),
                               static_cast<int>(Text.size()), nullptr, 0, nullptr, nullptr, 0);
    if (Length <= 0)
        return Text;
    std::wstring Result(static_cast<size_t>(Length), L'\0');
    LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_LOWERCASE, Text.c_str(),
                  static_cast<int>(Text.size()), Result.data(), Length, nullptr, nullptr, 0);
    return Result;
}

LRESULT CALLBACK TMainForm::ListWindowProc(HWND List, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto* Form = reinterpret_cast<TMainForm*>(GetWindowLongPtrW(List, GWLP_USERDATA));
    auto Pass = [&] { return CallWindowProcW(Form->ListClassProc, List, Msg, WParam, LParam); };
    // Enter belongs to the list (it plays the selected row) rather than to the dialog manager,
    // with Alt too.
    if (Msg == WM_GETDLGCODE && LParam) {
        const MSG* Key = reinterpret_cast<const MSG*>(LParam);
        if ((Key->message == WM_KEYDOWN || Key->message == WM_SYSKEYDOWN) &&
            Key->wParam == VK_RETURN)
            return Pass() | DLGC_WANTALLKEYS;
        if (Key->message == WM_SYSCHAR && Key->wParam == L'\r')
            return Pass() | DLGC_WANTMESSAGE;
    }
    if ((Msg == WM_CHAR || Msg == WM_SYSCHAR) && WParam == L'\r')
        return 0;
    // With Alt held the keys arrive as system keys, which the list does not report; they act the
    // same whatever modifiers are held.
    if (Msg == WM_SYSKEYDOWN && (WParam == VK_RETURN || WParam == VK_DELETE)) {
        try {
            Form->lstFilesToConvertKeyDown(static_cast<WORD>(WParam));
        } catch (...) {
            Application.HandleException();
        }
        return 0;
    }
    return Pass();
}

int TMainForm::RowCount() const {
    return ListView_GetItemCount(lstFilesToConvert);
}

std::wstring TMainForm::RowText(int Row, int Column) const {
    std::wstring Text(256, L'\0');
    for (;;) {
        LVITEMW Item{};
        Item.iSubItem = Column;
        Item.pszText = Text.data();
        Item.cchTextMax = static_cast<int>(Text.size());
        auto Length = static_cast<size_t>(SendMessageW(lstFilesToConvert, LVM_GETITEMTEXTW,
                                                       static_cast<WPARAM>(Row),
                                                       reinterpret_cast<LPARAM>(&Item)));
        if (Length + 1 < Text.size()) {
            Text.resize(Length);
            return Text;
        }
        Text.resize(Text.size() * 2);
    }
}

std::wstring TMainForm::RowName(int Row) const {
    return RowText(Row, 0);
}

std::wstring TMainForm::RowLocation(int Row) const {
    return RowText(Row, 1);
}

std::wstring TMainForm::GetItemFileName(int Row) const {
    return RowLocation(Row) + RowName(Row);
}

TMainForm::TRowData* TMainForm::RowData(int Row) const {
    LVITEMW Item{};
    Item.mask = LVIF_PARAM;
    Item.iItem = Row;
    if (!ListView_GetItem(lstFilesToConvert, &Item))
        return nullptr;
    return reinterpret_cast<TRowData*>(Item.lParam);
}

int64_t TMainForm::RowFileSize(int Row) const {
    const TRowData* Data = RowData(Row);
    return Data ? Data->FileSize : 0;
}

void TMainForm::SetRowFailure(int Row, const std::wstring& Reason, const std::wstring& Details) {
    if (TRowData* Data = RowData(Row)) {
        if (Reason.empty() && Details.empty())
            Data->Failure.reset();
        else
            Data->Failure.reset(new TRowData::TFailure{Reason, Details});
    }
    lstFilesToConvertSelectItem();
    ListChanged();
}

std::wstring TMainForm::RowFailureReason(int Row) const {
    const TRowData* Data = RowData(Row);
    return Data && Data->Failure ? Data->Failure->Reason : std::wstring();
}

void TMainForm::SetRowImage(int Row, int ImageIndex) {
    LVITEMW Item{};
    Item.mask = LVIF_IMAGE;
    Item.iItem = Row;
    Item.iImage = ImageIndex;
    ListView_SetItem(lstFilesToConvert, &Item);
    ListChanged();
}

int TMainForm::RowImage(int Row) const {
    LVITEMW Item{};
    Item.mask = LVIF_IMAGE;
    Item.iItem = Row;
    return ListView_GetItem(lstFilesToConvert, &Item) ? Item.iImage : -1;
}

void TMainForm::DeleteRow(int Row) {
    ListView_DeleteItem(lstFilesToConvert, Row);
    lstFilesToConvertSelectItem();
}

void TMainForm::EnableControl(HWND Control, bool Enabled) {
    // A control that loses its enabled state while focused would leave the keyboard stranded.
    if (!Enabled && GetFocus() == Control)
        SendMessageW(Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(lstFilesToConvert), TRUE);
    EnableWindow(Control, Enabled);
}

bool TMainForm::MenuItemEnabled(UINT Id) const {
    UINT State = GetMenuState(PopupMenu, Id, MF_BYCOMMAND);
    return State != static_cast<UINT>(-1) && !(State & (MF_GRAYED | MF_DISABLED));
}

bool TMainForm::HintShown() const {
    // Its own visibility, whether or not the window is shown yet.
    return (GetWindowLongPtrW(lblAddFiles, GWL_STYLE) & WS_VISIBLE) != 0;
}

int TMainForm::SelectedRow() const {
    return ListView_GetNextItem(lstFilesToConvert, -1, LVNI_SELECTED);
}

void TMainForm::AddFile(const std::wstring& FileName, int64_t ListedSize) {
    if (!HasWebMExtension(FileName))
        return;
    size_t Delimiter = FileName.find_last_of(L"\\/:");
    size_t NameStart = Delimiter == std::wstring::npos ? 0 : Delimiter + 1;

    // Windows compares file names without regard to case: a file listed in another case is
    // the same file.
    std::wstring Folded = LocaleLowerCase(FileName);
    if (RowStore.count(Folded))
        return;

    // Reading the size needs no more than read access, so read-only files are welcome. A file
    // found in a folder comes with the size the folder's listing gave: opening ten thousand files
    // one by one would take longer than everything else an add does (and far longer on a network
    // share); one that cannot be read fails, with its reason, when it is converted.
    int64_t Size = ListedSize;
    uint32_t Error = 0;
    if (Size < 0 && !::FileSize(FileName, Size, Error))
        throw EInOutError(Error);

    std::wstring Name = FileName.substr(NameStart);
    std::wstring Location = FileName.substr(0, NameStart);
    // LVN_DELETEITEM lets it go with the row.
    const auto Entry = RowStore.try_emplace(std::move(Folded), TRowData{Size, nullptr}).first;
    TRowData* Kept = &Entry->second;
    Kept->FoldedPath = &Entry->first;
    Kept->Name = Name;
    Kept->Location = Location;
    LVITEMW Item{};
    Item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    Item.iItem = INT_MAX; // at the end
    Item.pszText = Name.data();
    Item.iImage = iiFilmReel;
    Item.lParam = reinterpret_cast<LPARAM>(Kept);
    int Row = ListView_InsertItem(lstFilesToConvert, &Item);
    if (Row < 0) {
        RowStore.erase(Entry);
        throw EAppError(Application.LoadStr(IDS_ROWNOTADDED));
    }
    ListView_SetItemText(lstFilesToConvert, Row, 1, Location.data());
}

void TMainForm::ThrowAddFailures(const TAddFailures& Failures) {
    if (Failures.empty())
        return;
    if (Failures.size() == 1)
        std::rethrow_exception(Failures.front().second);
    std::wstring Text = Application.LoadStr(IDS_SOMENOTADDED);
    for (const auto& [FileName, Error] : Failures) {
        std::wstring Reason = ExceptionMessage(Error);
        Text += L"\r\n" + FileName + L": " + Reason.substr(0, Reason.size() - 1);
    }
    throw EAppError(Text);
}

void TMainForm::UpdateControlsOnListChange() {
    ShowWindow(lblAddFiles, RowCount() == 0 ? SW_SHOW : SW_HIDE);
    EnableControl(btnConvert, !HintShown());
}

void TMainForm::lstFilesToConvertSelectItem() {
    bool Selected = ListView_GetSelectedCount(lstFilesToConvert) > 0;
    EnableControl(btnRemove, Selected);
    UINT State = MF_BYCOMMAND | (Selected ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(PopupMenu, IDM_REMOVE, State);
    EnableMenuItem(PopupMenu, IDM_PLAY, State);
    EnableMenuItem(PopupMenu, IDM_OPENFOLDER, State);
    int Row = SelectedRow();
    EnableMenuItem(PopupMenu, IDM_DETAILS,
                   MF_BYCOMMAND |
                       (Row >= 0 && !RowFailureReason(Row).empty() ? MF_ENABLED : MF_GRAYED));
}

void TMainForm::btnAddFilesClick() {
    if (OpenDialog.Execute(Window))
        AddFiles(OpenDialog.Files);
}

void TMainForm::btnRemoveClick() {
    {
        TRedrawLock Lock(lstFilesToConvert);
        for (int Row = RowCount() - 1; Row >= 0; --Row)
            if (ListView_GetItemState(lstFilesToConvert, Row, LVIS_SELECTED) & LVIS_SELECTED)
                ListView_DeleteItem(lstFilesToConvert, Row);
    }
    // Deleting rows does not report a selection change; the dependent controls follow anyway.
    lstFilesToConvertSelectItem();
    UpdateControlsOnListChange();
}

void TMainForm::lstFilesToConvertDblClick() {
    if (HintShown())
        btnAddFilesClick();
    else if (MenuItemEnabled(IDM_PLAY))
        mniPlayClick();
}

void TMainForm::lstFilesToConvertKeyDown(WORD Key) {
    if (Key == VK_RETURN) {
        if (MenuItemEnabled(IDM_PLAY))
            mniPlayClick();
    } else if (Key == VK_DELETE) {
        btnRemoveClick();
    }
}

void TMainForm::lstFilesToConvertContextMenu(LPARAM ScreenPoint) {
    POINT At{GET_X_LPARAM(ScreenPoint), GET_Y_LPARAM(ScreenPoint)};
    if (ScreenPoint == -1) {
        // From the keyboard: under the focused row, or at the list's corner.
        RECT Bounds{};
        int Row = ListView_GetNextItem(lstFilesToConvert, -1, LVNI_FOCUSED);
        if (Row < 0 || !ListView_GetItemRect(lstFilesToConvert, Row, &Bounds, LVIR_LABEL))
            Bounds = {0, 0, 0, 0};
        At = {Bounds.left, Bounds.bottom};
        ClientToScreen(lstFilesToConvert, &At);
    }
    TrackPopupMenuEx(PopupMenu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, At.x, At.y, Window, nullptr);
}

namespace {

// The system's words for Error, with the "%1" some of them hold filled with Path.
std::wstring ShellFailureReason(DWORD Error, const std::wstring& Path) {
    return FormatTemplate(SystemErrorText(Error), {Path});
}

} // namespace

// The shell's failures are said with the path the user knows, not the short form it was given.
void TMainForm::mniPlayClick() {
    int Row = SelectedRow();
    if (Row < 0)
        return;
    const std::wstring File = GetItemFileName(Row);
    if (DWORD Error = ShellOpen(ShellPathForm(File)))
        throw EAppError(FormatTemplate(Application.LoadStr(IDS_PLAYFAILED),
                                       {File, ShellFailureReason(Error, File)}));
}

void TMainForm::mniOpenFolderClick() {
    int Row = SelectedRow();
    if (Row < 0)
        return;
    const std::wstring Folder = RowLocation(Row);
    if (DWORD Error = ShellExplore(ShellPathForm(Folder)))
        throw EAppError(FormatTemplate(Application.LoadStr(IDS_OPENFOLDERFAILED),
                                       {Folder, ShellFailureReason(Error, Folder)}));
}

void TMainForm::WMDropFiles(HDROP Drop) {
    UniqueDrop Release(Drop);
    UINT Count = DragQueryFileW(Drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::wstring> Files;
    for (UINT i = 0; i < Count; ++i) {
        // Sized from the path itself, so long paths arrive whole.
        UINT Length = DragQueryFileW(Drop, i, nullptr, 0);
        std::wstring Path(static_cast<size_t>(Length) + 1, L'\0');
        Path.resize(DragQueryFileW(Drop, i, Path.data(), Length + 1));
        if (!Path.empty())
            Files.push_back(std::move(Path));
    }
    AddPaths(Files);
}

void TMainForm::mniDetailsClick() {
    int Row = SelectedRow();
    const TRowData* Data = Row >= 0 ? RowData(Row) : nullptr;
    if (!Data || !Data->Failure || Data->Failure->Reason.empty())
        return;
    std::wstring Text = Data->Failure->Reason;
    if (!Data->Failure->Details.empty())
        Text += L"\r\n\r\n" + Data->Failure->Details;
    ShowDetails(Window, FormatTemplate(Application.LoadStr(IDS_DETAILSCAPTION), {RowName(Row)}),
                Text);
}

void TMainForm::lstFilesToConvertInfoTip(NMLVGETINFOTIPW& Tip) {
    // A failed row says why; other rows keep the list's own tip (a cut text shown whole).
    const TRowData* Data = RowData(Tip.iItem);
    if (!Data || !Data->Failure || Data->Failure->Reason.empty() || !Tip.pszText ||
        Tip.cchTextMax <= 0)
        return;
    std::wstring Text = Data->Failure->Reason;
    if (Tip.dwFlags == 0 && Tip.pszText[0]) // the list offers the cut name: keep it first
        Text = std::wstring(Tip.pszText) + L"\r\n" + Text;
    lstrcpynW(Tip.pszText, Text.c_str(), Tip.cchTextMax);
}
