#include "PlayerSafe.h"

#include "FFmpeg.h"

#include <algorithm>

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
