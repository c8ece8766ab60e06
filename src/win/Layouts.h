// The pixel layouts of the windows at 96 DPI: the one place that says where the windows'
// controls sit (the dialog templates carry no coordinates). Placing the controls from these values
// keeps them exact at every DPI and lets a window follow a DPI change.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TControlPlace {
    int Id;
    int Left, Top, Width, Height;
};

struct TFormLayout {
    int ClientWidth, ClientHeight;
    const TControlPlace* Controls;
    int Count;
};

extern const TFormLayout MainFormLayout;
extern const TFormLayout ProgressFormLayout;
extern const TFormLayout DetailsFormLayout;
extern const TFormLayout CountdownFormLayout;

// A layout as a window's texts need it: the same as its design unless a text (a translation,
// say) is wider than its control, which then grows, and the window with it.
struct TFittedLayout {
    int ClientWidth, ClientHeight;
    std::vector<TControlPlace> Controls;

    explicit TFittedLayout(const TFormLayout& Layout);
    TControlPlace& operator[](int Id);
    bool Has(int Id) const;
    TFormLayout View() const;
};

// The width, in 96-DPI pixels, that Control needs to show its text whole in Font at Dpi: the
// text, and for a button its frame's margins, for a check box or radio button its box.
int NeededWidth(HWND Control, HFONT Font, UINT Dpi);
// The same for Text, as Control would show it.
int NeededWidth(HWND Control, std::wstring Text, HFONT Font, UINT Dpi);

// What each window grows for its texts, in Font at Dpi.
void FitMainLayout(HWND Form, TFittedLayout& Layout, HFONT Font, UINT Dpi);
void FitProgressLayout(HWND Form, TFittedLayout& Layout, HFONT Font, UINT Dpi);
void FitDetailsLayout(HWND Form, TFittedLayout& Layout, HFONT Font, UINT Dpi);
// The countdown's text needs LabelWidth (96-DPI pixels) for its longest wording.
void FitCountdownLayout(HWND Form, TFittedLayout& Layout, int LabelWidth, HFONT Font, UINT Dpi);

// The progress window shows one line (caption, percentage, bar) per file converting; line 0 is
// the layout's own, each further line sits FileLineHeight lower with the ids of FileLineId, and
// everything below the lines moves down with them.
inline constexpr int FileLineHeight = 47;
enum class TFileLinePart { Caption, Percentage, Bar };
int FileLineId(int Line, TFileLinePart Part);
// The progress window's layout for Lines file lines (at least 1), kept in Places.
TFormLayout ProgressLayoutForLines(int Lines, std::vector<TControlPlace>& Places);

// Where Layout puts control Id (which it must hold).
const TControlPlace& PlaceOf(const TFormLayout& Layout, int Id);

// Sizes Form's client area and places its controls for Dpi, keeping the window's top-left corner,
// and gives every control Font.
void ApplyLayout(HWND Form, const TFormLayout& Layout, UINT Dpi, HFONT Font);

// A window's or control's text.
std::wstring WindowText(HWND Window);
// The size of a control's text in its own font.
SIZE TextExtent(HWND Control);
// Widens a label to its text where the text is longer than the layout's width (fonts differ
// between systems, and a completed text may be longer than the design-time one).
void FitWidthToText(HWND Label);

// Centres Form on the work area of the monitor nearest Reference (or Form itself).
void CentreOnMonitor(HWND Form, HWND Reference);
// Moves Form up as far as needed (never above the top) to keep it inside its monitor's work area.
void KeepInsideWorkArea(HWND Form);
// Centres Form over Owner's window rectangle, kept inside Owner's monitor.
void CentreOverWindow(HWND Form, HWND Owner);
