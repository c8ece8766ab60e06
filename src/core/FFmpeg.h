// Conversion engine: runs the external converter for one file and reports its progress.
#pragma once

#include <cstdint>
#include <string>

// Position and Size are playing times in milliseconds; Size is 0 while no duration is known.
// Setting Cancel stops the run.
using TProgressProc = void (*)(int64_t Position, int64_t Size, bool& Cancel);

// Reads the input's duration and the last reported position (both in ms) from the converter's
// error output gathered so far, by the rules of FFmpegOutput.h: the duration from the input's own
// Duration line, the position from the newest status line whose time is complete. Always sets
// both; 0 when not found, and the position 0 until the duration line has come. Values beyond
// 32 bits saturate.
void ParseFFmpegProgress(const std::wstring& Output, int32_t& Position, int32_t& Duration);

// Runs the converter on Source, writing Destination. True when it ran to the end, was not
// cancelled and exited with 0. Output receives the converter's error stream, its opening part and
// its latest part (see KeptOutput.h); it is left untouched when the converter could not be
// started. ProgressProc may be nullptr; it is also called while the converter is silent (see
// FFmpegRun.h).
bool ExecuteFFmpeg(const std::wstring& FFmpegPath, const std::wstring& Source,
                   const std::wstring& Destination, const std::wstring& Options,
                   std::wstring& Output, TProgressProc ProgressProc);

// The converter's file name, looked for in the program's own folder.
inline constexpr wchar_t FFmpegExeName[] = L"ffmpeg.exe";

// The first token of the converter's command line, which stands in for its program name.
inline constexpr wchar_t FFmpegProgramToken[] = L"ffmpeg";

// High-quality MPEG-4 with the FourCC hardware players look for; audio takes the AVI default (MP3).
inline constexpr wchar_t FFmpegOptions[] = L"-q:v 2 -vtag XVID -threads 2";

// For DVD, DivX and TV players (the DivX Home Theater limits). The command line is fixed, so the
// choices live in filter expressions:
// - rates above 30 fps divided by the smallest whole number that brings them to 30 or below
//   (60 -> 30, 50 -> 25, 48 -> 24, 120 -> 30), which drops frames evenly;
// - the picture, in square pixels, scaled down (never up) to fit 720x480 with its aspect ratio
//   kept and even sizes. The scaler cannot see the frame rate, and 720x576 is allowed only up
//   to 25 fps, so the box that holds at every rate is used; wide pictures come out the same;
// - MPEG-4 without B-frames, quarter-pixel motion or global motion compensation (the encoder
//   uses neither unless asked), a keyframe at least every 250 frames, 2.5 Mbit/s on average and
//   the peak held to 4,854 kbit/s by the rate control with the 384 KiB (3,145,728-bit) buffer;
// - MP3 at a constant 192 kbit/s, 44.1 or 48 kHz (the nearer one), mono kept, more channels
//   mixed down to stereo.
// PlayerSafe.h holds the same bitrates for the size estimate.
inline constexpr wchar_t FFmpegPlayerSafeOptions[] =
    L"-vf "
    L"fps='if(lte(source_fps,30),source_fps,source_fps/ceil(source_fps/30))',"
    L"scale=w='max(2,2*trunc(iw*sar*min(1,min(720/(iw*sar),480/ih))/2+0.001))'"
    L":h='max(2,2*trunc(ih*min(1,min(720/(iw*sar),480/ih))/2+0.001))':flags=lanczos,"
    L"setsar=1,format=yuv420p "
    L"-c:v mpeg4 -vtag XVID -bf 0 -g 250 -b:v 2500k -maxrate 4854k -bufsize 3145728 "
    L"-af aformat=sample_rates=44100|48000:channel_layouts=mono|stereo "
    L"-c:a libmp3lame -b:a 192k -threads 2";

// Exit code given to a converter stopped on the user's request (ERROR_CANCELLED).
inline constexpr uint32_t FFmpegCancelExitCode = 1223;
