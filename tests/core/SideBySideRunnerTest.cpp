// Several converters waited for at once, in one thread.
#include "ChildProcess.h"
#include "Conversion.h"
#include "FFmpegRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const std::string Duration10s =
    "err   Duration: 00:00:10.00, start: 0.000000, bitrate: 800 kb/s\\n\n";

class SideBySideRunner : public ::testing::Test {
protected:
    TempFolder Dir{L"kestrova-side"};

    std::unique_ptr<TFFmpegJob> Job(const std::wstring& Name, const std::string& Script) {
        const std::wstring source = WideFromPath(Dir.WriteFile(Name + L".webm", Script));
        return std::make_unique<TFFmpegJob>(FakeConverterPath(), source,
                                            Dir.Wide() + L"/" + Name + L".avi", FFmpegOptions);
    }
};

TEST_F(SideBySideRunner, TheWaitNamesOnlyTheConvertersThatSpoke) {
    auto silent = Job(L"silent", "hang\n");
    auto talking = Job(L"talking", "sleep 150\nerr hello\\n\nhang\n");
    ASSERT_TRUE(silent->Start());
    ASSERT_TRUE(talking->Start());
    std::vector<ChildProcess*> children{&silent->Process(), &talking->Process()};

    EXPECT_TRUE(WaitForChildren(children, 20, false).empty()) << "nobody has spoken yet";
    std::vector<size_t> ready;
    for (int i = 0; i < 100 && ready.empty(); ++i)
        ready = WaitForChildren(children, 100, false);
    EXPECT_EQ(ready, std::vector<size_t>{1});
    silent->Cancel();
    talking->Cancel();
}

// Each job keeps its own output, progress and verdict: a crash and a silent converter beside a
// good one touch nothing but their own runs.
TEST_F(SideBySideRunner, EachJobIsJudgedOnItsOwnOutput) {
    auto good = Job(L"good", Duration10s + "status 10000 2500 20\ncreate\nexit 0\n");
    auto crash = Job(L"crash", Duration10s + "status 5000 2500 20\ncrash 3221225477\n");
    auto silent = Job(L"silent", Duration10s + "status 2500 2500 0\nhang\n");
    std::vector<TFFmpegJob*> jobs{good.get(), crash.get(), silent.get()};
    for (TFFmpegJob* job : jobs)
        ASSERT_TRUE(job->Start());

    // The silent one's single report may come after the others have ended on a busy machine.
    for (int i = 0; i < 200 && !(good->Ended() && crash->Ended() && silent->Position() == 2500);
         ++i)
        StepJobs(jobs, 100, false);
    ASSERT_TRUE(good->Ended() && crash->Ended());
    EXPECT_FALSE(silent->Ended());
    EXPECT_EQ(good->Duration(), 10000);
    EXPECT_EQ(good->Position(), 10000);
    EXPECT_EQ(crash->Position(), 5000);
    EXPECT_EQ(silent->Position(), 2500);

    std::wstring output;
    const TConversionOutcome goodOutcome = JudgeRun(good->Finish(output), good->Destination());
    EXPECT_TRUE(goodOutcome.Converted);
    const TConversionOutcome crashOutcome = JudgeRun(crash->Finish(output), crash->Destination());
    EXPECT_EQ(crashOutcome.Failure, TFailureKind::Crashed);

    silent->Cancel();
    StepJobs(jobs, 1000, false);
    const TConversionOutcome silentOutcome =
        JudgeRun(silent->Finish(output), silent->Destination());
    EXPECT_EQ(silentOutcome.Failure, TFailureKind::Cancelled);
}

} // namespace
