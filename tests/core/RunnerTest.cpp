#include "Conversion.h"
#include "FFmpeg.h"
#include "FFmpegRun.h"
#include "KeptOutput.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#endif

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

struct Call {
    int64_t Position;
    int64_t Size;
};

// The callback is a plain function, so what it sees goes into one shared recorder.
struct Recorder {
    std::vector<Call> Calls;
    int CancelAtCall = -1; // set Cancel on this call (0-based)
    bool Throw = false;    // throw from the first call that knows the duration
};
Recorder Rec;

void Record(int64_t Position, int64_t Size, bool& Cancel) {
    Rec.Calls.push_back({Position, Size});
    // Once the converter is known to be under way (it has printed a duration), so that what it
    // did first is done.
    if (Rec.Throw && Size > 0)
        throw std::runtime_error("callback failed");
    if (static_cast<int>(Rec.Calls.size()) - 1 == Rec.CancelAtCall)
        Cancel = true;
}

class Runner : public ::testing::Test {
protected:
    void SetUp() override { Rec = Recorder{}; }

    // A source file whose content tells the fake converter what to do.
    std::wstring Script(const std::string& Text, const std::wstring& Name = L"clip.webm") {
        return WideFromPath(Dir.WriteFile(Name, Text));
    }
    std::wstring Out(const std::wstring& Name = L"clip.avi") { return Dir.Wide() + L"/" + Name; }

    bool Run(const std::wstring& Source, std::wstring& Output, TProgressProc Proc = Record) {
        return ExecuteFFmpeg(FakeConverterPath(), Source, Out(), FFmpegOptions, Output, Proc);
    }

    TempFolder Dir;
};

TEST_F(Runner, ReportsProgressFromChunksAndSucceedsOnExitCodeZero) {
    std::wstring output;
    bool ok = Run(Script("err Input #0, matroska,webm\\n  Duration: 00:00:10.00, start: 0\\n\n"
                         "sleep 30\nstatus 10000 2500 30\ncreate\nexit 0\n"),
                  output);
    EXPECT_TRUE(ok);
    // Calls made while the converter was still starting, before it printed the duration, report
    // nothing known yet.
    auto known =
        std::find_if(Rec.Calls.begin(), Rec.Calls.end(), [](const Call& c) { return c.Size != 0; });
    for (auto c = Rec.Calls.begin(); c != known; ++c)
        EXPECT_EQ(c->Position, 0);
    ASSERT_GE(Rec.Calls.end() - known, 2) << "one call per chunk";
    for (auto c = known; c != Rec.Calls.end(); ++c)
        EXPECT_EQ(c->Size, 10000);
    for (size_t i = 1; i < Rec.Calls.size(); ++i)
        EXPECT_GE(Rec.Calls[i].Position, Rec.Calls[i - 1].Position);
    EXPECT_EQ(Rec.Calls.back().Position, 10000);
    EXPECT_NE(output.find(L"Duration: 00:00:10.00"), std::wstring::npos);
    EXPECT_NE(output.find(L"time=00:00:10.00"), std::wstring::npos);
}

TEST_F(Runner, NonZeroExitCodeIsFailure) {
    std::wstring output;
    EXPECT_FALSE(Run(Script("err Invalid data found when processing input\\n\nexit 1\n"), output));
    ASSERT_FALSE(Rec.Calls.empty());
    EXPECT_EQ(Rec.Calls.back().Size, 0);
    EXPECT_EQ(Rec.Calls.back().Position, 0);
    EXPECT_FALSE(Run(Script("exit 3\n"), output));
    EXPECT_TRUE(Run(Script("exit 0\n"), output));
}

TEST_F(Runner, SilentConverterIsReportedOnWithNothingKnown) {
    std::wstring output = L"left over";
    EXPECT_TRUE(Run(Script("sleep 500\nexit 0\n"), output));
    EXPECT_GE(Rec.Calls.size(), 2u) << "the window hears from the runner while nothing comes";
    for (const Call& c : Rec.Calls) {
        EXPECT_EQ(c.Position, 0);
        EXPECT_EQ(c.Size, 0);
    }
    EXPECT_EQ(output, L"") << "the output starts empty once the converter runs";
}

TEST_F(Runner, ConverterSilentForSecondsKeepsBeingReportedOn) {
    std::wstring output;
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(Run(Script("err Duration: 00:00:10.00, x\\n\nstatus 2000 1000 0\nsleep 3000\n"
                           "err frame=250 time=00:00:10.00 bitrate=1\\r\nexit 0\n"),
                    output));
    const auto elapsed = std::chrono::steady_clock::now() - started;
    // The silence lasts three seconds: at one report per 100 ms that is about 30 calls with the
    // last known values. Generous bounds: a busy machine may stretch waits, never shorten them.
    const auto silent = std::count_if(Rec.Calls.begin(), Rec.Calls.end(), [](const Call& c) {
        return c.Position == 2000 && c.Size == 10000;
    });
    EXPECT_GE(silent, 10);
    const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    EXPECT_LE(silent, elapsedMs / 50 + 5) << "no more than about one call per 100 ms: no busy loop";
    ASSERT_FALSE(Rec.Calls.empty());
    EXPECT_EQ(Rec.Calls.back().Position, 10000);
    for (size_t i = 1; i < Rec.Calls.size(); ++i)
        EXPECT_GE(Rec.Calls[i].Position, Rec.Calls[i - 1].Position);
}

TEST_F(Runner, CancelDuringSilenceTakesEffectAtTheNextQuietReport) {
    std::wstring output;
    // The converter prints its duration and a status, then hangs, ignoring polite signals.
    Rec.CancelAtCall = 4;
    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(Run(Script("ignore-signals\nerr Duration: 00:01:00.00, x\\n\n"
                            "status 1000 1000 0\nhang\n"),
                     output));
    EXPECT_EQ(Rec.Calls.size(), 5u) << "no call after the one that cancelled";
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20))
        << "a silent converter must not keep the cancel waiting";
}

TEST_F(Runner, ExitCodeIsTakenOnlyAfterTheConverterEnded) {
    // The stream closes well before the process ends; its real exit code must decide.
    std::wstring output;
    EXPECT_TRUE(Run(Script("err hello\\n\nclose-stderr\nsleep 300\nexit 0\n"), output));
    EXPECT_FALSE(Run(Script("close-stderr\nsleep 300\nexit 2\n"), output));
}

TEST_F(Runner, WithoutCallbackTheWholeStreamIsGathered) {
    std::wstring output;
    EXPECT_TRUE(Run(Script("err Duration: 00:00:01.00, x\\n\nflood 20000\nerr END\nexit 0\n"),
                    output, nullptr));
    EXPECT_TRUE(Rec.Calls.empty());
    EXPECT_EQ(output.size(), std::wstring(L"Duration: 00:00:01.00, x\n").size() + 20000 + 3);
    EXPECT_EQ(output.substr(output.size() - 3), L"END");
}

TEST_F(Runner, FloodedOutputIsKeptBoundedWithItsOpeningAndItsEnd) {
    std::wstring output;
    // Eight megabytes of status-like text: the kept text holds the opening part and the latest
    // part, and the parser still finds both values.
    EXPECT_TRUE(Run(Script("err Input #0, matroska,webm\\n  Duration: 00:00:10.00, start: 0\\n"
                           "  Stream #0:0: Video: vp8\\n\nstatus 1000 1000 0\nflood 8000000\n"
                           "err time=00:00:07.00 bitrate=1\\r\nerr END\nexit 0\n"),
                    output));
    EXPECT_LE(output.size(), TKeptOutput::HeadLimit + TKeptOutput::TailLimit + 4096);
    EXPECT_EQ(output.rfind(L"Input #0", 0), 0u);
    EXPECT_NE(output.find(L"Stream #0:0: Video: vp8"), std::wstring::npos);
    EXPECT_EQ(output.substr(output.size() - 3), L"END");
    int32_t position = 0;
    int32_t duration = 0;
    ParseFFmpegProgress(output, position, duration);
    EXPECT_EQ(duration, 10000);
    EXPECT_EQ(position, 7000);
    ASSERT_FALSE(Rec.Calls.empty());
    EXPECT_EQ(Rec.Calls.back().Position, 7000);
}

// Warnings the converter repeats for every packet (timestamps it has to mend, say) can crowd the
// status lines out of the kept latest part; the bar must not fall back to the start meanwhile.
TEST_F(Runner, WarningFloodBetweenStatusLinesKeepsTheLastPosition) {
    std::wstring output;
    EXPECT_TRUE(Run(Script("err   Duration: 00:00:10.00, start: 0\\n\nstatus 5000 1000 0\n"
                           "flood 300000\nsleep 50\nflood 300000\n"
                           "err time=00:00:09.00 bitrate=1\\r\nexit 0\n"),
                    output));
    int64_t highest = 0;
    for (const auto& call : Rec.Calls) {
        if (call.Size == 0)
            continue;
        EXPECT_GE(call.Position, highest) << "the position went back";
        highest = std::max(highest, call.Position);
    }
    EXPECT_EQ(highest, 9000);
}

TEST_F(Runner, CancelOnTheFirstCallStopsTheConverterAtOnce) {
    std::wstring output;
    Rec.CancelAtCall = 0;
    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(Run(Script("ignore-signals\nerr Duration: 00:01:00.00, x\\n\nhang\n"), output));
    EXPECT_EQ(Rec.Calls.size(), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20))
        << "a hanging converter must not keep the run waiting";
}

TEST_F(Runner, CancelWinsEvenWhenTheConverterWouldSucceed) {
    std::wstring output;
    Rec.CancelAtCall = 0;
    EXPECT_FALSE(
        Run(Script("err Duration: 00:00:01.00, x\\n\nsleep 200\ncreate\nexit 0\n"), output));
}

TEST_F(Runner, MissingConverterLeavesOutputUntouched) {
    std::wstring output = L"caller's text";
    bool ok = ExecuteFFmpeg((Dir.Path() / L"no-such-ffmpeg.exe").wstring(), Script("exit 0\n"),
                            Out(), FFmpegOptions, output, Record);
    EXPECT_FALSE(ok);
    EXPECT_EQ(output, L"caller's text");
    EXPECT_TRUE(Rec.Calls.empty());
}

// A converter file that is no program at all fails every start; the attempts a passing failure
// gets end, and the run says the converter did not start.
TEST_F(Runner, ConverterThatIsNoProgramIsNotStarted) {
    std::wstring output = L"caller's text";
    const std::wstring broken =
        WideFromPath(Dir.WriteFile(L"broken-ffmpeg.exe", "MZ not a program"));
#ifndef _WIN32
    fs::permissions(fs::path(broken), fs::perms::owner_exec, fs::perm_options::add);
#endif
    TFFmpegRun run = RunFFmpeg(broken, Script("exit 0\n"), Out(), FFmpegOptions, output, Record);
    EXPECT_FALSE(run.Started);
    EXPECT_EQ(output, L"caller's text");
    EXPECT_TRUE(Rec.Calls.empty());
    EXPECT_FALSE(fs::exists(fs::path(Out())));
}

#ifdef _WIN32
// A program folder of MAX_PATH characters or more (Kestrova installed far down): the
// converter beside it still starts.
TEST_F(Runner, ConverterInAFolderBeyondMaxPathStarts) {
    fs::path Deep = Dir.Path();
    for (wchar_t c = L'a'; Deep.wstring().size() <= 280; ++c)
        Deep /= std::wstring(50, c);
    fs::create_directories(fs::path(L"\\\\?\\" + Deep.wstring()));
    const std::wstring Converter = Deep.wstring() + L"\\ffmpeg.exe";
    ASSERT_TRUE(CopyFileW(FakeConverterPath().c_str(), (L"\\\\?\\" + Converter).c_str(), TRUE));
    std::wstring output;
    EXPECT_TRUE(ExecuteFFmpeg(Converter,
                              Script("err Duration: 00:00:01.00, x\\n\ncreate\nexit 0\n"), Out(),
                              FFmpegOptions, output, Record));
    EXPECT_TRUE(fs::exists(fs::path(Out())));
}
#endif

TEST_F(Runner, NegativePositionsNeverReachTheCallback) {
    std::wstring output;
    EXPECT_TRUE(Run(Script("err Duration: 00:00:02.00, x\\n\nsleep 20\nerr time=-5.00 x\\r\n"
                           "sleep 20\nerr time=-00:00:00.02 x\\r\nexit 0\n"),
                    output));
    // A busy machine may let a quiet report come before the duration is printed: it knows
    // nothing. Every call is at 0 or more all the same.
    auto known =
        std::find_if(Rec.Calls.begin(), Rec.Calls.end(), [](const Call& c) { return c.Size != 0; });
    ASSERT_NE(known, Rec.Calls.end());
    for (auto c = Rec.Calls.begin(); c != known; ++c)
        EXPECT_EQ(c->Position, 0);
    for (auto c = known; c != Rec.Calls.end(); ++c) {
        EXPECT_GE(c->Position, 0);
        EXPECT_EQ(c->Size, 2000);
    }
}

TEST_F(Runner, ExceptionFromCallbackEndsTheConverterAndPassesOn) {
    std::wstring pidFile = Out(L"pid.txt");
    std::wstring source =
        Script("err Duration: 00:01:00.00, x\\n\nsleep 100\nerr time=00:00:01.00 x\\r\nhang\n");
    // First learn the converter's process id through a script that records it.
    std::wstring probe =
        Script("pid\nignore-signals\nerr Duration: 00:01:00.00, x\\n\nhang\n", L"probe.webm");
#ifndef _WIN32
    auto openDescriptors = [] {
        int n = 0;
        DIR* d = opendir("/proc/self/fd");
        while (readdir(d))
            ++n;
        closedir(d);
        return n;
    };
    int before = openDescriptors();
#endif
    Rec.Throw = true;
    std::wstring output;
    EXPECT_THROW(ExecuteFFmpeg(FakeConverterPath(), probe, pidFile, FFmpegOptions, output, Record),
                 std::runtime_error);
#ifndef _WIN32
    EXPECT_EQ(openDescriptors(), before) << "no pipe end left open";
#endif
    std::ifstream in{fs::path(pidFile)};
    unsigned long pid = 0;
    in >> pid;
    ASSERT_NE(pid, 0ul);
    EXPECT_FALSE(ProcessIsRunning(pid)) << "the converter must be gone";
    EXPECT_THROW(Run(source, output), std::runtime_error);
}

// The converter writes UTF-8. A letter split between two writes (so between two reads) comes
// out whole, and so do the converter's words in the verdict's details.
TEST_F(Runner, OutputIsReadAsUtf8EvenWhenALetterIsSplitBetweenReads) {
    const std::string script =
        "err Input #0, matroska,webm, from 'clip \xC3\xBCn\xC3\xAF \xF0\x9F\n"
        "sleep 100\n"
        "err \x8E\xAC.webm':\\n  Duration: 00:00:01.00, start: 0.000000\\n\n"
        "err clip \xC3\xBCn\xC3\xAF \xF0\x9F\x8E\xAC.webm: Invalid data found "
        "when processing input\\n\n"
        "exit 1\n";
    std::wstring output;
    EXPECT_FALSE(Run(Script(script), output));
    EXPECT_NE(output.find(L"from 'clip \u00fcn\u00ef \U0001F3AC.webm'"), std::wstring::npos);
    const TConversionOutcome outcome =
        ConvertWithFFmpeg(FakeConverterPath(), Script(script), Out(), FFmpegOptions, nullptr);
    EXPECT_EQ(outcome.LastLine,
              L"clip \u00fcn\u00ef \U0001F3AC.webm: Invalid data found when processing input");
    EXPECT_NE(outcome.Details.find(L"from 'clip \u00fcn\u00ef \U0001F3AC.webm'"),
              std::wstring::npos);
}

TEST_F(Runner, PathsWithBlanksParenthesesAndNonAsciiLettersArriveWhole) {
    fs::create_directories(PathFromWide(Dir.Wide() + L"/My Films (2024) \u00e9t\u00e9"));
    std::wstring source =
        Script("args\ncreate\nexit 0\n", L"My Films (2024) \u00e9t\u00e9/clip (1) \u00f1.webm");
    std::wstring destination = Dir.Wide() + L"/My Films (2024) \u00e9t\u00e9/clip (1) \u00fc.avi";
    std::wstring output;
    EXPECT_TRUE(
        ExecuteFFmpeg(FakeConverterPath(), source, destination, FFmpegOptions, output, Record));
    EXPECT_TRUE(fs::exists(PathFromWide(destination)));

    // With plain ASCII names the whole argument list can be compared.
    std::wstring plain = Script("args\nexit 0\n", L"a b (c).webm");
    std::wstring plainOut = Out(L"x (2).avi");
    EXPECT_TRUE(
        ExecuteFFmpeg(FakeConverterPath(), plain, plainOut, FFmpegOptions, output, nullptr));
    std::wstring expected = L"arg=-nostdin\narg=-y\narg=-i\narg=" + plain +
                            L"\narg=-q:v\narg=2\narg=-vtag\narg=XVID\n"
                            L"arg=-threads\narg=2\narg=" +
                            plainOut + L"\n";
    EXPECT_EQ(output, expected);
}

// Real conversions: the system's converter natively, the project's ffmpeg.exe on Windows.
class RealConversion : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        Rec = Recorder{};
        if (!fs::exists(fs::path(RealConverterPath())))
            GTEST_FAIL() << "converter missing: " << fs::path(RealConverterPath()).string();
    }
    TempFolder Dir;
};

TEST_P(RealConversion, WritesMpeg4AndMp3InAvi) {
    fs::path source = SamplesFolder() / GetParam();
    ASSERT_TRUE(fs::exists(source)) << source.string();
    fs::path destination = Dir.Path() / L"out put.avi";
    std::wstring output;
    EXPECT_TRUE(ExecuteFFmpeg(RealConverterPath(), source.wstring(), destination.wstring(),
                              FFmpegOptions, output, Record))
        << std::string(output.begin(), output.end());
    ASSERT_FALSE(Rec.Calls.empty());
    bool live = std::string(GetParam()) == "live.webm";
    if (live) {
        EXPECT_EQ(Rec.Calls.back().Size, 0) << "no duration in a live recording";
    } else {
        EXPECT_NEAR(Rec.Calls.back().Size, 3000, 50); // audio priming may add a few ms
    }
    EXPECT_GE(Rec.Calls.back().Position, 2500);

    AviStreams avi = ReadAviStreams(destination);
    EXPECT_TRUE(avi.IsAvi);
    EXPECT_EQ(avi.VideoFourCC, "XVID");
    EXPECT_EQ(avi.AudioFormatTag, 0x55) << "MP3 audio";
    EXPECT_GE(avi.VideoFrames, 70u);
#ifndef _WIN32
    std::string command = "ffprobe -v error -show_entries stream=codec_name,codec_tag_string "
                          "-of csv=p=0 '" +
                          destination.string() + "'";
    FILE* probe = popen(command.c_str(), "r");
    ASSERT_NE(probe, nullptr);
    std::string streams;
    char line[256];
    while (fgets(line, sizeof line, probe))
        streams += line;
    pclose(probe);
    EXPECT_EQ(streams, "mpeg4,XVID\nmp3,U[0][0][0]\n");
#endif
}

INSTANTIATE_TEST_SUITE_P(Samples, RealConversion,
                         ::testing::Values("vp8-vorbis.webm", "vp9-opus.webm", "live.webm"));

TEST(RealConversionFailure, CorruptInputFailsWithoutCrashing) {
    TempFolder dir;
    std::wstring output;
    EXPECT_FALSE(ExecuteFFmpeg(RealConverterPath(), (SamplesFolder() / "corrupt.webm").wstring(),
                               (dir.Path() / L"x.avi").wstring(), FFmpegOptions, output, nullptr));
    EXPECT_FALSE(output.empty());
}

} // namespace
