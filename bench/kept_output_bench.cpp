// Peak size of the converter output the runner keeps over a simulated ten-hour conversion (goal:
// under 1 MB), against the size of the whole output, which the runner kept before.
//
//   kept_output_bench
//
// The output is what a current converter prints: banner, input and output description, a status
// line for every half second of playing time, closing totals. It is fed as the runner reads it,
// in chunks of one to three status lines, and parsed after every chunk as the runner does; the
// parsed values are checked against the ones written, so no figure is printed for a broken run.
#include "FFmpeg.h"
#include "FFmpegOutput.h"
#include "KeptOutput.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int64_t TenHoursMs = 10LL * 3600 * 1000;

std::wstring Clock(int64_t Ms) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%02lld:%02lld:%02lld.%02lld", static_cast<long long>(Ms / 3600000),
                  static_cast<long long>(Ms / 60000 % 60), static_cast<long long>(Ms / 1000 % 60),
                  static_cast<long long>(Ms % 1000 / 10));
    return text;
}

std::wstring Opening() {
    std::wstring text =
        L"ffmpeg version 5.1.9-0+deb12u1 Copyright (c) 2000-2025 the FFmpeg developers\n"
        L"  built with gcc 12 (Debian 12.2.0-14)\n  configuration: ";
    text += std::wstring(1500, L'-');
    text +=
        L"\n  libavutil      57. 28.100 / 57. 28.100\n"
        L"Input #0, matroska,webm, from 'holiday.webm':\n"
        L"  Metadata:\n    ENCODER         : Lavf59.27.100\n"
        L"  Duration: 10:00:00.00, start: 0.000000, bitrate: 1200 kb/s\n"
        L"  Stream #0:0: Video: vp9 (Profile 0), yuv420p(tv), 1280x720, 25 fps, 25 tbr, 1k tbn\n"
        L"  Stream #0:1: Audio: opus, 48000 Hz, stereo, fltp\n"
        L"Stream mapping:\n"
        L"  Stream #0:0 -> #0:0 (vp9 (native) -> mpeg4 (native))\n"
        L"  Stream #0:1 -> #0:1 (opus (native) -> mp3 (libmp3lame))\n"
        L"Press [q] to stop, [?] for help\n"
        L"Output #0, avi, to 'holiday.avi':\n"
        L"  Stream #0:0: Video: mpeg4 (XVID / 0x44495658), yuv420p(tv), 1280x720, q=2-31\n"
        L"  Stream #0:1: Audio: mp3 (U[0][0][0] / 0x0055), 48000 Hz, stereo, fltp\n";
    return text;
}

std::wstring Status(int64_t Ms) {
    return L"frame=" + std::to_wstring(Ms / 40) + L" fps= 50 q=2.0 size= " +
           std::to_wstring(Ms / 8) + L"kB time=" + Clock(Ms) +
           L" bitrate=4700.1kbits/s speed=2.01x    \r";
}

} // namespace

int main() {
    TFFmpegOutput reader; // as the runner reads the converter's output
    const TKeptOutput& kept = reader.Kept();
    size_t whole = 0;
    size_t peakChars = 0;
    size_t peakBytes = 0;
    auto feed = [&](const std::wstring& Chunk) {
        reader.Append(Chunk);
        whole += Chunk.size();
        peakChars = std::max(peakChars, kept.Text().size());
        peakBytes = std::max(peakBytes, kept.CapacityBytes());
    };

    feed(Opening());
    int chunkLines = 1;
    std::wstring chunk;
    for (int64_t ms = 0; ms <= TenHoursMs; ms += 500) {
        chunk += Status(ms);
        if (--chunkLines > 0 && ms < TenHoursMs)
            continue;
        feed(chunk);
        chunk.clear();
        chunkLines = static_cast<int>(ms / 500 % 3) + 1;
        int32_t position = 0;
        int32_t duration = 0;
        reader.Progress(position, duration);
        if (position != ms || duration != TenHoursMs) {
            std::fprintf(stderr, "parser read %d of %d at %lld ms\n", position, duration,
                         static_cast<long long>(ms));
            return 1;
        }
    }
    feed(L"video:21093750kB audio:562500kB subtitle:0kB other streams:0kB global headers:0kB "
         L"muxing overhead: 0.1%\n");

    const double mb = 1000.0 * 1000.0;
    std::printf("simulated ten-hour conversion: %zu characters of converter output\n", whole);
    std::printf("whole output as text:          %10.2f MB (%zu-byte characters)\n",
                double(whole * sizeof(wchar_t)) / mb, sizeof(wchar_t));
    std::printf("peak kept text:                %10.2f MB (%zu characters)\n",
                double(peakChars * sizeof(wchar_t)) / mb, peakChars);
    std::printf("peak memory held for it:       %10.2f MB (goal: under 1 MB)\n",
                double(peakBytes) / mb);
    std::printf("dropped between the two parts: %zu characters\n", kept.Dropped());
    return peakBytes < 1000 * 1000 ? 0 : 2;
}
