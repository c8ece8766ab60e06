// The runner never waits for a converter without a bound, and its window answers while it waits:
// a converter that does not die when it is ended, a stream that fails before its end, partial
// files that a converter still holds.
#include "Conversion.h"
#include "FFmpegRun.h"
#include "Leftovers.h"
#include "StubChild.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>

using testing_support::StubChild;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

const std::string DurationLine = "  Duration: 00:00:10.00, start: 0.000000, bitrate: 800 kb/s\n";

struct StubJob {
    std::shared_ptr<StubChild::Seen> Watch;
    std::unique_ptr<TFFmpegJob> Job;
};

StubJob MakeJob(std::unique_ptr<StubChild> Child) {
    StubJob made{Child->Watch, nullptr};
    made.Job = std::make_unique<TFFmpegJob>(L"ffmpeg.exe", L"in.webm", L"out.avi", FFmpegOptions,
                                            std::move(Child));
    EXPECT_TRUE(made.Job->Start());
    return made;
}

// Steps the job until its stream has ended (a bounded number of steps).
void StepToEnd(TFFmpegJob& Job) {
    for (int i = 0; i < 1000 && !Job.Ended(); ++i)
        Job.Step(10, false);
}

// The moments a pump was called.
struct PumpLog {
    std::vector<Clock::time_point> Calls;
    bool AskStop = false;
    TWaitPump Pump() {
        return [this] {
            Calls.push_back(Clock::now());
            return AskStop;
        };
    }
    milliseconds LongestGap(Clock::time_point From, Clock::time_point To) const {
        milliseconds longest{0};
        Clock::time_point last = From;
        for (Clock::time_point call : Calls) {
            longest = std::max(longest, std::chrono::duration_cast<milliseconds>(call - last));
            last = call;
        }
        return std::max(longest, std::chrono::duration_cast<milliseconds>(To - last));
    }
};

} // namespace

// A converter stuck in I/O that cannot be interrupted does not die when it is ended: after Cancel
// the run waits TerminateWaitMs, handling messages about every QuietReportIntervalMs, then gives
// it up; the file counts as cancelled.
TEST(BoundedWait, ACancelledConverterThatDoesNotDieIsGivenUpAfterItsBound) {
    auto child = std::make_unique<StubChild>();
    child->Script = {{TChildOutput::Data, DurationLine}};
    child->DiesAfterTerminate.reset();
    StubJob stub = MakeJob(std::move(child));
    stub.Job->Step(10, false);
    stub.Job->Cancel();
    PumpLog pumps;
    std::wstring output;
    const Clock::time_point start = Clock::now();
    const TFFmpegRun run = stub.Job->Finish(output, pumps.Pump());
    const Clock::time_point end = Clock::now();

    EXPECT_TRUE(run.Abandoned);
    EXPECT_TRUE(run.Cancelled);
    EXPECT_EQ(stub.Watch->Terminates, 1);
    EXPECT_GE(end - start, milliseconds(TerminateWaitMs - 200)) << "it was given its time";
    EXPECT_LT(end - start, milliseconds(TerminateWaitMs + 2000)) << "and no more";
    EXPECT_GE(pumps.Calls.size(), TerminateWaitMs / QuietReportIntervalMs / 2);
    EXPECT_LT(pumps.LongestGap(start, end), milliseconds(4 * QuietReportIntervalMs))
        << "the window answered throughout";
    EXPECT_EQ(JudgeRun(run, L"out.avi").Failure, TFailureKind::Cancelled);
    EXPECT_NE(output.find(L"Duration: 00:00:10.00"), std::wstring::npos);
}

// One that dies as it should is not waited for longer, and hears nothing more from the window.
TEST(BoundedWait, AConverterThatDiesAtOnceEndsTheWaitAtOnce) {
    auto child = std::make_unique<StubChild>();
    child->DiesAfterTerminate = milliseconds(30);
    StubJob stub = MakeJob(std::move(child));
    stub.Job->Cancel();
    PumpLog pumps;
    std::wstring output;
    const Clock::time_point start = Clock::now();
    const TFFmpegRun run = stub.Job->Finish(output, pumps.Pump());
    EXPECT_LT(Clock::now() - start, milliseconds(1000));
    EXPECT_FALSE(run.Abandoned);
    EXPECT_TRUE(run.Cancelled);
    EXPECT_EQ(run.ExitCode, FFmpegCancelExitCode);
    EXPECT_TRUE(pumps.Calls.empty());
}

// A converter that closed its stream but goes on: the window's Cancel reaches it while the run
// waits for its end.
TEST(BoundedWait, CancelActsWhileTheRunWaitsForAConverterThatClosedItsStream) {
    auto child = std::make_unique<StubChild>();
    child->Script = {{TChildOutput::Data, DurationLine}, {TChildOutput::Ended, {}}};
    StubJob stub = MakeJob(std::move(child));
    StepToEnd(*stub.Job);
    ASSERT_TRUE(stub.Job->Ended());
    PumpLog pumps;
    pumps.AskStop = true;
    std::wstring output;
    const Clock::time_point start = Clock::now();
    const TFFmpegRun run = stub.Job->Finish(output, pumps.Pump());
    EXPECT_LT(Clock::now() - start, milliseconds(2000));
    EXPECT_EQ(stub.Watch->Terminates, 1);
    EXPECT_TRUE(run.Cancelled);
    EXPECT_FALSE(run.Stalled);
    EXPECT_FALSE(pumps.Calls.empty());
}

// A read error that is not the stream's end: the converter would wait for ever on a pipe nobody
// empties, so it is ended at once, and the file fails with its own reason whatever the converter
// printed before.
TEST(BoundedWait, AFailedStreamEndsTheConverterAndFailsTheFile) {
    auto child = std::make_unique<StubChild>();
    child->Script = {{TChildOutput::Data, DurationLine},
                     {TChildOutput::Data, "frame=  250 fps=0.0 q=2.0 time=00:00:10.00 x\r"},
                     {TChildOutput::Failed, {}}};
    child->DiesAfterTerminate = milliseconds(0);
    StubJob stub = MakeJob(std::move(child));
    StepToEnd(*stub.Job);
    ASSERT_TRUE(stub.Job->Ended());
    EXPECT_EQ(stub.Watch->Terminates, 1) << "ended as soon as its stream failed";
    EXPECT_EQ(stub.Job->Position(), 10000);
    std::wstring output;
    const TFFmpegRun run = stub.Job->Finish(output);
    EXPECT_TRUE(run.StreamFailed);
    EXPECT_FALSE(run.Cancelled);
    const TConversionOutcome outcome = JudgeRun(run, L"out.avi");
    EXPECT_FALSE(outcome.Converted);
    EXPECT_EQ(outcome.Failure, TFailureKind::OutputLost);
    EXPECT_EQ(DescribeFailure(outcome, DefaultFailureTexts),
              L"the converter's messages could not be read, so it was stopped");
}

// A stream that ends normally is not a failure, and its converter is not ended.
TEST(BoundedWait, AStreamThatEndsIsNoFailure) {
    auto child = std::make_unique<StubChild>();
    child->Script = {{TChildOutput::Data, DurationLine}, {TChildOutput::Ended, {}}};
    child->EndsWithItsStream = true;
    StubJob stub = MakeJob(std::move(child));
    StepToEnd(*stub.Job);
    std::wstring output;
    const TFFmpegRun run = stub.Job->Finish(output);
    EXPECT_FALSE(run.StreamFailed);
    EXPECT_FALSE(run.Stalled);
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_EQ(stub.Watch->Terminates, 0);
}

TEST(BoundedWait, AStalledConverterFailsWithItsOwnReason) {
    TFFmpegRun run;
    run.Started = true;
    run.Stalled = true;
    run.ExitCode = 0;
    const TConversionOutcome outcome = JudgeRun(run, L"out.avi");
    EXPECT_EQ(outcome.Failure, TFailureKind::NotEnded);
    EXPECT_EQ(DescribeFailure(outcome, DefaultFailureTexts),
              L"the converter did not end after its last message, so it was stopped");
    run.Cancelled = true;
    EXPECT_EQ(JudgeRun(run, L"out.avi").Failure, TFailureKind::Cancelled) << "the user's word wins";
}

namespace {

// A removal the system refuses while a converter holds the file.
std::set<std::wstring> Held;
std::vector<std::wstring> Tried;
bool RemoveUnlessHeld(const std::wstring& Path) {
    Tried.push_back(Path);
    return Held.count(Path) == 0;
}

} // namespace

TEST(LeftoverFiles, AFileStillHeldIsDeletedOnceItIsLetGo) {
    Held = {L"b.partial.avi"};
    Tried.clear();
    TLeftoverFiles files(RemoveUnlessHeld);
    files.Remove(L"a.partial.avi");
    files.Remove(L"b.partial.avi");
    files.Remove(L"b.partial.avi");
    EXPECT_EQ(files.Count(), 1u) << "a went at once; b is kept, once";
    EXPECT_EQ(files.Retry(), 1u);
    EXPECT_EQ(files.RetryNowAndThen(), 1u);
    EXPECT_EQ(Tried.size(), 4u) << "not tried again so soon";
    Held.clear();
    EXPECT_EQ(files.Retry(), 0u);
    EXPECT_EQ(Tried.back(), L"b.partial.avi");
    const size_t tries = Tried.size();
    EXPECT_EQ(files.RetryNowAndThen(), 0u);
    EXPECT_EQ(Tried.size(), tries) << "nothing left to try";
}
