// The verdict on one conversion: on captured converter output (tests/core/data), through the
// scripted fake converter, and with the real converter.
#include "Conversion.h"
#include "TestSupport.h"
#include "TextTemplate.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

TConversionOutcome Judge(const std::string& Name, uint32_t ExitCode) {
    return JudgeConversion(false, ExitCode, ReadCapturedOutput(Name));
}

std::wstring Reason(const TConversionOutcome& Outcome) {
    return DescribeFailure(Outcome, DefaultFailureTexts);
}

TEST(TextTemplate, PlaceholdersTimesAndCodes) {
    EXPECT_EQ(FormatTemplate(L"%1 ends: %2 of %3", {L"a.webm", L"1:00", L"2:00"}),
              L"a.webm ends: 1:00 of 2:00");
    EXPECT_EQ(FormatTemplate(L"%2 before %1, %1 again", {L"x", L"y"}), L"y before x, x again");
    EXPECT_EQ(FormatTemplate(L"100%% %1 %4 %", {L"done"}), L"100% done %4 %");
    EXPECT_EQ(FormatTemplate(L"%1", {L"%2"}), L"%2") << "arguments are not templates";

    EXPECT_EQ(FormatPlayingTime(0), L"0:00");
    EXPECT_EQ(FormatPlayingTime(4920), L"0:04");
    EXPECT_EQ(FormatPlayingTime(295999), L"4:55");
    EXPECT_EQ(FormatPlayingTime(600000), L"10:00");
    EXPECT_EQ(FormatPlayingTime(3599999), L"59:59");
    EXPECT_EQ(FormatPlayingTime(3600000), L"1:00:00");
    EXPECT_EQ(FormatPlayingTime(36000000 + 62000), L"10:01:02");
    EXPECT_EQ(FormatPlayingTime(-5), L"0:00");

    EXPECT_EQ(FormatExitCode(1), L"1");
    EXPECT_EQ(FormatExitCode(139), L"139");
    EXPECT_EQ(FormatExitCode(0xC0000005), L"0xC0000005");
    EXPECT_EQ(FormatExitCode(0x10000), L"0x00010000");

    // A quoted system message loses its full stop, in each language's form, and nothing else.
    EXPECT_EQ(WithoutFinalStop(L"The system cannot find the path specified.\r\n"),
              L"The system cannot find the path specified");
    EXPECT_EQ(WithoutFinalStop(
                  L"EXE \u30D5\u30A9\u30FC\u30DE\u30C3\u30C8\u304C\u4E0D\u6B63\u3067\u3059\u3002."),
              L"EXE \u30D5\u30A9\u30FC\u30DE\u30C3\u30C8\u304C\u4E0D\u6B63\u3067\u3059");
    EXPECT_EQ(WithoutFinalStop(L"v1.2 ok"), L"v1.2 ok");
    EXPECT_EQ(WithoutFinalStop(L"..."), L"");
}

TEST(Verdict, CleanRunIsConverted) {
    const TConversionOutcome o = Judge("clean", 0);
    EXPECT_TRUE(o.Converted);
    EXPECT_EQ(o.Failure, TFailureKind::None);
    EXPECT_FALSE(o.EndedEarly);
    EXPECT_EQ(Reason(o), L"");
}

TEST(Verdict, SourceThatEndsEarlyIsConvertedAndNoted) {
    const TConversionOutcome o = Judge("ended-early", 0);
    EXPECT_TRUE(o.Converted) << "the AVI holds everything the file has";
    EXPECT_TRUE(o.EndedEarly);
    EXPECT_EQ(o.ReachedMs, 4920);
    EXPECT_EQ(o.DurationMs, 10000);
    EXPECT_EQ(DescribeEndedEarly(L"holiday.webm", o, DefaultEndedEarlyText),
              L"holiday.webm ends early: 0:04 of 0:10 converted \u2014 the file is damaged or "
              L"incomplete");
}

TEST(Verdict, LiveFileIsNeverShort) {
    const TConversionOutcome o = Judge("live", 0);
    EXPECT_TRUE(o.Converted);
    EXPECT_FALSE(o.EndedEarly);
}

TEST(Verdict, LaterStartIsMeasuredFromTheStart) {
    // Duration 9.00 s with start 4.997 s: 4 s of playing time, all of it converted.
    const TConversionOutcome o = Judge("start-offset", 0);
    EXPECT_TRUE(o.Converted);
    EXPECT_FALSE(o.EndedEarly);
}

TEST(Verdict, ShortMeansMoreThanASecondAndMoreThanTwoPercent) {
    auto judge = [](const wchar_t* Duration, const wchar_t* Time) {
        return JudgeConversion(false, 0,
                               std::wstring(L"Input #0, matroska,webm, from 'a.webm':\n"
                                            L"  Duration: ") +
                                   Duration +
                                   L", start: 0.000000, bitrate: 1 kb/s\n"
                                   L"  Stream #0:0: Video: vp8, yuv420p\n"
                                   L"frame=  100 fps=0.0 q=2.0 Lsize=  1kB time=" +
                                   Time + L" bitrate=1\rvideo:10kB audio:0kB subtitle:0kB\n");
    };
    EXPECT_FALSE(judge(L"00:10:00.00", L"00:09:59.00").EndedEarly) << "1 s short";
    EXPECT_FALSE(judge(L"00:10:00.00", L"00:09:58.00").EndedEarly) << "2 s, but 0.3 %";
    EXPECT_TRUE(judge(L"00:10:00.00", L"00:09:47.00").EndedEarly) << "13 s, 2.2 %";
    EXPECT_FALSE(judge(L"00:00:30.00", L"00:00:29.10").EndedEarly) << "3 %, but 0.9 s";
    const TConversionOutcome shortOne = judge(L"00:00:30.00", L"00:00:28.50");
    EXPECT_TRUE(shortOne.EndedEarly) << "1.5 s and 5 %";
    EXPECT_TRUE(shortOne.Converted);
    EXPECT_EQ(DescribeEndedEarly(L"a.webm", judge(L"02:00:00.00", L"01:02:03.00"), L"%1: %2 / %3"),
              L"a.webm: 1:02:03 / 2:00:00");
}

// Ended from outside half-way, the converter prints no closing totals, and under Wine its exit
// code is still 0: that is no conversion, and no source that ended early either.
TEST(Verdict, ConverterStoppedBeforeItsTotalsFails) {
    const std::wstring clean = ReadCapturedOutput("clean");
    const size_t totals = clean.find(L"video:");
    ASSERT_NE(totals, std::wstring::npos);
    const TConversionOutcome o = JudgeConversion(false, 0, clean.substr(0, totals));
    EXPECT_FALSE(o.Converted);
    EXPECT_FALSE(o.EndedEarly);
    EXPECT_EQ(o.Failure, TFailureKind::Stopped);
    EXPECT_EQ(Reason(o), L"the converter was stopped before it finished");

    // Stopped before anything was written: the same, not a picture that could not be decoded.
    const size_t output = clean.find(L"Output #0");
    ASSERT_NE(output, std::wstring::npos);
    EXPECT_EQ(JudgeConversion(false, 0, clean.substr(0, output)).Failure, TFailureKind::Stopped);
}

TEST(Verdict, TenBitAv1WithoutPictureFails) {
    const TConversionOutcome o = Judge("av1-10bit-8bit-decoder", 0);
    EXPECT_FALSE(o.Converted);
    EXPECT_EQ(o.Failure, TFailureKind::NoPicture);
    EXPECT_EQ(o.Codec, L"av1");
    EXPECT_EQ(Reason(o), L"the video could not be decoded (av1)");
    EXPECT_EQ(o.LastLine,
              L"Error while decoding stream #0:0: Invalid data found when processing input");
    // The details box shows the end of the output, status lines one by one.
    EXPECT_NE(o.Details.find(L"video:0kB audio:16kB"), std::wstring::npos);
    EXPECT_NE(o.Details.find(L"frame=    0"), std::wstring::npos);
    EXPECT_EQ(LastOutputLines(o.Details, 100).size(), DetailLineCount);
}

TEST(Verdict, TenBitAv1WithAFullDecoderIsConverted) {
    EXPECT_TRUE(Judge("av1-10bit", 0).Converted) << "no sound in the source, so none is missed";
}

TEST(Verdict, SoundThatCannotBeDecodedFails) {
    const TConversionOutcome o = Judge("no-sound", 0);
    EXPECT_FALSE(o.Converted);
    EXPECT_EQ(o.Failure, TFailureKind::NoSound);
    EXPECT_EQ(o.Codec, L"vorbis");
    EXPECT_EQ(Reason(o), L"the sound could not be decoded (vorbis)");
}

TEST(Verdict, MissingDecoderNamesTheCodec) {
    const TConversionOutcome o = Judge("no-decoder", 1);
    EXPECT_EQ(o.Failure, TFailureKind::NoDecoder);
    EXPECT_EQ(o.Codec, L"pcm_f32le");
    EXPECT_EQ(o.CodecKind, TStreamKind::Audio);
    EXPECT_EQ(Reason(o), L"this kind of sound cannot be read (pcm_f32le)");
    TConversionOutcome video = o;
    video.CodecKind = TStreamKind::Video;
    video.Codec = L"av1";
    EXPECT_EQ(Reason(video), L"this kind of video cannot be read (av1)");
}

TEST(Verdict, DecoderThatCannotOpenItsStream) {
    const TConversionOutcome o =
        JudgeConversion(false, 1,
                        L"Input #0, matroska,webm, from 'a.webm':\n"
                        L"  Stream #0:0: Video: vp8, yuv420p\n"
                        L"  Stream #0:1: Audio: vorbis, 48000 Hz\n"
                        L"Error while opening decoder for input stream #0:1 : Invalid data found "
                        L"when processing input\n");
    EXPECT_EQ(o.Failure, TFailureKind::NoSound);
    EXPECT_EQ(o.Codec, L"vorbis");
}

TEST(Verdict, FailuresReadFromTheConvertersMessages) {
    EXPECT_EQ(Judge("not-webm", 1).Failure, TFailureKind::NotReadable);
    EXPECT_EQ(Reason(Judge("not-webm", 1)), L"the file is not a WebM video, or it is damaged");
    EXPECT_EQ(Judge("source-missing", 1).Failure, TFailureKind::SourceMissing);
    EXPECT_EQ(Reason(Judge("source-missing", 1)), L"the file is no longer there");
    EXPECT_EQ(Judge("folder-missing", 1).Failure, TFailureKind::CannotWrite)
        << "the same words, but after the source was opened";
    EXPECT_EQ(Judge("permission-denied", 1).Failure, TFailureKind::CannotWrite);
    EXPECT_EQ(Reason(Judge("permission-denied", 1)), L"the AVI file could not be written");
}

TEST(Verdict, OtherFailuresGiveTheConvertersLastLine) {
    const TConversionOutcome o =
        JudgeConversion(false, 1,
                        L"Unrecognized option 'sameq'.\n"
                        L"Error splitting the argument list: Option not found\n");
    EXPECT_EQ(o.Failure, TFailureKind::Other);
    EXPECT_EQ(Reason(o), L"Error splitting the argument list: Option not found");
    const TConversionOutcome silent = JudgeConversion(false, 1, L"");
    EXPECT_EQ(Reason(silent), L"the converter failed (exit code 1)");
}

TEST(Verdict, CrashesCancelsAndStartFailures) {
    // Whatever the output says: only the converter's own errors end with 1.
    const TConversionOutcome crashed = Judge("clean", 0xC0000005);
    EXPECT_FALSE(crashed.Converted);
    EXPECT_EQ(crashed.Failure, TFailureKind::Crashed);
    EXPECT_EQ(Reason(crashed), L"the converter stopped unexpectedly (exit code 0xC0000005)");
    EXPECT_EQ(Reason(Judge("clean", 137)), L"the converter stopped unexpectedly (exit code 137)");

    const TConversionOutcome cancelled = JudgeConversion(true, 1223, ReadCapturedOutput("clean"));
    EXPECT_FALSE(cancelled.Converted);
    EXPECT_EQ(cancelled.Failure, TFailureKind::Cancelled);
    EXPECT_EQ(Reason(cancelled), L"cancelled");

    TempFolder dir;
    const TConversionOutcome notStarted =
        ConvertWithFFmpeg(WideFromPath(dir.Path() / "no-such-ffmpeg.exe"), L"a.webm", L"a.avi",
                          FFmpegOptions, nullptr);
    EXPECT_FALSE(notStarted.Converted);
    EXPECT_EQ(notStarted.Failure, TFailureKind::NotStarted);
    EXPECT_EQ(Reason(notStarted), L"the converter could not be started");
}

// A write or close error fails the file whatever the exit code: FFmpeg 5.1 exits 0 when the disk
// fills at the trailer, and the AVI then lacks its index.
TEST(Verdict, WriteErrorsFailTheFileEvenWithExitCodeZero) {
    const TConversionOutcome full = Judge("trailer-disk-full", 0);
    EXPECT_FALSE(full.Converted);
    EXPECT_EQ(full.Failure, TFailureKind::WriteFailed);
    EXPECT_TRUE(full.DiskFull);
    EXPECT_EQ(full.LastLine, L"Error writing trailer of mnt/clip.avi: No space left on device");

    TConversionOutcome named = full;
    named.Folder = L"D:\\Videos";
    EXPECT_EQ(Reason(named), L"the disk is full: the AVI file did not fit in D:\\Videos");
    named.DiskFull = false;
    EXPECT_EQ(Reason(named), L"the AVI file could not be written in D:\\Videos: Error writing "
                             L"trailer of mnt/clip.avi: No space left on device");

    // A muxing write that fails in the middle ends with 1; its words are kept all the same.
    const TConversionOutcome muxing =
        JudgeConversion(false, 1,
                        std::wstring(L"Input #0, matroska,webm, from 'a.webm':\n"
                                     L"av_interleaved_write_frame(): Input/output error\n"
                                     L"Conversion failed!\n"));
    EXPECT_EQ(muxing.Failure, TFailureKind::WriteFailed);
    EXPECT_FALSE(muxing.DiskFull);
    EXPECT_EQ(muxing.LastLine, L"av_interleaved_write_frame(): Input/output error");

    EXPECT_EQ(JudgeConversion(true, 0, ReadCapturedOutput("trailer-disk-full")).Failure,
              TFailureKind::Cancelled)
        << "a cancel is told as a cancel";
    EXPECT_TRUE(Judge("clean", 0).Converted);
}

TEST(Verdict, TheReportedSizeAllowsItsRounding) {
    // "258kB" is printed for 257.5 KiB up to 258.5 KiB.
    EXPECT_TRUE(HoldsReportedSize(258 * 1024 - 512, 258));
    EXPECT_FALSE(HoldsReportedSize(258 * 1024 - 513, 258));
    EXPECT_TRUE(HoldsReportedSize(10'000'000, 258));
    EXPECT_TRUE(HoldsReportedSize(13, 0)) << "0kB: a small file";
    EXPECT_FALSE(HoldsReportedSize(ReportedNumberLimit * 1000, ReportedNumberLimit));
    EXPECT_FALSE(
        HoldsReportedSize(std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::max()))
        << "no overflow";
}

// Through the runner, with the fake converter replaying captured output.
class VerdictRun : public ::testing::Test {
protected:
    TConversionOutcome Run(const std::string& Script) {
        const fs::path source = Dir.WriteFile(L"clip.webm", Script);
        return ConvertWithFFmpeg(FakeConverterPath(), WideFromPath(source),
                                 WideFromPath(Dir.Path() / "clip.avi"), FFmpegOptions, nullptr);
    }
    std::string Replay(const std::string& Name) {
        return "replay " + (TestDataFolder() / (Name + ".txt")).string() + "\n";
    }
    TempFolder Dir;
};

TEST_F(VerdictRun, CapturedOutputsReachTheSameVerdicts) {
    // Each file as long as the output it goes with reports ("Lsize=").
    EXPECT_TRUE(Run(Replay("clean") + "write 122880\nexit 0\n").Converted);
    EXPECT_EQ(Run(Replay("av1-10bit-8bit-decoder") + "create\nexit 0\n").Failure,
              TFailureKind::NoPicture);
    const TConversionOutcome early = Run(Replay("ended-early") + "write 186368\nexit 0\n");
    EXPECT_TRUE(early.Converted);
    EXPECT_TRUE(early.EndedEarly);
    EXPECT_EQ(Run(Replay("no-decoder") + "exit 1\n").Failure, TFailureKind::NoDecoder);
}

// A converter that tells of a clean conversion but leaves no AVI, or an empty one (a stand-in
// that does nothing, one stopped from outside that still ends with 0), has not converted.
TEST_F(VerdictRun, NoConversionWithoutAnAviFile) {
    const TConversionOutcome missing = Run(Replay("clean") + "exit 0\n");
    EXPECT_FALSE(missing.Converted);
    EXPECT_EQ(missing.Failure, TFailureKind::NoOutput);
    EXPECT_EQ(DescribeFailure(missing, DefaultFailureTexts),
              L"the converter ended without writing the AVI file");

    Dir.WriteFile(L"clip.avi", "");
    const TConversionOutcome empty = Run(Replay("ended-early") + "exit 0\n");
    EXPECT_FALSE(empty.Converted);
    EXPECT_FALSE(empty.EndedEarly) << "not converted at all, so not converted in part";
    EXPECT_EQ(empty.Failure, TFailureKind::NoOutput);

    EXPECT_EQ(Run("exit 0\n").Failure, TFailureKind::NoOutput) << "silent, and nothing made";
}

// Through the runner: the verdict names the folder the file was written into, and a file shorter
// than the converter last reported is not taken as converted.
TEST_F(VerdictRun, WriteErrorsAndShortFilesThroughTheRunner) {
    const TConversionOutcome full =
        Run("write 360448\n" + Replay("trailer-disk-full") + "exit 0\n");
    EXPECT_FALSE(full.Converted);
    EXPECT_EQ(full.Failure, TFailureKind::WriteFailed);
    EXPECT_EQ(full.Folder, WideFromPath(Dir.Path()));
    EXPECT_EQ(Reason(full),
              L"the disk is full: the AVI file did not fit in " + WideFromPath(Dir.Path()));

    const std::string lsize20 =
        "err frame=   25 fps=0.0 q=2.0 Lsize=      20kB time=00:00:01.00 bitrate=163.8kbits/s\\r\n"
        "err video:15kB audio:4kB subtitle:0kB other streams:0kB global headers:0kB\\n\n";
    const TConversionOutcome cut = Run(lsize20 + "write 19967\nexit 0\n");
    EXPECT_FALSE(cut.Converted);
    EXPECT_EQ(cut.Failure, TFailureKind::ShortOutput);
    EXPECT_EQ(Reason(cut), L"the AVI file in " + WideFromPath(Dir.Path()) +
                               L" is shorter than the converter wrote it");
    EXPECT_TRUE(Run(lsize20 + "write 19968\nexit 0\n").Converted) << "19.5 KiB rounds to 20";
}

TEST_F(VerdictRun, CrashKeepsItsExitCode) {
    const TConversionOutcome o = Run("err Input #0, matroska,webm, from 'a.webm':\\n\n"
                                     "crash 3221225477\n");
    EXPECT_EQ(o.Failure, TFailureKind::Crashed);
#ifdef _WIN32
    EXPECT_EQ(o.ExitCode, 0xC0000005u);
#else
    EXPECT_EQ(o.ExitCode, 128u + 9u) << "killed by SIGKILL";
#endif
}

// The real converter: the system's natively, the project's ffmpeg.exe on Windows.
TEST(VerdictRealConverter, HalfAFileIsConvertedAsFarAsItGoes) {
    TempFolder dir;
    std::ifstream in(SamplesFolder() / "long.webm", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 100000u);
    const fs::path half = dir.WriteFile(L"half.webm", bytes.substr(0, bytes.size() / 2));
    const fs::path avi = dir.Path() / "half.avi";
    const TConversionOutcome o = ConvertWithFFmpeg(RealConverterPath(), WideFromPath(half),
                                                   WideFromPath(avi), FFmpegOptions, nullptr);
    EXPECT_TRUE(o.Converted) << std::string(o.Details.begin(), o.Details.end());
    EXPECT_TRUE(o.EndedEarly);
    EXPECT_EQ(o.DurationMs, 60000);
    EXPECT_GT(o.ReachedMs, 10000);
    EXPECT_LT(o.ReachedMs, 50000);
    EXPECT_TRUE(ReadAviStreams(avi).IsAvi);
}

TEST(VerdictRealConverter, RandomBytesAreNotReadable) {
    TempFolder dir;
    const TConversionOutcome o =
        ConvertWithFFmpeg(RealConverterPath(), WideFromPath(SamplesFolder() / "corrupt.webm"),
                          WideFromPath(dir.Path() / "x.avi"), FFmpegOptions, nullptr);
    EXPECT_EQ(o.Failure, TFailureKind::NotReadable)
        << std::string(o.Details.begin(), o.Details.end());
}

} // namespace
