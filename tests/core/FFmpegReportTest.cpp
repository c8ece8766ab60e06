// The report reader on real converter output, captured by tests/core/data/capture.sh: Debian's
// ffmpeg 5.1 natively, and the project's own ffmpeg.exe (8-bit-only AV1 decoder) under Wine.
#include "FFmpegReport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

using testing_support::ReadCapturedOutput;

std::vector<std::wstring> Describe(const std::vector<TReportedStream>& Streams) {
    std::vector<std::wstring> out;
    for (const TReportedStream& s : Streams) {
        const wchar_t* kind = s.Kind == TStreamKind::Video   ? L"video"
                              : s.Kind == TStreamKind::Audio ? L"audio"
                                                             : L"other";
        out.push_back(s.Id + L" " + kind + L" " + s.Codec);
    }
    return out;
}

using Lines = std::vector<std::wstring>;

TEST(FFmpegReport, CleanRun) {
    const TFFmpegReport r = ReadFFmpegReport(ReadCapturedOutput("clean"));
    EXPECT_TRUE(r.InputOpened);
    EXPECT_TRUE(r.OutputOpened);
    EXPECT_EQ(Describe(r.InputStreams), (Lines{L"0:0 video vp8", L"0:1 audio vorbis"}));
    EXPECT_EQ(Describe(r.OutputStreams), (Lines{L"0:0 video mpeg4", L"0:1 audio mp3"}));
    EXPECT_EQ(r.DurationMs, 3000);
    EXPECT_EQ(r.StartMs, 0);
    EXPECT_EQ(r.Frames, 75);
    EXPECT_EQ(r.TimeMs, 3020);
    EXPECT_EQ(r.VideoKB, 82);
    EXPECT_EQ(r.AudioKB, 24);
    EXPECT_FALSE(r.EndedPrematurely);
    EXPECT_TRUE(r.Messages.empty()) << "the stream mapping and descriptions are no messages";
}

TEST(FFmpegReport, TruncatedFileEndsPrematurely) {
    const TFFmpegReport r = ReadFFmpegReport(ReadCapturedOutput("ended-early"));
    EXPECT_EQ(r.DurationMs, 10000);
    EXPECT_EQ(r.TimeMs, 4920);
    EXPECT_EQ(r.Frames, 122);
    EXPECT_TRUE(r.EndedPrematurely);
    EXPECT_EQ(r.Messages, Lines{L"File ended prematurely"}) << "the component prefix is gone";
}

TEST(FFmpegReport, LiveFileHasNoDuration) {
    const TFFmpegReport r = ReadFFmpegReport(ReadCapturedOutput("live"));
    EXPECT_FALSE(r.DurationMs.has_value());
    EXPECT_EQ(r.StartMs, -7);
    EXPECT_EQ(r.TimeMs, 3000);
    EXPECT_EQ(Describe(r.InputStreams), (Lines{L"0:0 video vp8", L"0:1 audio opus"}));
}

TEST(FFmpegReport, LaterStartIsRead) {
    const TFFmpegReport r = ReadFFmpegReport(ReadCapturedOutput("start-offset"));
    EXPECT_EQ(r.DurationMs, 9000) << "the container's duration runs to its last timestamp";
    EXPECT_EQ(r.StartMs, 4997);
    EXPECT_EQ(r.TimeMs, 4000);
}

TEST(FFmpegReport, SoundThatCannotBeDecoded) {
    const TFFmpegReport r = ReadFFmpegReport(ReadCapturedOutput("no-sound"));
    EXPECT_EQ(r.AudioKB, 0);
    EXPECT_EQ(r.VideoKB, 29);
    EXPECT_EQ(r.Frames, 25);
    EXPECT_EQ(r.Messages.size(), ReportedMessageCount) << "only the last few are kept";
    EXPECT_EQ(r.Messages.back(),
              L"Error while decoding stream #0:1: Invalid data found when processing input");
}

TEST(FFmpegReport, TenBitAv1WithTheEightBitDecoder) {
    // ffmpeg.exe under Wine: "\r\n" line ends, no frame, no video, exit code 0.
    const TFFmpegReport r = ReadFFmpegReport(ReadCapturedOutput("av1-10bit-8bit-decoder"));
    EXPECT_EQ(Describe(r.InputStreams), (Lines{L"0:0 video av1", L"0:1 audio opus"}));
    EXPECT_EQ(Describe(r.OutputStreams), (Lines{L"0:0 video mpeg4", L"0:1 audio mp3"}));
    EXPECT_EQ(r.Frames, 0);
    EXPECT_EQ(r.VideoKB, 0);
    EXPECT_EQ(r.AudioKB, 16);
    EXPECT_EQ(r.Messages.back(),
              L"Error while decoding stream #0:0: Invalid data found when processing input");
}

TEST(FFmpegReport, TenBitAv1WithAFullDecoderHasNoSoundToMiss) {
    const TFFmpegReport r = ReadFFmpegReport(ReadCapturedOutput("av1-10bit"));
    EXPECT_EQ(Describe(r.InputStreams), Lines{L"0:0 video av1"});
    EXPECT_EQ(r.Frames, 75);
    EXPECT_EQ(r.AudioKB, 0);
}

TEST(FFmpegReport, MissingDecoder) {
    const TFFmpegReport r = ReadFFmpegReport(ReadCapturedOutput("no-decoder"));
    EXPECT_TRUE(r.InputOpened);
    EXPECT_FALSE(r.OutputOpened);
    EXPECT_EQ(Describe(r.InputStreams), (Lines{L"0:0 video vp8", L"0:1 audio pcm_f32le"}));
    EXPECT_EQ(r.Messages.back(), L"Decoder (codec pcm_f32le) not found for input stream #0:1");
    EXPECT_FALSE(r.Frames.has_value());
}

TEST(FFmpegReport, NotAWebmFile) {
    const TFFmpegReport r = ReadFFmpegReport(ReadCapturedOutput("not-webm"));
    EXPECT_FALSE(r.InputOpened);
    EXPECT_TRUE(r.InputStreams.empty());
    EXPECT_EQ(r.Messages, (Lines{L"Format matroska,webm detected only with low score of 1, "
                                 L"misdetection possible!",
                                 L"EBML header parsing failed",
                                 L"random.webm: Invalid data found when processing input"}));
}

TEST(FFmpegReport, OutputErrorsComeAfterTheInput) {
    for (const char* name : {"folder-missing", "permission-denied"}) {
        const TFFmpegReport r = ReadFFmpegReport(ReadCapturedOutput(name));
        EXPECT_TRUE(r.InputOpened) << name;
        EXPECT_FALSE(r.OutputOpened) << name;
        EXPECT_EQ(r.Messages.size(), 1u) << name;
    }
    const TFFmpegReport missing = ReadFFmpegReport(ReadCapturedOutput("source-missing"));
    EXPECT_FALSE(missing.InputOpened);
    EXPECT_EQ(missing.Messages, Lines{L"gone.webm: No such file or directory"});
}

TEST(FFmpegReport, StreamLinesInTheirOtherForms) {
    const TFFmpegReport r = ReadFFmpegReport(
        L"Input #0, matroska,webm, from 'a.webm':\n"
        L"  Duration: 123:45:06.79, start: 0.000000, bitrate: 1 kb/s\n"
        L"  Stream #0:0(eng): Video: h264 (High), yuv420p, 1280x720\n"
        L"  Stream #0:1[0x2](deu): Audio: aac (LC), 48000 Hz\n"
        L"  Stream #0:2: Video: mjpeg (Baseline), yuvj420p, 600x600 (attached pic)\n"
        L"  Stream #0:3: Subtitle: webvtt\n"
        L"Stream mapping:\n"
        L"  Stream #0:0 -> #0:0 (h264 (native) -> mpeg4 (native))\n"
        L"frame=    0 fps=0.0 q=0.0 size=N/A time=N/A bitrate=N/A speed=N/A\r"
        L"size=     256kB time=00:00:01.50 bitrate=1\r"
        L"size=     512kB time=N/A bitrate=1\r");
    EXPECT_EQ(Describe(r.InputStreams), (Lines{L"0:0 video h264", L"0:1 audio aac",
                                               L"0:2 video mjpeg", L"0:3 other webvtt"}));
    EXPECT_TRUE(r.InputStreams[2].AttachedPicture);
    EXPECT_EQ(r.FirstInput(TStreamKind::Video)->Id, L"0:0");
    EXPECT_EQ(r.DurationMs, 445506790);
    EXPECT_EQ(r.Frames, 0);
    EXPECT_EQ(r.TimeMs, 1500) << "the last time= that held a time";
    EXPECT_TRUE(r.OutputStreams.empty());
}

TEST(FFmpegReport, LastLinesSplitStatusLines) {
    EXPECT_EQ(LastOutputLines(L"a\nb\r\n\r\nframe=1 x\rframe=2 x   \rvideo:1kB\n", 3),
              (Lines{L"frame=1 x", L"frame=2 x", L"video:1kB"}));
    EXPECT_EQ(LastOutputLines(L"one\ntwo", 5), (Lines{L"one", L"two"}));
    EXPECT_TRUE(LastOutputLines(L"", 5).empty());
    EXPECT_TRUE(LastOutputLines(L"x\n", 0).empty());
    // The version banner says nothing about this run.
    EXPECT_EQ(
        LastOutputLines(L"ffmpeg version 5.1.9 Copyright (c) 2000-2026 the FFmpeg developers\n"
                        L"  built with gcc 12-posix (GCC)\n"
                        L"  configuration: --target-os=mingw32\n"
                        L"  libavutil      57. 28.100 / 57. 28.100\n"
                        L"[matroska,webm @ 0000000000c81c00] EBML header parsing failed\n"
                        L"clip.webm: Invalid data found when processing input\n",
                        20),
        (Lines{L"[matroska,webm @ 0000000000c81c00] EBML header parsing failed",
               L"clip.webm: Invalid data found when processing input"}));
}

} // namespace

namespace {

// A volume that filled while the trailer was written: FFmpeg 5.1 exits 0.
TEST(FFmpegReport, WriteErrorsAndTheLastReportedSize) {
    const TFFmpegReport full = ReadFFmpegReport(ReadCapturedOutput("trailer-disk-full"));
    EXPECT_EQ(full.WriteError, L"Error writing trailer of mnt/clip.avi: No space left on device");
    EXPECT_TRUE(full.DiskFull);
    EXPECT_EQ(full.SizeKB, 347) << "the closing Lsize=";
    EXPECT_TRUE(full.VideoKB && full.AudioKB) << "the totals come all the same";

    const TFFmpegReport clean = ReadFFmpegReport(ReadCapturedOutput("clean"));
    EXPECT_TRUE(clean.WriteError.empty());
    EXPECT_FALSE(clean.DiskFull);
    EXPECT_EQ(clean.SizeKB, 120);

    // Windows' words, the number a build without strerror_r prints, a close error alone, the
    // unit of later versions; "N/A" keeps the size known before it.
    const TFFmpegReport windows = ReadFFmpegReport(
        L"frame=    9 fps=0.0 q=2.0 size=     258kB time=00:00:00.36 bitrate=1.0kbits/s\r"
        L"frame=   10 fps=0.0 q=2.0 size=N/A time=00:00:00.40 bitrate=N/A\r"
        L"[avi @ 000001] Error writing trailer of C:\\v\\clip.avi: Error number -28 occurred\n"
        L"Error closing file C:\\v\\clip.avi: There is not enough space on the disk.\n");
    EXPECT_EQ(windows.SizeKB, 258);
    EXPECT_EQ(windows.WriteError, L"Error writing trailer of C:\\v\\clip.avi: Error number -28 "
                                  L"occurred")
        << "the first, without its component";
    EXPECT_TRUE(windows.DiskFull);
    EXPECT_TRUE(SaysDiskFull(L"Error closing file x: There is not enough space on the disk."));

    const TFFmpegReport closing =
        ReadFFmpegReport(L"size=      12KiB time=00:00:01.00 bitrate=N/A\n"
                         L"Error closing file /mnt/usb/clip.avi: Input/output error\n");
    EXPECT_EQ(closing.SizeKB, 12);
    EXPECT_EQ(closing.WriteError, L"Error closing file /mnt/usb/clip.avi: Input/output error");
    EXPECT_FALSE(closing.DiskFull);

    // The words in a file name or a tag are no error.
    const TFFmpegReport named =
        ReadFFmpegReport(L"Input #0, matroska,webm, from 'Error closing file.webm':\n"
                         L"    title           : No space left on device\n"
                         L"Output #0, avi, to 'Error writing trailer.avi':\n");
    EXPECT_TRUE(named.WriteError.empty());
    EXPECT_FALSE(named.DiskFull);
}

} // namespace
