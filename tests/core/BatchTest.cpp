#include "Batch.h"
#include "FileSystem.h"
#include "StubChild.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using testing_support::TempFolder;

namespace {

struct FakeRow {
    TListRow Row;
    int Image = iiFilmReel;
    TConversionOutcome Outcome;
    int OutcomesSet = 0;
};

class FakeList : public TConversionList {
public:
    std::vector<FakeRow> Rows;
    int Refreshes = 0;

    int RowCount() const override { return static_cast<int>(Rows.size()); }
    TListRow Row(int Index) const override { return Rows.at(Index).Row; }
    void DeleteRow(int Index) override { Rows.erase(Rows.begin() + Index); }
    void SetRowImage(int Index, int Image) override { Rows.at(Index).Image = Image; }
    void SetRowOutcome(int Index, const TConversionOutcome& Outcome) override {
        FakeRow& row = Rows.at(Index);
        EXPECT_EQ(row.Image, iiFailed) << "the outcome follows the failed mark";
        row.Outcome = Outcome;
        ++row.OutcomesSet;
    }
    void UpdateControlsOnListChange() override { ++Refreshes; }
    // "+path" when reported reserved (with "(empty)" when the file was there and empty then),
    // "-path" when reported gone.
    std::vector<std::wstring> PartialEvents;
    void PartialReserved(const std::wstring& Path) override {
        int64_t size = -1;
        uint32_t error = 0;
        PartialEvents.push_back(
            L"+" + Path +
            (FileSize(Path, size, error) && size == 0 ? L" (empty)" : L" (not empty)"));
    }
    void PartialGone(const std::wstring& Path) override { PartialEvents.push_back(L"-" + Path); }

    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (const FakeRow& row : Rows)
            names.push_back(row.Row.Name);
        return names;
    }
};

class FakeFolderChoice : public TOutputFolderChoice {
public:
    bool Same = true;
    std::wstring Folder;

    bool SameFolderSelected() const override { return Same; }
    std::wstring OutputFolderText() const override { return Folder; }
};

// Everything the progress window shows.
struct Shown {
    std::wstring Caption;
    TBarStyle CurStyle = TBarStyle::Normal;
    int CurPos = 0;
    int CurMax = 100;
    std::wstring CurLabel = L"0%";
    int OverallPos = 0;
    int OverallMax = 100;
    std::wstring OverallLabel = L"0%";
};

// Bars keep their position inside the range, as the platform's progress bars do.
int Clamped(int Position, int Max) {
    return std::clamp(Position, 0, std::max(Max, 0));
}

class FakeDisplay : public TProgressDisplay {
public:
    Shown Now;
    std::vector<Shown> AtCaption;    // as each file started
    std::vector<Shown> AtPump;       // as each progress report left it
    std::function<void()> OnPump;    // the user (or a failure) acting while messages are handled
    std::function<void()> OnCaption; // something happening as a file starts

    void SetCurFileCaption(const std::wstring& Text) override {
        Now.Caption = Text;
        AtCaption.push_back(Now);
        if (OnCaption)
            OnCaption();
    }
    void SetCurFileBarStyle(TBarStyle Style) override { Now.CurStyle = Style; }
    void SetCurFileBarPosition(int Position) override {
        Now.CurPos = Clamped(Position, Now.CurMax);
    }
    int CurFileBarPosition() const override { return Now.CurPos; }
    int CurFileBarMax() const override { return Now.CurMax; }
    void SetOverallBarMax(int Max) override {
        Now.OverallMax = Max;
        Now.OverallPos = Clamped(Now.OverallPos, Max);
    }
    void SetOverallBarPosition(int Position) override {
        Now.OverallPos = Clamped(Position, Now.OverallMax);
    }
    int OverallBarPosition() const override { return Now.OverallPos; }
    int OverallBarMax() const override { return Now.OverallMax; }
    void SetCurFilePercentage(const std::wstring& Text) override { Now.CurLabel = Text; }
    void SetOverallPercentage(const std::wstring& Text) override { Now.OverallLabel = Text; }
    void ProcessMessages() override {
        AtPump.push_back(Now);
        if (OnPump)
            OnPump();
    }

    std::vector<Shown> PumpsDuring(const std::wstring& CaptionPart) const {
        std::vector<Shown> found;
        for (const Shown& shown : AtPump) {
            if (shown.Caption.find(CaptionPart) != std::wstring::npos)
                found.push_back(shown);
        }
        return found;
    }
};

// Runs the scripted fake converter: each source file is its script.
class ProcessConverter : public TConverter {
public:
    std::vector<std::wstring> Destinations;

    bool ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                     TProgressProc ProgressProc, TConversionOutcome& Outcome) override {
        Destinations.push_back(Destination);
        Outcome = ConvertWithFFmpeg(testing_support::FakeConverterPath(), Source, Destination,
                                    FFmpegOptions, ProgressProc);
        return Outcome.Converted;
    }
};

struct Report {
    int64_t Position;
    int64_t Size;
};

// Reports exactly the given progress, for arithmetic that must not depend on timing.
class ScriptedConverter : public TConverter {
public:
    struct Job {
        std::vector<Report> Reports;
        bool Converts = true;
    };
    std::vector<Job> Jobs; // one per file, in order
    // Handed back as they are, with Converted set from the job; per file, in order.
    std::vector<TConversionOutcome> Outcomes;
    std::vector<std::wstring> Destinations;

    bool ConvertFile(const std::wstring&, const std::wstring& Destination,
                     TProgressProc ProgressProc, TConversionOutcome& Outcome) override {
        const Job job = Destinations.size() < Jobs.size() ? Jobs[Destinations.size()] : Job{};
        Destinations.push_back(Destination);
        bool cancel = false;
        for (const Report& report : job.Reports) {
            ProgressProc(report.Position, report.Size, cancel);
            if (cancel) {
                Outcome.Failure = TFailureKind::Cancelled;
                return false;
            }
        }
        const size_t index = Destinations.size() - 1;
        Outcome = index < Outcomes.size() ? Outcomes[index] : TConversionOutcome{};
        Outcome.Converted = job.Converts;
        if (!job.Converts && Outcome.Failure == TFailureKind::None)
            Outcome.Failure = TFailureKind::Other;
        return job.Converts;
    }
};

const std::string Duration10s =
    "err   Duration: 00:00:10.00, start: 0.000000, bitrate: 800 kb/s\\n\n";
const std::string Converts = Duration10s + "status 10000 2500 10\ncreate\nexit 0\n";
const std::string Fails = Duration10s + "status 10000 2500 10\nexit 1\n";

const std::wstring FinishedText = L"The conversion is finished.";
const std::wstring FailuresText = L"Some files were not converted.";

class BatchRun : public ::testing::Test {
protected:
    TempFolder Temp{L"kestrova-batch"};
    const std::wstring Location = IncludeTrailingPathDelimiter(Temp.Path().wstring());
    FakeList List;
    FakeFolderChoice Folder;
    FakeDisplay Display;

    // A row whose source file is the fake converter's script.
    void AddRow(const std::wstring& Name, const std::string& Script, int64_t Size = 100) {
        Temp.WriteFile(Name, Script);
        AddRowWithoutFile(Name, Size);
    }
    void AddRowWithoutFile(const std::wstring& Name, int64_t Size = 100) {
        FakeRow row;
        row.Row = {Name, Location, Size};
        List.Rows.push_back(row);
    }
    bool Exists(const std::wstring& Name) const { return fs::exists(Temp.Path() / Name); }
};

TEST_F(BatchRun, FailedRowsStayMarkedAndCaptionsKeepTheTotal) {
    AddRow(L"a.webm", Converts);
    AddRow(L"b.webm", Fails);
    AddRowWithoutFile(L"c.webm"); // the converter cannot open it
    AddRow(L"d.webm", Converts);
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    EXPECT_TRUE(batch.IsDone());
    EXPECT_EQ(ProgressForm, nullptr);
    ASSERT_EQ(List.Names(), (std::vector<std::wstring>{L"b.webm", L"c.webm"}));
    EXPECT_EQ(List.Rows[0].Image, iiFailed);
    EXPECT_EQ(List.Rows[1].Image, iiFailed);
    EXPECT_EQ(List.Refreshes, 2);
    EXPECT_TRUE(Exists(L"a.avi"));
    EXPECT_FALSE(Exists(L"b.avi"));
    EXPECT_TRUE(Exists(L"d.avi"));

    std::vector<std::wstring> captions;
    for (const Shown& shown : Display.AtCaption)
        captions.push_back(shown.Caption);
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"a.webm (1 of 4):", L"b.webm (2 of 4):",
                                                   L"c.webm (3 of 4):", L"d.webm (4 of 4):"}));

    EXPECT_EQ(batch.Summary(), TBatchSummary::FinishedWithFailures);
    EXPECT_EQ(ComposeSummaryText(batch.Summary(), FinishedText, FailuresText),
              L"The conversion is finished. Some files were not converted.");
}
TEST_F(BatchRun, AllRowsConvertWithoutOverwritingAnything) {
    AddRow(L"a.webm", Converts);
    AddRow(L"b.webm", Converts);
    Temp.WriteFile(L"b.avi", "older");
    Temp.WriteFile(L"b(2).avi", "older");
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    EXPECT_TRUE(List.Rows.empty());
    EXPECT_EQ(List.Refreshes, 2);
    EXPECT_EQ(converter.Destinations, (std::vector<std::wstring>{Location + L"a.partial.avi",
                                                                 Location + L"b(3).partial.avi"}));
    EXPECT_TRUE(Exists(L"b(3).avi"));
    EXPECT_FALSE(Exists(L"a.partial.avi") || Exists(L"b(3).partial.avi"));
    EXPECT_EQ(batch.Summary(), TBatchSummary::Finished);
    EXPECT_EQ(ComposeSummaryText(batch.Summary(), FinishedText, FailuresText), FinishedText);
}

TEST_F(BatchRun, CancelDuringTheSecondOfThree) {
    AddRow(L"a.webm", Converts);
    AddRow(L"b.webm", Duration10s + "create\nstatus 10000 500 100\nexit 0\n");
    AddRow(L"c.webm", Converts);
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    Display.OnPump = [&] {
        if (Display.Now.Caption.find(L"(2 of 3)") != std::wstring::npos)
            batch.Cancel = true;
    };
    batch.Run();

    EXPECT_TRUE(batch.IsDone());
    EXPECT_EQ(converter.Destinations.size(), 2u) << "the loop ends before the next file";
    ASSERT_EQ(List.Names(), (std::vector<std::wstring>{L"b.webm", L"c.webm"}));
    EXPECT_EQ(List.Rows[0].Image, iiFailed);
    EXPECT_EQ(List.Rows[1].Image, iiFilmReel);
    EXPECT_TRUE(Exists(L"a.avi"));
    EXPECT_FALSE(Exists(L"b.avi") || Exists(L"b.partial.avi"))
        << "what the cancelled conversion wrote is deleted";
    ASSERT_EQ(batch.Failures().size(), 1u);
    EXPECT_EQ(batch.Failures()[0].Name, L"b.webm");
    EXPECT_EQ(batch.Failures()[0].Outcome.Failure, TFailureKind::Cancelled);
    EXPECT_EQ(List.Rows[0].Outcome.Failure, TFailureKind::Cancelled);
    EXPECT_EQ(batch.Summary(), TBatchSummary::None);
    EXPECT_EQ(batch.SummaryText(), L"") << "nothing after a cancel";
    EXPECT_EQ(ComposeSummaryText(batch.Summary(), FinishedText, FailuresText), L"");
}

TEST_F(BatchRun, OverallProgressIsWeightedBySize) {
    AddRow(L"small.webm", Duration10s + "status 10000 10000 0\ncreate\n", 100);
    AddRow(L"large.webm", Duration10s + "status 5000 5000 0\ncreate\n", 300);
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    batch.Run();
    ASSERT_TRUE(batch.Failures().empty())
        << "failure kind " << static_cast<int>(batch.Failures()[0].Outcome.Failure);

    const std::vector<Shown> small = Display.PumpsDuring(L"(1 of 2)");
    ASSERT_FALSE(small.empty());
    EXPECT_EQ(small.back().OverallPos, 100);
    EXPECT_EQ(small.back().OverallLabel, L"25%");

    const std::vector<Shown> large = Display.PumpsDuring(L"(2 of 2)");
    ASSERT_FALSE(large.empty());
    const Shown& halfWay = large.back();
    EXPECT_EQ(halfWay.CurPos, 50);
    EXPECT_EQ(halfWay.CurLabel, L"50%");
    EXPECT_EQ(halfWay.OverallPos, 250);
    EXPECT_EQ(halfWay.OverallMax, 400);
    EXPECT_EQ(halfWay.OverallLabel, L"62%") << "62.5 goes to the even neighbour";
}

TEST_F(BatchRun, MarqueeWithoutDurationAndDisplayKeptBetweenFiles) {
    AddRowWithoutFile(L"a.webm", 100);
    AddRowWithoutFile(L"b.webm", 300);
    ScriptedConverter converter;
    converter.Jobs = {{{{0, 0}, {20000, 10000}}}, {{{0, 0}}}};
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    ASSERT_EQ(Display.AtPump.size(), 3u);
    const Shown& unknown = Display.AtPump[0];
    EXPECT_EQ(unknown.CurStyle, TBarStyle::Marquee);
    EXPECT_EQ(unknown.CurLabel, L"");
    EXPECT_EQ(unknown.OverallLabel, L"0%");

    const Shown& pastTheEnd = Display.AtPump[1];
    EXPECT_EQ(pastTheEnd.CurStyle, TBarStyle::Normal);
    EXPECT_EQ(pastTheEnd.CurPos, 100);
    EXPECT_EQ(pastTheEnd.CurLabel, L"100%") << "never more than the bar holds";

    // Nothing but the caption changes when the next file starts.
    Shown kept = pastTheEnd;
    kept.Caption = L"b.webm (2 of 2):";
    const Shown& second = Display.AtCaption.at(1);
    EXPECT_EQ(std::tie(second.Caption, second.CurStyle, second.CurPos, second.CurLabel,
                       second.OverallPos, second.OverallLabel),
              std::tie(kept.Caption, kept.CurStyle, kept.CurPos, kept.CurLabel, kept.OverallPos,
                       kept.OverallLabel));

    const Shown& unknownAgain = Display.AtPump[2];
    EXPECT_EQ(unknownAgain.CurStyle, TBarStyle::Marquee);
    EXPECT_EQ(unknownAgain.CurLabel, L"");
    EXPECT_EQ(unknownAgain.OverallPos, 100) << "only the files already handled";
    EXPECT_EQ(unknownAgain.OverallLabel, L"25%");
}

TEST_F(BatchRun, SizesBeyondTwoGibibytesShowExactPercentages) {
    AddRowWithoutFile(L"a.webm", 3'000'000'000);
    AddRowWithoutFile(L"b.webm", 2'000'000'000);
    AddRowWithoutFile(L"c.webm", 3'000'000'000);
    ScriptedConverter converter;
    converter.Jobs = {
        {{{1, 2}}},
        {{{1, 2}, {2, 2}}},
        // 5e9 + 1 bytes (just above 62.5%), then 5.08e9 (63.5%), then all of it.
        {{{1, 3'000'000'000}, {2000, 75000}, {3, 3}}},
    };
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    ASSERT_EQ(Display.AtPump.size(), 6u);
    std::vector<std::wstring> labels;
    for (const Shown& shown : Display.AtPump) {
        labels.push_back(shown.OverallLabel);
        EXPECT_GT(shown.OverallMax, 0);
        EXPECT_LE(shown.OverallPos, shown.OverallMax);
    }
    EXPECT_EQ(labels, (std::vector<std::wstring>{L"19%", L"50%", L"62%", L"63%", L"64%", L"100%"}));
}

TEST_F(BatchRun, PercentagesAreWrittenInTheGivenRegionalFormat) {
    AddRowWithoutFile(L"a.webm", 100);
    AddRowWithoutFile(L"b.webm", 100);
    ScriptedConverter converter;
    converter.Jobs = {{{{5, 10}}}, {{{10, 10}}}};
    TBatch batch(List, Folder, Display, converter);
    batch.PercentPattern = TPercentPattern::NumberSpacePercent;
    batch.Run();

    ASSERT_EQ(Display.AtPump.size(), 2u);
    EXPECT_EQ(Display.AtPump[0].CurLabel, L"50\u00A0%");
    EXPECT_EQ(Display.AtPump[0].OverallLabel, L"25\u00A0%");
    EXPECT_EQ(Display.AtPump[1].OverallLabel, L"100\u00A0%");
}

TEST_F(BatchRun, EmptyFilesShowNoOverallProgress) {
    AddRowWithoutFile(L"a.webm", 0);
    AddRowWithoutFile(L"b.webm", 0);
    ScriptedConverter converter;
    converter.Jobs = {{{{5, 10}}}, {{{0, 0}}}};
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    ASSERT_EQ(Display.AtPump.size(), 2u);
    EXPECT_EQ(Display.AtPump[0].OverallMax, 0);
    EXPECT_EQ(Display.AtPump[0].CurLabel, L"50%");
    EXPECT_EQ(Display.AtPump[0].OverallLabel, L"0%");
    EXPECT_EQ(Display.AtPump[1].OverallLabel, L"0%");
}

TEST_F(BatchRun, OutputFolderChoiceIsReadForEveryFile) {
    TempFolder out(L"kestrova-out");
    out.WriteFile(L"clip.avi", "older");
    AddRowWithoutFile(L"a.webm");
    AddRowWithoutFile(L"clip.webm");
    ScriptedConverter converter;
    converter.Jobs = {{{{0, 0}}}, {{{0, 0}}}};
    Display.OnPump = [&] {
        Folder.Same = false;
        Folder.Folder = out.Path().wstring(); // no trailing delimiter
    };
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    EXPECT_EQ(converter.Destinations,
              (std::vector<std::wstring>{Location + L"a.partial.avi",
                                         IncludeTrailingPathDelimiter(out.Path().wstring()) +
                                             L"clip(2).partial.avi"}));
}

TEST_F(BatchRun, TheFolderTextIsReadAsTheCheckBeforeTheBatchReadIt) {
    TempFolder out(L"kestrova-out");
    AddRowWithoutFile(L"clip.webm");
    ScriptedConverter converter;
    converter.Jobs = {{{{0, 0}}}};
    Folder.Same = false;
    Folder.Folder = L" \"" + out.Wide() + L" \" "; // pasted with quotes, a blank inside
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    EXPECT_EQ(converter.Destinations,
              (std::vector<std::wstring>{IncludeTrailingPathDelimiter(out.Wide()) +
                                         L"clip.partial.avi"}));
}

TEST_F(BatchRun, ExceptionEndsTheBatchAndStopsTheConverter) {
    AddRow(L"a.webm", Duration10s + "create\nstatus 1000 100 50\ncreate\nexit 0\n");
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    Display.OnPump = [] { throw std::runtime_error("display gone"); };

    EXPECT_THROW(batch.Run(), std::runtime_error);
    EXPECT_FALSE(Exists(L"a.avi") || Exists(L"a.partial.avi"))
        << "what the interrupted conversion wrote is deleted";
    EXPECT_TRUE(batch.Failures().empty()) << "an exception is not a file failure";
    EXPECT_TRUE(batch.IsDone()) << "the progress window must be able to close";
    EXPECT_EQ(ProgressForm, nullptr);
    ASSERT_EQ(List.Names(), std::vector<std::wstring>{L"a.webm"});
    EXPECT_EQ(List.Rows[0].Image, iiFilmReel);

    // Left running, the script would have written its output within about half a second.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_FALSE(Exists(L"a.avi") || Exists(L"a.partial.avi"));

    EXPECT_NO_THROW(batch.Run()) << "a finished batch does not start again";
    EXPECT_EQ(converter.Destinations.size(), 1u);
}

std::string Replay(const std::string& Name) {
    return "replay " + (testing_support::TestDataFolder() / (Name + ".txt")).string() + "\n";
}

TEST_F(BatchRun, FailedConversionsLeaveNoFileAndSayWhy) {
    AddRow(L"a.webm", Duration10s + "create\nerr Error writing trailer: Invalid argument\\n\n"
                                    "exit 1\n");
    AddRow(L"b.webm", Converts);
    AddRow(L"c.webm", "create\ncrash 3221225477\n");
    AddRow(L"d.webm", "create\n" + Replay("av1-10bit-8bit-decoder") + "exit 0\n");
    AddRow(L"holiday.webm", "write 186368\n" + Replay("ended-early") + "exit 0\n");
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    EXPECT_FALSE(Exists(L"a.avi"));
    EXPECT_TRUE(Exists(L"b.avi"));
    EXPECT_FALSE(Exists(L"c.avi"));
    EXPECT_FALSE(Exists(L"d.avi")) << "exit code 0, but no picture: not converted";
    EXPECT_TRUE(Exists(L"holiday.avi")) << "an early end keeps what there is";

    ASSERT_EQ(List.Names(), (std::vector<std::wstring>{L"a.webm", L"c.webm", L"d.webm"}));
    for (const FakeRow& row : List.Rows) {
        EXPECT_EQ(row.Image, iiFailed);
        EXPECT_EQ(row.OutcomesSet, 1);
    }
    EXPECT_EQ(List.Rows[0].Outcome.Failure, TFailureKind::WriteFailed);
    EXPECT_EQ(List.Rows[0].Outcome.LastLine, L"Error writing trailer: Invalid argument");
    EXPECT_EQ(List.Rows[1].Outcome.Failure, TFailureKind::Crashed);
    EXPECT_EQ(List.Rows[2].Outcome.Failure, TFailureKind::NoPicture);
    EXPECT_FALSE(List.Rows[2].Outcome.Details.empty());

    ASSERT_EQ(batch.Failures().size(), 3u);
    EXPECT_EQ(batch.Failures()[1].Name, L"c.webm");
    ASSERT_EQ(batch.EndedEarly().size(), 1u);
    EXPECT_EQ(batch.EndedEarly()[0].Name, L"holiday.webm");

    const std::wstring crashCode = DescribeFailure(List.Rows[1].Outcome, DefaultFailureTexts);
    EXPECT_EQ(batch.SummaryText(),
              L"The conversion is finished. Some files were not converted.\n"
              L"\n"
              L"a.webm: the AVI file could not be written in " +
                  Location.substr(0, Location.size() - 1) +
                  L": Error writing trailer: Invalid argument\n"
                  L"c.webm: " +
                  crashCode +
                  L"\n"
                  L"d.webm: the video could not be decoded (av1)\n"
                  L"\n"
                  L"holiday.webm ends early: 0:04 of 0:10 converted \u2014 the file is damaged or "
                  L"incomplete");
}

std::string ContentOf(const fs::path& File) {
    std::ifstream in(File, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Another program's file, appearing under the AVI's name while the converter runs.
const std::string Theirs = "another program's bytes\r\n\x01\x02";

TEST_F(BatchRun, ANameTakenMidRunIsLeftAloneAndTheAviTakesTheNextNumber) {
    AddRow(L"a.webm", Converts);
    bool taken = false;
    Display.OnPump = [&] {
        if (!std::exchange(taken, true))
            Temp.WriteFile(L"a.avi", Theirs);
    };
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    EXPECT_TRUE(List.Rows.empty());
    EXPECT_EQ(ContentOf(Temp.Path() / "a.avi"), Theirs) << "untouched, byte for byte";
    EXPECT_EQ(ContentOf(Temp.Path() / "a(2).avi"), "RIFF fake AVI");
    EXPECT_FALSE(Exists(L"a.partial.avi"));
}

TEST_F(BatchRun, FailureAndCancelDeleteOnlyThePartialFile) {
    Temp.WriteFile(L"a.avi", Theirs); // there before the run
    AddRow(L"a.webm", Duration10s + "create\nstatus 10000 2500 10\nexit 1\n");
    AddRow(L"b.webm", Duration10s + "create\nstatus 10000 500 100\nexit 0\n");
    TBatch* running = nullptr;
    Display.OnPump = [&] {
        // Another program takes each file's final name as its conversion runs.
        if (Display.Now.Caption.starts_with(L"a.webm") && !Exists(L"a(2).avi"))
            Temp.WriteFile(L"a(2).avi", Theirs);
        if (Display.Now.Caption.starts_with(L"b.webm")) {
            Temp.WriteFile(L"b.avi", Theirs);
            running->Cancel = true;
        }
    };
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    running = &batch;
    batch.Run();

    ASSERT_EQ(converter.Destinations, (std::vector<std::wstring>{Location + L"a(2).partial.avi",
                                                                 Location + L"b.partial.avi"}));
    EXPECT_EQ(List.Rows.at(0).Outcome.Failure, TFailureKind::Other);
    EXPECT_EQ(List.Rows.at(1).Outcome.Failure, TFailureKind::Cancelled);
    for (const wchar_t* name : {L"a.avi", L"a(2).avi", L"b.avi"})
        EXPECT_EQ(ContentOf(Temp.Path() / name), Theirs) << fs::path(name).string();
    EXPECT_FALSE(Exists(L"a(2).partial.avi") || Exists(L"b.partial.avi"));
}

TEST_F(BatchRun, EveryPartialFileIsReportedBeforeItIsWrittenAndWhenItGoes) {
    AddRow(L"a.webm", Converts);
    AddRow(L"b.webm", Fails);
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    EXPECT_EQ(List.PartialEvents,
              (std::vector<std::wstring>{
                  L"+" + Location + L"a.partial.avi (empty)", L"-" + Location + L"a.partial.avi",
                  L"+" + Location + L"b.partial.avi (empty)", L"-" + Location + L"b.partial.avi"}));
}

TEST_F(BatchRun, NothingIsUnderTheFinalNameUntilTheFileIsWhole) {
    AddRow(L"a.webm", Duration10s + "create\nstatus 10000 1000 20\nexit 0\n");
    int pumps = 0, finalSeen = 0, partialSeen = 0;
    Display.OnPump = [&] {
        ++pumps;
        finalSeen += Exists(L"a.avi");
        partialSeen += Exists(L"a.partial.avi");
    };
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    EXPECT_GT(pumps, 5);
    EXPECT_EQ(finalSeen, 0) << "a player opening a.avi mid-run finds nothing";
    EXPECT_EQ(partialSeen, pumps) << "the converter's file is the reserved partial one";
    EXPECT_EQ(ContentOf(Temp.Path() / "a.avi"), "RIFF fake AVI");
    EXPECT_FALSE(Exists(L"a.partial.avi"));
}

// A converter that reports success but whose file cannot be renamed: something removed it. On
// Windows Kestrova's hold on the partial file refuses that removal.
class VanishingConverter : public TConverter {
public:
    bool Removed = false;
    bool ConvertFile(const std::wstring&, const std::wstring& Destination, TProgressProc,
                     TConversionOutcome& Outcome) override {
        Removed = RemoveFile(Destination);
        Outcome = {};
        Outcome.Converted = true;
        Outcome.EndedEarly = true;
        return true;
    }
};

TEST_F(BatchRun, AFinishedFileThatCannotBeNamedFailsAndSaysWhy) {
    AddRowWithoutFile(L"a.webm");
    VanishingConverter converter;
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

#ifdef _WIN32
    EXPECT_FALSE(converter.Removed) << "the hold lets no other program delete the partial file";
    EXPECT_TRUE(List.Rows.empty());
    EXPECT_TRUE(Exists(L"a.avi"));
#else
    ASSERT_TRUE(converter.Removed);
    ASSERT_EQ(List.Names(), std::vector<std::wstring>{L"a.webm"});
    const TConversionOutcome& outcome = List.Rows[0].Outcome;
    EXPECT_FALSE(outcome.Converted);
    EXPECT_EQ(outcome.Failure, TFailureKind::NotPublished);
    EXPECT_TRUE(batch.EndedEarly().empty());
    const std::wstring reason = DescribeFailure(outcome, DefaultFailureTexts);
    EXPECT_TRUE(reason.starts_with(L"the AVI file could not be given its name ("))
        << fs::path(reason).string();
    EXPECT_GT(reason.size(), 45u) << "with the system's words";
    EXPECT_FALSE(Exists(L"a.avi"));
#endif
}

// FFmpeg 5.1 on a volume that fills while it writes the index: the errors, then exit code 0.
std::string FillsAtTheTrailer(const std::wstring& Partial) {
    const std::string name = testing_support::PathFromWide(Partial).string();
    return Duration10s +
           "write 50000\nstatus 10000 2500 10\n"
           "err Error writing trailer of " +
           name +
           ": No space left on device\\n\n"
           "err video:40kB audio:9kB subtitle:0kB other streams:0kB\\n\n"
           "err Error closing file " +
           name +
           ": No space left on device\\n\n"
           "exit 0\n";
}

TEST_F(BatchRun, ATrailerErrorWithExitCodeZeroPublishesNothing) {
    AddRow(L"a.webm", FillsAtTheTrailer(Location + L"a.partial.avi"));
    AddRow(L"b.webm", Converts);
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    ASSERT_EQ(List.Names(), std::vector<std::wstring>{L"a.webm"});
    EXPECT_EQ(List.Rows[0].Image, iiFailed);
    EXPECT_EQ(DescribeFailure(List.Rows[0].Outcome, DefaultFailureTexts),
              L"the disk is full: the AVI file did not fit in " +
                  Location.substr(0, Location.size() - 1));
    EXPECT_FALSE(Exists(L"a.avi")) << "a cut AVI is never published";
    EXPECT_FALSE(Exists(L"a.partial.avi")) << "nor left behind";
    EXPECT_TRUE(Exists(L"b.avi"));
}

TEST_F(BatchRun, AFileShorterThanTheConverterReportedIsNotPublished) {
    AddRow(L"a.webm", Duration10s + "write 30000\n"
                                    "err frame=  250 fps=0.0 q=2.0 Lsize=      40kB "
                                    "time=00:00:10.00 bitrate=32.0kbits/s\\r\n"
                                    "err video:30kB audio:9kB subtitle:0kB\\n\nexit 0\n");
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    ASSERT_EQ(List.Rows.size(), 1u);
    EXPECT_EQ(List.Rows[0].Outcome.Failure, TFailureKind::ShortOutput);
    EXPECT_FALSE(Exists(L"a.avi"));
    EXPECT_FALSE(Exists(L"a.partial.avi"));
}

// Publishing as a virus scanner would make it: the file busy until the clock reaches HeldUntil.
// The clock moves only as the batch pauses, so a minute passes in no time.
class HeldPublishing : public TPublishing {
public:
    int64_t Clock = 0;
    int64_t HeldUntil = 0;
    int Tries = 0;
    int LongestPause = 0;

    TFileClaim TryPublish(TReservedOutput& Reserved, const std::wstring& Target,
                          std::wstring& Final, std::wstring& SystemReason) override {
        ++Tries;
        if (Clock < HeldUntil) {
            SystemReason = L"The process cannot access the file because it is being used by "
                           L"another process.";
            return TFileClaim::Busy;
        }
        return TPublishing::TryPublish(Reserved, Target, Final, SystemReason);
    }
    int64_t NowMs() override { return Clock; }
    void Pause(int Ms) override {
        LongestPause = std::max(LongestPause, Ms);
        Clock += Ms;
    }
};

class PublishWait : public BatchRun {
protected:
    ProcessConverter Converter;
    TBatch Batch{List, Folder, Display, Converter};
    HeldPublishing* Held = nullptr;
    size_t PumpsBefore = 0;

    void SetUp() override {
        auto held = std::make_unique<HeldPublishing>();
        Held = held.get();
        Batch.Publishing = std::move(held);
        // Pumps from here on are the wait's: the conversion's own come before the file is held.
        Display.OnCaption = [this] { PumpsBefore = Display.AtPump.size(); };
    }
    size_t PumpsWhileHeld() const { return Display.AtPump.size() - PumpsBefore; }
};

TEST_F(PublishWait, AFileHeldForSecondsIsPublishedOnceLetGo) {
    AddRow(L"a.webm", Converts);
    Held->HeldUntil = 4'000;
    Batch.Run();

    EXPECT_TRUE(List.Rows.empty()) << "converted";
    EXPECT_EQ(ContentOf(Temp.Path() / "a.avi"), "RIFF fake AVI");
    EXPECT_FALSE(Exists(L"a.partial.avi"));
    EXPECT_GE(Held->Clock, 4'000);
    EXPECT_LT(Held->Clock, 4'000 + PublishLongestPauseMs);
    EXPECT_LE(Held->LongestPause, PublishPumpMs) << "never one long sleep";
    EXPECT_GE(PumpsWhileHeld(), static_cast<size_t>(4'000 / PublishPumpMs))
        << "the window answered throughout";
    EXPECT_LE(Held->Tries, 12) << "tries come further apart";
    EXPECT_GE(Held->Tries, 5);
}

TEST_F(PublishWait, AFileHeldBeyondAMinuteIsKeptAndTheRowSaysWhere) {
    AddRow(L"a.webm", Converts);
    Held->HeldUntil = std::numeric_limits<int64_t>::max();
    Batch.Run();

    ASSERT_EQ(List.Rows.size(), 1u);
    const TConversionOutcome& outcome = List.Rows[0].Outcome;
    EXPECT_EQ(outcome.Failure, TFailureKind::NotPublished);
    EXPECT_EQ(outcome.KeptPath, Location + L"a.partial.avi");
    EXPECT_EQ(DescribeFailure(outcome, DefaultFailureTexts),
              L"the AVI file could not be given its name (The process cannot access the file "
              L"because it is being used by another process.); the converted file is kept as " +
                  Location + L"a.partial.avi");
    EXPECT_EQ(ContentOf(Temp.Path() / "a.partial.avi"), "RIFF fake AVI") << "never deleted";
    EXPECT_FALSE(Exists(L"a.avi"));
    EXPECT_GE(Held->Clock, PublishPatienceMs);
    EXPECT_LE(Held->Clock, PublishPatienceMs + PublishPumpMs);
}

TEST_F(PublishWait, CancelWhileWaitingActsAtOnceAndKeepsTheFile) {
    AddRow(L"a.webm", Converts);
    AddRow(L"b.webm", Converts);
    Held->HeldUntil = std::numeric_limits<int64_t>::max();
    int64_t cancelledAt = -1;
    Display.OnPump = [&] {
        if (Held->Clock >= 1'000 && cancelledAt < 0) {
            cancelledAt = Held->Clock;
            Batch.Cancel = true;
        }
    };
    Batch.Run();

    ASSERT_GE(cancelledAt, 0);
    EXPECT_EQ(Held->Clock, cancelledAt) << "no further pause after Cancel";
    ASSERT_EQ(List.Names(), (std::vector<std::wstring>{L"a.webm", L"b.webm"}));
    const TConversionOutcome& outcome = List.Rows[0].Outcome;
    EXPECT_EQ(outcome.Failure, TFailureKind::Cancelled);
    EXPECT_EQ(DescribeFailure(outcome, DefaultFailureTexts),
              L"cancelled; the converted file is kept as " + Location + L"a.partial.avi");
    EXPECT_EQ(ContentOf(Temp.Path() / "a.partial.avi"), "RIFF fake AVI");
    EXPECT_EQ(Converter.Destinations.size(), 1u) << "b.webm never started";
}

TEST_F(BatchRun, WithoutAFileOfItsOwnTheConverterIsNotStarted) {
    AddRowWithoutFile(L"a.webm");
    Folder.Same = false;
    Folder.Folder = (Temp.Path() / "gone").wstring();
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    EXPECT_TRUE(converter.Destinations.empty());
    ASSERT_EQ(List.Rows.size(), 1u);
    EXPECT_EQ(List.Rows[0].Outcome.Failure, TFailureKind::SourceMissing) << "no a.webm either";
    EXPECT_FALSE(List.Rows[0].Outcome.Details.empty()) << "the system's words";
    EXPECT_FALSE(fs::exists(Temp.Path() / "gone"));
}

// The real converter behind a stand-in that first puts a file under the name it was given, as
// another program would: it is told to write over that file and reads no input, so it neither
// asks nor waits.
TEST_F(BatchRun, AStandInThatTakesTheNameThenRunsTheRealConverterDoesNotHang) {
    const fs::path sample = testing_support::SamplesFolder() / "vp8-vorbis.webm";
    AddRow(L"a.webm",
           "create\nconvert " +
               testing_support::PathFromWide(testing_support::RealConverterPath()).string() + " " +
               sample.string() + "\n");
    const auto start = std::chrono::steady_clock::now();
    TBatch* running = nullptr;
    Display.OnPump = [&] {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(60))
            running->Cancel = true; // hung: stop the stand-in rather than the test run
    };
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    running = &batch;
    batch.Run();

    EXPECT_FALSE(batch.Cancel) << "the converter waited on a question";
    EXPECT_TRUE(List.Rows.empty())
        << (List.Rows.empty() ? "" : fs::path(List.Rows[0].Outcome.Details).string());
    EXPECT_TRUE(testing_support::ReadAviStreams(Temp.Path() / "a.avi").IsAvi);
    EXPECT_FALSE(Exists(L"a.partial.avi"));
}

// The real converter writes into the reserved file, and another program's file under the final
// name survives the conversion.
class RealConverter : public TConverter {
public:
    bool ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                     TProgressProc ProgressProc, TConversionOutcome& Outcome) override {
        Outcome = ConvertWithFFmpeg(testing_support::RealConverterPath(), Source, Destination,
                                    FFmpegOptions, ProgressProc);
        return Outcome.Converted;
    }
};

TEST_F(BatchRun, RealConversionLandsBesideAFileTakenMidRun) {
    fs::copy_file(testing_support::SamplesFolder() / "vp8-vorbis.webm", Temp.Path() / "a.webm");
    AddRowWithoutFile(L"a.webm");
    bool taken = false;
    Display.OnPump = [&] {
        if (!std::exchange(taken, true))
            Temp.WriteFile(L"a.avi", Theirs);
    };
    RealConverter converter;
    TBatch batch(List, Folder, Display, converter);
    batch.Run();

    ASSERT_TRUE(List.Rows.empty()) << fs::path(List.Rows[0].Outcome.Details).string();
    EXPECT_EQ(ContentOf(Temp.Path() / "a.avi"), Theirs);
    const testing_support::AviStreams avi =
        testing_support::ReadAviStreams(Temp.Path() / "a(2).avi");
    EXPECT_TRUE(avi.IsAvi);
    EXPECT_EQ(avi.VideoFourCC, "XVID");
    EXPECT_FALSE(Exists(L"a.partial.avi"));
}

TEST(BatchSummaryText, ListsAtMostTenFailuresThenCounts) {
    std::vector<TFileNote> failures;
    for (int i = 1; i <= 13; ++i) {
        TFileNote note{L"clip" + std::to_wstring(i) + L".webm", {}};
        note.Outcome.Failure = TFailureKind::NoPicture;
        note.Outcome.Codec = L"av1";
        failures.push_back(note);
    }
    std::wstring expected = L"The conversion is finished. Some files were not converted.\n";
    for (int i = 1; i <= 10; ++i)
        expected += L"\nclip" + std::to_wstring(i) + L".webm: the video could not be decoded (av1)";
    expected += L"\nand 3 more";
    EXPECT_EQ(ComposeBatchSummary(TBatchSummary::FinishedWithFailures, failures, {},
                                  DefaultSummaryTexts, DefaultFailureTexts),
              expected);

    failures.resize(10);
    EXPECT_EQ(ComposeBatchSummary(TBatchSummary::FinishedWithFailures, failures, {},
                                  DefaultSummaryTexts, DefaultFailureTexts)
                  .find(L"more"),
              std::wstring::npos)
        << "exactly ten: all listed";
    EXPECT_EQ(ComposeBatchSummary(TBatchSummary::None, failures, {}, DefaultSummaryTexts,
                                  DefaultFailureTexts),
              L"");
}

TEST(BatchSummaryText, EndedEarlyNotesFollowTheSentence) {
    TFileNote note{L"holiday.webm", {}};
    note.Outcome.Converted = true;
    note.Outcome.EndedEarly = true;
    note.Outcome.ReachedMs = 295000;
    note.Outcome.DurationMs = 600000;
    TFileNote longOne = note;
    longOne.Name = L"film.webm";
    longOne.Outcome.ReachedMs = 3723000;
    longOne.Outcome.DurationMs = 7200000;
    EXPECT_EQ(ComposeBatchSummary(TBatchSummary::Finished, {}, {note, longOne}, DefaultSummaryTexts,
                                  DefaultFailureTexts),
              L"The conversion is finished.\n"
              L"\n"
              L"holiday.webm ends early: 4:55 of 10:00 converted \u2014 the file is damaged or "
              L"incomplete\n"
              L"film.webm ends early: 1:02:03 of 2:00:00 converted \u2014 the file is damaged or "
              L"incomplete");
    // Other words, from the string table.
    TSummaryTexts texts{L"Fertig.", L"Nicht alles.", L"%1 \u2013 %2", L"und %1 weitere",
                        L"%1: nur %2 von %3"};
    TFileNote failed{L"a.webm", {}};
    failed.Outcome.Failure = TFailureKind::Cancelled;
    TFailureTexts failureTexts = DefaultFailureTexts;
    failureTexts.Cancelled = L"abgebrochen";
    EXPECT_EQ(ComposeBatchSummary(TBatchSummary::FinishedWithFailures, {failed}, {note}, texts,
                                  failureTexts),
              L"Fertig. Nicht alles.\n\na.webm \u2013 abgebrochen\n\nholiday.webm: nur 4:55 von "
              L"10:00");
}

TEST(BatchArithmetic, MulDivRoundIsExactWithHalvesToEven) {
    EXPECT_EQ(MulDivRound(250, 100, 400), 62);
    EXPECT_EQ(MulDivRound(127, 100, 200), 64);
    EXPECT_EQ(MulDivRound(5, 1, 2), 2);
    EXPECT_EQ(MulDivRound(7, 1, 2), 4);
    EXPECT_EQ(MulDivRound(1, 2, 3), 1);
    EXPECT_EQ(MulDivRound(1, 1, 3), 0);
    EXPECT_EQ(MulDivRound(-5, 1, 2), -2);
    EXPECT_EQ(MulDivRound(-7, 1, 2), -4);
    EXPECT_EQ(MulDivRound(5, 1, -2), -2);
    EXPECT_EQ(MulDivRound(-1, 2, 3), -1);

    constexpr int64_t Max = std::numeric_limits<int64_t>::max();
    EXPECT_EQ(MulDivRound(Max - 1, 100, Max), 100) << "no overflow in the product";
    EXPECT_EQ(MulDivRound(Max, Max, 1), Max) << "saturates";
    EXPECT_EQ(MulDivRound(1, 1, 0), 0);

    EXPECT_EQ(PercentText(5, 8), L"62%");
    EXPECT_EQ(PercentText(0, 0), L"0%");
    // The regional formats: the sign after with a space that does not break, or before.
    EXPECT_EQ(PercentText(5, 8, TPercentPattern::NumberSpacePercent), L"62\u00A0%");
    EXPECT_EQ(PercentText(5, 8, TPercentPattern::PercentNumber), L"%62");
    EXPECT_EQ(PercentText(0, 0, TPercentPattern::PercentSpaceNumber), L"%\u00A00");
}

// Side by side: the fake converter as jobs that the batch drives together.
class JobConverter : public ProcessConverter {
public:
    int JobsCreated = 0;

    std::unique_ptr<TFFmpegJob> CreateJob(const std::wstring& Source,
                                          const std::wstring& Destination) override {
        ++JobsCreated;
        Destinations.push_back(Destination);
        return std::make_unique<TFFmpegJob>(testing_support::FakeConverterPath(), Source,
                                            Destination, FFmpegOptions);
    }
};

class LinesDisplay : public FakeDisplay {
public:
    std::vector<TFileLine> Last; // as the latest report showed them
    size_t MostLines = 0;

    void SetFileLines(const std::vector<TFileLine>& Lines) override {
        TProgressDisplay::SetFileLines(Lines);
        Last = Lines;
        MostLines = std::max(MostLines, Lines.size());
    }
};

class SideBySideBatch : public BatchRun {
protected:
    LinesDisplay Lines;
    JobConverter Converter;
    TBatch Batch{List, Folder, Lines, Converter};

    std::vector<std::wstring> PartialNames() const {
        std::vector<std::wstring> names;
        for (const std::wstring& destination : Converter.Destinations)
            names.push_back(testing_support::WideFromPath(
                testing_support::PathFromWide(destination).filename()));
        return names;
    }
};

const std::string SlowFails = Duration10s + "status 10000 2500 120\nexit 1\n";
const std::string SlowConverts = Duration10s + "status 10000 2500 120\ncreate\nexit 0\n";
const std::string Hangs = Duration10s + "create\nstatus 2500 2500 0\nignore-signals\nhang\n";

// Rows leave the list while files above and below them still run: every outcome must land on
// its own row, and the summary keeps the list's order whatever order the files end in.
TEST_F(SideBySideBatch, OutcomesLandOnTheirOwnRowsAndTheSummaryKeepsListOrder) {
    AddRow(L"a.webm", SlowFails);
    AddRow(L"b.webm", Converts);
    AddRow(L"c.webm", "create\ncrash 3221225477\n");
    AddRow(L"d.webm", SlowConverts);
    AddRow(L"e.webm", Converts);
    AddRowWithoutFile(L"f.webm");
    Batch.SideBySide = 3;
    Batch.Run();

    EXPECT_EQ(Lines.MostLines, 3u);
    EXPECT_EQ(PartialNames(),
              (std::vector<std::wstring>{L"a.partial.avi", L"b.partial.avi", L"c.partial.avi",
                                         L"d.partial.avi", L"e.partial.avi", L"f.partial.avi"}))
        << "files start in list order";
    ASSERT_EQ(List.Names(), (std::vector<std::wstring>{L"a.webm", L"c.webm", L"f.webm"}));
    EXPECT_EQ(List.Rows[0].Outcome.Failure, TFailureKind::Other);
    EXPECT_EQ(List.Rows[1].Outcome.Failure, TFailureKind::Crashed);
    EXPECT_EQ(List.Rows[2].Outcome.Failure, TFailureKind::SourceMissing);
    for (const FakeRow& row : List.Rows) {
        EXPECT_EQ(row.Image, iiFailed);
        EXPECT_EQ(row.OutcomesSet, 1);
    }
    EXPECT_EQ(List.Refreshes, 3);
    for (const wchar_t* name : {L"b.avi", L"d.avi", L"e.avi"})
        EXPECT_TRUE(Exists(name)) << fs::path(name).string();
    for (const wchar_t* name : {L"a.avi", L"c.avi", L"f.avi", L"a.partial.avi", L"d.partial.avi"})
        EXPECT_FALSE(Exists(name)) << fs::path(name).string();

    ASSERT_EQ(Batch.Failures().size(), 3u);
    EXPECT_EQ(Batch.Failures()[0].Name, L"a.webm") << "c crashed first, a is listed first";
    EXPECT_EQ(Batch.Failures()[1].Name, L"c.webm");
    EXPECT_EQ(Batch.Failures()[2].Name, L"f.webm");
    EXPECT_EQ(Batch.Summary(), TBatchSummary::FinishedWithFailures);
    EXPECT_EQ(Lines.Now.OverallPos, Lines.Now.OverallMax);
}

TEST_F(SideBySideBatch, CancelStopsEveryRunningConverterAndDeletesOnlyTheirPartialFiles) {
    Temp.WriteFile(L"a.avi", Theirs);
    AddRow(L"a.webm", Hangs);
    AddRow(L"b.webm", Hangs);
    AddRow(L"c.webm", Hangs);
    AddRow(L"d.webm", Converts);
    Lines.OnPump = [&] {
        // All three converters are under way and silent for good.
        if (Lines.Last.size() == 3 &&
            std::all_of(Lines.Last.begin(), Lines.Last.end(),
                        [](const TFileLine& line) { return line.Percentage == L"25%"; }))
            Batch.Cancel = true;
    };
    Batch.SideBySide = 3;
    Batch.Run();

    EXPECT_EQ(Converter.JobsCreated, 3) << "nothing starts after Cancel";
    ASSERT_EQ(List.Names(),
              (std::vector<std::wstring>{L"a.webm", L"b.webm", L"c.webm", L"d.webm"}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(List.Rows[i].Outcome.Failure, TFailureKind::Cancelled) << i;
    EXPECT_EQ(List.Rows[3].Image, iiFilmReel);
    EXPECT_EQ(List.Rows[3].OutcomesSet, 0);
    EXPECT_EQ(ContentOf(Temp.Path() / "a.avi"), Theirs);
    for (const wchar_t* name : {L"a(2).partial.avi", L"b.partial.avi", L"c.partial.avi",
                                L"a(2).avi", L"b.avi", L"c.avi", L"d.avi"})
        EXPECT_FALSE(Exists(name)) << fs::path(name).string();
    EXPECT_EQ(Batch.Summary(), TBatchSummary::None);
    // Each running file was reported reserved while empty, and reported gone.
    std::vector<std::wstring> events = List.PartialEvents;
    std::sort(events.begin(), events.end());
    EXPECT_EQ(events, (std::vector<std::wstring>{L"+" + Location + L"a(2).partial.avi (empty)",
                                                 L"+" + Location + L"b.partial.avi (empty)",
                                                 L"+" + Location + L"c.partial.avi (empty)",
                                                 L"-" + Location + L"a(2).partial.avi",
                                                 L"-" + Location + L"b.partial.avi",
                                                 L"-" + Location + L"c.partial.avi"}));
}

// Converters that do not die when they are ended (stuck on a dead network share): their files are
// cancelled once they have had TerminateWaitMs, the window answering all the while, and the batch
// ends.
class StubbornJobConverter : public JobConverter {
public:
    std::unique_ptr<TFFmpegJob> CreateJob(const std::wstring& Source,
                                          const std::wstring& Destination) override {
        ++JobsCreated;
        Destinations.push_back(Destination);
        auto child = std::make_unique<testing_support::StubChild>();
        child->Script = {{TChildOutput::Data,
                          "  Duration: 00:00:10.00, start: 0.000000, bitrate: 800 kb/s\n"
                          "frame=  1 fps=0.0 q=2.0 time=00:00:02.50 x\r"}};
        child->DiesAfterTerminate.reset();
        return std::make_unique<TFFmpegJob>(L"ffmpeg.exe", Source, Destination, FFmpegOptions,
                                            std::move(child));
    }
};

TEST_F(SideBySideBatch, ConvertersThatDoNotDieDelayCancelOnlyBoundedlyAndTheWindowAnswers) {
    AddRow(L"a.webm", "");
    AddRow(L"b.webm", "");
    AddRow(L"c.webm", "");
    StubbornJobConverter stubborn;
    TBatch batch{List, Folder, Lines, stubborn};
    std::optional<std::chrono::steady_clock::time_point> cancelled;
    std::vector<std::chrono::steady_clock::time_point> pumps;
    Lines.OnPump = [&] {
        if (cancelled)
            pumps.push_back(std::chrono::steady_clock::now());
        else if (Lines.Last.size() == 2 && Lines.Last[1].Percentage == L"25%") {
            cancelled = std::chrono::steady_clock::now();
            batch.Cancel = true;
        }
    };
    batch.SideBySide = 2;
    batch.Run();
    const auto ended = std::chrono::steady_clock::now();

    ASSERT_TRUE(cancelled);
    EXPECT_GE(ended - *cancelled, std::chrono::milliseconds(TerminateWaitMs - 200));
    EXPECT_LT(ended - *cancelled, std::chrono::milliseconds(TerminateWaitMs + 3000))
        << "both converters were ended together and waited for together";
    EXPECT_GE(pumps.size(), TerminateWaitMs / QuietReportIntervalMs / 2);
    auto last = *cancelled;
    for (auto pump : pumps) {
        EXPECT_LT(pump - last, std::chrono::milliseconds(500)) << "the window stopped answering";
        last = pump;
    }
    EXPECT_EQ(stubborn.JobsCreated, 2);
    ASSERT_EQ(List.Names(), (std::vector<std::wstring>{L"a.webm", L"b.webm", L"c.webm"}));
    EXPECT_EQ(List.Rows[0].Outcome.Failure, TFailureKind::Cancelled);
    EXPECT_EQ(List.Rows[1].Outcome.Failure, TFailureKind::Cancelled);
    EXPECT_EQ(List.Rows[2].OutcomesSet, 0);
    EXPECT_EQ(batch.Summary(), TBatchSummary::None);
}

// Two rows of the same name from two folders, converted at the same time into one folder: the
// second finds the first's names reserved and takes the next number.
TEST_F(SideBySideBatch, TwoRowsOfTheSameNameIntoOneFolderGetTwoFiles) {
    const std::string script = Duration10s + "status 10000 2500 60\ncreate\nexit 0\n";
    for (const wchar_t* folder : {L"x", L"y"}) {
        fs::create_directory(Temp.Path() / folder);
        Temp.WriteFile(std::wstring(folder) + L"/clip.webm", script);
        FakeRow row;
        row.Row = {L"clip.webm", Location + folder + L"/", 100};
        List.Rows.push_back(row);
    }
    fs::create_directory(Temp.Path() / "out");
    Folder.Same = false;
    Folder.Folder = (Temp.Path() / "out").wstring();
    Batch.SideBySide = 2;
    Batch.Run();

    EXPECT_EQ(Lines.MostLines, 2u);
    EXPECT_TRUE(List.Rows.empty());
    EXPECT_EQ(PartialNames(),
              (std::vector<std::wstring>{L"clip.partial.avi", L"clip(2).partial.avi"}));
    EXPECT_EQ(ContentOf(Temp.Path() / "out" / "clip.avi"), "RIFF fake AVI");
    EXPECT_EQ(ContentOf(Temp.Path() / "out" / "clip(2).avi"), "RIFF fake AVI");
    EXPECT_FALSE(fs::exists(Temp.Path() / "out" / "clip.partial.avi"));
}

TEST_F(SideBySideBatch, TheOverallBarIsWeightedByTheBytesOfEveryRunningFile) {
    AddRow(L"a.webm", Duration10s + "status 5000 2500 0\nhang\n", 100);
    AddRow(L"b.webm", Duration10s + "status 10000 2500 0\nhang\n", 300);
    AddRow(L"c.webm", Converts, 600);
    std::vector<Shown> seen;
    Lines.OnPump = [&] {
        if (Lines.Last.size() == 2 && Lines.Last[0].Percentage == L"50%" &&
            Lines.Last[1].Percentage == L"100%") {
            seen.push_back(Lines.Now);
            Batch.Cancel = true;
        }
    };
    Batch.SideBySide = 2;
    Batch.Run();

    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].OverallMax, 1000);
    EXPECT_EQ(seen[0].OverallPos, 350) << "half of 100 bytes and all of 300";
    EXPECT_EQ(seen[0].OverallLabel, L"35%");
    EXPECT_EQ(Lines.Last[0].Caption, L"a.webm (1 of 3):");
    EXPECT_EQ(Lines.Last[1].Caption, L"b.webm (2 of 3):");
    EXPECT_EQ(seen[0].Caption, L"a.webm (1 of 3):") << "a one-line display shows the first";
}

// The window's language words the captions, one file at a time and side by side alike.
TEST_F(SideBySideBatch, CaptionsFollowTheGivenWording) {
    AddRow(L"a.webm", Converts);
    AddRow(L"b.webm", Duration10s + "status 10000 2500 0\nhang\n");
    Lines.OnPump = [&] {
        if (Lines.Last.size() == 2)
            Batch.Cancel = true;
    };
    Batch.FileCaptionText = L"%1 (%2 von %3):";
    Batch.SideBySide = 2;
    Batch.Run();
    ASSERT_EQ(Lines.Last.size(), 2u);
    EXPECT_EQ(Lines.Last[1].Caption, L"b.webm (2 von 2):");

    List.Rows.clear();
    AddRow(L"c.webm", Converts);
    TBatch OneAtATime(List, Folder, Display, Converter);
    OneAtATime.FileCaptionText = L"%1 (%2/%3)";
    OneAtATime.Run();
    ASSERT_FALSE(Display.AtCaption.empty());
    EXPECT_EQ(Display.AtCaption.front().Caption, L"c.webm (1/1)");
}

// Side by side a held file is waited for the same way, and the other files still land.
TEST_F(SideBySideBatch, AHeldFileIsWaitedForBesideTheOthers) {
    AddRow(L"a.webm", Converts);
    AddRow(L"b.webm", SlowConverts);
    auto held = std::make_unique<HeldPublishing>();
    held->HeldUntil = 3'000;
    HeldPublishing& publishing = *held;
    Batch.Publishing = std::move(held);
    Batch.SideBySide = 2;
    Batch.Run();

    EXPECT_TRUE(List.Rows.empty());
    EXPECT_TRUE(Exists(L"a.avi") && Exists(L"b.avi"));
    EXPECT_FALSE(Exists(L"a.partial.avi") || Exists(L"b.partial.avi"));
    EXPECT_GE(publishing.Clock, 3'000);
    EXPECT_LE(publishing.LongestPause, PublishPumpMs);
}

TEST_F(SideBySideBatch, OneFileIsConvertedAsItAlwaysWas) {
    AddRow(L"a.webm", Converts);
    Batch.SideBySide = 4;
    Batch.Run();

    EXPECT_EQ(Converter.JobsCreated, 0);
    ASSERT_EQ(Lines.AtCaption.size(), 1u);
    EXPECT_EQ(Lines.AtCaption[0].Caption, L"a.webm (1 of 1):");
    EXPECT_TRUE(Lines.Last.empty());
    EXPECT_TRUE(Exists(L"a.avi"));
}

TEST(SideBySideChoice, OneConverterPerLogicalCoreWithinTheLimit) {
    EXPECT_EQ(ChooseSideBySide(0), 1) << "unknown";
    EXPECT_EQ(ChooseSideBySide(1), 1);
    EXPECT_EQ(ChooseSideBySide(2), 2);
    EXPECT_EQ(ChooseSideBySide(4), 4);
    EXPECT_EQ(ChooseSideBySide(64), MaxSideBySide);
}

} // namespace

namespace {

// At the first progress report, as the end of the session does from the window's message
// handling: the batch's partial files go at once; then another program takes one of the names,
// and the batch is cancelled.
struct SessionEnd {
    explicit SessionEnd(TBatch& Batch) : Batch(&Batch) {}
    TBatch* Batch;
    std::vector<std::wstring> Partials; // the partial files there as the session ended
    int Left = -1;
    bool AllGone = false;

    void operator()(const fs::path& Folder, const std::wstring& Taken) {
        if (Left != -1)
            return;
        for (const auto& entry : fs::directory_iterator(Folder))
            if (entry.path().filename().wstring().find(L".partial.avi") != std::wstring::npos)
                Partials.push_back(entry.path().filename().wstring());
        std::sort(Partials.begin(), Partials.end());
        Left = Batch->RemovePartialFilesNow();
        AllGone = true;
        for (const std::wstring& name : Partials)
            AllGone = AllGone && !fs::exists(Folder / name);
        std::ofstream(Folder / Taken) << "another program's";
        Batch->Cancel = true;
    }
};

const std::string SecondLong = Duration10s + "status 10000 500 100\ncreate\nexit 0\n";

} // namespace

// One at a time: the running file's partial file is deleted when asked, and the file another
// program then puts under its name survives the run's own cleanup. The batch counts its files
// and those that ended.
TEST_F(BatchRun, PartialFilesRemovedAtTheEndOfTheSessionAreNotDeletedAgain) {
    AddRow(L"a.webm", SecondLong);
    AddRow(L"b.webm", SecondLong);
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    SessionEnd end(batch);
    Display.OnPump = [&] { end(Temp.Path(), L"a.partial.avi"); };
    EXPECT_EQ(batch.FileCount(), 0);
    batch.Run();

    EXPECT_EQ(end.Partials, std::vector<std::wstring>{L"a.partial.avi"});
    EXPECT_EQ(end.Left, 0);
    EXPECT_TRUE(end.AllGone);
    EXPECT_TRUE(Exists(L"a.partial.avi")) << "another program's file is left alone";
    EXPECT_FALSE(Exists(L"a.avi") || Exists(L"b.avi") || Exists(L"b.partial.avi"));
    EXPECT_EQ(batch.FileCount(), 2);
    EXPECT_EQ(batch.FilesEndedCount(), 1);
    EXPECT_EQ(batch.RemovePartialFilesNow(), 0) << "nothing is held once the run is over";
}

// Side by side: every running file's partial file goes at once.
TEST_F(SideBySideBatch, PartialFilesRemovedAtTheEndOfTheSessionAreNotDeletedAgain) {
    AddRow(L"a.webm", SecondLong);
    AddRow(L"b.webm", SecondLong);
    AddRow(L"c.webm", SecondLong);
    Batch.SideBySide = 2;
    SessionEnd end(Batch);
    Lines.OnPump = [&] { end(Temp.Path(), L"b.partial.avi"); };
    Batch.Run();

    EXPECT_EQ(end.Partials, (std::vector<std::wstring>{L"a.partial.avi", L"b.partial.avi"}));
    EXPECT_EQ(end.Left, 0);
    EXPECT_TRUE(end.AllGone);
    EXPECT_TRUE(Exists(L"b.partial.avi")) << "another program's file is left alone";
    EXPECT_FALSE(Exists(L"a.partial.avi") || Exists(L"c.partial.avi"));
    EXPECT_EQ(Batch.FileCount(), 3);
    EXPECT_EQ(Batch.FilesEndedCount(), 2);
}

TEST_F(BatchRun, AConverterWithoutJobsConvertsASideBySideBatchOneFileAtATime) {
    // Its files take the lanes one at a time, in place, exactly as a batch of one lane; Cancel
    // stops the file under way and leaves the rest untouched.
    AddRow(L"a.webm", Converts);
    AddRow(L"b.webm", Fails);
    AddRow(L"c.webm", Duration10s + "create\nstatus 10000 500 100\nexit 0\n");
    AddRow(L"d.webm", Converts);
    ProcessConverter converter;
    TBatch batch(List, Folder, Display, converter);
    batch.SideBySide = 3;
    Display.OnPump = [&] {
        if (Display.Now.Caption.find(L"(3 of 4)") != std::wstring::npos)
            batch.Cancel = true;
    };
    batch.Run();

    EXPECT_TRUE(batch.IsDone());
    EXPECT_EQ(converter.Destinations,
              (std::vector<std::wstring>{Location + L"a.partial.avi", Location + L"b.partial.avi",
                                         Location + L"c.partial.avi"}));
    ASSERT_EQ(List.Names(), (std::vector<std::wstring>{L"b.webm", L"c.webm", L"d.webm"}));
    EXPECT_EQ(List.Rows[0].Image, iiFailed);
    EXPECT_EQ(List.Rows[1].Outcome.Failure, TFailureKind::Cancelled);
    EXPECT_EQ(List.Rows[2].Image, iiFilmReel) << "the loop never got to it";
    EXPECT_TRUE(Exists(L"a.avi"));
    EXPECT_FALSE(Exists(L"b.avi") || Exists(L"c.avi") || Exists(L"c.partial.avi") ||
                 Exists(L"d.partial.avi"));
    std::vector<std::wstring> captions;
    for (const Shown& shown : Display.AtCaption)
        captions.push_back(shown.Caption);
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"a.webm (1 of 4):", L"b.webm (2 of 4):",
                                                   L"c.webm (3 of 4):"}));
    ASSERT_FALSE(Display.PumpsDuring(L"(1 of 4)").empty())
        << "progress came through UpdateProgress";
    EXPECT_EQ(Display.PumpsDuring(L"(1 of 4)").back().CurLabel, L"100%");
}
