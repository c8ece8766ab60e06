// The progress window's player-safe length check (bounded, cancellable, then the 2 GB question)
// and its "When done:" choice: remembered, and applied once a batch has run to its end (the
// countdown, sleep, shutting down and closing, all through the test hooks).
#include "Countdown.h"
#include "MainFormFixture.h"
#include "MessagePump.h"
#include "Progress.h"
#include "TestSupport.h"
#include "WatchedConverter.h"
#include "WindowLookups.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <utility>

using namespace testing_support;

namespace {

// Runs Act once, from a thread timer, inside whatever modal loop runs Delay ms from now.
class TLater {
public:
    TLater(UINT Delay, std::function<void()> Act) {
        Pending = std::move(Act);
        Timer = SetTimer(nullptr, 0, Delay, Fire);
    }
    ~TLater() { KillTimer(nullptr, Timer); }

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR Id, DWORD) {
        KillTimer(nullptr, Id);
        if (auto Act = std::exchange(Pending, nullptr))
            Act();
    }
    static inline std::function<void()> Pending;
    UINT_PTR Timer;
};

void Press(HWND Window, int Id) {
    PostMessageW(Window, WM_COMMAND, MAKEWPARAM(Id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(Window, Id)));
}

// Converts without converting: the file counts as done at once. Look sees the progress window at
// work.
class TCountingConverter : public TConverter {
public:
    int Calls = 0;
    std::function<void(HWND Progress)> Look;
    bool ConvertFile(const std::wstring&, const std::wstring&, TProgressProc,
                     TConversionOutcome& Outcome) override {
        ++Calls;
        if (Look)
            Look(static_cast<TProgressForm*>(ProgressForm)->Handle());
        Outcome.Converted = true;
        return true;
    }
};

struct TSuspendCall {
    bool Hibernate, Force, WakeupEventsDisabled;
};
struct TExitCall {
    UINT Flags;
    DWORD Reason;
};

class WhenDoneTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        Application.Hooks.SetSuspendState = [this](bool Hibernate, bool Force, bool Wake) {
            Suspends.push_back({Hibernate, Force, Wake});
            return NextPowerError;
        };
        Application.Hooks.ShutDownWindows = [this](UINT Flags, DWORD Reason) {
            Exits.push_back({Flags, Reason});
            return NextPowerError;
        };
    }

    // A fake converter script as a source file.
    std::wstring Script(const std::wstring& Name, const std::string& Text) {
        return Dir.WriteFile(Name, Text).wstring();
    }
    // A real video, to be converted by the real converter through the Convert button.
    std::wstring Sample(const std::wstring& Name, const wchar_t* From = L"vp8-vorbis.webm") {
        std::filesystem::copy_file(SamplesFolder() / From, Dir.Path() / Name);
        return (Dir.Path() / Name).wstring();
    }
    void StoreWhenDone(DWORD Choice) {
        HKEY Key = SettingsKey();
        RegSetValueExW(Key, L"WhenDone", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Choice),
                       sizeof Choice);
        RegCloseKey(Key);
    }
    // The countdown's clock runs out at its first look after the start.
    void CountdownRunsOut() {
        Application.Hooks.CountdownClock = [Calls = 0]() mutable {
            return Calls++ == 0 ? 1000.0 : 1000.0 + TCountdownForm::Seconds;
        };
    }

    TempFolder Dir{L"kestrova-whendone"};
    std::vector<TSuspendCall> Suspends;
    std::vector<TExitCall> Exits;
    DWORD NextPowerError = 0;
};

constexpr const char* Hour3 = "err   Duration: 03:00:00.00, start: 0\\n\nexit 1\n";
constexpr const char* Minute1 = "err   Duration: 00:01:00.00, start: 0\\n\nexit 1\n";
constexpr const char* Stalled = "err Input #0, matroska\\n\nhang\n";

} // namespace

// Each length is read within its limit while the window shows the check; a file that does not
// answer in time is named for the summary and left out of the question, which names only the
// long file. No ends the batch with nothing converted or marked; Yes converts all.
TEST_F(WhenDoneTest, LengthCheckAsksAboutLargeFilesAndSkipsThoseNotReadInTime) {
    CreateForm();
    Drop({Script(L"film.webm", Hour3), Script(L"share.webm", Stalled),
          Script(L"short.webm", Minute1)});
    for (int Answer : {IDNO, IDYES}) {
        SCOPED_TRACE(Answer == IDYES ? "yes" : "no");
        std::wstring CaptionAtQuestion, PercentAtQuestion;
        std::wstring QuestionOwner;
        Boxes.clear();
        Application.Hooks.ShowMessageBox = [&](HWND Owner, const std::wstring& Text,
                                               const std::wstring& Caption, UINT Type) {
            Boxes.push_back({Text, Caption, Type});
            QuestionOwner = WindowText(Owner);
            CaptionAtQuestion = WindowText(GetDlgItem(Owner, IDC_LBLCURFILE));
            PercentAtQuestion = WindowText(GetDlgItem(Owner, IDC_LBLCURFILEPERCENTAGE));
            return Answer;
        };
        TCountingConverter Converter;
        TProgressForm Progress(*Form, &Converter);
        Progress.CheckPlayerSafeLengths = true;
        Progress.LengthConverterPath = FakeConverterPath();
        // Long enough for a converter to start on a busy machine under Wine.
        Progress.LengthLimitMs = 5000;
        auto Start = std::chrono::steady_clock::now();
        Progress.ShowModal();
        EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(40));

        ASSERT_EQ(Boxes.size(), 1u) << testing::PrintToString(Progress.LengthsNotRead());
        EXPECT_EQ(Boxes[0].Text,
                  L"These files will probably become larger than 2 GB, which many DVD and TV "
                  L"players cannot read:\n\nfilm.webm (3:00:00, about 3.4 GB)\n\nKestrova does "
                  L"not split files. Convert them anyway?");
        EXPECT_EQ(Boxes[0].Type, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
        EXPECT_EQ(QuestionOwner, L"Converting") << "asked from the progress window";
        EXPECT_EQ(CaptionAtQuestion, L"Reading the length of short.webm (3 of 3)");
        EXPECT_EQ(PercentAtQuestion, L"100%");
        EXPECT_EQ(Progress.LengthsNotRead(), std::vector<std::wstring>{L"share.webm"});
        if (Answer == IDNO) {
            EXPECT_EQ(Converter.Calls, 0);
            EXPECT_FALSE(Progress.RanToEnd());
            EXPECT_EQ(Progress.Summary(), TBatchSummary::None);
            ASSERT_EQ(Form->RowCount(), 3);
            for (int Row = 0; Row < 3; ++Row)
                EXPECT_EQ(Form->RowImage(Row), iiFilmReel) << "nothing was marked";
        } else {
            EXPECT_EQ(Converter.Calls, 3);
            EXPECT_TRUE(Progress.RanToEnd());
            EXPECT_EQ(Form->RowCount(), 0);
        }
    }
}

// Cancel in the middle of a read that would otherwise wait a minute ends the check at once: no
// question, nothing converted or marked, and the computer is let sleep again.
TEST_F(WhenDoneTest, CancelDuringTheLengthCheckConvertsNothing) {
    std::vector<EXECUTION_STATE> States;
    Application.Hooks.SetExecutionState = [&](EXECUTION_STATE State) { States.push_back(State); };
    CreateForm();
    Drop({Script(L"share.webm", Stalled), Script(L"short.webm", Minute1)});
    TCountingConverter Converter;
    TProgressForm Progress(*Form, &Converter);
    Progress.CheckPlayerSafeLengths = true;
    Progress.LengthConverterPath = FakeConverterPath();
    Progress.LengthLimitMs = 60'000;
    std::wstring CaptionAtCancel;
    TLater Cancel(500, [&] {
        CaptionAtCancel = WindowText(GetDlgItem(Progress.Handle(), IDC_LBLCURFILE));
        Press(Progress.Handle(), IDCANCEL);
    });
    auto Start = std::chrono::steady_clock::now();
    Progress.ShowModal();
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(20));
    EXPECT_EQ(CaptionAtCancel, L"Reading the length of share.webm (1 of 2)");
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(Converter.Calls, 0);
    EXPECT_FALSE(Progress.RanToEnd());
    EXPECT_EQ(Progress.Summary(), TBatchSummary::None);
    EXPECT_TRUE(Progress.LengthsNotRead().empty()) << "cancelled, not timed out";
    EXPECT_EQ(Form->RowImage(0), iiFilmReel);
    EXPECT_EQ(States,
              (std::vector<EXECUTION_STATE>{ES_CONTINUOUS | ES_SYSTEM_REQUIRED, ES_CONTINUOUS}));
}

// The list offers the four choices, starts at the stored one (Do nothing without one) and keeps
// a new choice in the settings key at once.
TEST_F(WhenDoneTest, ChoiceIsOfferedRememberedAndReadBack) {
    CreateForm();
    Drop({Script(L"a.webm", Minute1), Script(L"b.webm", Minute1)});
    std::vector<std::wstring> Items;
    int Selected = -2;
    TCountingConverter Converter;
    Converter.Look = [&](HWND Window) {
        HWND List = GetDlgItem(Window, IDC_CBWHENDONE);
        if (Items.empty()) {
            for (int i = 0; i < ComboBox_GetCount(List); ++i) {
                wchar_t Text[64] = {};
                ComboBox_GetLBText(List, i, Text);
                Items.push_back(Text);
            }
            Selected = ComboBox_GetCurSel(List);
            EXPECT_EQ(WindowText(GetDlgItem(Window, IDC_LBLWHENDONE)), L"When &done:");
            ComboBox_SetCurSel(List, 2);
            SendMessageW(Window, WM_COMMAND, MAKEWPARAM(IDC_CBWHENDONE, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(List));
        }
    };
    {
        TProgressForm Progress(*Form, &Converter);
        Progress.ShowModal();
        EXPECT_EQ(Progress.WhenDone(), TWhenDone::Sleep);
    }
    EXPECT_EQ(Items, (std::vector<std::wstring>{L"Do nothing", L"Close Kestrova", L"Sleep",
                                                L"Shut down"}));
    EXPECT_EQ(Selected, 0);
    HKEY Key = SettingsKey();
    DWORD Stored = 0, Size = sizeof Stored, Type = 0;
    EXPECT_EQ(
        RegQueryValueExW(Key, L"WhenDone", nullptr, &Type, reinterpret_cast<BYTE*>(&Stored), &Size),
        ERROR_SUCCESS);
    RegCloseKey(Key);
    EXPECT_EQ(Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Stored, 2u);

    // The next window starts at it; a value out of range means Do nothing.
    Drop({Script(L"c.webm", Minute1)});
    Items.clear();
    Converter.Look = [&](HWND Window) {
        Selected = ComboBox_GetCurSel(GetDlgItem(Window, IDC_CBWHENDONE));
    };
    TProgressForm(*Form, &Converter).ShowModal();
    EXPECT_EQ(Selected, 2);
    StoreWhenDone(7);
    Drop({Script(L"d.webm", Minute1)});
    TProgressForm Third(*Form, &Converter);
    Third.ShowModal();
    EXPECT_EQ(Selected, 0);
    EXPECT_EQ(Third.WhenDone(), TWhenDone::Nothing);
}

// Sleep after a batch that ran to its end: the countdown runs out, Windows is asked to sleep (not
// hibernate, wake-up events kept), and the summary is there for whoever wakes the computer.
// Refused by Windows, the user is told why, and still gets the summary.
TEST_F(WhenDoneTest, SleepComesAfterTheCountdownWithTheSummaryLeftOnScreen) {
    StoreWhenDone(2);
    CountdownRunsOut();
    CreateForm();
    Drop({Sample(L"clip.webm")});
    Click(IDC_BTNCONVERT);
    ASSERT_EQ(Suspends.size(), 1u);
    EXPECT_FALSE(Suspends[0].Hibernate);
    EXPECT_FALSE(Suspends[0].Force);
    EXPECT_FALSE(Suspends[0].WakeupEventsDisabled);
    EXPECT_TRUE(Exits.empty());
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, L"The conversion is finished.");
    EXPECT_TRUE(IsWindow(Form->Handle()));

    NextPowerError = ERROR_ACCESS_DENIED;
    Boxes.clear();
    CountdownRunsOut();
    Drop({Sample(L"again.webm")});
    Click(IDC_BTNCONVERT);
    EXPECT_EQ(Suspends.size(), 2u);
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[0].Text.rfind(L"Windows did not put the computer to sleep: ", 0), 0u)
        << testing::PrintToString(Boxes[0].Text);
    EXPECT_EQ(Boxes[0].Type & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(Boxes[1].Text, L"The conversion is finished.");
}

// Shut down asks Windows without forcing, and the closing program shows no summary. Cancel in the
// countdown keeps the computer on: nothing is asked, and the summary is shown as usual.
TEST_F(WhenDoneTest, ShutDownAsksWithoutForcingUnlessTheCountdownIsCancelled) {
    StoreWhenDone(3);
    CountdownRunsOut();
    CreateForm();
    Drop({Sample(L"clip.webm")});
    Click(IDC_BTNCONVERT);
    ASSERT_EQ(Exits.size(), 1u);
    EXPECT_EQ(Exits[0].Flags, static_cast<UINT>(EWX_SHUTDOWN | EWX_POWEROFF));
    EXPECT_EQ(Exits[0].Flags & (EWX_FORCE | EWX_FORCEIFHUNG), 0u);
    EXPECT_EQ(Exits[0].Reason,
              static_cast<DWORD>(SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED));
    EXPECT_TRUE(Suspends.empty());
    EXPECT_TRUE(Boxes.empty()) << "Windows closes the program; no box waits for an answer";

    Application.Hooks.CountdownClock = nullptr;
    Drop({Sample(L"again.webm")});
    std::wstring Said, Now;
    bool CancelFocused = false;
    // Once the batch has ended and the countdown is up.
    TEvery Decline(100, [&] {
        HWND Countdown = ThreadWindowWith(IDC_LBLCOUNTDOWN);
        if (!Countdown || !Said.empty())
            return;
        Said = WindowText(GetDlgItem(Countdown, IDC_LBLCOUNTDOWN));
        Now = WindowText(GetDlgItem(Countdown, IDC_BTNNOW));
        CancelFocused = GetFocus() == GetDlgItem(Countdown, IDCANCEL);
        Press(Countdown, IDCANCEL);
    });
    Click(IDC_BTNCONVERT);
    EXPECT_EQ(Said, L"The computer will shut down in 60 seconds.");
    EXPECT_EQ(Now, L"&Shut Down Now");
    EXPECT_TRUE(CancelFocused) << "a stray Enter keeps the computer on";
    EXPECT_EQ(Exits.size(), 1u) << "nothing asked after Cancel";
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, L"The conversion is finished.");
}

// A cancelled batch has someone at the computer: it neither sleeps, nor shuts down, nor closes.
TEST_F(WhenDoneTest, ACancelledBatchKeepsTheComputerOnAndTheProgramOpen) {
    for (DWORD Choice : {1u, 2u, 3u}) {
        SCOPED_TRACE(Choice);
        StoreWhenDone(Choice);
        CountdownRunsOut();
        CreateForm();
        Drop({Sample(L"long" + std::to_wstring(Choice) + L".webm", L"long.webm")});
        bool Pressed = false;
        TEvery Cancel(200, [&] {
            HWND Progress = ThreadWindowWith(IDC_PBOVERALL);
            if (Progress && !Pressed) {
                Pressed = true;
                Press(Progress, IDCANCEL);
            }
        });
        Click(IDC_BTNCONVERT);
        PumpFor(300);
        EXPECT_TRUE(IsWindow(Form->Handle()));
        EXPECT_EQ(Form->RowImage(0), iiFailed) << "the conversion was cancelled";
        EXPECT_TRUE(Suspends.empty());
        EXPECT_TRUE(Exits.empty());
    }
}

// Close Kestrova: the program ends after a batch that ran to its end, without a summary.
TEST_F(WhenDoneTest, CloseKestrovaClosesAfterTheBatch) {
    StoreWhenDone(1);
    CreateForm();
    Drop({Sample(L"clip.webm")});
    Click(IDC_BTNCONVERT);
    PumpFor(300);
    EXPECT_FALSE(IsWindow(Form->Handle()));
    EXPECT_TRUE(std::filesystem::exists(Dir.Path() / L"clip.avi"));
    for (const TRecordedBox& Box : Boxes)
        EXPECT_NE(Box.Text, L"The conversion is finished.");
    EXPECT_TRUE(Suspends.empty());
    EXPECT_TRUE(Exits.empty());
}

// The countdown on its own: it counts down in whole seconds, says "1 second", and ends by itself
// when the time has run out; Sleep Now goes ahead at once.
TEST_F(WhenDoneTest, CountdownCountsDownAndEndsByItself) {
    CreateForm();
    double Now = 0;
    std::vector<std::wstring> Said;
    TCountdownForm Countdown(Form->Handle(), TWhenDone::Sleep);
    Countdown.Clock = [&] { return Now; };
    std::function<void()> Step;
    Step = [&] {
        HWND Window = ThreadWindowWith(IDC_LBLCOUNTDOWN);
        if (Window) {
            std::wstring Text = WindowText(GetDlgItem(Window, IDC_LBLCOUNTDOWN));
            if (Said.empty() || Said.back() != Text)
                Said.push_back(Text);
        }
        Now += 29.6;
    };
    // Every tick moves the clock on by 29.6 s: 60 seconds, 31, 1, then the end.
    std::optional<TEvery> Ticks(std::in_place, 250, Step);
    auto Start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Countdown.ShowModal());
    Ticks.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(15));
    ASSERT_GE(Said.size(), 2u);
    EXPECT_EQ(Said.front(), L"The computer will sleep in 60 seconds.");
    EXPECT_NE(std::find(Said.begin(), Said.end(), L"The computer will sleep in 31 seconds."),
              Said.end());

    // One second left reads as one.
    Now = 0;
    TCountdownForm Last(Form->Handle(), TWhenDone::Sleep);
    Last.Clock = [&] { return Now; };
    std::wstring OneLeft, NowButton;
    TLater Look(300, [&] {
        Now = 59.5;
        PumpFor(500);
        HWND Window = ThreadWindowWith(IDC_LBLCOUNTDOWN);
        ASSERT_NE(Window, nullptr);
        OneLeft = WindowText(GetDlgItem(Window, IDC_LBLCOUNTDOWN));
        NowButton = WindowText(GetDlgItem(Window, IDC_BTNNOW));
        Press(Window, IDC_BTNNOW);
    });
    EXPECT_TRUE(Last.ShowModal());
    EXPECT_EQ(OneLeft, L"The computer will sleep in 1 second.");
    EXPECT_EQ(NowButton, L"&Sleep Now");
}
