#include "Layouts.h"

#include <string>

#include "Dpi.h"
#include "win32/UiOwners.h"

#include "resource.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace {

// The group box sits at 8, 250; its controls are placed relative to it.
constexpr int GroupLeft = 8, GroupTop = 250;

constexpr TControlPlace MainControls[] = {
    {IDC_LBLFILESTOCONVERT, 8, 8, 79, 13},
    {IDC_LSTFILESTOCONVERT, 8, 27, 329, 217},
    {IDC_LBLADDFILES, 24, 130, 297, 23},
    {IDC_BTNADDFILES, 343, 27, 90, 25},
    {IDC_BTNREMOVE, 343, 58, 90, 25},
    {IDC_BTNWEBSITE, 343, 97, 90, 25},
    {IDC_BTNABOUT, 343, 128, 90, 25},
    {IDC_GBOUTPUTFOLDER, GroupLeft, GroupTop, 425, 61},
    {IDC_RBSAMEFOLDER, GroupLeft + 12, GroupTop + 24, 56, 17},
    {IDC_RBOTHERFOLDER, GroupLeft + 71, GroupTop + 24, 55, 17},
    {IDC_EDOUTPUTFOLDER, GroupLeft + 132, GroupTop + 22, 254, 21},
    {IDC_BTNBROWSE, GroupLeft + 392, GroupTop + 22, 18, 21},
    {IDC_CBPLAYERSAFE, 8, 321, 200, 17},
    {IDC_BTNCONVERT, 321, 317, 112, 25},
};

constexpr TControlPlace ProgressControls[] = {
    {IDC_LBLCURFILE, 8, 8, 337, 13},
    {IDC_LBLCURFILEPERCENTAGE, 360, 8, 17, 13},
    {IDC_PBCURFILE, 8, 27, 369, 16},
    {IDC_LBLOVERALL, 8, 55, 83, 13},
    {IDC_LBLOVERALLPERCENTAGE, 360, 55, 17, 13},
    {IDC_PBOVERALL, 8, 74, 369, 16},
    {IDC_LBLTIMELEFT, 8, 99, 369, 13},
    // The bottom row: "When done:" centred on its list's edit field (21 high at 96 DPI), Cancel.
    // A drop-down list's height includes its opened list, room for all four choices.
    {IDC_LBLWHENDONE, 8, 126, 58, 13},
    {IDC_CBWHENDONE, 70, 122, 112, 110},
    {IDCANCEL, 296, 120, 81, 25},
};

constexpr TControlPlace CountdownControls[] = {
    {IDC_LBLCOUNTDOWN, 12, 16, 300, 13},
    {IDC_BTNNOW, 125, 48, 100, 25},
    {IDCANCEL, 231, 48, 81, 25},
};

constexpr TControlPlace DetailsControls[] = {
    {IDC_EDDETAILS, 8, 8, 464, 240},
    {IDOK, 391, 256, 81, 25},
};

void CentreIn(HWND Form, const RECT& Area, const RECT& Bounds) {
    RECT Window;
    GetWindowRect(Form, &Window);
    int Width = Window.right - Window.left, Height = Window.bottom - Window.top;
    int Left = Area.left + (Area.right - Area.left - Width) / 2;
    int Top = Area.top + (Area.bottom - Area.top - Height) / 2;
    // Keep the caption reachable.
    Left = std::max<int>(Bounds.left, std::min<int>(Left, Bounds.right - Width));
    Top = std::max<int>(Bounds.top, std::min<int>(Top, Bounds.bottom - Height));
    SetWindowPos(Form, nullptr, Left, Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT WorkAreaOf(HWND Window) {
    MONITORINFO Info{};
    Info.cbSize = sizeof Info;
    GetMonitorInfoW(MonitorFromWindow(Window, MONITOR_DEFAULTTONEAREST), &Info);
    return Info.rcWork;
}

} // namespace

const TFormLayout MainFormLayout{442, 353, MainControls, static_cast<int>(std::size(MainControls))};
const TFormLayout ProgressFormLayout{385, 150, ProgressControls,
                                     static_cast<int>(std::size(ProgressControls))};
const TFormLayout DetailsFormLayout{480, 289, DetailsControls,
                                    static_cast<int>(std::size(DetailsControls))};
const TFormLayout CountdownFormLayout{320, 81, CountdownControls,
                                      static_cast<int>(std::size(CountdownControls))};

TFittedLayout::TFittedLayout(const TFormLayout& Layout)
    : ClientWidth(Layout.ClientWidth), ClientHeight(Layout.ClientHeight),
      Controls(Layout.Controls, Layout.Controls + Layout.Count) {}

TControlPlace& TFittedLayout::operator[](int Id) {
    return const_cast<TControlPlace&>(PlaceOf(View(), Id));
}

bool TFittedLayout::Has(int Id) const {
    return std::any_of(Controls.begin(), Controls.end(),
                       [Id](const TControlPlace& Place) { return Place.Id == Id; });
}

TFormLayout TFittedLayout::View() const {
    return {ClientWidth, ClientHeight, Controls.data(), static_cast<int>(Controls.size())};
}

int NeededWidth(HWND Control, HFONT Font, UINT Dpi) {
    return NeededWidth(Control, WindowText(Control), Font, Dpi);
}

int NeededWidth(HWND Control, std::wstring Text, HFONT Font, UINT Dpi) {
    wchar_t Class[16] = L"";
    GetClassNameW(Control, Class, 16);
    auto Style = static_cast<DWORD>(GetWindowLongPtrW(Control, GWL_STYLE));
    bool Button = lstrcmpiW(Class, L"Button") == 0;
    // A prefix character is no part of what is drawn.
    if (!(Style & SS_NOPREFIX) || Button) {
        std::wstring Shown;
        for (size_t i = 0; i < Text.size(); ++i) {
            if (Text[i] == L'&' && i + 1 < Text.size())
                ++i;
            Shown += Text[i];
        }
        Text = Shown;
    }
    TWindowDC Dc(Control);
    TSelectObject Selected(Dc.get(), Font);
    SIZE Extent{};
    GetTextExtentPoint32W(Dc.get(), Text.c_str(), static_cast<int>(Text.size()), &Extent);
    int Width = MulDiv(Extent.cx, 96, static_cast<int>(Dpi)) + 1;
    if (!Button)
        return Width;
    DWORD Kind = Style & BS_TYPEMASK;
    if (Kind == BS_AUTORADIOBUTTON || Kind == BS_RADIOBUTTON || Kind == BS_AUTOCHECKBOX ||
        Kind == BS_CHECKBOX)
        return Width + 20; // the box, 13, the gap to the text and the focus rectangle
    if (Kind == BS_GROUPBOX)
        return Width + 18;
    return Width + 10; // a push button's frame and focus rectangle
}

namespace {

int Need(HWND Form, int Id, HFONT Font, UINT Dpi) {
    HWND Control = GetDlgItem(Form, Id);
    if (!Control)
        return 0;
    // These buttons show an image left of their text: 16 pixels, 5 from the edge.
    bool Image = Id == IDC_BTNADDFILES || Id == IDC_BTNREMOVE || Id == IDC_BTNCONVERT;
    return NeededWidth(Control, Font, Dpi) + (Image ? 21 : 0);
}

// A drop-down list shows its choice beside its arrow button: the widest choice, the button (as
// wide as a scroll bar, 17 at 96 DPI) and the margins around the text.
int NeedOfList(HWND Form, int Id, HFONT Font, UINT Dpi) {
    HWND List = GetDlgItem(Form, Id);
    if (!List)
        return 0;
    int Widest = 0;
    const auto Count = SendMessageW(List, CB_GETCOUNT, 0, 0);
    for (LRESULT Item = 0; Item < Count; ++Item) {
        std::wstring Text(
            static_cast<size_t>(std::max<LRESULT>(0, SendMessageW(List, CB_GETLBTEXTLEN, Item, 0))),
            L'\0');
        SendMessageW(List, CB_GETLBTEXT, Item, reinterpret_cast<LPARAM>(Text.data()));
        Widest = std::max(Widest, NeededWidth(List, Text, Font, Dpi));
    }
    return Widest + 17 + 8;
}

// Makes the main window By wider: the list and its hint widen, the buttons beside the list and
// the Convert button move right, the group box and its folder box widen.
void WidenMain(TFittedLayout& L, int By) {
    if (By <= 0)
        return;
    L.ClientWidth += By;
    L[IDC_LSTFILESTOCONVERT].Width += By;
    L[IDC_LBLADDFILES].Width += By;
    for (int Id : {IDC_BTNADDFILES, IDC_BTNREMOVE, IDC_BTNWEBSITE, IDC_BTNABOUT, IDC_BTNBROWSE,
                   IDC_BTNCONVERT})
        L[Id].Left += By;
    L[IDC_GBOUTPUTFOLDER].Width += By;
    L[IDC_EDOUTPUTFOLDER].Width += By;
}

} // namespace

void FitMainLayout(HWND Form, TFittedLayout& L, HFONT Font, UINT Dpi) {
    // The buttons beside the list share one width; they widen into a wider window.
    int Column = L[IDC_BTNADDFILES].Width;
    for (int Id : {IDC_BTNADDFILES, IDC_BTNREMOVE, IDC_BTNWEBSITE, IDC_BTNABOUT})
        Column = std::max(Column, Need(Form, Id, Font, Dpi));
    if (int Grow = Column - L[IDC_BTNADDFILES].Width; Grow > 0) {
        L.ClientWidth += Grow;
        for (int Id : {IDC_BTNADDFILES, IDC_BTNREMOVE, IDC_BTNWEBSITE, IDC_BTNABOUT})
            L[Id].Width += Grow;
        L[IDC_GBOUTPUTFOLDER].Width += Grow;
        L[IDC_EDOUTPUTFOLDER].Width += Grow;
        L[IDC_BTNBROWSE].Left += Grow;
        L[IDC_BTNCONVERT].Left += Grow;
    }
    // The hint lies over the list: a wider hint widens the list.
    WidenMain(L, Need(Form, IDC_LBLADDFILES, Font, Dpi) - L[IDC_LBLADDFILES].Width);

    // The radio buttons widen to the right and take the room from the folder box, which keeps
    // at least MinFolder; beyond that the window widens.
    constexpr int MinFolder = 120;
    int Shift = 0;
    for (int Id : {IDC_RBSAMEFOLDER, IDC_RBOTHERFOLDER}) {
        L[Id].Left += Shift;
        int Grow = Need(Form, Id, Font, Dpi) - L[Id].Width;
        if (Grow > 0) {
            L[Id].Width += Grow;
            Shift += Grow;
        }
    }
    if (Shift > 0) {
        TControlPlace& Folder = L[IDC_EDOUTPUTFOLDER];
        Folder.Left += Shift;
        Folder.Width -= Shift;
        WidenMain(L, MinFolder - Folder.Width);
    }

    // The Convert button grows to the left, the check box to the right; where they would meet,
    // the window widens.
    TControlPlace& Convert = L[IDC_BTNCONVERT];
    if (int Grow = Need(Form, IDC_BTNCONVERT, Font, Dpi) - Convert.Width; Grow > 0) {
        Convert.Left -= Grow;
        Convert.Width += Grow;
    }
    TControlPlace& Check = L[IDC_CBPLAYERSAFE];
    Check.Width = std::max(Check.Width, Need(Form, IDC_CBPLAYERSAFE, Font, Dpi));
    WidenMain(L, Check.Left + Check.Width + 8 - L[IDC_BTNCONVERT].Left);
}

void FitProgressLayout(HWND Form, TFittedLayout& L, HFONT Font, UINT Dpi) {
    // The bottom row: "When done:" widens to the right and pushes its list along, the list widens
    // to its longest choice, Cancel grows to the left. Where they would meet, the window widens,
    // and the rows above with it.
    TControlPlace& Label = L[IDC_LBLWHENDONE];
    TControlPlace& List = L[IDC_CBWHENDONE];
    Label.Width = std::max(Label.Width, Need(Form, IDC_LBLWHENDONE, Font, Dpi));
    List.Left = std::max(List.Left, Label.Left + Label.Width + 4);
    List.Width = std::max(List.Width, NeedOfList(Form, IDC_CBWHENDONE, Font, Dpi));
    TControlPlace& Cancel = L[IDCANCEL];
    if (int Grow = Need(Form, IDCANCEL, Font, Dpi) - Cancel.Width; Grow > 0) {
        Cancel.Left -= Grow;
        Cancel.Width += Grow;
    }
    if (int Widen = List.Left + List.Width + 8 - Cancel.Left; Widen > 0) {
        L.ClientWidth += Widen;
        Cancel.Left += Widen;
        for (int Id : {IDC_PBOVERALL, IDC_LBLTIMELEFT})
            L[Id].Width += Widen;
        L[IDC_LBLOVERALLPERCENTAGE].Left += Widen;
        // Every file line, however many are shown.
        for (int Line = 0; L.Has(FileLineId(Line, TFileLinePart::Bar)); ++Line) {
            L[FileLineId(Line, TFileLinePart::Caption)].Width += Widen;
            L[FileLineId(Line, TFileLinePart::Bar)].Width += Widen;
            L[FileLineId(Line, TFileLinePart::Percentage)].Left += Widen;
        }
    }
}

void FitCountdownLayout(HWND Form, TFittedLayout& L, int LabelWidth, HFONT Font, UINT Dpi) {
    // Both buttons grow to the left from the right edge; where the first would pass the text's
    // left edge, or the text needs more room, the window widens.
    TControlPlace& Label = L[IDC_LBLCOUNTDOWN];
    TControlPlace& Now = L[IDC_BTNNOW];
    TControlPlace& Cancel = L[IDCANCEL];
    if (int Grow = Need(Form, IDCANCEL, Font, Dpi) - Cancel.Width; Grow > 0) {
        Cancel.Left -= Grow;
        Cancel.Width += Grow;
        Now.Left -= Grow;
    }
    if (int Grow = Need(Form, IDC_BTNNOW, Font, Dpi) - Now.Width; Grow > 0) {
        Now.Left -= Grow;
        Now.Width += Grow;
    }
    if (int Widen = std::max(LabelWidth - Label.Width, Label.Left - Now.Left); Widen > 0) {
        L.ClientWidth += Widen;
        Label.Width += Widen;
        Now.Left += Widen;
        Cancel.Left += Widen;
    }
}

void FitDetailsLayout(HWND Form, TFittedLayout& L, HFONT Font, UINT Dpi) {
    TControlPlace& Ok = L[IDOK];
    if (int Grow = Need(Form, IDOK, Font, Dpi) - Ok.Width; Grow > 0) {
        Ok.Left -= Grow;
        Ok.Width += Grow;
    }
}

int FileLineId(int Line, TFileLinePart Part) {
    const int Parts[] = {IDC_LBLCURFILE, IDC_LBLCURFILEPERCENTAGE, IDC_PBCURFILE};
    if (Line == 0)
        return Parts[static_cast<int>(Part)];
    return IDC_FILELINES + 3 * (Line - 1) + static_cast<int>(Part);
}

TFormLayout ProgressLayoutForLines(int Lines, std::vector<TControlPlace>& Places) {
    Lines = std::max(Lines, 1);
    const int Shift = FileLineHeight * (Lines - 1);
    // Whatever sits below the first line, however many rows there are, moves down.
    const int BelowLines = PlaceOf(ProgressFormLayout, IDC_LBLOVERALL).Top;
    Places.assign(std::begin(ProgressControls), std::end(ProgressControls));
    for (TControlPlace& Place : Places)
        if (Place.Top >= BelowLines)
            Place.Top += Shift;
    for (int Line = 1; Line < Lines; ++Line)
        for (TFileLinePart Part :
             {TFileLinePart::Caption, TFileLinePart::Percentage, TFileLinePart::Bar}) {
            TControlPlace Place = PlaceOf(ProgressFormLayout, FileLineId(0, Part));
            Place.Id = FileLineId(Line, Part);
            Place.Top += FileLineHeight * Line;
            Places.push_back(Place);
        }
    return {ProgressFormLayout.ClientWidth, ProgressFormLayout.ClientHeight + Shift, Places.data(),
            static_cast<int>(Places.size())};
}

void KeepInsideWorkArea(HWND Form) {
    RECT Area = WorkAreaOf(Form), Window;
    GetWindowRect(Form, &Window);
    if (Window.bottom <= Area.bottom)
        return;
    int Top = std::max<int>(Area.top, Window.top - (Window.bottom - Area.bottom));
    SetWindowPos(Form, nullptr, Window.left, Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

const TControlPlace& PlaceOf(const TFormLayout& Layout, int Id) {
    const TControlPlace* End = Layout.Controls + Layout.Count;
    const TControlPlace* Found = std::find_if(
        Layout.Controls, End, [Id](const TControlPlace& Place) { return Place.Id == Id; });
    if (Found == End)
        throw std::logic_error("control " + std::to_string(Id) + " has no place in the layout");
    return *Found;
}

void ApplyLayout(HWND Form, const TFormLayout& Layout, UINT Dpi, HFONT Font) {
    auto Style = static_cast<DWORD>(GetWindowLongPtrW(Form, GWL_STYLE));
    auto ExStyle = static_cast<DWORD>(GetWindowLongPtrW(Form, GWL_EXSTYLE));
    SIZE Outer = WindowSizeForClient(
        {ScaleForDpi(Layout.ClientWidth, Dpi), ScaleForDpi(Layout.ClientHeight, Dpi)}, Style,
        ExStyle, Dpi);
    SetWindowPos(Form, nullptr, 0, 0, Outer.cx, Outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    for (int i = 0; i < Layout.Count; ++i) {
        const TControlPlace& Place = Layout.Controls[i];
        HWND Control = GetDlgItem(Form, Place.Id);
        if (!Control)
            continue;
        // Edges are scaled rather than sizes, so neighbours stay flush at every DPI.
        int Left = ScaleForDpi(Place.Left, Dpi), Top = ScaleForDpi(Place.Top, Dpi);
        int Right = ScaleForDpi(Place.Left + Place.Width, Dpi);
        int Bottom = ScaleForDpi(Place.Top + Place.Height, Dpi);
        SetWindowPos(Control, nullptr, Left, Top, Right - Left, Bottom - Top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (Font)
        for (HWND Child = GetWindow(Form, GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT))
            SendMessageW(Child, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
    InvalidateRect(Form, nullptr, TRUE);
}

void CentreOnMonitor(HWND Form, HWND Reference) {
    RECT Area = WorkAreaOf(Reference ? Reference : Form);
    CentreIn(Form, Area, Area);
}

void CentreOverWindow(HWND Form, HWND Owner) {
    RECT OwnerBounds;
    if (!Owner || !GetWindowRect(Owner, &OwnerBounds)) {
        CentreOnMonitor(Form, nullptr);
        return;
    }
    CentreIn(Form, OwnerBounds, WorkAreaOf(Owner));
}

std::wstring WindowText(HWND Window) {
    int Length = GetWindowTextLengthW(Window);
    std::wstring Text(static_cast<size_t>(Length) + 1, L'\0');
    Length = GetWindowTextW(Window, Text.data(), Length + 1);
    Text.resize(static_cast<size_t>(Length));
    return Text;
}

SIZE TextExtent(HWND Control) {
    std::wstring Text = WindowText(Control);
    TWindowDC Dc(Control);
    TSelectObject Font(Dc.get(),
                       reinterpret_cast<HGDIOBJ>(SendMessageW(Control, WM_GETFONT, 0, 0)));
    SIZE Extent{};
    GetTextExtentPoint32W(Dc.get(), Text.c_str(), static_cast<int>(Text.size()), &Extent);
    return Extent;
}

void FitWidthToText(HWND Label) {
    SIZE Extent = TextExtent(Label);
    RECT Bounds;
    GetClientRect(Label, &Bounds);
    if (Extent.cx > Bounds.right)
        SetWindowPos(Label, nullptr, 0, 0, Extent.cx, Bounds.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
