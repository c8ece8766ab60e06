// The windows in every language the program holds: their texts come from the language's own
// resources, and at every scaling each text fits its control, which stays inside its window.
#include "MainFormFixture.h"

#include "AppError.h"
#include "Countdown.h"
#include "Details.h"
#include "Dpi.h"
#include "Layouts.h"
#include "Progress.h"
#include "TestSupport.h"
#include "Translation.h"
#include "WindowLookups.h"

#include <commctrl.h>

#include <functional>
#include <map>

namespace {

// Sets the program's language for one test.
class TLanguageScope {
public:
    explicit TLanguageScope(const TLanguage& Language) : Saved(Application.Language) {
        Application.Language = &Language;
    }
    ~TLanguageScope() { Application.Language = Saved; }

private:
    const TLanguage* Saved;
};

RECT PlaceInParent(HWND Control) {
    RECT Bounds;
    GetWindowRect(Control, &Bounds);
    MapWindowPoints(nullptr, GetParent(Control), reinterpret_cast<POINT*>(&Bounds), 2);
    return Bounds;
}

// The room a control's frame, box or margins take beside its text, at Dpi: less than the layout
// gives, so that a text touching its frame still fails.
int Chrome(HWND Control, UINT Dpi) {
    wchar_t Class[16] = L"";
    GetClassNameW(Control, Class, 16);
    if (lstrcmpiW(Class, L"ComboBox") == 0)
        return ScaleForDpi(17, Dpi); // the arrow button
    if (lstrcmpiW(Class, L"Button") != 0)
        return 0;
    DWORD Kind = static_cast<DWORD>(GetWindowLongPtrW(Control, GWL_STYLE)) & BS_TYPEMASK;
    if (Kind == BS_AUTORADIOBUTTON || Kind == BS_AUTOCHECKBOX)
        return ScaleForDpi(16, Dpi);
    int Image = 0;
    BUTTON_IMAGELIST Images{};
    if (Button_GetImageList(Control, &Images) && Images.himl) {
        int Width = 0, Height = 0;
        ImageList_GetIconSize(Images.himl, &Width, &Height);
        Image = Width + Images.margin.left;
    }
    return ScaleForDpi(Kind == BS_GROUPBOX ? 12 : 8, Dpi) + Image;
}

// The size of the text as drawn: an access key's "&" is not, where the control underlines.
SIZE ShownExtent(HWND Control) {
    std::wstring Text = WindowText(Control);
    wchar_t Class[16] = L"";
    GetClassNameW(Control, Class, 16);
    const auto Style = static_cast<DWORD>(GetWindowLongPtrW(Control, GWL_STYLE));
    if (lstrcmpiW(Class, L"Button") == 0 ||
        (lstrcmpiW(Class, L"Static") == 0 && !(Style & SS_NOPREFIX))) {
        std::wstring Shown;
        for (size_t i = 0; i < Text.size(); ++i) {
            if (Text[i] == L'&' && i + 1 < Text.size())
                ++i;
            Shown += Text[i];
        }
        Text = Shown;
    }
    HDC Dc = GetDC(Control);
    HGDIOBJ Old =
        SelectObject(Dc, reinterpret_cast<HGDIOBJ>(SendMessageW(Control, WM_GETFONT, 0, 0)));
    SIZE Extent{};
    GetTextExtentPoint32W(Dc, Text.c_str(), static_cast<int>(Text.size()), &Extent);
    SelectObject(Dc, Old);
    ReleaseDC(Control, Dc);
    return Extent;
}

// Left lies wholly before Right on the row they share.
void ExpectBefore(HWND Form, int Left, int Right) {
    EXPECT_LE(PlaceInParent(GetDlgItem(Form, Left)).right,
              PlaceInParent(GetDlgItem(Form, Right)).left)
        << "control " << Left << " runs into " << Right;
}

// Every control with a text shows it whole on one line, and every control lies inside the window.
void ExpectTextsFit(HWND Form, UINT Dpi, const std::vector<int>& Skip = {}) {
    RECT Client;
    GetClientRect(Form, &Client);
    for (HWND Control = GetWindow(Form, GW_CHILD); Control;
         Control = GetWindow(Control, GW_HWNDNEXT)) {
        int Id = GetDlgCtrlID(Control);
        SCOPED_TRACE(testing::Message()
                     << "control " << Id << " \"" << WindowText(Control).c_str() << "\"");
        RECT Place = PlaceInParent(Control);
        EXPECT_GE(Place.left, 0);
        EXPECT_LE(Place.right, Client.right);
        EXPECT_LE(Place.bottom, Client.bottom);
        if (WindowText(Control).empty() || std::count(Skip.begin(), Skip.end(), Id))
            continue;
        SIZE Extent = ShownExtent(Control);
        EXPECT_LE(Extent.cx + Chrome(Control, Dpi), Place.right - Place.left);
        EXPECT_LE(Extent.cy, Place.bottom - Place.top);
    }
}

void Rescale(HWND Window, UINT Dpi) {
    RECT Now;
    GetWindowRect(Window, &Now);
    SendMessageW(Window, WM_DPICHANGED, MAKEWPARAM(Dpi, Dpi), reinterpret_cast<LPARAM>(&Now));
}

std::string Name(const TLanguage& Language) {
    return std::string(Language.Tag, Language.Tag + wcslen(Language.Tag));
}

std::function<void(HWND)> DetailsCheck;

} // namespace

TEST_F(MainFormTest, EachLanguagesWindowsShowItsOwnTexts) {
    {
        TLanguageScope German(*FindLanguage(L"de"));
        CreateForm();
        EXPECT_EQ(Text(IDC_BTNADDFILES), L"Hinzufügen...");
        EXPECT_EQ(Text(IDC_LBLFILESTOCONVERT), L"Zu konvertierende WebM-Dateien:");
        EXPECT_EQ(Application.LoadStr(IDS_CONVERSIONFINISHED),
                  L"Die Konvertierung ist abgeschlossen.");
        DestroyForm();
    }
    {
        TLanguageScope Japanese(*FindLanguage(L"ja"));
        CreateForm();
        EXPECT_EQ(Text(IDC_BTNCONVERT), L"AVI に変換");
        EXPECT_EQ(Text(IDC_RBOTHERFOLDER), L"その他:");
        DestroyForm();
    }
    CreateForm();
    EXPECT_EQ(Text(IDC_BTNADDFILES), L"Add...");
    EXPECT_EQ(Text(IDC_BTNCONVERT), L"Convert to AVI");
}

TEST(LocalizedResources, AStringALanguageLacksComesInEnglish) {
    HMODULE Program = GetModuleHandleW(nullptr);
    const LANGID Russian = FindLanguage(L"ru")->LangId;
    EXPECT_EQ(LoadLocalizedString(Program, IDS_FAILCANCELLED, Russian), L"отменено");
    // A language the program does not hold at all, and a string no language has.
    EXPECT_EQ(
        LoadLocalizedString(Program, IDS_FAILCANCELLED, MAKELANGID(LANG_DUTCH, SUBLANG_DUTCH)),
        L"cancelled");
    EXPECT_EQ(LoadLocalizedString(Program, 2999, Russian), L"");
    EXPECT_EQ(LoadLocalizedString(Program, IDS_SHELLVERB, FindLanguage(L"ko")->LangId),
              L"Kestrova로 AVI 변환");
}

TEST(LocalizedResources, AFaultOfTheCoreIsWordedInTheUsersLanguage) {
    // The core reports a fact; the error box's text is the string table's, in the language set.
    const std::wstring Name = L"C:\\Videos\\clip.avi";
    const auto Message = [&] {
        return ExceptionMessage(
            std::make_exception_ptr(ECoreFault(TCoreFaultKind::NoFreeName, {Name})));
    };
    EXPECT_EQ(Message(), L"No free name is left for the converted file " + Name + L".");
    TLanguageScope German(*FindLanguage(L"de"));
    EXPECT_EQ(Message(),
              L"Für die konvertierte Datei " + Name + L" ist kein freier Name mehr übrig.");
}

TEST_F(MainFormTest, CountdownCountsInTheLanguagesOwnForms) {
    CreateForm();
    {
        TLanguageScope Russian(*FindLanguage(L"ru"));
        EXPECT_EQ(CountdownText(TWhenDone::Sleep, 21),
                  L"Компьютер перейдёт в спящий режим через 21 секунду.");
        EXPECT_EQ(CountdownText(TWhenDone::Sleep, 22),
                  L"Компьютер перейдёт в спящий режим через 22 секунды.");
        EXPECT_EQ(CountdownText(TWhenDone::ShutDown, 11),
                  L"Компьютер завершит работу через 11 секунд.");
        EXPECT_EQ(CountdownText(TWhenDone::ShutDown, 1),
                  L"Компьютер завершит работу через 1 секунду.");
    }
    {
        TLanguageScope Polish(*FindLanguage(L"pl"));
        EXPECT_EQ(CountdownText(TWhenDone::Sleep, 24), L"Komputer zostanie uśpiony za 24 sekundy.");
        EXPECT_EQ(CountdownText(TWhenDone::Sleep, 12), L"Komputer zostanie uśpiony za 12 sekund.");
    }
    TLanguageScope German(*FindLanguage(L"de"));
    EXPECT_EQ(CountdownText(TWhenDone::ShutDown, 60),
              L"Der Computer wird in 60 Sekunden heruntergefahren.");
}

TEST_F(MainFormTest, MenuOfTheListSpeaksTheLanguage) {
    TLanguageScope Russian(*FindLanguage(L"ru"));
    CreateForm();
    HMENU Menu = Form->GetPopupMenu();
    wchar_t Item[64] = L"";
    GetMenuStringW(Menu, IDM_OPENFOLDER, Item, 64, MF_BYCOMMAND);
    EXPECT_STREQ(Item, L"Открыть расположение файла");
}

TEST_F(MainFormTest, EveryTextFitsItsControlInEveryLanguageAndScaling) {
    testing_support::TempFolder Files(L"kestrova-fit");
    const std::wstring Clip = Files.WriteFile(L"clip.webm", "x").wstring();
    // How much wider than in English each main window gets, and its most grown control.
    std::map<std::string, int> Growth;
    std::map<std::string, std::pair<int, int>> Widest;
    for (const TLanguage& Language : SupportedLanguages()) {
        TLanguageScope Scope(Language);
        for (UINT Dpi : {96u, 144u, 192u}) {
            SCOPED_TRACE(testing::Message() << Name(Language) << " at " << Dpi << " DPI");
            CreateForm();
            HWND Main = Form->Handle();
            Rescale(Main, Dpi);
            // The website button's text is a name, the same in every language.
            ExpectTextsFit(Main, Dpi);
            RECT Client;
            GetClientRect(Main, &Client);
            if (Dpi == 96) {
                Growth[Name(Language)] = Client.right - MainFormLayout.ClientWidth;
                for (int i = 0; i < MainFormLayout.Count; ++i) {
                    // That label is sized to its text in every language.
                    if (MainFormLayout.Controls[i].Id == IDC_LBLFILESTOCONVERT)
                        continue;
                    HWND Control = GetDlgItem(Main, MainFormLayout.Controls[i].Id);
                    RECT Place = PlaceInParent(Control);
                    int Grew = Place.right - Place.left - MainFormLayout.Controls[i].Width;
                    if (Grew > Widest[Name(Language)].first)
                        Widest[Name(Language)] = {Grew, GetDlgCtrlID(Control)};
                }
            }
            if (&Language == &EnglishLanguage() && Dpi == 96) {
                EXPECT_EQ(Client.right, MainFormLayout.ClientWidth) << "English grew";
            }

            Drop({Clip});
            TLookingConverter Converter;
            bool Looked = false;
            Converter.Look = [&](HWND Progress) {
                SCOPED_TRACE("progress window");
                Rescale(Progress, Dpi);
                SetDlgItemTextW(Progress, IDC_LBLTIMELEFT, L"");
                // The file's name and the time left end in "..." when long; not fitted.
                ExpectTextsFit(Progress, Dpi, {IDC_LBLCURFILE});
                // Every choice of "When done:" fits its list.
                HWND List = GetDlgItem(Progress, IDC_CBWHENDONE);
                const auto Chosen = SendMessageW(List, CB_GETCURSEL, 0, 0);
                for (WPARAM Item = 0; Item < 4; ++Item) {
                    SendMessageW(List, CB_SETCURSEL, Item, 0);
                    ExpectTextsFit(Progress, Dpi, {IDC_LBLCURFILE});
                }
                SendMessageW(List, CB_SETCURSEL, static_cast<WPARAM>(Chosen), 0);
                ExpectBefore(Progress, IDC_LBLWHENDONE, IDC_CBWHENDONE);
                ExpectBefore(Progress, IDC_CBWHENDONE, IDCANCEL);
                Looked = true;
            };
            TProgressForm(*Form, &Converter).ShowModal();
            EXPECT_TRUE(Looked);

            static bool DetailsLooked;
            static UINT DetailsDpi;
            DetailsLooked = false;
            DetailsDpi = Dpi;
            SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR Id, DWORD) {
                KillTimer(nullptr, Id);
                HWND Details = FindWindowW(nullptr, L"clip.webm");
                if (!Details)
                    return;
                SCOPED_TRACE("Details window");
                Rescale(Details, DetailsDpi);
                ExpectTextsFit(Details, DetailsDpi, {IDC_EDDETAILS});
                DetailsLooked = true;
                PostMessageW(Details, WM_COMMAND, IDCANCEL, 0);
            });
            ShowDetails(Main, L"clip.webm", L"why");
            EXPECT_TRUE(DetailsLooked);

            // The countdown, with every number of seconds it can say, for both of its actions.
            static bool CountdownLooked;
            static UINT CountdownDpi;
            static TWhenDone CountdownAction;
            CountdownDpi = Dpi;
            for (TWhenDone Action : {TWhenDone::Sleep, TWhenDone::ShutDown}) {
                CountdownLooked = false;
                CountdownAction = Action;
                TCountdownForm Countdown(Main, Action);
                Countdown.Clock = [] { return 0.0; }; // it never runs out here
                SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR Id, DWORD) {
                    HWND Window = ThreadWindowWith(IDC_LBLCOUNTDOWN);
                    if (!Window)
                        return;
                    KillTimer(nullptr, Id);
                    SCOPED_TRACE("countdown");
                    Rescale(Window, CountdownDpi);
                    for (int Left = 1; Left <= TCountdownForm::Seconds; ++Left) {
                        SetDlgItemTextW(Window, IDC_LBLCOUNTDOWN,
                                        CountdownText(CountdownAction, Left).c_str());
                        ExpectTextsFit(Window, CountdownDpi);
                    }
                    ExpectBefore(Window, IDC_BTNNOW, IDCANCEL);
                    EXPECT_LE(PlaceInParent(GetDlgItem(Window, IDC_LBLCOUNTDOWN)).left,
                              PlaceInParent(GetDlgItem(Window, IDC_BTNNOW)).left);
                    CountdownLooked = true;
                    PostMessageW(Window, WM_COMMAND, IDCANCEL, 0);
                });
                EXPECT_FALSE(Countdown.ShowModal());
                EXPECT_TRUE(CountdownLooked);
            }
            DestroyForm();
        }
    }
    for (const auto& [Tag, Grew] : Growth)
        std::printf("main window at 96 DPI, %s: %+d px; most grown control %+d px (id %d)\n",
                    Tag.c_str(), Grew, Widest[Tag].first, Widest[Tag].second);
}
