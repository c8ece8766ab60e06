// Cost of reading the progress out of the converter's error output, per status chunk, over a
// two-hour conversion: the runner parses the whole text gathered so far after every chunk, so a
// scan over all of it would make each call slower as the conversion goes on.
//
//   parser_bench [rounds]
#include "FFmpeg.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int64_t InputMs = 2 * 3600 * 1000;
constexpr int64_t StatusEveryMs = 500;
constexpr double BucketShare = 0.10;

struct StatusLine {
    size_t Start;
    size_t TimeEnd; // index just past the hundredths of its time= field
    int32_t TimeMs;
};

struct Transcript {
    std::wstring Text;
    size_t DurationEnd = 0; // index just past the duration's hundredths
    std::vector<StatusLine> Lines;
};

std::wstring Widen(const std::string& Text) {
    return std::wstring(Text.begin(), Text.end());
}

std::string Clock(int64_t Ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%02lld",
                  static_cast<long long>(Ms / 3600000), static_cast<long long>(Ms / 60000 % 60),
                  static_cast<long long>(Ms / 1000 % 60), static_cast<long long>(Ms % 1000 / 10));
    return text;
}

// The error output of a current converter turning a two-hour WebM file into AVI: banner, input
// and output description, a status line every half second of playing time, closing summary.
Transcript MakeTranscript() {
    Transcript t;
    std::string head =
        "ffmpeg version 6.1.1 Copyright (c) 2000-2023 the FFmpeg developers\n"
        "  built with gcc 13 (GCC)\n"
        "  configuration: --enable-gpl --enable-version3 --enable-static --disable-debug "
        "--disable-w32threads --enable-pthreads --enable-iconv --enable-zlib --enable-libvpx "
        "--enable-libopus --enable-libvorbis --enable-libmp3lame --enable-libdav1d "
        "--enable-libaom --enable-libwebp --enable-libx264 --enable-libx265 --enable-libxml2 "
        "--enable-libfreetype --enable-libfribidi --enable-libass --enable-sdl2\n"
        "  libavutil      58. 29.100 / 58. 29.100\n"
        "  libavcodec     60. 31.102 / 60. 31.102\n"
        "  libavformat    60. 16.100 / 60. 16.100\n"
        "  libavdevice    60.  3.100 / 60.  3.100\n"
        "  libavfilter     9. 12.100 /  9. 12.100\n"
        "  libswscale      7.  5.100 /  7.  5.100\n"
        "  libswresample   4. 12.100 /  4. 12.100\n"
        "Input #0, matroska,webm, from 'C:\\Users\\me\\Videos\\lecture.webm':\n"
        "  Metadata:\n"
        "    ENCODER         : Lavf60.16.100\n";
    std::string durationLine =
        "  Duration: " + Clock(InputMs) + ", start: 0.000000, bitrate: 3712 kb/s\n";
    t.DurationEnd = head.size() + durationLine.find(',');
    head += durationLine;
    head += "  Stream #0:0: Video: vp9 (Profile 0), yuv420p(tv, progressive), 1280x720, SAR 1:1 "
            "DAR 16:9, 25 fps, 25 tbr, 1k tbn (default)\n"
            "    Metadata:\n"
            "      DURATION        : 02:00:00.000000000\n"
            "  Stream #0:1: Audio: opus, 48000 Hz, stereo, fltp (default)\n"
            "    Metadata:\n"
            "      DURATION        : 02:00:00.001000000\n"
            "Stream mapping:\n"
            "  Stream #0:0 -> #0:0 (vp9 (native) -> mpeg4 (native))\n"
            "  Stream #0:1 -> #0:1 (opus (native) -> mp3 (libmp3lame))\n"
            "Press [q] to stop, [?] for help\n"
            "Output #0, avi, to 'C:\\Users\\me\\Videos\\lecture.avi':\n"
            "  Metadata:\n"
            "    ISFT            : Lavf60.16.100\n"
            "  Stream #0:0: Video: mpeg4 (XVID / 0x44495658), yuv420p(tv, progressive), "
            "1280x720 [SAR 1:1 DAR 16:9], q=2-31, 200 kb/s, 25 fps, 25 tbn (default)\n"
            "    Metadata:\n"
            "      DURATION        : 02:00:00.000000000\n"
            "      encoder         : Lavc60.31.102 mpeg4\n"
            "    Side data:\n"
            "      cpb: bitrate max/min/avg: 0/0/200000 buffer size: 0 vbv_delay: N/A\n"
            "  Stream #0:1: Audio: mp3 (U[0][0][0] / 0x0055), 48000 Hz, stereo, fltp\n"
            "    Metadata:\n"
            "      DURATION        : 02:00:00.001000000\n"
            "      encoder         : Lavc60.31.102 libmp3lame\n";
    std::string text = head;

    const int64_t count = InputMs / StatusEveryMs;
    for (int64_t k = 1; k <= count; ++k) {
        // Hundredths that vary, so a misread field shows; the last line ends exactly at 2:00:00.
        const int64_t ms = k * StatusEveryMs - 10 * (k % 4);
        const bool last = k == count;
        const size_t start = text.size();
        char line[256];
        std::snprintf(line, sizeof line,
                      "frame=%6lld fps= 50 q=2.0 %s=%8lldkB time=", static_cast<long long>(ms / 40),
                      last ? "Lsize" : "size", static_cast<long long>(ms * 3712 / 8 / 1024 / 1000));
        text += line;
        text += Clock(ms);
        t.Lines.push_back({start, text.size(), static_cast<int32_t>(ms)});
        text += " bitrate=3712.4kbits/s speed=2.01x    ";
        text += last ? '\n' : '\r';
    }
    text += "video:3193280kB audio:112500kB subtitle:0kB other streams:0kB global headers:0kB "
            "muxing overhead: 0.231904%\n";
    t.Text = Widen(text);
    return t;
}

// Where each chunk the runner receives ends, in characters (one per byte, as the converter
// writes them).
using Feed = std::vector<size_t>;

// The header, then one to three whole status lines at a time.
Feed ChunksOfLines(const Transcript& T, uint32_t Seed) {
    Feed ends{T.Lines.front().Start};
    for (size_t i = 0; i < T.Lines.size();) {
        Seed = Seed * 1103515245u + 12345u;
        i = std::min(T.Lines.size(), i + 1 + (Seed >> 16) % 3);
        ends.push_back(i < T.Lines.size() ? T.Lines[i].Start : T.Text.size());
    }
    return ends;
}

// Full reads of the runner's buffer, cutting lines anywhere; First varies where the cuts fall.
Feed ChunksOfBytes(const Transcript& T, size_t Size, size_t First) {
    Feed ends;
    for (size_t e = First; e < T.Text.size(); e += Size)
        ends.push_back(e);
    ends.push_back(T.Text.size());
    return ends;
}

using ParseProc = void (*)(const std::wstring&, int32_t&, int32_t&);

// For contrast: finds the last status line by walking forward through every one of them.
void ParseForward(const std::wstring& Output, int32_t& Position, int32_t& Duration) {
    Position = 0;
    Duration = 0;
    size_t d = Output.find(L"Duration: ");
    if (d == std::wstring::npos)
        return;
    auto field = [&](size_t At) { return (Output[At] - L'0') * 10 + (Output[At + 1] - L'0'); };
    auto clock = [&](size_t At) {
        return ((field(At) * 60 + field(At + 3)) * 60 + field(At + 6)) * 1000 + field(At + 9) * 10;
    };
    Duration = clock(d + 10);
    size_t last = std::wstring::npos;
    for (size_t k = Output.find(L"time="); k != std::wstring::npos;
         k = Output.find(L"time=", k + 1))
        last = k;
    if (last != std::wstring::npos && last + 16 <= Output.size())
        Position = clock(last + 5);
}

// Checks the values at every chunk end that falls outside a time= field (partial fields are the
// unit tests' business). Returns the number of checks, or -1 after printing the first mismatch.
long Verify(const Transcript& T, const std::vector<Feed>& Feeds, ParseProc Parse,
            const char* Name) {
    long checks = 0;
    for (const Feed& Ends : Feeds) {
        size_t line = 0; // first status line not yet wholly inside the text
        std::wstring text;
        size_t done = 0;
        for (size_t end : Ends) {
            text.append(T.Text, done, end - done);
            done = end;
            while (line < T.Lines.size() && T.Lines[line].TimeEnd <= end)
                ++line;
            const bool inField =
                line < T.Lines.size() && end + 16 > T.Lines[line].TimeEnd; // "time=HH:MM:SS.cc"
            if (inField || end < T.DurationEnd)
                continue;
            int32_t position = -1;
            int32_t duration = -1;
            Parse(text, position, duration);
            const int32_t expected = line == 0 ? 0 : T.Lines[line - 1].TimeMs;
            if (position != expected || duration != InputMs) {
                std::printf("WRONG: %s at %zu characters: position %d (expected %d), duration %d "
                            "(expected %lld)\n",
                            Name, end, position, expected, duration,
                            static_cast<long long>(InputMs));
                return -1;
            }
            ++checks;
        }
    }
    return checks;
}

size_t BucketSize(size_t Chunks) {
    return std::max<size_t>(1, static_cast<size_t>(Chunks * BucketShare));
}

struct Cost {
    double StartNs;
    double EndNs;
};

volatile int32_t Sink;

// Grows the text chunk by chunk as the runner does and times the calls made in the first and the
// last share of the chunks; each of those calls is repeated Repeats times.
Cost TimeOneRun(const std::wstring& Full, const std::vector<size_t>& Ends, ParseProc Parse,
                int Repeats) {
    using clock = std::chrono::steady_clock;
    const size_t bucket = BucketSize(Ends.size());
    clock::duration start{}, end{};
    std::wstring text;
    size_t done = 0;
    for (size_t i = 0; i < Ends.size(); ++i) {
        text.append(Full, done, Ends[i] - done);
        done = Ends[i];
        const bool first = i < bucket;
        if (!first && i < Ends.size() - bucket)
            continue;
        int32_t position = 0;
        int32_t duration = 0;
        auto t0 = clock::now();
        for (int r = 0; r < Repeats; ++r)
            Parse(text, position, duration);
        auto t1 = clock::now();
        Sink = position + duration;
        (first ? start : end) += t1 - t0;
    }
    auto ns = [&](clock::duration d) {
        return std::chrono::duration<double, std::nano>(d).count() / double(bucket * Repeats);
    };
    return {ns(start), ns(end)};
}

double Median(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    size_t n = V.size();
    return n % 2 ? V[n / 2] : (V[n / 2 - 1] + V[n / 2]) / 2;
}

// Calls is roughly how many calls to time per bucket: few chunks get more repeats each.
// Each round feeds every one of Feeds and averages them.
void Row(const char* Name, const std::wstring& Text, const std::vector<Feed>& Feeds,
         ParseProc Parse, size_t Calls, int Rounds) {
    std::vector<double> start, end;
    for (int r = 0; r < Rounds; ++r) {
        double s = 0, e = 0;
        for (const Feed& f : Feeds) {
            const int repeats = static_cast<int>(std::max<size_t>(1, Calls / BucketSize(f.size())));
            Cost c = TimeOneRun(Text, f, Parse, repeats);
            s += c.StartNs / double(Feeds.size());
            e += c.EndNs / double(Feeds.size());
        }
        start.push_back(s);
        end.push_back(e);
    }
    double s = Median(start), e = Median(end);
    std::printf("%-44s %8zu %15.1f %13.1f %11.2f\n", Name, Feeds.front().size(), s, e, e / s);
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const Transcript t = MakeTranscript();
    std::vector<Feed> lines, reads;
    for (uint32_t k = 0; k < 4; ++k)
        lines.push_back(ChunksOfLines(t, 12345 + k));
    for (size_t k = 0; k < 16; ++k)
        reads.push_back(ChunksOfBytes(t, 4096, 4096 - 256 * k));
    const std::vector<Feed> oneFeed{lines.front()};

    // A benchmark of a broken parser would measure nothing worth knowing.
    long checks[3] = {Verify(t, lines, ParseFFmpegProgress, "ParseFFmpegProgress, lines"),
                      Verify(t, reads, ParseFFmpegProgress, "ParseFFmpegProgress, 4096"),
                      Verify(t, oneFeed, ParseForward, "forward scan, lines")};
    for (long c : checks)
        if (c < 0)
            return 1;

    // The text with its Duration line blanked out: the parser then searches the whole of it.
    std::wstring noDuration = t.Text;
    noDuration.replace(noDuration.find(L"Duration: "), 10, L"Length:   ");

    std::printf("Parser cost per status chunk: 2-hour input, %zu status lines, %.2f M characters\n",
                t.Lines.size(), t.Text.size() / 1e6);
    std::printf("Values checked at %ld + %ld + %ld chunk ends: all right.\n\n", checks[0],
                checks[1], checks[2]);
    std::printf("%-44s %8s %15s %13s %11s\n", "", "chunks", "start ns/call", "end ns/call",
                "end/start");
    Row("ParseFFmpegProgress, 1-3 status lines/chunk", t.Text, lines, ParseFFmpegProgress, 10000,
        rounds);
    Row("ParseFFmpegProgress, 4096-character reads", t.Text, reads, ParseFFmpegProgress, 10000,
        rounds);
    Row("contrast: forward scan for the last time=", t.Text, oneFeed, ParseForward, 1, rounds);
    Row("contrast: input without a Duration line", noDuration, oneFeed, ParseFFmpegProgress, 1,
        rounds);
    std::printf("\nstart = first %.0f %% of the chunks, end = last %.0f %%. Mean over %zu ways of "
                "cutting lines / %zu ways of cutting reads, median of %d rounds.\n",
                BucketShare * 100, BucketShare * 100, lines.size(), reads.size(), rounds);
    return 0;
}
