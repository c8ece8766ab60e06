// The windows' controls sit where the layout puts them, at the window's DPI, in tab order, and
// follow a DPI change.
#include "MainFormFixture.h"

#include "Details.h"
#include "Dpi.h"
#include "Layouts.h"
#include "Progress.h"
#include "TestSupport.h"
#include "WindowLookups.h"

#include <functional>

namespace {

RECT ClientRectOf(HWND Control) {
    RECT Bounds;
    GetWindowRect(Control, &Bounds);
    MapWindowPoints(nullptr, GetParent(Control), reinterpret_cast<POINT*>(&Bounds), 2);
    return Bounds;
}

// With CheckClient false, only the controls: a DPI change sent by hand leaves the frame's own
// metrics at the old DPI, so the outer size cannot come out right there.
void ExpectPlaced(HWND Form, const TFormLayout& Layout, UINT Dpi, bool CheckClient = true) {
    RECT Client;
    GetClientRect(Form, &Client);
    if (CheckClient) {
        EXPECT_EQ(Client.right, ScaleForDpi(Layout.ClientWidth, Dpi));
        EXPECT_EQ(Client.bottom, ScaleForDpi(Layout.ClientHeight, Dpi));
    }
    for (int i = 0; i < Layout.Count; ++i) {
        const TControlPlace& Place = Layout.Controls[i];
        SCOPED_TRACE(testing::Message() << "control " << Place.Id);
        HWND Control = GetDlgItem(Form, Place.Id);
        ASSERT_NE(Control, nullptr);
        RECT Bounds = ClientRectOf(Control);
        EXPECT_EQ(Bounds.left, ScaleForDpi(Place.Left, Dpi));
        EXPECT_EQ(Bounds.top, ScaleForDpi(Place.Top, Dpi));
        // A drop-down list's own height is its edit field's; the layout's includes its list.
        if (Place.Id != IDC_CBWHENDONE) {
            EXPECT_EQ(Bounds.bottom, ScaleForDpi(Place.Top + Place.Height, Dpi));
        }
        // Labels may grow to fit their text; everything else keeps its width.
        if (Place.Id == IDC_LBLFILESTOCONVERT || Place.Id == IDC_LBLWHENDONE)
            EXPECT_GE(Bounds.right, ScaleForDpi(Place.Left + Place.Width, Dpi));
        else
            EXPECT_EQ(Bounds.right, ScaleForDpi(Place.Left + Place.Width, Dpi));
    }
}

std::vector<int> TabOrder(HWND Form, HWND First) {
    std::vector<int> Ids;
    HWND Control = First;
    do {
        Ids.push_back(GetDlgCtrlID(Control));
        Control = GetNextDlgTabItem(Form, Control, FALSE);
    } while (Control && Control != First && Ids.size() < 20);
    return Ids;
}

// Sends what Windows sends when Window comes onto a monitor of another DPI, with the rectangle it
// suggests there (somewhere else, the size of the layout at the new DPI), and checks that the
// window went there and drew Control and its font at the new DPI.
void ExpectFollowsDpiChange(HWND Window, const TFormLayout& Layout, int Control) {
    UINT NewDpi = WindowDpi(Window) == 144 ? 192 : 144;
    SIZE Outer = WindowSizeForClient(
        {ScaleForDpi(Layout.ClientWidth, NewDpi), ScaleForDpi(Layout.ClientHeight, NewDpi)},
        static_cast<DWORD>(GetWindowLongPtrW(Window, GWL_STYLE)),
        static_cast<DWORD>(GetWindowLongPtrW(Window, GWL_EXSTYLE)), NewDpi);
    RECT Before;
    GetWindowRect(Window, &Before);
    RECT Suggested{Before.left + 37, Before.top + 23, Before.left + 37 + Outer.cx,
                   Before.top + 23 + Outer.cy};
    SendMessageW(Window, WM_DPICHANGED, MAKEWPARAM(NewDpi, NewDpi),
                 reinterpret_cast<LPARAM>(&Suggested));

    RECT Bounds;
    GetWindowRect(Window, &Bounds);
    EXPECT_EQ(Bounds.left, Suggested.left);
    EXPECT_EQ(Bounds.top, Suggested.top);
    EXPECT_EQ(Bounds.right, Suggested.right);
    EXPECT_EQ(Bounds.bottom, Suggested.bottom);
    const TControlPlace& Place = PlaceOf(Layout, Control);
    RECT Placed = ClientRectOf(GetDlgItem(Window, Control));
    EXPECT_EQ(Placed.left, ScaleForDpi(Place.Left, NewDpi));
    EXPECT_EQ(Placed.top, ScaleForDpi(Place.Top, NewDpi));
    EXPECT_EQ(Placed.right, ScaleForDpi(Place.Left + Place.Width, NewDpi));
    EXPECT_EQ(Placed.bottom, ScaleForDpi(Place.Top + Place.Height, NewDpi));
    LOGFONTW Font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(Window, Control), WM_GETFONT, 0, 0)),
               sizeof Font, &Font);
    EXPECT_EQ(Font.lfHeight, -MulDiv(8, static_cast<int>(NewDpi), 72));
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT Msg, WPARAM, LPARAM) {
    return Msg == WM_INITDIALOG;
}

} // namespace

TEST_F(MainFormTest, MainWindowMatchesItsLayoutAndTabOrder) {
    CreateForm();
    ExpectPlaced(Form->Handle(), MainFormLayout, WindowDpi(Form->Handle()));

    HWND Main = Form->Handle();
    EXPECT_EQ(TabOrder(Main, Form->Control(IDC_BTNADDFILES)),
              (std::vector<int>{IDC_BTNADDFILES, IDC_BTNWEBSITE, IDC_BTNABOUT, IDC_RBSAMEFOLDER,
                                IDC_CBPLAYERSAFE, IDC_LSTFILESTOCONVERT}));
    // With everything enabled the group's box and button join in, then Convert.
    for (int Id : {IDC_BTNREMOVE, IDC_EDOUTPUTFOLDER, IDC_BTNBROWSE, IDC_BTNCONVERT})
        EnableWindow(Form->Control(Id), TRUE);
    EXPECT_EQ(TabOrder(Main, Form->Control(IDC_BTNADDFILES)),
              (std::vector<int>{IDC_BTNADDFILES, IDC_BTNREMOVE, IDC_BTNWEBSITE, IDC_BTNABOUT,
                                IDC_RBSAMEFOLDER, IDC_EDOUTPUTFOLDER, IDC_BTNBROWSE,
                                IDC_CBPLAYERSAFE, IDC_BTNCONVERT, IDC_LSTFILESTOCONVERT}));

    // The hint lies above the list, so it is seen while the list is empty.
    HWND Hint = Form->Control(IDC_LBLADDFILES);
    HWND Above = Hint;
    while ((Above = GetWindow(Above, GW_HWNDNEXT)) &&
           Above != Form->Control(IDC_LSTFILESTOCONVERT)) {
    }
    EXPECT_EQ(Above, Form->Control(IDC_LSTFILESTOCONVERT));
}

TEST(ProgressLayout, TemplateTakesTheLayoutWithCancelThenWhenDoneAsTabStops) {
    HWND Dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS),
                                     nullptr, PlainDialogProc, 0);
    ASSERT_NE(Dialog, nullptr);
    UINT Dpi = WindowDpi(Dialog);
    HFONT Font = CreateDialogFont(Dpi);
    ApplyLayout(Dialog, ProgressFormLayout, Dpi, Font);
    ExpectPlaced(Dialog, ProgressFormLayout, Dpi);
    wchar_t Caption[32];
    GetWindowTextW(Dialog, Caption, 32);
    EXPECT_STREQ(Caption, L"Converting");
    EXPECT_FALSE(GetWindowLongPtrW(Dialog, GWL_STYLE) & WS_SYSMENU);
    EXPECT_EQ(TabOrder(Dialog, GetDlgItem(Dialog, IDCANCEL)),
              (std::vector<int>{IDCANCEL, IDC_CBWHENDONE}));
    // The bottom row shares one middle: the label, its list's edit field and Cancel.
    auto Middle = [Dialog](int Id) {
        RECT Bounds = ClientRectOf(GetDlgItem(Dialog, Id));
        return (Bounds.top + Bounds.bottom) / 2;
    };
    EXPECT_NEAR(Middle(IDC_LBLWHENDONE), Middle(IDCANCEL), ScaleForDpi(2, Dpi));
    EXPECT_NEAR(Middle(IDC_CBWHENDONE), Middle(IDCANCEL), ScaleForDpi(2, Dpi));
    DestroyWindow(Dialog);
    DeleteObject(Font);
}

TEST(CountdownLayout, TemplateTakesTheLayoutWithCancelAsDefault) {
    HWND Dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_COUNTDOWN),
                                     nullptr, PlainDialogProc, 0);
    ASSERT_NE(Dialog, nullptr);
    UINT Dpi = WindowDpi(Dialog);
    HFONT Font = CreateDialogFont(Dpi);
    ApplyLayout(Dialog, CountdownFormLayout, Dpi, Font);
    ExpectPlaced(Dialog, CountdownFormLayout, Dpi);
    EXPECT_EQ(TabOrder(Dialog, GetDlgItem(Dialog, IDC_BTNNOW)),
              (std::vector<int>{IDC_BTNNOW, IDCANCEL}));
    EXPECT_EQ(LOWORD(SendMessageW(Dialog, DM_GETDEFID, 0, 0)), IDCANCEL);
    DestroyWindow(Dialog);
    DeleteObject(Font);
}

TEST_F(MainFormTest, DpiChangeRescalesLayoutFontColumnsAndImages) {
    CreateForm();
    HWND Main = Form->Handle();
    HWND List = Form->Control(IDC_LSTFILESTOCONVERT);
    RECT Suggested{100, 80, 800, 700};
    SendMessageW(Main, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&Suggested));

    ExpectPlaced(Main, MainFormLayout, 144, false);
    RECT Bounds;
    GetWindowRect(Main, &Bounds);
    EXPECT_EQ(Bounds.left, 100);
    EXPECT_EQ(Bounds.top, 80);
    // The columns keep their share: 170 px at 96 DPI become 255 at 144.
    int Start = static_cast<int>(WindowDpi(Main));
    EXPECT_EQ(ListView_GetColumnWidth(List, 0), MulDiv(MulDiv(170, Start, 96), 144, Start));
    int Width = 0, Height = 0;
    ImageList_GetIconSize(ListView_GetImageList(List, LVSIL_SMALL), &Width, &Height);
    EXPECT_EQ(Width, 24);
    EXPECT_EQ(Height, 24);
    BUTTON_IMAGELIST Images{};
    ASSERT_TRUE(Button_GetImageList(Form->Control(IDC_BTNADDFILES), &Images));
    ImageList_GetIconSize(Images.himl, &Width, &Height);
    EXPECT_EQ(Width, 24);
    EXPECT_EQ(Images.margin.left, 8); // 5 px at 150 %, rounded
    LOGFONTW Font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(List, WM_GETFONT, 0, 0)), sizeof Font, &Font);
    EXPECT_EQ(Font.lfHeight, -16);
    EXPECT_STREQ(Font.lfFaceName, L"Tahoma");
}

TEST_F(MainFormTest, EveryWindowTakesTheSuggestedPlaceOnADpiChange) {
    CreateForm();
    {
        SCOPED_TRACE("main window");
        ExpectFollowsDpiChange(Form->Handle(), MainFormLayout, IDC_BTNCONVERT);
    }

    testing_support::TempFolder Files(L"kestrova-dpi");
    Drop({Files.WriteFile(L"clip.webm", "x").wstring()});
    TLookingConverter Converter;
    bool Looked = false;
    Converter.Look = [&](HWND Progress) {
        SCOPED_TRACE("progress window");
        ExpectFollowsDpiChange(Progress, ProgressFormLayout, IDC_PBOVERALL);
        Looked = true;
    };
    TProgressForm(*Form, &Converter).ShowModal();
    EXPECT_TRUE(Looked);

    static bool DetailsLooked;
    DetailsLooked = false;
    SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR Id, DWORD) {
        KillTimer(nullptr, Id);
        HWND Details = FindWindowW(nullptr, L"clip.webm could not be converted");
        if (!Details)
            return;
        SCOPED_TRACE("Details window");
        ExpectFollowsDpiChange(Details, DetailsFormLayout, IDC_EDDETAILS);
        DetailsLooked = true;
        PostMessageW(Details, WM_COMMAND, IDCANCEL, 0);
    });
    ShowDetails(Form->Handle(), L"clip.webm could not be converted", L"why");
    EXPECT_TRUE(DetailsLooked);
}

TEST_F(MainFormTest, EnterPlaysFromTheListAndPressesAFocusedButton) {
    CreateForm();
    Form->Show();
    HWND Main = Form->Handle();
    SetForegroundWindow(Main);
    auto PressEnter = [&](HWND Target) {
        SetFocus(Target);
        MSG Key{Target, WM_KEYDOWN, VK_RETURN, 1, 0, {}};
        // The way the message loop hands keys to the window.
        if (!IsDialogMessageW(Main, &Key)) {
            TranslateMessage(&Key);
            DispatchMessageW(&Key);
        }
    };
    PressEnter(Form->Control(IDC_BTNADDFILES));
    EXPECT_EQ(OpenDialogRuns, 1);

    testing_support::TempFolder Files(L"kestrova-enter");
    std::wstring Clip = Files.WriteFile(L"clip.webm", "x").wstring();
    Drop({Clip});
    SelectRows({0});
    PressEnter(Form->Control(IDC_LSTFILESTOCONVERT));
    ASSERT_EQ(ShellCalls.size(), 1u);
    EXPECT_EQ(ShellCalls[0].File, Clip);
    EXPECT_TRUE(IsWindow(Main)); // Enter never closes the window
}
