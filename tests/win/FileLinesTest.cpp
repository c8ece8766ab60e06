// The progress window with several files converting side by side: one line per running file,
// the window growing and shrinking with them, Cancel stopping them all, and the hidden setting.
#include "Dpi.h"
#include "Layouts.h"
#include "MainFormFixture.h"
#include "Progress.h"
#include "TestSupport.h"

#include <commctrl.h>

#include <algorithm>
#include <functional>

using namespace testing_support;

namespace {

// The fake converter as jobs the batch runs side by side.
class TJobConverter : public TConverter {
public:
    bool ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                     TProgressProc ProgressProc, TConversionOutcome& Outcome) override {
        Outcome = ConvertWithFFmpeg(FakeConverterPath(), Source, Destination, FFmpegOptions,
                                    ProgressProc);
        return Outcome.Converted;
    }
    std::unique_ptr<TFFmpegJob> CreateJob(const std::wstring& Source,
                                          const std::wstring& Destination) override {
        return std::make_unique<TFFmpegJob>(FakeConverterPath(), Source, Destination,
                                            FFmpegOptions);
    }
};

// What the window showed at one look.
struct TLook {
    int Lines = 0;
    std::vector<std::wstring> Captions;
    int ClientHeight = 0;
    int OverallBarTop = 0, CancelTop = 0, LastBarTop = 0;
    UINT Dpi = 96;
};

// The window is looked at from a thread timer, which the batch's message handling dispatches.
std::function<void(HWND)> Looker;
void CALLBACK LookAtWindow(HWND, UINT, UINT_PTR, DWORD) {
    if (ProgressForm && Looker)
        Looker(static_cast<TProgressForm*>(ProgressForm)->Handle());
}

TLook Look(HWND W) {
    TLook look;
    look.Dpi = WindowDpi(W);
    auto TopOf = [W](int Id) {
        RECT Place;
        GetWindowRect(GetDlgItem(W, Id), &Place);
        MapWindowPoints(nullptr, W, reinterpret_cast<POINT*>(&Place), 2);
        return static_cast<int>(Place.top);
    };
    for (int Line = 0; GetDlgItem(W, FileLineId(Line, TFileLinePart::Caption)); ++Line) {
        look.Lines = Line + 1;
        look.Captions.push_back(
            WindowText(GetDlgItem(W, FileLineId(Line, TFileLinePart::Caption))));
        look.LastBarTop = TopOf(FileLineId(Line, TFileLinePart::Bar));
    }
    RECT Client;
    GetClientRect(W, &Client);
    look.ClientHeight = Client.bottom;
    look.OverallBarTop = TopOf(IDC_PBOVERALL);
    look.CancelTop = TopOf(IDCANCEL);
    return look;
}

class FileLinesTest : public MainFormTest {
protected:
    std::wstring Script(const std::wstring& Name, const std::string& Text) {
        return Dir.WriteFile(Name, Text).wstring();
    }
    // Runs the batch in a progress window with Places side by side, looking at it all along.
    void RunBatch(TProgressForm& Progress, int Places, std::function<void(HWND)> OnLook = {}) {
        Looker = [this, OnLook](HWND W) {
            Looks.push_back(Look(W));
            if (OnLook)
                OnLook(W);
        };
        const UINT_PTR Timer = SetTimer(nullptr, 0, 15, LookAtWindow);
        Progress.SideBySide = Places;
        Progress.ShowModal();
        KillTimer(nullptr, Timer);
        Looker = nullptr;
    }

    static constexpr const char* Duration = "err   Duration: 00:00:10.00, start: 0\\n\n";
    TempFolder Dir{L"kestrova-lines"};
    TJobConverter Converter;
    std::vector<TLook> Looks;
};

TEST_F(FileLinesTest, OneLinePerRunningFileAndTheWindowGrowsAndShrinks) {
    CreateForm();
    const std::string Quick = std::string(Duration) + "status 10000 2500 150\ncreate\nexit 0\n";
    const std::string Slow = std::string(Duration) + "status 10000 1000 250\ncreate\nexit 0\n";
    Drop({Script(L"a.webm", Quick), Script(L"b.webm", Slow), Script(L"c.webm", Quick)});
    TProgressForm Progress(*Form, &Converter);
    RunBatch(Progress, 3);

    EXPECT_EQ(Form->RowCount(), 0);
    const auto Three =
        std::find_if(Looks.begin(), Looks.end(), [](const TLook& L) { return L.Lines == 3; });
    ASSERT_NE(Three, Looks.end());
    const UINT Dpi = Three->Dpi;
    EXPECT_EQ(Three->Captions, (std::vector<std::wstring>{L"a.webm (1 of 3):", L"b.webm (2 of 3):",
                                                          L"c.webm (3 of 3):"}));
    EXPECT_EQ(Three->ClientHeight,
              ScaleForDpi(ProgressFormLayout.ClientHeight + 2 * FileLineHeight, Dpi));
    EXPECT_EQ(Three->LastBarTop, ScaleForDpi(27 + 2 * FileLineHeight, Dpi));
    EXPECT_EQ(Three->OverallBarTop, ScaleForDpi(74 + 2 * FileLineHeight, Dpi));
    EXPECT_EQ(Three->CancelTop,
              ScaleForDpi(PlaceOf(ProgressFormLayout, IDCANCEL).Top + 2 * FileLineHeight, Dpi));

    // b outlasts the others: the window ends with its line alone, laid out as for one file.
    const auto Alone = std::find_if(Three, Looks.end(), [](const TLook& L) {
        return L.Lines == 1 && L.Captions[0] == L"b.webm (2 of 3):";
    });
    ASSERT_NE(Alone, Looks.end());
    EXPECT_EQ(Alone->ClientHeight, ScaleForDpi(ProgressFormLayout.ClientHeight, Dpi));
    EXPECT_EQ(Alone->OverallBarTop, ScaleForDpi(74, Dpi));
}

TEST_F(FileLinesTest, CancelStopsEveryRunningFileAndLeavesTheRestAlone) {
    CreateForm();
    const std::string Hangs = std::string(Duration) + "create\nstatus 2500 2500 0\nhang\n";
    Drop({Script(L"a.webm", Hangs), Script(L"b.webm", Hangs), Script(L"c.webm", Hangs)});
    TProgressForm Progress(*Form, &Converter);
    bool Clicked = false;
    RunBatch(Progress, 2, [&](HWND W) {
        if (!Clicked && Looks.back().Lines == 2) {
            Clicked = true;
            PostMessageW(W, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(W, IDCANCEL)));
        }
    });

    EXPECT_TRUE(Clicked);
    EXPECT_EQ(Progress.Summary(), TBatchSummary::None);
    ASSERT_EQ(Form->RowCount(), 3);
    EXPECT_EQ(Form->RowImage(0), iiFailed);
    EXPECT_EQ(Form->RowImage(1), iiFailed);
    EXPECT_EQ(Form->RowImage(2), iiFilmReel);
    for (const wchar_t* Name : {L"a.partial.avi", L"b.partial.avi", L"a.avi", L"b.avi"})
        EXPECT_FALSE(std::filesystem::exists(Dir.Path() / Name)) << PathFromWide(Name).string();
}

// A longer "When done:" (a translation's) widens the window: every file line widens with it,
// each percentage flush with the end of its own bar.
TEST_F(FileLinesTest, EveryLineWidensWithTheWindow) {
    CreateForm();
    const std::string Hangs = std::string(Duration) + "create\nstatus 2500 2500 0\nhang\n";
    Drop({Script(L"a.webm", Hangs), Script(L"b.webm", Hangs), Script(L"c.webm", Hangs)});
    TProgressForm Progress(*Form, &Converter);
    bool Widened = false;
    std::vector<RECT> Bars, Percentages;
    RECT Overall{}, Client{};
    auto PlaceOfControl = [](HWND W, int Id) {
        RECT Place;
        GetWindowRect(GetDlgItem(W, Id), &Place);
        MapWindowPoints(nullptr, W, reinterpret_cast<POINT*>(&Place), 2);
        return Place;
    };
    RunBatch(Progress, 3, [&](HWND W) {
        if (Widened || Looks.back().Lines != 3)
            return;
        Widened = true;
        SetDlgItemTextW(W, IDC_LBLWHENDONE,
                        L"When every one of these files is done, and not a moment sooner:");
        RECT Now;
        GetWindowRect(W, &Now);
        const UINT Dpi = WindowDpi(W);
        SendMessageW(W, WM_DPICHANGED, MAKEWPARAM(Dpi, Dpi), reinterpret_cast<LPARAM>(&Now));
        for (int Line = 0; Line < 3; ++Line) {
            Bars.push_back(PlaceOfControl(W, FileLineId(Line, TFileLinePart::Bar)));
            Percentages.push_back(PlaceOfControl(W, FileLineId(Line, TFileLinePart::Percentage)));
        }
        Overall = PlaceOfControl(W, IDC_PBOVERALL);
        GetClientRect(W, &Client);
        PostMessageW(W, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(W, IDCANCEL)));
    });

    ASSERT_TRUE(Widened);
    const UINT Dpi = Looks.back().Dpi;
    EXPECT_GT(Client.right,
              ScaleForDpi(ProgressFormLayout.ClientWidth, Dpi) + ScaleForDpi(50, Dpi));
    for (size_t Line = 0; Line < Bars.size(); ++Line) {
        SCOPED_TRACE(testing::Message() << "line " << Line);
        EXPECT_EQ(Bars[Line].right, Overall.right);
        EXPECT_EQ(Bars[Line].left, Overall.left);
        EXPECT_EQ(Percentages[Line].right, Bars[Line].right);
    }
}

TEST_F(FileLinesTest, TheHiddenSettingFixesHowManyRunAtOnce) {
    CreateForm();
    const DWORD Two = 2, Many = 99;
    ASSERT_EQ(RegSetValueExW(SettingsKey(), L"ConversionsAtOnce", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&Two), sizeof Two),
              ERROR_SUCCESS);
    EXPECT_EQ(Form->ConversionsAtOnce(), 2);
    ASSERT_EQ(RegSetValueExW(SettingsKey(), L"ConversionsAtOnce", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&Many), sizeof Many),
              ERROR_SUCCESS);
    EXPECT_EQ(Form->ConversionsAtOnce(),
              ChooseSideBySide(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS)))
        << "out of range: the machine decides";
}

} // namespace
