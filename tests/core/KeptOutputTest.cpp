#include "FFmpeg.h"
#include "FFmpegOutput.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::wstring Head = L"ffmpeg version 5.1\n"
                          L"Input #0, matroska,webm, from 'clip.webm':\n"
                          L"  Duration: 10:00:00.00, start: 0.000000, bitrate: 800 kb/s\n"
                          L"  Stream #0:0: Video: vp9, yuv420p\n"
                          L"Stream mapping:\n"
                          L"Press [q] to stop, [?] for help\n"
                          L"Output #0, avi, to 'clip.avi':\n"
                          L"  Stream #0:0: Video: mpeg4 (XVID / 0x44495658), yuv420p\n";

std::wstring Clock(int64_t Ms) {
    wchar_t text[32];
    swprintf(text, 32, L"%02lld:%02lld:%02lld.%02lld", (long long)(Ms / 3600000),
             (long long)(Ms / 60000 % 60), (long long)(Ms / 1000 % 60),
             (long long)(Ms % 1000 / 10));
    return text;
}

std::wstring Status(int64_t Ms) {
    return L"frame=" + std::to_wstring(Ms / 40) + L" fps=25 q=2.0 size=  1000kB time=" + Clock(Ms) +
           L" bitrate= 800.0kbits/s speed=1.0x    \r";
}

TEST(KeptOutput, ShortOutputIsKeptWhole) {
    TFFmpegOutput reader;
    const std::wstring all = Head + Status(0) + Status(500) + L"video:1kB audio:1kB\n";
    for (size_t i = 0; i < all.size(); i += 7)
        reader.Append(std::wstring_view(all).substr(i, 7));
    EXPECT_EQ(reader.Kept().Text(), all);
    EXPECT_EQ(reader.Kept().Dropped(), 0u);
}

TEST(KeptOutput, TenHoursKeepTheOpeningAndTheEndAndParseTheSame) {
    TFFmpegOutput reader;
    reader.Append(Head);
    size_t peak = 0;
    for (int64_t ms = 0; ms <= 36'000'000; ms += 500) {
        reader.Append(Status(ms));
        peak = std::max(peak, reader.Kept().Text().size());
        if (ms % 3'600'000 == 0 || ms == 36'000'000) {
            int32_t position = 0;
            int32_t duration = 0;
            ParseFFmpegProgress(reader.Kept().Text(), position, duration);
            EXPECT_EQ(duration, 36'000'000);
            EXPECT_EQ(position, ms);
        }
    }
    reader.Append(L"video:1234567kB audio:234567kB subtitle:0kB\n");
    EXPECT_LE(peak, Head.size() + TKeptOutput::TailLimit + 200);
    EXPECT_GT(reader.Kept().Dropped(), 1'000'000u);
    const std::wstring& text = reader.Kept().Text();
    EXPECT_EQ(text.substr(0, Head.size()), Head) << "the opening part reaches past every stream";
    // The latest part starts at a whole status line.
    EXPECT_EQ(text.substr(Head.size(), 6), L"frame=");
    EXPECT_NE(text.find(L"time=10:00:00.00"), std::wstring::npos);
    EXPECT_TRUE(text.ends_with(L"video:1234567kB audio:234567kB subtitle:0kB\n"));
}

TEST(KeptOutput, OpeningWithoutStatusLinesStopsAtItsLimit) {
    TFFmpegOutput reader;
    std::wstring line(99, L'x');
    line += L'\n';
    for (int i = 0; i < 10000; ++i) // a million characters before any status line
        reader.Append(line);
    reader.Append(L"time=00:00:01.00 x\r");
    reader.Append(L"END");
    const std::wstring& text = reader.Kept().Text();
    EXPECT_LE(text.size(), TKeptOutput::HeadLimit + TKeptOutput::TailLimit + 200);
    EXPECT_EQ(text.substr(0, 100), line);
    EXPECT_EQ(text.substr(text.size() - 3), L"END");
    EXPECT_NE(text.find(L"time=00:00:01.00"), std::wstring::npos);
}

TEST(KeptOutput, MarkerSplitAcrossChunksStillEndsTheOpening) {
    TFFmpegOutput reader;
    reader.Append(Head + L"frame=1 ti");
    reader.Append(L"me=00:00:00.04 x\r");
    // Enough further status lines to force a trim: the opening part must be Head alone.
    for (int64_t ms = 0; ms < 2'000'000; ms += 500)
        reader.Append(Status(ms));
    EXPECT_EQ(reader.Kept().Text().substr(0, Head.size()), Head);
    EXPECT_EQ(reader.Kept().Text().substr(Head.size(), 6), L"frame=");
}

} // namespace
