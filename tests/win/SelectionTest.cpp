// A selection in Explorer becomes one list: starts of the verb hand their files to an idle window,
// which lists them in natural name order; a busy window refuses them.
#include "Selection.h"
#include "MainFormFixture.h"

#include "Handover.h"
#include "PathForms.h"
#include "TestSupport.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

using testing_support::TempFolder;

namespace {

// Handles messages until the window has listed Count rows, or two seconds have passed.
void PumpUntilRows(TMainForm& Form, int Count) {
    const ULONGLONG Deadline = GetTickCount64() + 2000;
    MSG Msg;
    while (Form.RowCount() < Count && GetTickCount64() < Deadline) {
        while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&Msg);
            DispatchMessageW(&Msg);
        }
        Sleep(10);
    }
}

std::vector<std::wstring> RowNames(const TMainForm& Form) {
    std::vector<std::wstring> Names;
    for (int Row = 0; Row < Form.RowCount(); ++Row)
        Names.push_back(Form.RowName(Row));
    return Names;
}

} // namespace

TEST_F(MainFormTest, HandedOverFilesAreListedTogetherInNaturalOrder) {
    TempFolder Files{L"kestrova-selection"};
    auto File = [&](const wchar_t* Name) { return Files.WriteFile(Name, "webm").wstring(); };
    TMainForm& Form = CreateForm();
    Form.AddPaths({File(L"zz earlier.webm")});

    // Each start of the selection hands over its one file, in the order Explorer happened to
    // start them; the window's own file came first.
    Form.QueueSelection({File(L"clip 10.webm")});
    EXPECT_EQ(THandover::Taken, HandOverToOpenWindow({File(L"clip 2.webm")}));
    EXPECT_EQ(THandover::Taken,
              HandOverToOpenWindow({File(L"Clip 1.webm"), File(L"clip 11.webm")}));
    PumpUntilRows(Form, 5);
    // Rows listed before the selection keep their place.
    EXPECT_EQ(RowNames(Form),
              (std::vector<std::wstring>{L"zz earlier.webm", L"Clip 1.webm", L"clip 2.webm",
                                         L"clip 10.webm", L"clip 11.webm"}));

    // A late start of the same selection still sorts in with it.
    EXPECT_EQ(THandover::Taken, HandOverToOpenWindow({File(L"clip 3.webm")}));
    PumpUntilRows(Form, 6);
    EXPECT_EQ(RowNames(Form)[3], L"clip 3.webm");
    EXPECT_EQ(RowNames(Form).back(), L"clip 11.webm");
}

TEST_F(MainFormTest, BusyWindowRefusesHandedOverFiles) {
    TempFolder Files{L"kestrova-selection-busy"};
    TMainForm& Form = CreateForm();
    // A modal window (the progress window of a batch, a question) disables the main window.
    EnableWindow(Form.Handle(), FALSE);
    EXPECT_FALSE(Form.TakesHandover());
    EXPECT_EQ(THandover::Refused,
              HandOverToOpenWindow({Files.WriteFile(L"a.webm", "webm").wstring()}));
    EnableWindow(Form.Handle(), TRUE);
    PumpUntilRows(Form, 1);
    EXPECT_EQ(Form.RowCount(), 0);

    // Data that is not a hand-over is not taken for one.
    const std::u16string Block = EncodeHandover({L"C:\\a.webm"});
    COPYDATASTRUCT Data{HandoverTag + 1, static_cast<DWORD>(Block.size() * 2),
                        const_cast<char16_t*>(Block.data())};
    EXPECT_EQ(SendMessageW(Form.Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Data)), 0);
}

TEST(StartRequest, SwitchMarksASelectionStart) {
    TStartRequest Request =
        ReadStartRequest(SplitCommandLine(L"Kestrova.exe /Selection \"C:\\Films\\a b.webm\""));
    EXPECT_TRUE(Request.FromSelection);
    EXPECT_EQ(Request.Paths, std::vector<std::wstring>{L"C:\\Films\\a b.webm"});

    Request =
        ReadStartRequest(SplitCommandLine(L"Kestrova.exe \"C:\\Films\\a b.webm\" C:\\x.webm"));
    EXPECT_FALSE(Request.FromSelection);
    EXPECT_EQ(Request.Paths.size(), 2u);
    // The switch counts only in first place.
    Request = ReadStartRequest(SplitCommandLine(L"Kestrova.exe C:\\x.webm /selection"));
    EXPECT_FALSE(Request.FromSelection);
}

namespace {

// Handles messages until Done says so, or Ms have passed.
void PumpUntil(const std::function<bool()>& Done, ULONGLONG Ms) {
    const ULONGLONG Deadline = GetTickCount64() + Ms;
    MSG Msg;
    while (!Done() && GetTickCount64() < Deadline) {
        while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&Msg);
            DispatchMessageW(&Msg);
        }
        Sleep(10);
    }
}

} // namespace

// Convert pressed while a start of the selection has announced itself but not handed its file
// over yet waits for it: the batch converts the whole selection, and the summary comes once.
TEST_F(MainFormTest, ConvertWaitsForASelectionStillArrivingAndConvertsAllOfIt) {
    TempFolder Files{L"kestrova-selection-convert"};
    auto Sample = [&](const wchar_t* Name) {
        std::filesystem::copy_file(testing_support::SamplesFolder() / L"vp8-vorbis.webm",
                                   Files.Path() / Name);
        return (Files.Path() / Name).wstring();
    };
    const std::wstring First = Sample(L"clip 1.webm"), Second = Sample(L"clip 2.webm");
    TMainForm& Form = CreateForm();
    Form.QueueSelection({First});
    PumpUntilRows(Form, 1);
    ASSERT_EQ(Form.RowCount(), 1);

    std::atomic<bool> Announced = false, Ended = false;
    std::atomic<int> Offered = -1;
    std::thread Start([&] {
        TAnnouncedStart Start;
        Announced = true;
        Sleep(800);
        Offered = static_cast<int>(HandOverToOpenWindow({Second}));
        Start.End();
        Ended = true;
    });
    while (!Announced)
        Sleep(1);
    EXPECT_TRUE(SelectionStartsUnderWay());
    Click(IDC_BTNCONVERT);
    EXPECT_TRUE(Boxes.empty()) << "no batch yet: " << Boxes.front().Text;
    EXPECT_EQ(Text(IDC_LBLFILESTOCONVERT), L"WebM files to convert: 1 (adding...)");
    PumpUntil([&] { return Ended && !Boxes.empty(); }, 60000);
    Start.join();

    EXPECT_EQ(Offered, static_cast<int>(THandover::Taken));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, L"The conversion is finished.");
    EXPECT_EQ(Form.RowCount(), 0);
    EXPECT_TRUE(std::filesystem::exists(Files.Path() / L"clip 1.avi"));
    EXPECT_TRUE(std::filesystem::exists(Files.Path() / L"clip 2.avi"));
    EXPECT_EQ(Text(IDC_LBLFILESTOCONVERT), L"WebM files to convert:");
    EXPECT_FALSE(SelectionStartsUnderWay());
}

// A start that died before handing over holds nothing up; one that is stuck holds Convert up for
// the bound only.
TEST_F(MainFormTest, ADeadOrStuckSelectionStartHoldsConvertUpNoLongerThanItsBound) {
    TempFolder Files{L"kestrova-selection-bound"};
    auto Sample = [&](const wchar_t* Name) {
        std::filesystem::copy_file(testing_support::SamplesFolder() / L"vp8-vorbis.webm",
                                   Files.Path() / Name);
        return (Files.Path() / Name).wstring();
    };
    TMainForm& Form = CreateForm();
    // Dies with its lock held: the system lets go of it.
    std::thread([] { new TAnnouncedStart; }).join();
    EXPECT_FALSE(SelectionStartsUnderWay());
    Form.AddPaths({Sample(L"a.webm")});
    FinishAdding();
    Click(IDC_BTNCONVERT);
    ASSERT_EQ(Boxes.size(), 1u) << "converted at once";
    EXPECT_EQ(Form.RowCount(), 0);

    UniqueHandle Release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> Announced = false;
    std::thread Stuck([&] {
        TAnnouncedStart Start;
        Announced = true;
        WaitForSingleObject(Release.get(), 60000);
    });
    while (!Announced)
        Sleep(1);
    Form.HandoverWaitLimitMs = 700;
    Form.AddPaths({Sample(L"b.webm")});
    FinishAdding();
    Boxes.clear();
    const ULONGLONG Pressed = GetTickCount64();
    Click(IDC_BTNCONVERT);
    EXPECT_TRUE(Boxes.empty());
    PumpUntil([&] { return !Boxes.empty(); }, 30000);
    EXPECT_GE(GetTickCount64() - Pressed, 700u);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Form.RowCount(), 0);
    SetEvent(Release.get());
    Stuck.join();
}
