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
