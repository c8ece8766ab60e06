#include "Main.h"

#include "AppError.h"
#include "Application.h"
#include "DialogRouting.h"
#include "Dpi.h"
#include "Layouts.h"

#include "resource.h"
#include "win32/UniqueHandle.h"

#include <shellapi.h>
#include <shlobj.h>
#include <uxtheme.h>
#include <windowsx.h>

#include <climits>
#include <memory>

TMainForm* MainForm = nullptr;

namespace {

// What the list keeps per row besides its texts: the size stays 64-bit for the batch.
struct TRowData {
    int64_t FileSize;
};

constexpr wchar_t UseCountName[] = L"UseCount";
constexpr int ButtonIds[3] = {IDC_BTNADDFILES, IDC_BTNREMOVE, IDC_BTNCONVERT};
constexpr int ButtonImageIndices[3] = {iiAdd, iiRemove, iiConvert};

std::wstring AsciiLowerCase(std::wstring Text) {
    for (wchar_t& c : Text)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return Text;
}

std::wstring ExecutableFolder() {
    std::wstring Path(MAX_PATH, L'\0');
    for (;;) {
        DWORD Length = GetModuleFileNameW(nullptr, Path.data(), static_cast<DWORD>(Path.size()));
        if (Length < Path.size()) {
            Path.resize(Length);
            break;
        }
        Path.resize(Path.size() * 2);
    }
    return Path.substr(0, Path.find_last_of(L"\\/:") + 1);
}

HICON LoadIconAt(int Id, int Size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(Id),
                                         IMAGE_ICON, Size, Size, LR_DEFAULTCOLOR));
}

// A desaturated, faded copy of Icon for disabled buttons; nullptr when it cannot be made.
HICON CreateDisabledIcon(HICON Icon, int Size) {
    ICONINFO Info{};
    if (!GetIconInfo(Icon, &Info))
        return nullptr;
    BITMAPINFO Format{};
    Format.bmiHeader.biSize = sizeof Format.bmiHeader;
    Format.bmiHeader.biWidth = Size;
    Format.bmiHeader.biHeight = -Size;
    Format.bmiHeader.biPlanes = 1;
    Format.bmiHeader.biBitCount = 32;
    Format.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> Pixels(static_cast<size_t>(Size) * Size);
    HDC Screen = GetDC(nullptr);
    bool Read = Info.hbmColor &&
                GetDIBits(Screen, Info.hbmColor, 0, Size, Pixels.data(), &Format, DIB_RGB_COLORS);
    HICON Result = nullptr;
    if (Read) {
        for (RGBQUAD& p : Pixels) {
            int Grey = (p.rgbRed * 30 + p.rgbGreen * 59 + p.rgbBlue * 11) / 100;
            Grey = 96 + Grey / 2; // lighter, like the disabled text beside it
            p.rgbRed = p.rgbGreen = p.rgbBlue = static_cast<BYTE>(Grey);
            p.rgbReserved = static_cast<BYTE>(p.rgbReserved * 45 / 100);
        }
        void* Bits = nullptr;
        HBITMAP Color = CreateDIBSection(Screen, &Format, DIB_RGB_COLORS, &Bits, nullptr, 0);
        if (Color) {
            memcpy(Bits, Pixels.data(), Pixels.size() * sizeof(RGBQUAD));
            ICONINFO Faded = Info;
            Faded.hbmColor = Color;
            Result = CreateIconIndirect(&Faded);
            DeleteObject(Color);
        }
    }
    ReleaseDC(nullptr, Screen);
    if (Info.hbmColor)
        DeleteObject(Info.hbmColor);
    if (Info.hbmMask)
        DeleteObject(Info.hbmMask);
    return Result;
}

// Keeps a window's redrawing off for the scope.
class TRedrawLock {
public:
    explicit TRedrawLock(HWND Window) : Window(Window) {
        SendMessageW(Window, WM_SETREDRAW, FALSE, 0);
    }
    ~TRedrawLock() {
        SendMessageW(Window, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(Window, nullptr, TRUE);
    }
    TRedrawLock(const TRedrawLock&) = delete;
    TRedrawLock& operator=(const TRedrawLock&) = delete;

private:
    HWND Window;
};

// Releases a drop handle however the drop handler ends.
class TDropHandle {
public:
    explicit TDropHandle(HDROP Drop) : Drop(Drop) {}
    ~TDropHandle() { DragFinish(Drop); }
    TDropHandle(const TDropHandle&) = delete;
    TDropHandle& operator=(const TDropHandle&) = delete;

private:
    HDROP Drop;
};

} // namespace

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

TMainForm::TMainForm() = default;

TMainForm::~TMainForm() {
    if (Window)
        DestroyWindow(Window);
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::Create() {
    MainForm = this;
    // The list view and progress classes must be registered before the template is built.
    INITCOMMONCONTROLSEX Classes{sizeof Classes,
                                 ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&Classes);
    HINSTANCE Instance = Application.Instance ? Application.Instance : GetModuleHandleW(nullptr);
    CreateDialogParamW(Instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, StaticDialogProc,
                       reinterpret_cast<LPARAM>(this));
    if (!Window)
        throw EAppError(L"The main window could not be created");
}

void TMainForm::Show() {
    ShowWindow(Window, SW_SHOW);
    UpdateWindow(Window);
}

INT_PTR CALLBACK TMainForm::StaticDialogProc(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam) {
    return RouteDialogMessage(Dialog, Msg, WParam, LParam, &TMainForm::Window,
                              &TMainForm::DialogProc);
}

LRESULT CALLBACK TMainForm::ListSubclassProc(HWND List, UINT Msg, WPARAM WParam, LPARAM LParam,
                                             UINT_PTR, DWORD_PTR) {
    // Enter belongs to the list (it plays the selected row) rather than to the dialog manager.
    if (Msg == WM_GETDLGCODE && LParam) {
        const MSG* Key = reinterpret_cast<const MSG*>(LParam);
        if (Key->message == WM_KEYDOWN && Key->wParam == VK_RETURN)
            return DefSubclassProc(List, Msg, WParam, LParam) | DLGC_WANTALLKEYS;
    }
    if (Msg == WM_CHAR && WParam == L'\r')
        return 0;
    return DefSubclassProc(List, Msg, WParam, LParam);
}

INT_PTR TMainForm::DialogProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
    switch (Msg) {
    case WM_INITDIALOG:
        FormCreate();
        return TRUE;
    case WM_SHOWWINDOW:
        if (WParam)
            FormShow();
        return FALSE;
    case WM_COMMAND:
        return Command(LOWORD(WParam), HIWORD(WParam)) ? TRUE : FALSE;
    case WM_NOTIFY:
        return Notify(*reinterpret_cast<const NMHDR*>(LParam));
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(WParam) == lstFilesToConvert) {
            lstFilesToConvertContextMenu(LParam);
            return TRUE;
        }
        return FALSE;
    case WM_DROPFILES:
        SetWindowLongPtrW(Window, DWLP_MSGRESULT, 0);
        WMDropFiles(reinterpret_cast<HDROP>(WParam));
        return TRUE;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        return ControlColor(reinterpret_cast<HDC>(WParam), reinterpret_cast<HWND>(LParam),
                            Msg == WM_CTLCOLOREDIT);
    case WM_DPICHANGED: {
        const RECT* Suggested = reinterpret_cast<const RECT*>(LParam);
        SetWindowPos(Window, nullptr, Suggested->left, Suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ScaleToDpi(HIWORD(WParam));
        return TRUE;
    }
    case WM_CLOSE:
        DestroyWindow(Window);
        return TRUE;
    case WM_DESTROY:
        // Whatever FormDestroy throws, the window's own resources still go.
        try {
            FormDestroy();
        } catch (...) {
            Application.HandleException();
        }
        RemoveWindowSubclass(lstFilesToConvert, ListSubclassProc, 0);
        return TRUE;
    case WM_NCDESTROY:
        if (Application.MainWindow == Window) {
            Application.MainWindow = nullptr;
            if (Application.Running())
                PostQuitMessage(0);
        }
        FreeImageLists();
        for (HICON& Icon : Icons)
            if (Icon)
                DestroyIcon(std::exchange(Icon, nullptr));
        if (Font)
            DeleteObject(std::exchange(Font, nullptr));
        if (PopupMenuResource)
            DestroyMenu(std::exchange(PopupMenuResource, nullptr));
        return FALSE;
    }
    return FALSE;
}

bool TMainForm::Command(int Id, int Code) {
    switch (Id) {
    case IDC_BTNADDFILES:
        btnAddFilesClick();
        return true;
    case IDC_BTNREMOVE:
    case IDM_REMOVE:
        btnRemoveClick();
        return true;
    case IDC_BTNWEBSITE:
        btnWebSiteClick();
        return true;
    case IDC_BTNABOUT:
        btnAboutClick();
        return true;
    case IDC_BTNCONVERT:
        btnConvertClick();
        return true;
    case IDC_BTNBROWSE:
        btnBrowseClick();
        return true;
    case IDC_RBSAMEFOLDER:
    case IDC_RBOTHERFOLDER:
        if (Code == BN_CLICKED)
            rbOutputFolderClick();
        return true;
    case IDC_LBLADDFILES:
        if (Code == STN_DBLCLK)
            lstFilesToConvertDblClick();
        return true;
    case IDM_PLAY:
        mniPlayClick();
        return true;
    case IDM_OPENFOLDER:
        mniOpenFolderClick();
        return true;
    case IDOK:
        // Enter presses the focused push button; elsewhere it does nothing (no default button).
        if (HWND Focus = GetFocus(); Focus && IsChild(Window, Focus) &&
                                     (SendMessageW(Focus, WM_GETDLGCODE, 0, 0) &
                                      (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
            SendMessageW(Focus, BM_CLICK, 0, 0);
        return true;
    case IDCANCEL:
        // Esc does not close the main window.
        return true;
    }
    return false;
}

INT_PTR TMainForm::Notify(const NMHDR& Header) {
    if (Header.hwndFrom != lstFilesToConvert)
        return FALSE;
    switch (Header.code) {
    case LVN_ITEMCHANGED: {
        const auto& Change = reinterpret_cast<const NMLISTVIEW&>(Header);
        if ((Change.uChanged & LVIF_STATE) &&
            ((Change.uNewState ^ Change.uOldState) & LVIS_SELECTED))
            lstFilesToConvertSelectItem();
        break;
    }
    case LVN_DELETEITEM:
        delete reinterpret_cast<TRowData*>(reinterpret_cast<const NMLISTVIEW&>(Header).lParam);
        break;
    case LVN_KEYDOWN:
        lstFilesToConvertKeyDown(reinterpret_cast<const NMLVKEYDOWN&>(Header).wVKey);
        break;
    case NM_DBLCLK:
        lstFilesToConvertDblClick();
        break;
    }
    return FALSE;
}

INT_PTR TMainForm::ControlColor(HDC Dc, HWND Control, bool) {
    int Background;
    if (Control == lblAddFiles)
        Background = COLOR_WINDOW;
    else if (Control == edOutputFolder)
        Background = IsWindowEnabled(edOutputFolder) ? COLOR_WINDOW : COLOR_BTNFACE;
    else
        return FALSE;
    SetBkColor(Dc, GetSysColor(Background));
    SetTextColor(Dc, GetSysColor(IsWindowEnabled(Control) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(Background));
}

void TMainForm::FormCreate() {
    lstFilesToConvert = Control(IDC_LSTFILESTOCONVERT);
    lblAddFiles = Control(IDC_LBLADDFILES);
    btnRemove = Control(IDC_BTNREMOVE);
    btnConvert = Control(IDC_BTNCONVERT);
    rbSameFolder = Control(IDC_RBSAMEFOLDER);
    rbOtherFolder = Control(IDC_RBOTHERFOLDER);
    edOutputFolder = Control(IDC_EDOUTPUTFOLDER);
    btnBrowse = Control(IDC_BTNBROWSE);
    if (!Application.MainWindow)
        Application.MainWindow = Window;

    Application.Title = L"Kestrova";
    HWND lblFilesToConvert = Control(IDC_LBLFILESTOCONVERT);
    SetWindowTextW(lblFilesToConvert, (L"WebM" + WindowText(lblFilesToConvert)).c_str());
    SetWindowTextW(Window, Application.Title.c_str());
    RegistryKey = L"Software\\Tamblin\\" + Application.Title;
    LoadSettings();
    AppPath = ExecutableFolder();
    SetWindowTextW(Control(IDC_BTNWEBSITE), Application.LoadStr(IDS_WEBSITE).c_str());
    SetWindowTextW(edOutputFolder, GetSpecialFolder(CSIDL_MYVIDEO).c_str());
    SetWindowTextW(btnConvert, (WindowText(btnConvert) + L"AVI").c_str());
    OpenDialog.Filter = L"WebM Video (*.webm)|*.webm";
    OpenDialog.Title = L"Add Files";

    CheckRadioButton(Window, IDC_RBSAMEFOLDER, IDC_RBOTHERFOLDER, IDC_RBSAMEFOLDER);
    ListView_SetExtendedListViewStyle(lstFilesToConvert,
                                      LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    SetWindowTheme(lstFilesToConvert, L"Explorer", nullptr);
    const wchar_t* Captions[2] = {L"Name", L"Location"};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW Column{};
        Column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        Column.pszText = const_cast<wchar_t*>(Captions[i]);
        Column.cx = i == 0 ? 170 : 140; // at 96 DPI; ScaleToDpi scales them
        Column.iSubItem = i;
        ListView_InsertColumn(lstFilesToConvert, i, &Column);
    }
    SetWindowSubclass(lstFilesToConvert, ListSubclassProc, 0, 0);

    PopupMenuResource = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_POPUP));
    PopupMenu = GetSubMenu(PopupMenuResource, 0);
    SetMenuDefaultItem(PopupMenu, IDM_PLAY, FALSE);

    DisableDialogDpiScaling(Window);
    ScaleToDpi(WindowDpi(Window));
    CentreOnMonitor(Window, nullptr);
    UpdateControlsOnListChange();
    lstFilesToConvertSelectItem();
}

void TMainForm::FormShow() {
    DragAcceptFiles(Window, TRUE);
}

void TMainForm::FormDestroy() {
    SaveSettings();
    if (UseCount == 1)
        ShellOpen(Application.LoadStr(IDS_WEBSITEURL));
}

void TMainForm::LoadSettings() {
    try {
        UniqueHKey Key = OpenOrCreateKey(Application.RegistryRoot, RegistryKey);
        TIntegerValue Stored = ReadIntegerValue(Key.get(), UseCountName, 0);
        UseCountKind = Stored.Kind;
        // A count at the top of the range stays there rather than turning negative.
        UseCount = Stored.Value == INT32_MAX ? INT32_MAX : Stored.Value + 1;
    } catch (...) {
        // The window is still completed; the count stays 0, so the site is not opened at exit.
        UseCount = 0;
        UseCountKind = TValueKind::Missing;
        Application.HandleException();
    }
}

void TMainForm::SaveSettings() {
    UniqueHKey Key = OpenOrCreateKey(Application.RegistryRoot, RegistryKey);
    WriteIntegerValue(Key.get(), UseCountName, UseCount, UseCountKind);
}

void TMainForm::ScaleToDpi(UINT NewDpi) {
    UINT OldDpi = Font ? Dpi : 96;
    Dpi = NewDpi;
    HFONT NewFont = CreateDialogFont(Dpi);
    ApplyLayout(Window, MainFormLayout, Dpi, NewFont);
    if (Font)
        DeleteObject(Font);
    Font = NewFont;
    for (int i = 0; i < 2; ++i) {
        int Width = ListView_GetColumnWidth(lstFilesToConvert, i);
        ListView_SetColumnWidth(lstFilesToConvert, i,
                                MulDiv(Width, static_cast<int>(Dpi), static_cast<int>(OldDpi)));
    }
    FitWidthToText(Control(IDC_LBLFILESTOCONVERT));
    BuildImageLists();

    const int IconSizes[2] = {ScaleForDpi(32, Dpi), ScaleForDpi(16, Dpi)};
    const WPARAM IconKinds[2] = {ICON_BIG, ICON_SMALL};
    for (int i = 0; i < 2; ++i) {
        HICON Icon = LoadIconAt(IDI_KESTROVA, IconSizes[i]);
        SendMessageW(Window, WM_SETICON, IconKinds[i], reinterpret_cast<LPARAM>(Icon));
        if (Icons[i])
            DestroyIcon(Icons[i]);
        Icons[i] = Icon;
    }
}

void TMainForm::BuildImageLists() {
    // Images are loaded at the size the DPI calls for, so they are never stretched.
    int Size = ScaleForDpi(16, Dpi);
    HIMAGELIST NewList = ImageList_Create(Size, Size, ILC_COLOR32, iiCount, 0);
    HICON Loaded[iiCount] = {};
    for (int i = 0; i < iiCount; ++i) {
        Loaded[i] = LoadIconAt(IDI_DOCUMENT + i, Size);
        ImageList_AddIcon(NewList, Loaded[i]);
    }
    ListView_SetImageList(lstFilesToConvert, NewList, LVSIL_SMALL);

    HIMAGELIST NewButtonImages[3];
    for (int b = 0; b < 3; ++b) {
        // One image per button state: normal, hot, pressed, disabled, default, stylus hot.
        HICON Icon = Loaded[ButtonImageIndices[b]];
        HICON Faded = CreateDisabledIcon(Icon, Size);
        HIMAGELIST States = ImageList_Create(Size, Size, ILC_COLOR32, 6, 0);
        for (int State = 0; State < 6; ++State)
            ImageList_AddIcon(States, State == 3 && Faded ? Faded : Icon);
        if (Faded)
            DestroyIcon(Faded);
        BUTTON_IMAGELIST Images{};
        Images.himl = States;
        Images.margin.left = ScaleForDpi(5, Dpi);
        Images.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
        Button_SetImageList(Control(ButtonIds[b]), &Images);
        NewButtonImages[b] = States;
    }
    for (HICON Icon : Loaded)
        if (Icon)
            DestroyIcon(Icon);

    FreeImageLists();
    ImageList = NewList;
    for (int b = 0; b < 3; ++b)
        ButtonImages[b] = NewButtonImages[b];
}

void TMainForm::FreeImageLists() {
    if (ImageList)
        ImageList_Destroy(std::exchange(ImageList, nullptr));
    for (HIMAGELIST& List : ButtonImages)
        if (List)
            ImageList_Destroy(std::exchange(List, nullptr));
}

bool TMainForm::ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                            TProgressProc ProgressProc) {
    std::wstring Output;
    return ExecuteFFmpeg(AppPath + FFmpegExeName, Source, Destination, FFmpegOptions, Output,
                         ProgressProc);
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

int64_t TMainForm::RowFileSize(int Row) const {
    LVITEMW Item{};
    Item.mask = LVIF_PARAM;
    Item.iItem = Row;
    if (!ListView_GetItem(lstFilesToConvert, &Item) || !Item.lParam)
        return 0;
    return reinterpret_cast<const TRowData*>(Item.lParam)->FileSize;
}

void TMainForm::SetRowImage(int Row, int ImageIndex) {
    LVITEMW Item{};
    Item.mask = LVIF_IMAGE;
    Item.iItem = Row;
    Item.iImage = ImageIndex;
    ListView_SetItem(lstFilesToConvert, &Item);
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

bool TMainForm::SameFolderChecked() const {
    return Button_GetCheck(rbSameFolder) == BST_CHECKED;
}

std::wstring TMainForm::OutputFolderText() const {
    return WindowText(edOutputFolder);
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

void TMainForm::AddFile(const std::wstring& FileName) {
    size_t Delimiter = FileName.find_last_of(L"\\/:");
    size_t NameStart = Delimiter == std::wstring::npos ? 0 : Delimiter + 1;
    size_t Dot = FileName.find_last_of(L'.');
    std::wstring Extension =
        Dot == std::wstring::npos || Dot < NameStart ? std::wstring() : FileName.substr(Dot);
    if (AsciiLowerCase(Extension) != L".webm")
        return;

    std::wstring Folded = LocaleLowerCase(FileName);
    for (int Row = 0, Count = RowCount(); Row < Count; ++Row)
        if (LocaleLowerCase(GetItemFileName(Row)) == Folded)
            return;

    // Reading the size needs no more than read access, so read-only files are welcome.
    UniqueFileHandle File(CreateFileW(FileName.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File)
        throw EInOutError(GetLastError());
    LARGE_INTEGER Size;
    if (!GetFileSizeEx(File.get(), &Size))
        throw EInOutError(GetLastError());
    File.reset();

    std::wstring Name = FileName.substr(NameStart);
    std::wstring Location = FileName.substr(0, NameStart);
    auto Data = std::make_unique<TRowData>(TRowData{Size.QuadPart});
    LVITEMW Item{};
    Item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    Item.iItem = RowCount();
    Item.pszText = Name.data();
    Item.iImage = iiFilmReel;
    Item.lParam = reinterpret_cast<LPARAM>(Data.get());
    int Row = ListView_InsertItem(lstFilesToConvert, &Item);
    if (Row < 0)
        throw EAppError(L"The file could not be added to the list");
    Data.release(); // the row owns it now; LVN_DELETEITEM frees it
    ListView_SetItemText(lstFilesToConvert, Row, 1, Location.data());
    UpdateControlsOnListChange();
}

void TMainForm::AddFiles(const std::vector<std::wstring>& FileNames) {
    std::vector<std::pair<std::wstring, std::exception_ptr>> Failures;
    for (const std::wstring& FileName : FileNames) {
        try {
            AddFile(FileName);
        } catch (...) {
            Failures.emplace_back(FileName, std::current_exception());
        }
    }
    if (Failures.empty())
        return;
    if (Failures.size() == 1)
        std::rethrow_exception(Failures.front().second);
    std::wstring Text = L"Some files could not be added:";
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

void TMainForm::btnWebSiteClick() {
    ShellOpen(Application.LoadStr(IDS_WEBSITEURL));
}

void TMainForm::btnAboutClick() {
    std::wstring Text = WindowText(Window) + L" 1.0\r" + Application.LoadStr(IDS_MAKERLINE) +
                        L"\r\rThis software is based on FFmpeg.";
    Application.ShowMessageBox(Window, Text, L"Information", MB_OK | MB_ICONINFORMATION);
}

void TMainForm::rbOutputFolderClick() {
    bool Other = Button_GetCheck(rbOtherFolder) == BST_CHECKED;
    EnableControl(edOutputFolder, Other);
    InvalidateRect(edOutputFolder, nullptr, TRUE);
    EnableControl(btnBrowse, Other);
}

void TMainForm::btnBrowseClick() {
    std::wstring Folder = OutputFolderText();
    if (BrowseForFolder(Window, L"Output folder:", Folder))
        SetWindowTextW(edOutputFolder, Folder.c_str());
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

void TMainForm::mniPlayClick() {
    int Row = SelectedRow();
    if (Row >= 0)
        ShellOpen(GetItemFileName(Row));
}

void TMainForm::mniOpenFolderClick() {
    int Row = SelectedRow();
    if (Row >= 0)
        ShellExplore(RowLocation(Row));
}

void TMainForm::WMDropFiles(HDROP Drop) {
    TDropHandle Release(Drop);
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
    AddFiles(Files);
}
