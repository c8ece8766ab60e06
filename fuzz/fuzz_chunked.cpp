// Chunked against whole reading: the converter's bytes split anywhere (between pipe reads) give the
// same text, the same report and, at every split, the same progress as reading all of it so far.
#include "FFmpeg.h"
#include "FFmpegOutput.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 2)
        return 0;
    // The first byte seeds the split points; the rest is the output.
    uint32_t seed = Data[0] * 2654435761u + 1;
    const std::string_view bytes = Bytes(Data + 1, Size - 1);
    const std::wstring whole = FromUtf8(bytes);

    TUtf8Decoder decoder;
    TFFmpegOutput reader;
    std::wstring decoded;
    size_t at = 0;
    int checks = 0; // progress against a whole reading costs a pass over the text: a few per input
    while (at < bytes.size()) {
        seed = seed * 1103515245u + 12345u;
        const size_t piece = 1 + (seed >> 16) % (seed & 0x100 ? 8 : 700);
        const std::wstring text = decoder.Decode(bytes.substr(at, piece));
        at += std::min(piece, bytes.size() - at);
        decoded += text;
        reader.Append(text);
        if (checks == 32 || (seed >> 8) % 8 != 0)
            continue;
        ++checks;
        int32_t position = 0, duration = 0, expectedPosition = 0, expectedDuration = 0;
        reader.Progress(position, duration);
        ParseFFmpegProgress(decoded, expectedPosition, expectedDuration);
        FUZZ_CHECK(position == expectedPosition && duration == expectedDuration);
    }
    const std::wstring last = decoder.Finish();
    decoded += last;
    reader.Append(last);
    reader.Finish();
    FUZZ_CHECK(decoded == whole);
    FUZZ_CHECK(reader.Report() == ReadFFmpegReport(whole));
    if (whole.size() <= TKeptOutput::HeadLimit)
        FUZZ_CHECK(reader.Kept().Text() == whole);
    return 0;
}
