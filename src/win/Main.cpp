#include "Main.h"

#include "AppError.h"
#include "Application.h"
#include "Dpi.h"
#include "FileSystem.h"
#include "Images.h"
#include "Layouts.h"
#include "Progress.h"
#include "Selection.h"
#include "SystemLibraries.h"
#include "TextTemplate.h"
#include "Translation.h"

#include "resource.h"

#include <commctrl.h>
#include <shlobj.h>
#include <windowsx.h>

#include <climits>
#include <utility>

TMainForm* MainForm = nullptr;

namespace {

constexpr int ButtonIds[3] = {IDC_BTNADDFILES, IDC_BTNREMOVE, IDC_BTNCONVERT};
constexpr TImageIndex ButtonImageIndices[3] = {iiAdd, iiRemove, iiConvert};

} // namespace

TMainForm::TMainForm() : TForm(MainFormLayout, nullptr) {}

TMainForm::~TMainForm() {
    DestroyHandle();
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::Create() {
    MainForm = this;
    // The list view and progress classes must be registered before the template is built.
    INITCOMMONCONTROLSEX Classes{sizeof Classes,
                                 ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&Classes);
    if (!CreateModeless(IDD_MAIN))
        throw EAppError(Application.LoadStr(IDS_MAINWINDOWFAILED));
}

void TMainForm::Show() {
    ShowWindow(Window, SW_SHOW);
    UpdateWindow(Window);
}

INT_PTR TMainForm::DialogProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg >= WM_APP && AddSliceMessage(Msg, WParam))
        return TRUE;
    if ((Msg == WM_TIMER || Msg >= WM_APP) && SavedListMessage(Msg, WParam))
        return TRUE;
    switch (Msg) {
    case WM_INITDIALOG:
        FormCreate();
        MarkHandoverTarget(Window, true);
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
    case WM_COPYDATA:
        SetWindowLongPtrW(Window, DWLP_MSGRESULT,
                          WMCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(LParam)));
        return TRUE;
    case WM_TIMER:
        return SelectionTimer(WParam) || AddSliceMessage(Msg, WParam) ? TRUE : FALSE;
    case WM_DROPFILES:
        SetWindowLongPtrW(Window, DWLP_MSGRESULT, 0);
        WMDropFiles(reinterpret_cast<HDROP>(WParam));
        return TRUE;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        return ControlColor(reinterpret_cast<HDC>(WParam), reinterpret_cast<HWND>(LParam),
                            Msg == WM_CTLCOLOREDIT);
    case WM_CLOSE:
        // During a batch a close request (another program, the system) acts as Cancel first; the
        // window closes once the batch has stopped.
        if (CancelRunningBatch()) {
            CloseAfterBatch = true;
            return TRUE;
        }
        DestroyWindow(Window);
        return TRUE;
    case WM_QUERYENDSESSION:
        SetWindowLongPtrW(Window, DWLP_MSGRESULT, QueryEndSession() ? TRUE : FALSE);
        return TRUE;
    case WM_ENDSESSION:
        if (WParam)
            EndSession();
        SetWindowLongPtrW(Window, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_DESTROY:
        MarkHandoverTarget(Window, false);
        // An add under way ends with the window: what it has not listed yet is dropped.
        AddQueue.clear();
        ConvertAfterAdd = false;
        // Whatever FormDestroy throws, the window's own resources still go.
        try {
            FormDestroy();
        } catch (...) {
            Application.HandleException();
        }
        if (ListClassProc)
            SetWindowLongPtrW(lstFilesToConvert, GWLP_WNDPROC,
                              reinterpret_cast<LONG_PTR>(std::exchange(ListClassProc, nullptr)));
        return TRUE;
    case WM_NCDESTROY:
        if (Application.MainWindow == Window) {
            Application.MainWindow = nullptr;
            if (Application.Running())
                PostQuitMessage(0);
        }
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
    case IDC_CBPLAYERSAFE:
        if (Code == BN_CLICKED)
            cbPlayerSafeClick();
        return true;
    case IDC_RBSAMEFOLDER:
    case IDC_RBOTHERFOLDER:
        if (Code == BN_CLICKED) {
            rbOutputFolderClick();
            ListChanged();
        }
        return true;
    case IDC_EDOUTPUTFOLDER:
        if (Code == EN_CHANGE)
            ListChanged();
        return false;
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
    case IDM_DETAILS:
        mniDetailsClick();
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
    case LVN_INSERTITEM:
        ListChanged();
        break;
    case LVN_DELETEITEM:
        ListChanged();
        if (auto* Data = reinterpret_cast<const TRowData*>(
                reinterpret_cast<const NMLISTVIEW&>(Header).lParam)) {
            // By position: the key is the entry's own, and must not be read while it goes.
            if (auto Entry = RowStore.find(*Data->FoldedPath); Entry != RowStore.end())
                RowStore.erase(Entry);
        }
        break;
    case LVN_KEYDOWN:
        lstFilesToConvertKeyDown(reinterpret_cast<const NMLVKEYDOWN&>(Header).wVKey);
        break;
    case LVN_GETINFOTIPW:
        lstFilesToConvertInfoTip(
            const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(Header)));
        break;
    case NM_DBLCLK:
        lstFilesToConvertDblClick();
        break;
    }
    return FALSE;
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
    cbPlayerSafe = Control(IDC_CBPLAYERSAFE);
    if (!Application.MainWindow)
        Application.MainWindow = Window;

    Application.Title = Application.LoadStr(IDS_TITLE);
    SetWindowTextW(Control(IDC_LBLFILESTOCONVERT), Application.LoadStr(IDS_FILESTOCONVERT).c_str());
    SetWindowTextW(Window, Application.Title.c_str());
    LoadSettings();
    AppPath = ExecutableFolder();
    SetWindowTextW(Control(IDC_BTNWEBSITE), Application.LoadStr(IDS_WEBSITE).c_str());
    SetWindowTextW(edOutputFolder, GetSpecialFolder(CSIDL_MYVIDEO).c_str());
    SetWindowTextW(btnConvert, Application.LoadStr(IDS_CONVERTTOAVI).c_str());
    OpenDialog.Filter = Application.LoadStr(IDS_ADDFILESFILTER);
    OpenDialog.Title = Application.LoadStr(IDS_ADDFILESTITLE);

    CheckRadioButton(Window, IDC_RBSAMEFOLDER, IDC_RBOTHERFOLDER, IDC_RBSAMEFOLDER);
    ListView_SetExtendedListViewStyle(lstFilesToConvert,
                                      LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    SetSystemWindowTheme(lstFilesToConvert, L"Explorer");
    std::wstring Captions[2] = {Application.LoadStr(IDS_COLUMNNAME),
                                Application.LoadStr(IDS_COLUMNLOCATION)};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW Column{};
        Column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        Column.pszText = Captions[i].data();
        Column.cx = i == 0 ? 170 : 140; // at 96 DPI; ScaleOwnParts scales them
        Column.iSubItem = i;
        ListView_InsertColumn(lstFilesToConvert, i, &Column);
    }
    SetWindowLongPtrW(lstFilesToConvert, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ListClassProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        lstFilesToConvert, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListWindowProc)));

    if (const void* Menu = FindLocalizedResource(GetModuleHandleW(nullptr), RT_MENU, IDM_POPUP,
                                                 Application.Language->LangId))
        PopupMenuResource.reset(LoadMenuIndirectW(Menu));
    PopupMenu = GetSubMenu(PopupMenuResource.get(), 0);
    SetMenuDefaultItem(PopupMenu, IDM_PLAY, FALSE);

    LayOutAndCentre();
    UpdateControlsOnListChange();
    lstFilesToConvertSelectItem();
    StartSavedList();
}

void TMainForm::FormShow() {
    DragAcceptFiles(Window, TRUE);
}

void TMainForm::FormDestroy() {
    EndSavedList();
    SaveSettings();
    // Not while Windows is ending the session: the browser would only hold it up.
    if (UseCount == 1 && !Application.SessionEnding)
        ShellOpen(Application.LoadStr(IDS_WEBSITEURL));
}

void TMainForm::LoadSettings() {
    try {
        const TSettingValue Stored = KeptSettings.StoredStartCount();
        if (Stored.Kind == TValueKind::Other)
            throw EAppError(FormatTemplate(Application.LoadStr(IDS_INVALIDDATATYPE),
                                           {std::wstring(UseCountSetting.Name)}));
        UseCountKind = Stored.Kind;
        UseCount = StartCountAfter(Stored.Value);
    } catch (...) {
        // The window is still completed; the count stays 0, so the site is not opened at exit.
        UseCount = 0;
        UseCountKind = TValueKind::Missing;
        Application.HandleException();
    }
    // Missing, damaged or unreadable: unticked, without a word.
    Button_SetCheck(cbPlayerSafe, KeptSettings.PlayerSafe() ? BST_CHECKED : BST_UNCHECKED);
}

void TMainForm::SaveSettings() {
    KeptSettings.SaveStartCount(UseCount, UseCountKind);
    KeptSettings.SavePlayerSafe(PlayerSafeChecked());
}

bool TMainForm::PlayerSafeChecked() const {
    return Button_GetCheck(cbPlayerSafe) == BST_CHECKED;
}

void TMainForm::cbPlayerSafeClick() {
    // Kept at once, so the choice survives however the program ends.
    KeptSettings.SavePlayerSafe(PlayerSafeChecked());
}

void TMainForm::ScaleOwnParts(UINT OldDpi) {
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
        UniqueIcon Icon = LoadAppIcon(IconSizes[i]);
        SendMessageW(Window, WM_SETICON, IconKinds[i], reinterpret_cast<LPARAM>(Icon.get()));
        Icons[i] = std::move(Icon);
    }
}

void TMainForm::BuildImageLists() {
    UniqueImageList NewList = CreateImageList(Dpi);
    ListView_SetImageList(lstFilesToConvert, NewList.get(), LVSIL_SMALL);
    ImageList = std::move(NewList);
    for (int b = 0; b < 3; ++b) {
        UniqueImageList States = CreateButtonImages(ButtonImageIndices[b], Dpi);
        BUTTON_IMAGELIST Images{};
        Images.himl = States.get();
        Images.margin.left = ScaleForDpi(5, Dpi);
        Images.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
        Button_SetImageList(Control(ButtonIds[b]), &Images);
        ButtonImages[b] = std::move(States);
    }
}

TBatch* TMainForm::RunningBatch() const {
    return ProgressForm && !ProgressForm->IsDone() ? ProgressForm : nullptr;
}

bool TMainForm::CancelRunningBatch() {
    TBatch* Batch = RunningBatch();
    if (!Batch)
        return false;
    Batch->Cancel = true;
    return true;
}

void TMainForm::btnWebSiteClick() {
    ShellOpen(Application.LoadStr(IDS_WEBSITEURL));
}

void TMainForm::btnAboutClick() {
    Application.ShowMessageBox(Window, Application.LoadStr(IDS_ABOUT),
                               Application.LoadStr(IDS_INFORMATION), MB_OK | MB_ICONINFORMATION);
}
