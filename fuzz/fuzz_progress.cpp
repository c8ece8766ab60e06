// The progress parser: any text parses without a fault; no position before a duration; the
// duration never negative; a status line added at the end moves the position to its time.
#include "FFmpeg.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::wstring text = Text(Data, Size);
    int32_t position = -1, duration = -1;
    ParseFFmpegProgress(text, position, duration);
    FUZZ_CHECK(duration >= 0);
    if (text.find(L"Duration: ") == std::wstring::npos)
        FUZZ_CHECK(position == 0 && duration == 0);

    // Once a duration is known, a complete status line at the end sets the position.
    std::wstring more = text + L"\nframe=    1 fps=0.0 q=2.0 size=   1kB time=01:02:03.45 x\r";
    ParseFFmpegProgress(more, position, duration);
    if (duration > 0)
        FUZZ_CHECK(position == 3723450);
    return 0;
}
