// Player-safe conversions (FFmpegPlayerSafeOptions): how large their files may grow, and the
// source's length that this depends on.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The bitrates FFmpegPlayerSafeOptions asks for, in bits per second.
inline constexpr int64_t PlayerSafeVideoBitrate = 2'500'000;    // average, -b:v
inline constexpr int64_t PlayerSafeVideoMaxBitrate = 4'854'000; // peak, -maxrate
inline constexpr int64_t PlayerSafeAudioBitrate = 192'000;      // constant, -b:a

// Many players stop reading an AVI file at 2 GiB.
inline constexpr int64_t PlayerSafeFileLimit = int64_t{1} << 31;

// Bytes of an AVI file of DurationMs holding video and audio at the given bitrates (bits per
// second), with an allowance for the container's chunk headers, index and file headers.
// Negative values count as 0.
int64_t EstimateAviSize(int64_t DurationMs, int64_t VideoBitrate, int64_t AudioBitrate);

struct PlayerSafeSize {
    int64_t Expected = 0;   // at the average video bitrate
    int64_t Largest = 0;    // with the video at its peak bitrate throughout
    bool OverLimit = false; // the expected size passes PlayerSafeFileLimit
};

// The limit is judged at the chosen (average) bitrate, which is what a whole file comes to: a
// warning for every film longer than an hour, as judging at the peak would give, would soon be
// ignored.
PlayerSafeSize EstimatePlayerSafeSize(int64_t DurationMs);

// The source's playing time in ms, read by running the converter on the source alone: it prints
// the input's description and stops without writing anything. 0 when the source carries no
// duration (live recordings), is not a media file, or the converter cannot be started.
int32_t ReadSourceDuration(const std::wstring& FFmpegPath, const std::wstring& Source);

// How a bounded read of a source's length ended.
enum class TLengthReadEnd { Read, TimedOut, Cancelled };

struct TSourceLength {
    int32_t DurationMs = 0; // as ReadSourceDuration gives it; 0 unless Read
    TLengthReadEnd End = TLengthReadEnd::Read;
};

// ReadSourceDuration that gives up: after LimitMs (a source on a stalled network share may never
// answer), or when KeepGoing returns false. KeepGoing is called at least every
// QuietReportIntervalMs while the converter runs, and at once when input arrives for the thread's
// windows, so a window can handle its messages there. The converter is ended either way.
TSourceLength ReadSourceDurationWithin(const std::wstring& FFmpegPath, const std::wstring& Source,
                                       uint32_t LimitMs, const std::function<bool()>& KeepGoing);
