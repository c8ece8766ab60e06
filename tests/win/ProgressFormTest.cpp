// The progress window over the real main window: bars, labels, captions, the list afterwards,
// Cancel and Esc, closing by itself, and the summary of the Convert button.
#include "Layouts.h"
#include "MainFormFixture.h"
#include "Power.h"
#include "Progress.h"
#include "TestSupport.h"
#include "WatchedConverter.h"

#include <commctrl.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

using namespace testing_support;

namespace {

// What the window showed at one progress report.
struct TSnapshot {
    std::wstring Caption, CurPercent, OverallPercent;
    int CurPos, OverallPos, OverallMax;
    bool Marquee;
};

// At every report the window is read back after it has been updated, and the test may act
// (press keys, click).
class TRecordingConverter : public TWatchedConverter {
public:
    std::vector<TSnapshot> Shots;
    std::function<void(HWND Window, int Report)> OnReport;
    HWND Window = nullptr;

private:
    void Reported(HWND W) override {
        Window = W;
        auto Text = [W](int Id) {
            wchar_t Buffer[512] = {};
            GetDlgItemTextW(W, Id, Buffer, 512);
            return std::wstring(Buffer);
        };
        HWND Cur = GetDlgItem(W, IDC_PBCURFILE), All = GetDlgItem(W, IDC_PBOVERALL);
        Shots.push_back({Text(IDC_LBLCURFILE), Text(IDC_LBLCURFILEPERCENTAGE),
                         Text(IDC_LBLOVERALLPERCENTAGE),
                         static_cast<int>(SendMessageW(Cur, PBM_GETPOS, 0, 0)),
                         static_cast<int>(SendMessageW(All, PBM_GETPOS, 0, 0)),
                         static_cast<int>(SendMessageW(All, PBM_GETRANGE, FALSE, 0)),
                         (GetWindowLongPtrW(Cur, GWL_STYLE) & PBS_MARQUEE) != 0});
        if (OnReport)
            OnReport(W, static_cast<int>(Shots.size()));
    }
};

class ProgressFormTest : public MainFormTest {
protected:
    // A fake converter script as a source file, padded to Size bytes so the row has that size.
    std::wstring Script(const std::wstring& Name, std::string Text, size_t Size = 0) {
        if (Text.size() + 2 <= Size) {
            size_t Filler = Size - Text.size() - 2;
            Text.push_back('#');
            Text.append(Filler, '-');
            Text.push_back('\n');
        }
        return Dir.WriteFile(Name, Text).wstring();
    }

    static constexpr const char* Good =
        "err   Duration: 00:00:10.00, start: 0\\n\nstatus 10000 5000 20\ncreate\nexit 0\n";
    // Half way, then a pause long enough that the half is reported on its own even on a busy
    // machine.
    static constexpr const char* HalfThenPause =
        "err   Duration: 00:00:10.00, start: 0\\n\n"
        "err frame=  125 fps=25 q=2.0 size=    0kB time=00:00:05.00 bitrate= 800.0kbits/s\\r\n"
        "sleep 300\n"
        "err frame=  250 fps=25 q=2.0 size=    0kB time=00:00:10.00 bitrate= 800.0kbits/s\\r\n"
        "create\nexit 0\n";
    static constexpr const char* Bad = "err   Duration: 00:00:10.00, start: 0\\n\nexit 1\n";
    // Ten minutes in steps of 5 s every 50 ms: long enough that a cancel lands well inside it on a
    // busy machine.
    static constexpr const char* Long =
        "err   Duration: 00:10:00.00, start: 0\\n\nstatus 600000 5000 50\ncreate\nexit 0\n";

    int RowImage(int Row) { return Form->RowImage(Row); }

    TempFolder Dir{L"kestrova-progress"};
    TRecordingConverter Converter;
};

TEST_F(ProgressFormTest, FailedRowStaysMarkedAndCaptionsCountFromTheStart) {
    CreateForm();
    Drop({Script(L"one.webm", Good), Script(L"two.webm", Bad), Script(L"three.webm", Good)});
    ASSERT_EQ(Form->RowCount(), 3);

    TProgressForm Progress(*Form, &Converter);
    Progress.ShowModal(); // returns only once the window has closed by itself

    EXPECT_TRUE(Progress.IsDone());
    ASSERT_EQ(Form->RowCount(), 1);
    EXPECT_EQ(Form->RowName(0), L"two.webm");
    EXPECT_EQ(RowImage(0), iiFailed);
    EXPECT_EQ(Progress.Summary(), TBatchSummary::FinishedWithFailures);
    EXPECT_TRUE(std::filesystem::exists(Dir.Path() / L"one.avi"));
    EXPECT_FALSE(std::filesystem::exists(Dir.Path() / L"two.avi"));

    std::vector<std::wstring> Captions;
    for (const TSnapshot& Shot : Converter.Shots)
        if (Captions.empty() || Captions.back() != Shot.Caption)
            Captions.push_back(Shot.Caption);
    EXPECT_EQ(Captions, (std::vector<std::wstring>{L"one.webm (1 of 3):", L"two.webm (2 of 3):",
                                                   L"three.webm (3 of 3):"}));
    EXPECT_FALSE(IsWindow(Converter.Window)) << "the window is gone once its modal run ended";
}

TEST_F(ProgressFormTest, OverallProgressIsWeightedBySizeWithHalvesToEven) {
    CreateForm();
    Drop({Script(L"small.webm", Good, 100), Script(L"large.webm", HalfThenPause, 300)});
    ASSERT_EQ(Form->RowFileSize(0), 100);
    ASSERT_EQ(Form->RowFileSize(1), 300);

    TProgressForm Progress(*Form, &Converter);
    Progress.ShowModal();

    bool SawHalfOfSecond = false;
    for (const TSnapshot& Shot : Converter.Shots) {
        EXPECT_EQ(Shot.OverallMax, 400);
        if (Shot.Caption == L"large.webm (2 of 2):" && Shot.CurPos == 50) {
            SawHalfOfSecond = true;
            EXPECT_EQ(Shot.OverallPos, 250);
            EXPECT_EQ(Shot.OverallPercent, L"62%");
            EXPECT_EQ(Shot.CurPercent, L"50%");
        }
    }
    EXPECT_TRUE(SawHalfOfSecond);
    EXPECT_EQ(Converter.Shots.back().OverallPercent, L"100%");
    EXPECT_EQ(Form->RowCount(), 0);
}

TEST_F(ProgressFormTest, MarqueeWhileNoDurationIsKnown) {
    CreateForm();
    Drop({Script(L"live.webm", "err   Duration: N/A, start: 0\\n\nsleep 20\nerr frame= 1 "
                               "time=00:00:01.00 x\\r\ncreate\nexit 0\n")});
    TProgressForm Progress(*Form, &Converter);
    Progress.ShowModal();
    ASSERT_FALSE(Converter.Shots.empty());
    for (const TSnapshot& Shot : Converter.Shots) {
        EXPECT_TRUE(Shot.Marquee);
        EXPECT_EQ(Shot.CurPercent, L"");
    }
}

TEST_F(ProgressFormTest, EscDuringTheSecondOfThreeStopsIt) {
    CreateForm();
    Drop({Script(L"a.webm", Good), Script(L"b.webm", Long), Script(L"c.webm", Good)});
    Converter.OnReport = [this](HWND Window, int) {
        // The bar keeps the previous file's end until the new file's duration is known (a marquee
        // meanwhile): wait for the second file's own progress.
        const TSnapshot& Shot = Converter.Shots.back();
        if (Form->RowName(0) == L"b.webm" && !Shot.Marquee && Shot.CurPos >= 5) {
            // As the keyboard does: to the focused control, through the window's message loop.
            HWND Focus = GetFocus();
            PostMessageW(Focus ? Focus : Window, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            PostMessageW(Focus ? Focus : Window, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        }
    };
    TProgressForm Progress(*Form, &Converter);
    Progress.ShowModal();

    EXPECT_TRUE(Progress.Cancel);
    EXPECT_EQ(Progress.Summary(), TBatchSummary::None);
    ASSERT_EQ(Form->RowCount(), 2);
    EXPECT_EQ(Form->RowName(0), L"b.webm");
    EXPECT_EQ(RowImage(0), iiFailed);
    EXPECT_EQ(Form->RowName(1), L"c.webm");
    EXPECT_EQ(RowImage(1), iiFilmReel);
    EXPECT_FALSE(std::filesystem::exists(Dir.Path() / L"c.avi"));
    EXPECT_LT(Converter.Shots.back().CurPos, 50) << "stopped well before the end of the file";
}

TEST_F(ProgressFormTest, CancelButtonHoldsTheFocusAndStopsTheBatch) {
    CreateForm();
    Drop({Script(L"a.webm", Long), Script(L"b.webm", Good)});
    bool CancelHadFocus = false;
    Converter.OnReport = [&](HWND Window, int Report) {
        if (Report == 2) {
            HWND Cancel = GetDlgItem(Window, IDCANCEL);
            CancelHadFocus = GetFocus() == Cancel;
            PostMessageW(Window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(Cancel));
        }
    };
    TProgressForm Progress(*Form, &Converter);
    Progress.ShowModal();
    EXPECT_TRUE(CancelHadFocus);
    EXPECT_EQ(Form->RowCount(), 2);
    EXPECT_EQ(RowImage(0), iiFailed);
    EXPECT_EQ(RowImage(1), iiFilmReel);
}

TEST_F(ProgressFormTest, WindowLayoutAndCaption) {
    CreateForm();
    Drop({Script(L"a.webm", Good)});
    Converter.OnReport = [&](HWND Window, int Report) {
        if (Report != 1)
            return;
        wchar_t Caption[64] = {};
        GetWindowTextW(Window, Caption, 64);
        EXPECT_STREQ(Caption, L"Converting");
        EXPECT_TRUE(IsWindowVisible(Window)) << "shown while the batch runs, not after it";
        RECT Overall;
        GetClientRect(GetDlgItem(Window, IDC_LBLOVERALL), &Overall);
        EXPECT_GE(Overall.right, TextExtent(GetDlgItem(Window, IDC_LBLOVERALL)).cx)
            << "\"Overall progress:\" is not cut";
        EXPECT_EQ(GetWindowLongPtrW(Window, GWL_STYLE) & WS_SYSMENU, 0);
        EXPECT_EQ(GetWindow(Window, GW_OWNER), Form->Handle());
        EXPECT_FALSE(IsWindowEnabled(Form->Handle())) << "modal over the main window";
        // Centred over the main window.
        RECT Main, Own;
        GetWindowRect(Form->Handle(), &Main);
        GetWindowRect(Window, &Own);
        EXPECT_NEAR((Own.left + Own.right) / 2, (Main.left + Main.right) / 2, 2);
        EXPECT_NEAR((Own.top + Own.bottom) / 2, (Main.top + Main.bottom) / 2, 2);
        // Percentage labels keep their right edge flush with the bars.
        RECT Bar, Label;
        GetWindowRect(GetDlgItem(Window, IDC_PBCURFILE), &Bar);
        GetWindowRect(GetDlgItem(Window, IDC_LBLCURFILEPERCENTAGE), &Label);
        EXPECT_NEAR(Label.right, Bar.right, 1);
    };
    TProgressForm Progress(*Form, &Converter);
    Progress.ShowModal();
    EXPECT_TRUE(IsWindowEnabled(Form->Handle()));
}

// The Convert button with the real converter beside the tests.
TEST_F(ProgressFormTest, ConvertButtonShowsTheSummary) {
    std::filesystem::path Samples = SamplesFolder();
    std::filesystem::copy_file(Samples / L"vp8-vorbis.webm", Dir.Path() / L"good.webm");
    std::filesystem::copy_file(Samples / L"corrupt.webm", Dir.Path() / L"bad.webm");
    CreateForm();
    Drop({(Dir.Path() / L"good.webm").wstring(), (Dir.Path() / L"bad.webm").wstring()});
    Click(IDC_BTNCONVERT);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, L"The conversion is finished. Some files were not converted.\n\n"
                             L"bad.webm: the file is not a WebM video, or it is damaged");
    EXPECT_EQ(Boxes[0].Caption, L"Information");
    EXPECT_EQ(Boxes[0].Type & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
    ASSERT_EQ(Form->RowCount(), 1);
    EXPECT_EQ(Form->RowName(0), L"bad.webm");
    EXPECT_EQ(RowImage(0), iiFailed);
    EXPECT_EQ(Form->RowFailureReason(0), L"the file is not a WebM video, or it is damaged");
    EXPECT_TRUE(std::filesystem::exists(Dir.Path() / L"good.avi"));
    EXPECT_FALSE(std::filesystem::exists(Dir.Path() / L"bad.avi")) << "nothing half-made is left";
    EXPECT_EQ(ProgressForm, nullptr) << "the window and its global reference are gone";

    // Again over the remaining corrupt row removed, with the good one added back: its name is
    // taken now, so the new file is numbered and nothing is overwritten.
    auto FirstSize = std::filesystem::file_size(Dir.Path() / L"good.avi");
    SelectRows({0});
    Click(IDC_BTNREMOVE);
    Drop({(Dir.Path() / L"good.webm").wstring()});
    Click(IDC_BTNCONVERT);
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[1].Text, L"The conversion is finished.");
    EXPECT_EQ(Form->RowCount(), 0);
    EXPECT_TRUE(std::filesystem::exists(Dir.Path() / L"good(2).avi"));
    EXPECT_EQ(std::filesystem::file_size(Dir.Path() / L"good.avi"), FirstSize);
    EXPECT_FALSE(IsWindowEnabled(Form->Control(IDC_BTNCONVERT)));
}

// A close request to the main window during a batch (another program, the system) cancels the
// batch instead of destroying both windows under it.
TEST_F(ProgressFormTest, CloseRequestDuringABatchActsAsCancel) {
    CreateForm();
    Drop({Script(L"a.webm", Long), Script(L"b.webm", Good)});
    bool MainAliveAfterClose = false;
    Converter.OnReport = [&](HWND, int Report) {
        if (Report == 2) {
            SendMessageW(Form->Handle(), WM_CLOSE, 0, 0);
            MainAliveAfterClose = IsWindow(Form->Handle()) != FALSE;
        }
    };
    TProgressForm Progress(*Form, &Converter);
    Progress.ShowModal();
    EXPECT_TRUE(MainAliveAfterClose);
    EXPECT_TRUE(Progress.IsDone());
    EXPECT_EQ(Progress.Summary(), TBatchSummary::None) << "the close request cancelled the batch";
    ASSERT_EQ(Form->RowCount(), 2);
    EXPECT_EQ(RowImage(0), iiFailed);
    EXPECT_EQ(RowImage(1), iiFilmReel) << "the next file was not started";
    // Once the batch is over, a close request closes.
    SendMessageW(Form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(Form->Handle()));
}

// Publishing held busy for HoldMs of real time from the first try, as a virus scanner holds a
// file it has just seen written (under Wine a file another program holds is renamed all the same,
// so the hold comes through the seam).
class THeldPublishing : public TPublishing {
public:
    explicit THeldPublishing(int64_t HoldMs) : HoldMs(HoldMs) {}
    std::atomic<bool> Holding{false};
    int Tries = 0;

    TFileClaim TryPublish(TReservedOutput& Reserved, const std::wstring& Target,
                          std::wstring& Final, std::wstring& SystemReason) override {
        ++Tries;
        const int64_t now = NowMs();
        if (FirstTry < 0) {
            FirstTry = now;
            Holding = true;
        }
        if (now - FirstTry < HoldMs) {
            SystemReason = L"held";
            return TFileClaim::Busy;
        }
        Holding = false;
        return TPublishing::TryPublish(Reserved, Target, Final, SystemReason);
    }

private:
    const int64_t HoldMs;
    int64_t FirstTry = -1;
};

TEST_F(ProgressFormTest, AFileHeldForSecondsIsPublishedWhileTheWindowAnswers) {
    CreateForm();
    Drop({Script(L"a.webm", Good)});
    TProgressForm Progress(*Form, &Converter);
    auto held = std::make_unique<THeldPublishing>(3'000);
    THeldPublishing& publishing = *held;
    Progress.Publishing = std::move(held);
    std::atomic<HWND> window{nullptr};
    Converter.OnReport = [&](HWND W, int) { window = W; };

    // Another thread asks the window to answer, as Windows does before it calls a window "Not
    // Responding", all through the hold.
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0}, unanswered{0};
    std::thread asker([&] {
        while (!stop) {
            const HWND w = window;
            if (w && publishing.Holding) {
                DWORD_PTR result = 0;
                const bool answer =
                    SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 500, &result) != 0;
                if (publishing.Holding)
                    ++(answer ? answered : unanswered);
            }
            Sleep(50);
        }
    });
    Progress.ShowModal();
    stop = true;
    asker.join();

    EXPECT_EQ(Form->RowCount(), 0) << "converted once let go";
    EXPECT_TRUE(std::filesystem::exists(Dir.Path() / L"a.avi"));
    EXPECT_FALSE(std::filesystem::exists(Dir.Path() / L"a.partial.avi"));
    EXPECT_GE(publishing.Tries, 4);
    EXPECT_GE(answered.load(), 15) << "asked every 50 ms for 3 s";
    EXPECT_EQ(unanswered.load(), 0);
}

TEST_F(ProgressFormTest, AProgressWindowThatCannotBeCreatedIsReportedNotSummarised) {
    CreateForm();
    Drop({Script(L"a.webm", Good)});
    // A module without the window's template: the dialog cannot be created.
    HINSTANCE Saved = Application.Instance;
    Application.Instance = GetModuleHandleW(L"kernel32.dll");
    Click(IDC_BTNCONVERT);
    Application.Instance = Saved;
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text.rfind(L"The progress window could not be opened", 0), 0u);
    EXPECT_EQ(Boxes[0].Type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(Form->RowCount(), 1) << "nothing was converted or marked";
    EXPECT_EQ(RowImage(0), iiFilmReel);
    EXPECT_EQ(ProgressForm, nullptr);
}

// An "Other:" folder that cannot take the files is caught before anything is converted or
// marked; one that does not exist yet is made.
TEST_F(ProgressFormTest, OtherFolderIsCheckedAndCreatedBeforeTheBatch) {
    std::filesystem::copy_file(SamplesFolder() / L"vp8-vorbis.webm", Dir.Path() / L"clip.webm");
    CreateForm();
    Drop({(Dir.Path() / L"clip.webm").wstring()});
    SendMessageW(Form->Control(IDC_RBOTHERFOLDER), BM_CLICK, 0, 0);
    HWND Box = Form->Control(IDC_EDOUTPUTFOLDER);
    std::filesystem::path Blocked = Dir.Path() / L"blocked";
    std::ofstream(Blocked) << "x";
    const std::wstring Device = (Dir.Path() / L"CON" / L"x").wstring();
    const std::wstring Forbidden = (Dir.Path() / L"a?b").wstring();

    const struct {
        std::wstring Folder, Message;
    } Refused[] = {
        {L"   ", L"Type the folder for the AVI files beside \"Other:\", or choose \"Same\"."},
        {L"Videos\\Out", L"The folder \"Videos\\Out\" is not a full path. Type a path that starts "
                         L"with a drive, such as C:\\Videos, or a network path such as "
                         L"\\\\server\\share\\Videos."},
        {L"\\Videos", L"The folder \"\\Videos\" is not a full path. Type a path that starts with a "
                      L"drive, such as C:\\Videos, or a network path such as "
                      L"\\\\server\\share\\Videos."},
        {L"\"" + Blocked.wstring() + L"\"",
         L"\"" + Blocked.wstring() +
             L"\" is a file, not a folder. Type the folder for the "
             L"AVI files beside \"Other:\"."},
        {Device, L"The folder \"" + Device +
                     L"\" cannot be used: Windows keeps the name CON for a "
                     L"device. Choose another name for the folder."},
        {Forbidden + L" ", L"The folder \"" + Forbidden +
                               L"\" cannot be used: Windows allows none of the characters < > : \" "
                               L"| ? * in names, nor control characters. Type the folder without "
                               L"them."},
    };
    for (const auto& Case : Refused) {
        SetWindowTextW(Box, Case.Folder.c_str());
        Boxes.clear();
        Click(IDC_BTNCONVERT);
        ASSERT_EQ(Boxes.size(), 1u) << testing::PrintToString(Case.Folder);
        EXPECT_EQ(Boxes[0].Text, Case.Message);
        EXPECT_EQ(Boxes[0].Type & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
        EXPECT_EQ(Form->RowCount(), 1);
        EXPECT_EQ(RowImage(0), iiFilmReel) << "nothing was marked";
        EXPECT_EQ(GetFocus(), Box) << "the box to mend has the focus";
    }

    EXPECT_FALSE(std::filesystem::exists(Dir.Path() / L"CON"));

    // A file where a parent folder should be: it cannot be made, and the system says why.
    SetWindowTextW(Box, (Blocked / L"sub").wstring().c_str());
    Boxes.clear();
    Click(IDC_BTNCONVERT);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text.rfind(
                  L"The folder " + (Blocked / L"sub").wstring() + L" could not be created: ", 0),
              0u)
        << testing::PrintToString(Boxes[0].Text);
    EXPECT_EQ(RowImage(0), iiFilmReel);

    // A folder two levels down that does not exist yet is made, and the file converts into it,
    // pasted as Explorer copies a path, with a blank typed after it.
    std::filesystem::path Made = Dir.Path() / L"new" / L"out ä";
    SetWindowTextW(Box, (L"\"" + Made.wstring() + L"\" ").c_str());
    Boxes.clear();
    Click(IDC_BTNCONVERT);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, L"The conversion is finished.");
    EXPECT_TRUE(std::filesystem::exists(Made / L"clip.avi"));
    EXPECT_EQ(Form->RowCount(), 0);
}

} // namespace

// The computer stays awake while the batch runs, and only then: released when it ends, when it
// is cancelled and when an exception ends it.
TEST_F(ProgressFormTest, ComputerStaysAwakeOnlyWhileTheBatchRuns) {
    std::vector<EXECUTION_STATE> States;
    Application.Hooks.SetExecutionState = [&](EXECUTION_STATE State) { States.push_back(State); };
    const EXECUTION_STATE Awake = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;
    CreateForm();
    Drop({Script(L"a.webm", Good), Script(L"b.webm", Long)});
    std::vector<EXECUTION_STATE> SeenDuring;
    Converter.OnReport = [&](HWND Window, int Report) {
        SeenDuring.push_back(States.empty() ? 0 : States.back());
        if (Form->RowName(0) == L"b.webm" && Report > 3)
            PostMessageW(Window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    {
        TProgressForm Progress(*Form, &Converter);
        Progress.ShowModal();
        EXPECT_TRUE(Progress.Cancel);
    }
    ASSERT_FALSE(SeenDuring.empty());
    for (EXECUTION_STATE State : SeenDuring)
        EXPECT_EQ(State, Awake) << "asked for at every report";
    EXPECT_EQ(States, (std::vector<EXECUTION_STATE>{Awake, ES_CONTINUOUS}));

    // An exception in the middle of the batch releases it too.
    States.clear();
    Converter.OnReport = [](HWND, int) { throw std::runtime_error("broken"); };
    {
        TProgressForm Progress(*Form, &Converter);
        Progress.ShowModal();
    }
    EXPECT_EQ(States, (std::vector<EXECUTION_STATE>{Awake, ES_CONTINUOUS}));
}

TEST_F(ProgressFormTest, TaskbarFlashesAtTheEndOnlyWhenNotInFront) {
    std::vector<HWND> Flashed;
    Application.Hooks.FlashWindow = [&](HWND Window) { Flashed.push_back(Window); };
    CreateForm();
    SetForegroundWindow(Form->Handle());
    FlashUntilActive(Form->Handle());
    EXPECT_TRUE(Flashed.empty()) << "in front: nothing to tell";

    // Another program in front (the system's own editor stands in for it).
    wchar_t Command[] = L"notepad.exe";
    STARTUPINFOW Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Other{};
    ASSERT_TRUE(CreateProcessW(nullptr, Command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &Startup, &Other));
    WaitForInputIdle(Other.hProcess, 10000);
    HWND OtherWindow = nullptr;
    for (int i = 0; i < 100 && !OtherWindow; ++i, Sleep(50)) {
        std::pair<DWORD, HWND> Found{Other.dwProcessId, nullptr};
        EnumWindows(
            [](HWND Window, LPARAM Param) -> BOOL {
                auto& Found = *reinterpret_cast<std::pair<DWORD, HWND>*>(Param);
                DWORD Process = 0;
                GetWindowThreadProcessId(Window, &Process);
                if (Process != Found.first || !IsWindowVisible(Window))
                    return TRUE;
                Found.second = Window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&Found));
        OtherWindow = Found.second;
    }
    if (OtherWindow) {
        SetForegroundWindow(OtherWindow);
        for (int i = 0; i < 40 && GetForegroundWindow() != OtherWindow; ++i)
            Sleep(50);
    }
    const bool OtherInFront = OtherWindow && GetForegroundWindow() == OtherWindow;
    if (OtherInFront)
        FlashUntilActive(Form->Handle());
    TerminateProcess(Other.hProcess, 0);
    CloseHandle(Other.hThread);
    CloseHandle(Other.hProcess);
    ASSERT_TRUE(OtherInFront) << "the other program could not be brought to the front";
    EXPECT_EQ(Flashed, std::vector<HWND>{Form->Handle()});
}
