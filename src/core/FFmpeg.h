// Conversion engine: runs the external converter for one file and reports its progress.
#pragma once

#include <cstdint>
#include <string>

// Position and Size are playing times in milliseconds; Size is 0 while no duration is known.
// Setting Cancel stops the run.
using TProgressProc = void (*)(int64_t Position, int64_t Size, bool& Cancel);

// Reads the input's duration and the last reported position (both in ms) from the converter's
// error output gathered so far. Always sets both; 0 when not found.
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

// High-quality MPEG-4 with the FourCC hardware players look for; audio takes the AVI default (MP3).
inline constexpr wchar_t FFmpegOptions[] = L"-q:v 2 -vtag XVID -threads 2";

// Exit code given to a converter stopped on the user's request (ERROR_CANCELLED).
inline constexpr uint32_t FFmpegCancelExitCode = 1223;
