// What keeping the list on disk costs a batch of 10,000 files, beside what the batch itself costs.
//
//   savedlist_bench [--ffmpeg PATH] [--rounds N] [--rows N] [--sample FILE.webm]
//
// Times, side by side in one run: converting one sample file with the real converter (a file of
// the batch), a whole save of a 10,000-row list (encoding and the atomic, flushed write), the
// small save of the partial files recorded, and reading the list back. During a batch the list
// changes all the time, so it is saved once a second (the most it waits after a change), and the
// partial files once per file (when it is reserved; the record of one gone waits for the next
// save of the list); the share printed is that count of saves against the batch's own
// time, taking every whole save at the full 10,000 rows (the list shrinks as files convert, so
// this is an upper bound). Encoding and writing run on the writer's own thread; the window's thread
// only reads its rows (see win/savelist_window_bench.cpp for what that costs it).
#include "BenchSupport.h"

#include "Conversion.h"
#include "FFmpeg.h"
#include "SavedList.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration D) {
    return std::chrono::duration<double, std::milli>(D).count();
}

template <typename F> double MedianMs(int Rounds, F&& Run) {
    std::vector<double> times;
    for (int i = 0; i < Rounds; ++i) {
        const auto start = Clock::now();
        Run();
        times.push_back(Ms(Clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void NoProgress(int64_t, int64_t, bool&) {}

TSavedList BigList(int Rows) {
    TSavedList list;
    list.SameFolder = false;
    list.OutputFolder = L"D:\\Videos\\Converted";
    for (int i = 0; i < Rows; ++i) {
        TSavedRow row;
        row.Name = L"Holiday recording " + std::to_wstring(i) + L" (final cut).webm";
        row.Location = L"C:\\Users\\someone\\Videos\\Recordings\\2026\\Folder " +
                       std::to_wstring(i / 100) + L"\\";
        row.FileSize = 48'000'000 + i;
        if (i % 20 == 0) { // one in twenty failed, with the converter's last lines
            row.Failed = true;
            row.Reason = L"The converter could not read the file: Invalid data found.";
            row.Details = std::wstring(400, L'x') + L"\nInvalid data found when processing input";
        }
        list.Rows.push_back(std::move(row));
    }
    return list;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::wstring> args = BenchArguments(argc, argv);
    std::wstring converter = testing_support::RealConverterPath();
    int rounds = 5, rows = 10000;
    std::wstring sample =
        testing_support::WideFromPath(testing_support::SamplesFolder() / "vp8-vorbis.webm");
    for (size_t i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == L"--ffmpeg")
            converter = args[i + 1];
        else if (args[i] == L"--rounds")
            rounds = std::max(1, std::stoi(args[i + 1]));
        else if (args[i] == L"--rows")
            rows = std::max(1, std::stoi(args[i + 1]));
        else if (args[i] == L"--sample")
            sample = args[i + 1];
    }

    testing_support::TempFolder temp(L"kestrova-savedlist-bench");
    const std::wstring folder = IncludeTrailingPathDelimiter(temp.Wide());

    // One file of the batch, converted as the batch converts it.
    int converted = 0;
    const double fileMs = MedianMs(rounds, [&] {
        const std::wstring out = folder + L"out" + std::to_wstring(converted++) + L".avi";
        if (ConvertWithFFmpeg(converter, sample, out, FFmpegOptions, NoProgress).Converted)
            RemoveFile(out);
        else
            converted = -1000000;
    });
    if (converted < 0) {
        std::fprintf(stderr, "the converter did not convert %s\n", ToUtf8(sample).c_str());
        return 1;
    }

    const TSavedList list = BigList(rows);
    TSavedListFolder saves(folder + L"Lists" + PathDelim);
    std::string bytes;
    const double encodeMs = MedianMs(rounds, [&] { bytes = EncodeSavedList(list); });
    std::wstring reason;
    bool written = true;
    const double writeMs =
        MedianMs(rounds, [&] { written = saves.WriteList(L"bench", bytes, reason) && written; });
    std::vector<TSavedPartial> partials(8);
    for (size_t i = 0; i < partials.size(); ++i)
        partials[i] = {folder + L"clip " + std::to_wstring(i) + L".partial.avi", {7, i}};
    const double partialsMs = MedianMs(
        rounds, [&] { written = saves.SavePartials(L"bench", partials, reason) && written; });
    TSavedList read;
    bool readBack = true;
    const double loadMs =
        MedianMs(rounds, [&] { readBack = saves.Load(L"bench", read) && readBack; });
    if (!written || !readBack || read.Rows != list.Rows) {
        std::fprintf(stderr, "the list was not saved and read back whole: %s\n",
                     ToUtf8(reason).c_str());
        return 1;
    }

    // A batch of `rows` files like the sample: its time, and the saves it makes. The window saves
    // once a second unless a save costs more than 1 % of that; then it spaces them 100 saves' time.
    const double batchMs = fileMs * rows;
    const double saveMs = encodeMs + writeMs;
    const double spacingMs = std::max(1000.0, 100.0 * saveMs);
    const double partialSaves = rows;
    const double partialShare = partialSaves * partialsMs / batchMs;

    std::printf("list of %d rows: %.0f KB saved\n", rows, bytes.size() / 1024.0);
    std::printf("%-44s %10.2f ms\n", "one file converted", fileMs);
    std::printf("%-44s %10.2f ms\n", "whole list: encoding", encodeMs);
    std::printf("%-44s %10.2f ms\n", "whole list: atomic flushed write", writeMs);
    std::printf("%-44s %10.2f ms\n", "partial files recorded (8, flushed)", partialsMs);
    std::printf("%-44s %10.2f ms\n", "reading the list back", loadMs);
    std::printf("batch of %d such files: %.1f s, %.0f partial saves\n", rows, batchMs / 1000.0,
                partialSaves);
    std::printf("%-44s %10.3f %% of the batch's time\n", "whole saves once a second",
                100.0 * (saveMs / 1000.0 + partialShare));
    std::printf("%-44s %10.3f %% of the batch's time (goal: under 1 %%)\n",
                "as the window spaces them", 100.0 * (saveMs / spacingMs + partialShare));
    std::printf("%-44s %10.1f s\n", "longest a change then waits to be saved", spacingMs / 1000.0);
    return 0;
}
