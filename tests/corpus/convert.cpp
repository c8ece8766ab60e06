// Converts files with the real converter through the core's runner, exactly as Kestrova does
// (same runner, same options), and prints one line per file with what the runner reported:
//
//   <source> TAB ok|failed TAB <progress calls> TAB <first position> TAB <last position>
//            TAB <smallest size> TAB <largest size> TAB <last size> TAB <position never fell: 1|0>
//            TAB <milliseconds>
//
// Positions and sizes are the runner's milliseconds. The AVI goes beside the source, the
// converter's error output beside it as <name>.avi.log. tests/corpus/run.sh reads the lines.
//
//   kestrova_corpus_convert.exe <converter> <source>...
#include "FFmpeg.h"
#include "TextConversion.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct ProgressRecord {
    int Calls = 0;
    int64_t FirstPosition = 0;
    int64_t LastPosition = 0;
    int64_t SmallestSize = 0;
    int64_t LargestSize = 0;
    int64_t LastSize = 0;
    bool NeverFell = true;
};

// The runner's callback carries no context; one conversion runs at a time.
ProgressRecord Record;

void RecordProgress(int64_t Position, int64_t Size, bool& /*Cancel*/) {
    if (Record.Calls == 0) {
        Record.FirstPosition = Position;
        Record.SmallestSize = Size;
        Record.LargestSize = Size;
    } else {
        Record.NeverFell = Record.NeverFell && Position >= Record.LastPosition;
        Record.SmallestSize = std::min(Record.SmallestSize, Size);
        Record.LargestSize = std::max(Record.LargestSize, Size);
    }
    Record.LastPosition = Position;
    Record.LastSize = Size;
    ++Record.Calls;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: kestrova_corpus_convert <converter> <source>...\n", stderr);
        return 2;
    }
    const std::wstring converter = argv[1];
    for (int i = 2; i < argc; ++i) {
        // The converter runs in its own folder, so it is given full paths, as the program does.
        const std::filesystem::path given = argv[i];
        const std::filesystem::path source = std::filesystem::absolute(given);
        const std::filesystem::path destination =
            std::filesystem::path(source).replace_extension(L".avi");
        Record = {};
        std::wstring output;
        const ULONGLONG start = GetTickCount64();
        const bool converted = ExecuteFFmpeg(converter, source.wstring(), destination.wstring(),
                                             FFmpegOptions, output, RecordProgress);
        const ULONGLONG elapsed = GetTickCount64() - start;
        std::ofstream(std::filesystem::path(destination).concat(L".log"), std::ios::binary)
            << ToUtf8(output);
        std::printf("%s\t%s\t%d\t%lld\t%lld\t%lld\t%lld\t%lld\t%d\t%llu\n",
                    ToUtf8(given.wstring()).c_str(), converted ? "ok" : "failed", Record.Calls,
                    static_cast<long long>(Record.FirstPosition),
                    static_cast<long long>(Record.LastPosition),
                    static_cast<long long>(Record.SmallestSize),
                    static_cast<long long>(Record.LargestSize),
                    static_cast<long long>(Record.LastSize), Record.NeverFell ? 1 : 0, elapsed);
        std::fflush(stdout);
    }
    return 0;
}
