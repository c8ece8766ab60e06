// The one reading of the converter's output: the progress, the report the verdict comes from, and
// the kept text agree, on captured output (tests/core/data) with names and tags that hold the
// markers the reading looks for.
#include "FFmpegOutput.h"
#include "Conversion.h"
#include "FFmpeg.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using testing_support::ReadCapturedOutput;

void ReplaceAll(std::wstring& Text, const std::wstring& From, const std::wstring& To) {
    for (size_t at = Text.find(From); at != std::wstring::npos;
         at = Text.find(From, at + To.size()))
        Text.replace(at, From.size(), To);
}

std::wstring Inserted(std::wstring Text, const std::wstring& Before, const std::wstring& Lines) {
    const size_t at = Text.find(Before);
    EXPECT_NE(at, std::wstring::npos) << "the captured output has changed";
    return Text.insert(at, Lines);
}

struct Progress {
    int32_t Position = -1;
    int32_t Duration = -1;
};

Progress Parse(const std::wstring& Text) {
    Progress p;
    ParseFFmpegProgress(Text, p.Position, p.Duration);
    return p;
}

TFFmpegOutput ReadInPieces(const std::wstring& Text, size_t Piece) {
    TFFmpegOutput reader;
    for (size_t i = 0; i < Text.size(); i += Piece)
        reader.Append(std::wstring_view(Text).substr(i, Piece));
    reader.Finish();
    return reader;
}

// A slow conversion of a broken download whose name holds "time=": ten minutes of status lines
// come between the opening and the converter's last words.
TEST(FFmpegOutput, NameWithTimeMarkerAndLongRunStillEndsEarly) {
    std::wstring text = ReadCapturedOutput("ended-early");
    ReplaceAll(text, L"holiday.", L"holiday time=00:00:09.99 frame=1.");
    std::wstring status;
    for (int i = 0; i < 1200; ++i) {
        const int ms = 40 + i * 4;
        status += L"frame=  " + std::to_wstring(ms / 40) + L" fps=0.5 q=2.0 size=      17kB time=" +
                  L"00:00:0" + std::to_wstring(ms / 1000) + L"." +
                  std::to_wstring(100 + ms % 1000 / 10).substr(1) +
                  L" bitrate=3487.6kbits/s speed=0.01x    \r";
    }
    text = Inserted(text, L"[matroska,webm @", status);

    TFFmpegOutput reader = ReadInPieces(text, 4096);
    ASSERT_GT(reader.Kept().Dropped(), 0u) << "the middle of the output must have been dropped";
    for (const TConversionOutcome& outcome : {JudgeConversion(false, 0, reader.Report()),
                                              JudgeConversion(false, 0, reader.Kept().Text())}) {
        EXPECT_TRUE(outcome.Converted);
        EXPECT_TRUE(outcome.EndedEarly);
        EXPECT_EQ(outcome.ReachedMs, 4920);
        EXPECT_EQ(outcome.DurationMs, 10000);
    }
    // The kept opening part reaches to the first status line, not to the name.
    const std::wstring& kept = reader.Kept().Text();
    const size_t opening = kept.find(L"\nframe=");
    ASSERT_NE(opening, std::wstring::npos);
    EXPECT_NE(kept.find(L"  Duration: 00:00:10.00"), std::wstring::npos);
    EXPECT_LT(kept.find(L"Output #0, avi, to 'holiday time="), opening);
}

TEST(FFmpegOutput, HexadecimalAndBlankHoursInPieces) {
    // The arriving reader takes the hours by the same rule as the whole-text reader, wherever a
    // read ends.
    const std::wstring text = L"Input #0, matroska,webm, from 'a.webm':\n"
                              L"  Duration: $A:00:00.00, start: 0.000000, bitrate: 1 kb/s\n"
                              L"frame=  1 fps=0.0 q=2.0 size=  1kB time= 1:02:03.00 bitrate=1\r";
    for (size_t piece : {size_t{1}, size_t{3}, size_t{4096}}) {
        int32_t position = -1, duration = -1;
        ReadInPieces(text, piece).Progress(position, duration);
        EXPECT_EQ(duration, 36000000) << "pieces of " << piece;
        EXPECT_EQ(position, 3723000) << "pieces of " << piece;
    }
}

TEST(FFmpegOutput, DurationComesFromTheInputsOwnLineNeverFromATag) {
    const std::wstring clean = ReadCapturedOutput("clean");
    const std::wstring tag = L"    comment         : Duration: 99:00:00.00\n";
    const std::wstring tagged[] = {
        // In the input's tags, before its Duration line.
        Inserted(clean, L"  Duration: 00:00:03.00", tag),
        // In a stream's tags after it, and in the output's tags.
        Inserted(Inserted(clean, L"Stream mapping:", tag), L"frame=", tag),
        // In the file's name.
        [&] {
            std::wstring text = clean;
            ReplaceAll(text, L"clip.webm", L"Duration: 99:00:00.00.webm");
            return text;
        }(),
        // A tag whose value runs over two lines.
        Inserted(clean, L"  Duration: 00:00:03.00",
                 L"    comment         : first\n                    : Duration: 99:00:00.00\n"),
    };
    for (const std::wstring& text : tagged) {
        const Progress p = Parse(text);
        EXPECT_EQ(p.Duration, 3000);
        EXPECT_EQ(p.Position, 3020);
        EXPECT_EQ(ReadFFmpegReport(text).DurationMs, 3000);
    }
    // A run stopped right after the input's tags: no duration yet, so no position either.
    const std::wstring opening = Inserted(clean, L"  Duration: 00:00:03.00", tag);
    EXPECT_EQ(Parse(opening.substr(0, opening.find(L"  Duration: 00:00:03.00"))).Duration, 0);
}

// Eighteen digits and more: every number saturates (the sanitizer build checks that nothing
// overflows on the way).
TEST(FFmpegOutput, HugeNumbersSaturate) {
    const std::wstring digits(18, L'9');
    const std::wstring text = L"Input #0, matroska,webm, from 'a.webm':\n  Duration: " + digits +
                              L":59:59.99, start: " + digits + digits +
                              L".999999, bitrate: 1\n"
                              L"  Stream #0:0: Video: vp8, yuv420p\n"
                              L"frame=" +
                              digits + digits + L" fps=0.0 q=2.0 size=" + digits + L"kB time=" +
                              digits +
                              L":59:59.99 bitrate=1\r"
                              L"video:" +
                              digits + L"kB audio:" + digits + L"kB subtitle:0kB\n";
    const Progress p = Parse(text);
    EXPECT_EQ(p.Duration, INT32_MAX);
    EXPECT_EQ(p.Position, INT32_MAX);
    const TFFmpegReport r = ReadFFmpegReport(text);
    EXPECT_EQ(r.DurationMs, ReportedNumberLimit);
    EXPECT_EQ(r.TimeMs, ReportedNumberLimit);
    EXPECT_EQ(r.StartMs, ReportedNumberLimit - ReportedNumberLimit % 1000 + 999);
    EXPECT_EQ(r.Frames, ReportedNumberLimit);
    EXPECT_EQ(r.VideoKB, ReportedNumberLimit);
    const TConversionOutcome o = JudgeConversion(false, 0, text);
    EXPECT_TRUE(o.Converted);
    EXPECT_EQ(Parse(L"Duration: 00:00:10.00\ntime=-" + digits + L":00:00.00 x\r").Position, 0);
}

TEST(FFmpegOutput, AnEstimatedDurationCountsAsNone) {
    const std::wstring text =
        L"[matroska,webm @ 0x1] Estimating duration from bitrate, this may be inaccurate\n"
        L"Input #0, matroska,webm, from 'rec.webm':\n"
        L"  Duration: 00:00:41.23, start: 0.000000, bitrate: N/A\n"
        L"  Stream #0:0: Video: vp8, yuv420p\n"
        L"frame=   75 fps=0.0 q=2.0 Lsize=  1kB time=00:00:03.00 bitrate=1\r"
        L"video:82kB audio:0kB subtitle:0kB\n";
    const TFFmpegReport r = ReadFFmpegReport(text);
    EXPECT_TRUE(r.DurationEstimated);
    EXPECT_FALSE(r.DurationMs.has_value());
    EXPECT_FALSE(JudgeConversion(false, 0, text).EndedEarly) << "3 s of a guessed 41 s";
}

TEST(FFmpegOutput, StatusLinesAreKnownByTheirLayout) {
    // "time=" in a message or a tag moves nothing; an audio-only run's last line starts "Lsize=".
    const std::wstring head = L"Input #0, matroska,webm, from 'a.webm':\n"
                              L"  Duration: 00:00:10.00, start: 0.000000, bitrate: 1 kb/s\n";
    EXPECT_EQ(Parse(head + L"[ogg @ 0x1] time=00:00:09.00 x\n").Position, 0);
    EXPECT_EQ(Parse(head + L"    title           : time=00:00:09.00 x\n").Position, 0);
    EXPECT_EQ(Parse(head + L"Lsize=     24kB time=00:00:05.00 bitrate= 1\n").Position, 5000);
    EXPECT_EQ(Parse(head + L"size=     24kB time=00:00:04.00 bitrate= 1\r").Position, 4000);
    EXPECT_EQ(Parse(head + L"frame=1 q=2.0 sometime=00:00:04.00 x\r").Position, 0);
}

TEST(FFmpegOutput, PiecesOfAnySizeReadAsTheWhole) {
    for (const char* name : {"clean", "ended-early", "no-sound", "av1-10bit-8bit-decoder"}) {
        const std::wstring text = ReadCapturedOutput(name);
        const TFFmpegReport whole = ReadFFmpegReport(text);
        EXPECT_EQ(whole.LastLines, LastOutputLines(text, ReportedLineCount)) << name;
        for (size_t piece : {1, 2, 3, 7, 100, 4096})
            EXPECT_TRUE(ReadInPieces(text, piece).Report() == whole) << name << ", " << piece;
    }
}

TEST(FFmpegOutput, OverlongLinesAreReadByTheirStart) {
    std::wstring text = L"Input #0, matroska,webm, from '" +
                        std::wstring(TFFmpegOutput::LineLimit * 2, L'x') +
                        L".webm':\n  Duration: 00:00:10.00, start: 0.000000\n";
    const TFFmpegReport r = ReadFFmpegReport(text);
    EXPECT_TRUE(r.InputOpened);
    EXPECT_EQ(r.DurationMs, 10000);
    EXPECT_TRUE(r.Messages.empty()) << "the rest of the long line is no message";
    ASSERT_EQ(r.LastLines.size(), 2u);
    EXPECT_EQ(r.LastLines[0].size(), TFFmpegOutput::LineLimit);
}

TEST(FFmpegOutput, TheWholeTextsProgressIsTheArrivingReadersAtEveryCut) {
    // ParseFFmpegProgress reads only the lines the values depend on: cut anywhere, it must agree
    // with a reader that was given every line. Around the cuts: a status line before the
    // duration, a second input's duration, a tag that holds one, both kinds of line break, a
    // status line whose time lies past the line limit, and messages after the last status line.
    const std::wstring longStatus = L"frame=  9 size=  1kB " +
                                    std::wstring(TFFmpegOutput::LineLimit, L'x') +
                                    L" time=00:00:08.00 bitrate=1\r";
    const std::wstring head = L"time=00:00:07.00 speed=1x\r\n"
                              L"Input #1, matroska,webm, from 'b.webm':\n"
                              L"  Duration: 00:09:00.00, start: 0.000000\n"
                              L"Input #0, matroska,webm, from 'time=00:00:06.00.webm':\n"
                              L"  Metadata:\n"
                              L"    comment         : Duration: 99:00:00.00\n"
                              L"  Duration: 00:00:10.00, start: 0.000000, bitrate: 1 kb/s\r\n"
                              L"Output #0, avi, to 'a.avi':\n"
                              L"frame=  1 fps=0.0 q=2.0 size=  1kB time=00:00:01.50 bitrate=1\r"
                              L"frame=  2 fps=0.0 q=2.0 size=  1kB time=00:00:0";
    const std::wstring tail = L"2.25 bitrate=1\r\n"
                              L"[mp3 @ 0x1] Queue input is backward in time\n"
                              L"frame=  3 size=  1kB time=N/A bitrate=N/A\r"
                              L"video:1kB audio:1kB subtitle:0kB\n";
    const std::wstring text = head + tail + longStatus + L"Error writing trailer\n";
    TFFmpegOutput reader;
    size_t done = 0;
    for (size_t cut = 0; cut <= text.size(); cut += cut < head.size() + tail.size() ? 1 : 4999) {
        reader.Append(std::wstring_view(text).substr(done, cut - done));
        done = cut;
        Progress arriving;
        reader.Progress(arriving.Position, arriving.Duration);
        const Progress whole = Parse(text.substr(0, cut));
        ASSERT_EQ(whole.Position, arriving.Position) << "cut at " << cut;
        ASSERT_EQ(whole.Duration, arriving.Duration) << "cut at " << cut;
    }
    const Progress end = Parse(text);
    EXPECT_EQ(end.Duration, 10000);
    EXPECT_EQ(end.Position, 0) << "N/A is the newest time; the long line's time is past its limit";
    EXPECT_EQ(Parse(head + L"2.25 bitrate=1\r").Position, 2250);
}

} // namespace
