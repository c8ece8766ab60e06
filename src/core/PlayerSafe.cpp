#include "PlayerSafe.h"

#include "FFmpeg.h"
#include "FFmpegRun.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

// Every video frame and MP3 frame is a chunk: an 8-byte header, a 16-byte index entry and room
// for the OpenDML indexes and padding. At most 30 video frames and 48000 / 1152 MP3 frames a
// second.
constexpr int64_t ChunkBytes = 32;
constexpr int64_t ChunksPerSecond = 30 + 42;
// File and stream headers, and the space the muxer reserves for its top-level indexes.
constexpr int64_t HeaderBytes = 64 * 1024;

// Bytes that Bitrate fills in DurationMs; whole seconds first, so nothing overflows.
int64_t Payload(int64_t DurationMs, int64_t Bitrate) {
    return DurationMs / 1000 * Bitrate / 8 + DurationMs % 1000 * Bitrate / 8000;
}

// The read in progress on this thread: the runner's callback is a plain function.
struct TBoundedRead {
    std::chrono::steady_clock::time_point Deadline;
    const std::function<bool()>* KeepGoing;
    bool TimedOut = false;
};
thread_local TBoundedRead* CurrentRead = nullptr;

void BoundedReadProgress(int64_t, int64_t, bool& Cancel) {
    TBoundedRead& Read = *CurrentRead;
    if (std::chrono::steady_clock::now() >= Read.Deadline) {
        Read.TimedOut = true;
        Cancel = true;
    } else if (*Read.KeepGoing && !(*Read.KeepGoing)()) {
        Cancel = true;
    }
}

} // namespace

int64_t EstimateAviSize(int64_t DurationMs, int64_t VideoBitrate, int64_t AudioBitrate) {
    DurationMs = std::max<int64_t>(DurationMs, 0);
    return HeaderBytes + Payload(DurationMs, std::max<int64_t>(VideoBitrate, 0)) +
           Payload(DurationMs, std::max<int64_t>(AudioBitrate, 0)) +
           Payload(DurationMs, ChunksPerSecond * ChunkBytes * 8);
}

PlayerSafeSize EstimatePlayerSafeSize(int64_t DurationMs) {
    PlayerSafeSize size;
    size.Expected = EstimateAviSize(DurationMs, PlayerSafeVideoBitrate, PlayerSafeAudioBitrate);
    size.Largest = EstimateAviSize(DurationMs, PlayerSafeVideoMaxBitrate, PlayerSafeAudioBitrate);
    size.OverLimit = size.Expected > PlayerSafeFileLimit;
    return size;
}

int32_t ReadSourceDuration(const std::wstring& FFmpegPath, const std::wstring& Source) {
    // No options and an empty destination: the converter describes its input, finds no output
    // it could write and exits with 1, which is expected here.
    std::wstring output;
    ExecuteFFmpeg(FFmpegPath, Source, L"", L"", output, nullptr);
    int32_t position = 0;
    int32_t duration = 0;
    ParseFFmpegProgress(output, position, duration);
    return std::max(duration, 0);
}

TSourceLength ReadSourceDurationWithin(const std::wstring& FFmpegPath, const std::wstring& Source,
                                       uint32_t LimitMs, const std::function<bool()>& KeepGoing) {
    TBoundedRead Read{std::chrono::steady_clock::now() + std::chrono::milliseconds(LimitMs),
                      &KeepGoing};
    // Restored however the run ends, so a read started from inside KeepGoing cannot leave a
    // dangling one behind.
    struct TRestore {
        TBoundedRead* Previous;
        ~TRestore() { CurrentRead = Previous; }
    } Restore{std::exchange(CurrentRead, &Read)};

    std::wstring Output;
    const TFFmpegRun Run = RunFFmpeg(FFmpegPath, Source, L"", L"", Output, BoundedReadProgress);
    TSourceLength Length;
    if (Run.Cancelled) {
        Length.End = Read.TimedOut ? TLengthReadEnd::TimedOut : TLengthReadEnd::Cancelled;
        return Length;
    }
    int32_t Position = 0;
    ParseFFmpegProgress(Output, Position, Length.DurationMs);
    Length.DurationMs = std::max(Length.DurationMs, 0);
    return Length;
}
