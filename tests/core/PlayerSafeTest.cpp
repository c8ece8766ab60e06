#include "PlayerSafe.h"
#include "CommandLine.h"
#include "FFmpeg.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <set>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// Hand-worked: 64 KiB of headers, then per second the bitrates' bytes plus 72 chunks of 32 bytes.
TEST(PlayerSafeSize, EstimateAddsBitratesAndContainerOverhead) {
    EXPECT_EQ(EstimateAviSize(0, 2'500'000, 192'000), 65'536);
    // One hour: 1,125,000,000 + 86,400,000 + 8,294,400 + 65,536.
    EXPECT_EQ(EstimateAviSize(3'600'000, 2'500'000, 192'000), 1'219'759'936);
    // Part seconds count too: 1,500 bytes of video, 3,456 of chunks.
    EXPECT_EQ(EstimateAviSize(1'500, 8'000, 0), 65'536 + 1'500 + 3'456);
}

TEST(PlayerSafeSize, NegativeInputsCountAsNothing) {
    EXPECT_EQ(EstimateAviSize(-5'000, 2'500'000, 192'000), 65'536);
    EXPECT_EQ(EstimateAviSize(1'000, -8'000, -8'000), 65'536 + 2'304);
}

TEST(PlayerSafeSize, LongestDurationsAndHighBitratesDoNotOverflow) {
    const int64_t longest = std::numeric_limits<int32_t>::max(); // what the parser can report
    const int64_t size = EstimateAviSize(longest, 1'000'000'000, 1'000'000'000);
    EXPECT_GT(size, longest / 1000 * 250'000'000);
    EXPECT_LT(size, longest / 1000 * 251'000'000);
}

// At the peak video bitrate plus audio a file grows 633,054 bytes a second, so it passes 2 GiB
// between 3,392 s and 3,393 s (56 min 32 s).
TEST(PlayerSafeSize, LimitIsJudgedAtTheChosenBitrate) {
    PlayerSafeSize below = EstimatePlayerSafeSize(6'338'000);
    EXPECT_EQ(below.Expected, 2'147'405'288);
    EXPECT_FALSE(below.OverLimit);
    PlayerSafeSize above = EstimatePlayerSafeSize(6'339'000);
    EXPECT_EQ(above.Expected, 2'147'744'092);
    EXPECT_TRUE(above.OverLimit);

    // A 90-minute film fits at the chosen bitrate, though it could pass the limit at the peak.
    PlayerSafeSize film = EstimatePlayerSafeSize(90 * 60'000);
    EXPECT_EQ(film.Expected, 1'829'607'136);
    EXPECT_GT(film.Largest, PlayerSafeFileLimit);
    EXPECT_FALSE(film.OverLimit);

    PlayerSafeSize unknown = EstimatePlayerSafeSize(0);
    EXPECT_FALSE(unknown.OverLimit);
}

// The option string as the converter receives it: tokens split at blanks.
std::vector<std::wstring> SafeTokens() {
    return SplitCommandLine(FFmpegPlayerSafeOptions);
}

std::wstring ValueAfter(const std::wstring& Option) {
    std::vector<std::wstring> tokens = SafeTokens();
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i] == Option)
            return tokens[i + 1];
    }
    return L"";
}

// "2500k" is 2,500,000 to the converter.
int64_t Bits(const std::wstring& Value) {
    if (Value.empty())
        return -1;
    int64_t scale = Value.back() == L'k' ? 1000 : Value.back() == L'M' ? 1'000'000 : 1;
    return std::stoll(Value.substr(0, scale == 1 ? Value.size() : Value.size() - 1)) * scale;
}

TEST(PlayerSafeOptions, BitratesMatchTheSizeEstimate) {
    EXPECT_EQ(Bits(ValueAfter(L"-b:v")), PlayerSafeVideoBitrate);
    EXPECT_EQ(Bits(ValueAfter(L"-maxrate")), PlayerSafeVideoMaxBitrate);
    EXPECT_EQ(Bits(ValueAfter(L"-b:a")), PlayerSafeAudioBitrate);
    EXPECT_EQ(Bits(ValueAfter(L"-bufsize")), 384 * 1024 * 8) << "the players' video buffer";
}

TEST(PlayerSafeOptions, SurviveTheCommandLineUnchanged) {
    // Quotes would end the paths' quoting and blanks would split filter expressions.
    std::wstring rejoined;
    for (const std::wstring& token : SafeTokens())
        rejoined += (rejoined.empty() ? L"" : L" ") + token;
    EXPECT_EQ(rejoined, FFmpegPlayerSafeOptions);
}

// The Windows converter is built with a fixed set of filters; one missing fails every file.
TEST(PlayerSafeOptions, UseOnlyFiltersTheConverterBuildHas) {
    const std::set<std::wstring> built = {L"fps", L"scale", L"setsar", L"format", L"aformat"};
    for (const wchar_t* option : {L"-vf", L"-af"}) {
        std::wstring graph = ValueAfter(option);
        ASSERT_FALSE(graph.empty()) << option;
        // Filters are separated by commas outside quoted expressions; a name ends at '='.
        bool quoted = false;
        bool atName = true;
        std::wstring name;
        for (wchar_t c : graph + L",") {
            if (c == L'\'') {
                quoted = !quoted;
            } else if (!quoted && c == L',') {
                EXPECT_TRUE(built.count(name)) << "filter not in the build: " << name.c_str();
                name.clear();
                atName = true;
            } else if (atName && c == L'=') {
                atName = false;
            } else if (atName) {
                name += c;
            }
        }
    }
}

class SourceDuration : public ::testing::Test {
protected:
    std::wstring Script(const std::string& Text) {
        return WideFromPath(Dir.WriteFile(L"clip.webm", Text));
    }
    TempFolder Dir;
};

TEST_F(SourceDuration, ReadFromTheConverterThatStopsWithoutOutput) {
    EXPECT_EQ(ReadSourceDuration(FakeConverterPath(),
                                 Script("err Input #0, matroska,webm\\n  Duration: 01:02:03.45, "
                                        "start: 0.000000\\n\nexit 1\n")),
              3'723'450);
}

TEST_F(SourceDuration, UnknownIsZero) {
    EXPECT_EQ(ReadSourceDuration(FakeConverterPath(),
                                 Script("err   Duration: N/A, start: 0.0\\n\nexit 1\n")),
              0);
    EXPECT_EQ(ReadSourceDuration(FakeConverterPath(), Script("err garbage\\n\nexit 1\n")), 0);
    EXPECT_EQ(ReadSourceDuration(WideFromPath(Dir.Path() / "no-such-ffmpeg.exe"),
                                 Script("err Duration: 00:00:05.00, x\\n\nexit 1\n")),
              0);
}

TEST(SourceDurationReal, FromTheRealConverterWithoutWritingAnything) {
    if (!fs::exists(fs::path(RealConverterPath())))
        GTEST_FAIL() << "converter missing: " << fs::path(RealConverterPath()).string();
    TempFolder dir;
    fs::path source = dir.Path() / "clip.webm";
    fs::copy_file(SamplesFolder() / "vp9-opus.webm", source);
    EXPECT_NEAR(ReadSourceDuration(RealConverterPath(), WideFromPath(source)), 3000, 20);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1)
        << "only the source is in its folder";

    EXPECT_EQ(ReadSourceDuration(RealConverterPath(), WideFromPath(SamplesFolder() / "live.webm")),
              0);
    EXPECT_EQ(
        ReadSourceDuration(RealConverterPath(), WideFromPath(SamplesFolder() / "corrupt.webm")), 0);
}

// A source that never answers is given up at the limit, a stop request ends the read at the next
// report, and a source that answers is read as the unbounded read reads it.
TEST(SourceDurationBounded, GivesUpAtTheLimitStopsOnRequestAndReadsWhatAnswers) {
    TempFolder dir;
    const std::wstring silent =
        WideFromPath(dir.WriteFile(L"stalled.webm", "err Input #0, matroska\\n\nhang\n"));
    int calls = 0;
    auto start = std::chrono::steady_clock::now();
    TSourceLength stalled =
        ReadSourceDurationWithin(FakeConverterPath(), silent, 400, [&] { return ++calls > 0; });
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(stalled.End, TLengthReadEnd::TimedOut);
    EXPECT_EQ(stalled.DurationMs, 0);
    EXPECT_GE(took, std::chrono::milliseconds(400));
    EXPECT_LT(took, std::chrono::seconds(20)) << "the converter was ended, not waited for";
    EXPECT_GE(calls, 2) << "the caller heard from the read while it waited";

    calls = 0;
    TSourceLength stopped =
        ReadSourceDurationWithin(FakeConverterPath(), silent, 60'000, [&] { return ++calls < 3; });
    EXPECT_EQ(stopped.End, TLengthReadEnd::Cancelled);
    EXPECT_EQ(calls, 3) << "stopped at the first report that asked";

    const std::wstring answering = WideFromPath(
        dir.WriteFile(L"clip.webm", "err   Duration: 00:01:02.50, start: 0\\n\nexit 1\n"));
    TSourceLength read =
        ReadSourceDurationWithin(FakeConverterPath(), answering, 60'000, [] { return true; });
    EXPECT_EQ(read.End, TLengthReadEnd::Read);
    EXPECT_EQ(read.DurationMs, 62'500);
    EXPECT_EQ(read.DurationMs, ReadSourceDuration(FakeConverterPath(), answering));
}

} // namespace
