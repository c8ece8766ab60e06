// The end of the Windows session, through the windows' own messages: asked while a batch
// converts, both windows hold it back with the batch's progress as the reason (recorded through
// the hooks) and the batch goes on; called off, nothing changes; ended all the same, the
// converters are gone, their partial files deleted and the window closed before anything is
// shown; asked while idle, the session may end.
#include "MainFormFixture.h"
#include "MessagePump.h"
#include "Power.h"
#include "Progress.h"
#include "TestSupport.h"
#include "WatchedConverter.h"
#include "WindowLookups.h"

#include <tlhelp32.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <utility>

using namespace testing_support;

namespace {

// A reason set on Window, or (empty) the reason taken away.
struct TReasonCall {
    HWND Window;
    std::wstring Reason;
    bool operator==(const TReasonCall&) const = default;
};

// The converters this process started that still run.
int ConverterCount() {
    HANDLE Snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (Snapshot == INVALID_HANDLE_VALUE)
        return -1;
    PROCESSENTRY32W Entry{};
    Entry.dwSize = sizeof Entry;
    int Count = 0;
    for (BOOL More = Process32FirstW(Snapshot, &Entry); More;
         More = Process32NextW(Snapshot, &Entry))
        Count += Entry.th32ParentProcessID == GetCurrentProcessId() &&
                 _wcsicmp(Entry.szExeFile, L"ffmpeg.exe") == 0;
    CloseHandle(Snapshot);
    return Count;
}

std::vector<std::wstring> PartialFiles(const std::filesystem::path& Folder) {
    std::vector<std::wstring> Found;
    for (const auto& Entry : std::filesystem::directory_iterator(Folder))
        if (Entry.path().filename().wstring().find(L".partial") != std::wstring::npos)
            Found.push_back(Entry.path().filename().wstring());
    return Found;
}

// The fake converter through the progress window; Report sees the window after each report.
class TReportingConverter : public TWatchedConverter {
public:
    std::function<void(HWND Progress)> Report;

private:
    void Reported(HWND Window) override {
        if (Report)
            Report(Window);
    }
};

class SessionEndTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        Application.Hooks.CreateShutdownReason = [this](HWND Window, const std::wstring& Reason) {
            Reasons.push_back({Window, Reason});
        };
        Application.Hooks.DestroyShutdownReason = [this](HWND Window) {
            Reasons.push_back({Window, L""});
        };
        Application.Hooks.ShutDownWindows = [this](UINT, DWORD) {
            ++PowerRequests;
            return DWORD{0};
        };
        Application.Hooks.SetSuspendState = [this](bool, bool, bool) {
            ++PowerRequests;
            return DWORD{0};
        };
        // Every tick of the countdown is its end.
        Application.Hooks.CountdownClock = [Calls = 0]() mutable { return 1000.0 * Calls++; };
    }

    void StoreSetting(const wchar_t* Name, DWORD Value) {
        HKEY Key = SettingsKey();
        RegSetValueExW(Key, Name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Value),
                       sizeof Value);
        RegCloseKey(Key);
    }
    std::wstring Sample(const std::wstring& Name, const wchar_t* From) {
        std::filesystem::copy_file(SamplesFolder() / From, Dir.Path() / Name);
        return (Dir.Path() / Name).wstring();
    }
    LRESULT Ask(HWND Window) { return SendMessageW(Window, WM_QUERYENDSESSION, 0, 0); }

    TempFolder Dir{L"kestrova-session"};
    std::vector<TReasonCall> Reasons;
    int PowerRequests = 0;
};

// Half a second of reports a file, so the reason is seen to follow the batch file by file.
constexpr const char* HalfSecond =
    "err   Duration: 00:00:10.00, start: 0\\n\nstatus 10000 2000 100\ncreate\nexit 0\n";

} // namespace

// Asked during the first of three files, both windows say no and set the reason on the main
// window; the end called off changes nothing; the batch runs to its end, the reason following it
// file by file, and is taken away when the batch ends.
TEST_F(SessionEndTest, AskedWhileConvertingBothWindowsHoldItBackAndTheBatchGoesOn) {
    CreateForm();
    Drop({Dir.WriteFile(L"a.webm", HalfSecond).wstring(),
          Dir.WriteFile(L"b.webm", HalfSecond).wstring(),
          Dir.WriteFile(L"c.webm", HalfSecond).wstring()});
    TReportingConverter Converter;
    LRESULT MainAnswer = -1, ProgressAnswer = -1;
    Converter.Report = [&](HWND Progress) {
        if (MainAnswer != -1)
            return;
        MainAnswer = Ask(Form->Handle());
        ProgressAnswer = Ask(Progress);
        SendMessageW(Form->Handle(), WM_ENDSESSION, FALSE, 0);
        SendMessageW(Progress, WM_ENDSESSION, FALSE, 0);
    };
    TProgressForm Progress(*Form, &Converter);
    Progress.ShowModal();

    EXPECT_EQ(MainAnswer, FALSE);
    EXPECT_EQ(ProgressAnswer, FALSE);
    EXPECT_TRUE(Progress.RanToEnd()) << "nothing was cancelled by the question";
    EXPECT_EQ(Form->RowCount(), 0);
    for (const wchar_t* Avi : {L"a.avi", L"b.avi", L"c.avi"})
        EXPECT_TRUE(std::filesystem::exists(Dir.Path() / Avi)) << Avi;
    EXPECT_TRUE(IsWindow(Form->Handle()));
    ASSERT_GE(Reasons.size(), 2u);
    for (const TReasonCall& Call : Reasons)
        EXPECT_EQ(Call.Window, Form->Handle()) << "the reason belongs to the main window";
    EXPECT_EQ(Reasons.front().Reason, L"Converting 1 of 3 files");
    EXPECT_EQ(Reasons.back().Reason, L"") << "taken away at the batch's end";
    EXPECT_EQ(Reasons[Reasons.size() - 2].Reason, L"Converting 3 of 3 files");
    EXPECT_NE(std::find(Reasons.begin(), Reasons.end(),
                        TReasonCall{Form->Handle(), L"Converting 2 of 3 files"}),
              Reasons.end());
    // Asked again once the batch is over, the session may end.
    EXPECT_EQ(Ask(Form->Handle()), TRUE);
}

// The end of the session while the real converter works, one file at a time and two side by
// side, with "When done: Shut down" chosen: by the time the message returns the converters are
// gone and no partial file is left; the window then closes within moments, without a summary, a
// countdown or a request to Windows, and nothing but the sources is left in the folder.
TEST_F(SessionEndTest, EndedWhileConvertingStopsTheConvertersLeavesNoPartialFileAndCloses) {
    StoreSetting(L"WhenDone", 3);
    for (DWORD AtOnce : {1u, 2u}) {
        SCOPED_TRACE(AtOnce);
        StoreSetting(L"ConversionsAtOnce", AtOnce);
        Reasons.clear();
        CreateForm();
        const std::wstring Tag = std::to_wstring(AtOnce);
        Drop({Sample(L"one" + Tag + L".webm", L"long.webm"),
              Sample(L"two" + Tag + L".webm", L"long.webm")});
        int Ticks = 0, ChildrenBefore = -1, ChildrenAfter = -1;
        std::vector<std::wstring> PartialsBefore, PartialsAfter;
        LRESULT Answer = -1;
        std::chrono::steady_clock::duration Handling{};
        TEvery EndSession(200, [&] {
            HWND Progress = ThreadWindowWith(IDC_PBOVERALL);
            if (!Progress || Answer != -1)
                return;
            // Ends the session once every lane's converter is at work on its partial file (or,
            // after a few seconds, whatever is running, so that a stuck start shows as a failure).
            ChildrenBefore = ConverterCount();
            PartialsBefore = PartialFiles(Dir.Path());
            if ((ChildrenBefore < static_cast<int>(AtOnce) || PartialsBefore.size() < AtOnce) &&
                ++Ticks < 25)
                return;
            Answer = Ask(Progress);
            const auto Start = std::chrono::steady_clock::now();
            SendMessageW(Progress, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
            Handling = std::chrono::steady_clock::now() - Start;
            ChildrenAfter = ConverterCount();
            PartialsAfter = PartialFiles(Dir.Path());
        });
        const auto Start = std::chrono::steady_clock::now();
        Click(IDC_BTNCONVERT);
        PumpFor(300);
        const auto Taken = std::chrono::steady_clock::now() - Start;

        EXPECT_EQ(Answer, FALSE);
        EXPECT_EQ(ChildrenBefore, static_cast<int>(AtOnce)) << "converters were at work";
        EXPECT_EQ(PartialsBefore.size(), AtOnce);
        EXPECT_EQ(ChildrenAfter, 0) << "converters left when the message returned";
        EXPECT_TRUE(PartialsAfter.empty()) << testing::PrintToString(PartialsAfter);
        EXPECT_LT(Handling, std::chrono::seconds(3));
        EXPECT_LT(Taken, std::chrono::seconds(30));
        EXPECT_FALSE(IsWindow(Form->Handle())) << "the window closed";
        EXPECT_TRUE(Boxes.empty()) << Boxes.front().Text;
        EXPECT_EQ(PowerRequests, 0) << "no shut down of its own";
        EXPECT_TRUE(ShellCalls.empty());
        ASSERT_FALSE(Reasons.empty());
        EXPECT_EQ(Reasons.front().Reason, L"Converting 1 of 2 files");
        EXPECT_EQ(Reasons.back().Reason, L"");
        // Nothing but the sources: no AVI, no partial file.
        std::vector<std::wstring> Made;
        for (const auto& Entry : std::filesystem::directory_iterator(Dir.Path()))
            if (Entry.path().extension() != L".webm")
                Made.push_back(Entry.path().filename().wstring());
        EXPECT_TRUE(Made.empty()) << testing::PrintToString(Made);
        Form.reset();
        Application.SessionEnding = false;
    }
}

// Idle, the session may end at once, with no reason set; called off, the window stays; ended,
// the window closes without opening the web site its first close would open.
TEST_F(SessionEndTest, IdleTheSessionMayEndAndTheWindowCloses) {
    CreateForm();
    ASSERT_EQ(Form->GetUseCount(), 1) << "a first start";
    EXPECT_EQ(Ask(Form->Handle()), TRUE);
    EXPECT_TRUE(Reasons.empty());
    SendMessageW(Form->Handle(), WM_ENDSESSION, FALSE, 0);
    PumpFor(200);
    EXPECT_TRUE(IsWindow(Form->Handle()));
    SendMessageW(Form->Handle(), WM_ENDSESSION, TRUE, 0);
    PumpFor(200);
    EXPECT_FALSE(IsWindow(Form->Handle()));
    EXPECT_TRUE(ShellCalls.empty()) << "no browser while the session ends";
    EXPECT_TRUE(Boxes.empty());
}
