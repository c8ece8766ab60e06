// What writing through a partial file costs: reserving it (an exclusive create) and publishing it
// (a rename that replaces nothing), against the whole conversion of the same sample, measured side
// by side in one run. Goal: under 1 % of a conversion.
//
//   publish_bench [--ffmpeg PATH] [--samples FOLDER] [--rounds N] [FILE.webm ...]
#include "BenchSupport.h"
#include "CommandLine.h"
#include "Conversion.h"
#include "OutputNaming.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

fs::path PathOf(const std::wstring& Text) {
    return testing_support::PathFromWide(Text);
}
std::wstring TextOf(const fs::path& Path) {
    return testing_support::WideFromPath(Path);
}

double SecondsSince(Clock::time_point Start) {
    return std::chrono::duration<double>(Clock::now() - Start).count();
}

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    const size_t n = Values.size();
    return n % 2 ? Values[n / 2] : (Values[n / 2 - 1] + Values[n / 2]) / 2;
}

struct Round {
    double Convert = 0; // the converter run and its verdict
    double Reserve = 0; // the exclusive create of the partial file
    double Publish = 0; // the rename to the final name
    double Taken = 0;   // the rename when the first three final names were taken meanwhile
};

// One round on one sample, in a fresh folder: reserve, convert into the partial file, publish;
// then once more with the final names taken, to time the rename's "(N)" search.
bool RunRound(const std::wstring& Converter, const fs::path& Sample, const fs::path& Folder,
              Round& Out) {
    std::error_code ignored;
    fs::remove_all(Folder, ignored);
    fs::create_directories(Folder);
    const std::wstring target = TextOf(Folder / "clip.avi");

    Clock::time_point start = Clock::now();
    TReservedOutput reserved = ReserveOutputFile(target);
    Out.Reserve = SecondsSince(start);
    if (!reserved.Reserved)
        return false;

    start = Clock::now();
    const TConversionOutcome outcome =
        ConvertWithFFmpeg(Converter, TextOf(Sample), reserved.Partial, FFmpegOptions, nullptr);
    Out.Convert = SecondsSince(start);
    if (!outcome.Converted)
        return false;

    std::wstring published, reason;
    start = Clock::now();
    const TFileClaim claim = PublishOutputFile(reserved, target, published, reason);
    Out.Publish = SecondsSince(start);
    if (claim != TFileClaim::Done || published != target)
        return false;

    // The published AVI becomes the next partial file, and three final names are taken.
    TReservedOutput again = ReserveOutputFile(target);
    if (!again.Reserved)
        return false;
    fs::rename(PathOf(target), PathOf(again.Partial));
    for (const char* name : {"clip(2).avi", "clip(3).avi", "clip(4).avi"})
        fs::copy_file(PathOf(again.Partial), Folder / name);
    start = Clock::now();
    const TFileClaim taken = PublishOutputFile(again, target, published, reason);
    Out.Taken = SecondsSince(start);
    return taken == TFileClaim::Done && published == TextOf(Folder / "clip(5).avi");
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::wstring> args = BenchArguments(argc, argv);
    std::wstring converter = testing_support::RealConverterPath();
    fs::path samples = testing_support::SamplesFolder();
    int rounds = 5;
    std::vector<std::wstring> files;
    for (size_t i = 1; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == L"--ffmpeg" && hasValue)
            converter = args[++i];
        else if (args[i] == L"--samples" && hasValue)
            samples = PathOf(args[++i]);
        else if (args[i] == L"--rounds" && hasValue)
            rounds = std::max(1, std::stoi(args[++i]));
        else if (args[i].starts_with(L"--")) {
            std::printf("usage: publish_bench [--ffmpeg PATH] [--samples FOLDER] [--rounds N] "
                        "[FILE.webm ...]\n");
            return 2;
        } else
            files.push_back(args[i]);
    }
    if (files.empty())
        files = {L"vp8-vorbis.webm", L"long.webm"};

    const fs::path work = fs::temp_directory_path() / "kestrova-publish-bench";
    std::printf("%d rounds per file; medians in milliseconds\n\n", rounds);
    std::printf("%-18s %12s %10s %10s %12s %10s %14s\n", "file", "conversion", "reserve", "publish",
                "both/conv.", "goal", "publish, 3 taken");
    bool ok = true;
    for (const std::wstring& file : files) {
        const fs::path sample = PathOf(file).is_absolute() ? PathOf(file) : samples / PathOf(file);
        std::vector<double> convert, reserve, publish, taken;
        for (int r = 0; r < rounds; ++r) {
            Round round;
            if (!RunRound(converter, sample, work, round)) {
                std::printf("%s: the conversion or its publishing failed\n",
                            sample.filename().string().c_str());
                ok = false;
                break;
            }
            convert.push_back(round.Convert);
            reserve.push_back(round.Reserve);
            publish.push_back(round.Publish);
            taken.push_back(round.Taken);
        }
        if (convert.size() != size_t(rounds))
            continue;
        const double share = (Median(reserve) + Median(publish)) / Median(convert) * 100;
        std::printf("%-18s %12.1f %10.3f %10.3f %11.4f%% %10s %14.3f\n",
                    sample.filename().string().c_str(), Median(convert) * 1e3,
                    Median(reserve) * 1e3, Median(publish) * 1e3, share,
                    share < 1 ? "< 1 % met" : "MISSED", Median(taken) * 1e3);
    }
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return ok ? 0 : 1;
}
