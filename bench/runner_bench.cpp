// Wall time of converting sample files through ExecuteFFmpeg against starting the converter
// through the bare child-process seam with the same command line, alternating in one run; and the
// CPU time this process spends meanwhile, which is the runner's own share of the work.
//
//   runner_bench [--ffmpeg PATH] [--samples FOLDER] [--rounds N] [FILE.webm ...]
#include "BenchSupport.h"
#include "ChildProcess.h"
#include "FFmpeg.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;
using testing_support::PathFromWide;
using testing_support::WideFromPath;

namespace {

// A progress handler that does a little of what a window would: keep the figures, work out a
// percentage.
struct {
    long Calls = 0;
    int64_t Position = 0;
    int64_t Size = 0;
    int Percent = 0;
    bool Moved = false; // a position within a known duration arrived at least once
} Progress;

void OnProgress(int64_t Position, int64_t Size, bool&) {
    ++Progress.Calls;
    Progress.Position = Position;
    Progress.Size = Size;
    Progress.Percent = Size > 0 ? static_cast<int>(Position * 100 / Size) : 0;
    Progress.Moved = Progress.Moved || (Size > 0 && Position > 0);
}

// What ExecuteFFmpeg hands the converter, built the same way.
std::wstring ConverterCommandLine(const std::wstring& Source, const std::wstring& Destination) {
    return std::wstring(FFmpegProgramToken) + L" -nostdin -y -i \"" + Source + L"\" " +
           FFmpegOptions + L" \"" + Destination + L"\"";
}

struct Measure {
    double Wall = 0;
    double Cpu = 0;
};

struct FileResult {
    std::wstring Name;
    Measure Runner, Direct;
    std::vector<double> PairDifferences; // (runner - direct) / direct, per round
};

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point Start) {
    return std::chrono::duration<double>(Clock::now() - Start).count();
}

bool WroteOutput(const fs::path& File) {
    std::error_code error;
    return fs::file_size(File, error) > 0 && !error;
}

// One conversion each way; false (after saying why) when either did not succeed.
bool TimeRunner(const std::wstring& Converter, const fs::path& Source, const fs::path& Target,
                Measure& Into, double& Seconds) {
    fs::remove(Target);
    std::wstring output;
    double cpu = ProcessCpuSeconds();
    auto start = Clock::now();
    bool ok = ExecuteFFmpeg(Converter, WideFromPath(Source), WideFromPath(Target), FFmpegOptions,
                            output, OnProgress);
    Seconds = Since(start);
    Into.Cpu += ProcessCpuSeconds() - cpu;
    Into.Wall += Seconds;
    if (!ok || !WroteOutput(Target)) {
        std::printf("ExecuteFFmpeg failed on %s; its output ends:\n%ls\n", Source.string().c_str(),
                    output.substr(output.size() - std::min<size_t>(output.size(), 600)).c_str());
        return false;
    }
    return true;
}

bool TimeDirect(const std::wstring& Converter, const fs::path& Source, const fs::path& Target,
                Measure& Into, double& Seconds) {
    fs::remove(Target);
    const std::wstring commandLine =
        ConverterCommandLine(WideFromPath(Source), WideFromPath(Target));
    double cpu = ProcessCpuSeconds();
    auto start = Clock::now();
    long code = RunDirect(Converter, commandLine);
    Seconds = Since(start);
    Into.Cpu += ProcessCpuSeconds() - cpu;
    Into.Wall += Seconds;
    if (code != 0 || !WroteOutput(Target)) {
        std::printf("The converter run directly on %s ended with %ld\n", Source.string().c_str(),
                    code);
        return false;
    }
    return true;
}

struct Options {
    std::wstring Converter = testing_support::RealConverterPath();
    fs::path Samples = testing_support::SamplesFolder();
    int Rounds = 5;
    std::vector<std::wstring> Files;
};

bool ReadOptions(const std::vector<std::wstring>& Args, Options& Into) {
    for (size_t i = 1; i < Args.size(); ++i) {
        const std::wstring& a = Args[i];
        const bool hasValue = i + 1 < Args.size();
        if (a == L"--ffmpeg" && hasValue)
            Into.Converter = Args[++i];
        else if (a == L"--samples" && hasValue)
            Into.Samples = PathFromWide(Args[++i]);
        else if (a == L"--rounds" && hasValue)
            Into.Rounds = std::max(1, std::stoi(Args[++i]));
        else if (a.rfind(L"--", 0) == 0)
            return false;
        else
            Into.Files.push_back(a);
    }
    if (Into.Files.empty()) {
        for (const wchar_t* name :
             {L"vp8-vorbis.webm", L"vp9-opus.webm", L"live.webm", L"long.webm"})
            if (fs::exists(Into.Samples / PathFromWide(name)))
                Into.Files.push_back(name);
    }
    return !Into.Files.empty();
}

double Mean(const std::vector<double>& V) {
    double sum = 0;
    for (double v : V)
        sum += v;
    return V.empty() ? 0 : sum / double(V.size());
}

double Median(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    size_t n = V.size();
    return n == 0 ? 0 : n % 2 ? V[n / 2] : (V[n / 2 - 1] + V[n / 2]) / 2;
}

double StandardError(const std::vector<double>& V) {
    if (V.size() < 2)
        return 0;
    double m = Mean(V), sum = 0;
    for (double v : V)
        sum += (v - m) * (v - m);
    return std::sqrt(sum / double(V.size() - 1) / double(V.size()));
}

// A fresh folder for the converted files, removed with them at the end.
struct ScratchFolder {
    fs::path Path;
    ScratchFolder() {
        auto stamp = Clock::now().time_since_epoch().count();
        Path = fs::temp_directory_path() / ("kestrova-runner-bench-" + std::to_string(stamp));
        fs::create_directories(Path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(Path, ignored);
    }
};

int Run(const Options& O) {
    ScratchFolder scratch;
    std::vector<FileResult> results;
    for (const std::wstring& name : O.Files)
        results.push_back({name, {}, {}, {}});

    // Once each way, untimed: loads the converter and the files into the system's caches.
    {
        Measure ignored;
        double seconds = 0;
        fs::path source = O.Samples / PathFromWide(O.Files.front());
        if (!TimeRunner(O.Converter, source, scratch.Path / "warm.avi", ignored, seconds) ||
            !TimeDirect(O.Converter, source, scratch.Path / "warm.avi", ignored, seconds))
            return 1;
    }

    Measure runnerTotal, directTotal;
    std::vector<double> allDifferences;
    Progress = {};
    for (int round = 0; round < O.Rounds; ++round) {
        for (size_t f = 0; f < results.size(); ++f) {
            FileResult& r = results[f];
            fs::path source = O.Samples / PathFromWide(r.Name);
            fs::path target = scratch.Path / PathFromWide(L"out-" + std::to_wstring(f) + L".avi");
            double a = 0, b = 0;
            // The order alternates, so a drift in the machine's speed falls on both sides.
            bool ok = (round + f) % 2 == 0
                          ? TimeRunner(O.Converter, source, target, r.Runner, a) &&
                                TimeDirect(O.Converter, source, target, r.Direct, b)
                          : TimeDirect(O.Converter, source, target, r.Direct, b) &&
                                TimeRunner(O.Converter, source, target, r.Runner, a);
            if (!ok)
                return 1;
            r.PairDifferences.push_back((a - b) / b);
            allDifferences.push_back((a - b) / b);
        }
    }
    if (!Progress.Moved) {
        std::printf("The progress handler never saw a duration and a position.\n");
        return 1;
    }

    std::printf("Converter: %ls\nSamples:   %s\nRounds:    %d (A/B order alternating)\n\n",
                O.Converter.c_str(), O.Samples.string().c_str(), O.Rounds);
    std::printf("%-18s %6s %17s %12s %9s %18s\n", "file", "runs", "ExecuteFFmpeg s", "direct s",
                "ratio", "pair diff %");
    for (const FileResult& r : results) {
        std::printf("%-18ls %5d %16.3f %10.3f %8.4f   %+6.2f, %+6.2f +- %.2f\n", r.Name.c_str(),
                    O.Rounds, r.Runner.Wall, r.Direct.Wall, r.Runner.Wall / r.Direct.Wall,
                    100 * Median(r.PairDifferences), 100 * Mean(r.PairDifferences),
                    100 * StandardError(r.PairDifferences));
        runnerTotal.Wall += r.Runner.Wall;
        runnerTotal.Cpu += r.Runner.Cpu;
        directTotal.Wall += r.Direct.Wall;
        directTotal.Cpu += r.Direct.Cpu;
    }
    std::printf("%-18s %5zu %16.3f %10.3f %8.4f   %+6.2f, %+6.2f +- %.2f\n\n", "total",
                O.Rounds * results.size(), runnerTotal.Wall, directTotal.Wall,
                runnerTotal.Wall / directTotal.Wall, 100 * Median(allDifferences),
                100 * Mean(allDifferences), 100 * StandardError(allDifferences));
    std::printf("Overhead of ExecuteFFmpeg in wall time: %+.2f %% (goal: under 1 %%)\n",
                100 * (runnerTotal.Wall / directTotal.Wall - 1));
    std::printf("CPU time of this process during the ExecuteFFmpeg runs: %.1f ms "
                "(%.3f %% of their wall time), %ld progress calls\n",
                1000 * runnerTotal.Cpu, 100 * runnerTotal.Cpu / runnerTotal.Wall, Progress.Calls);
    std::printf("CPU time of this process during the direct runs:        %.1f ms\n",
                1000 * directTotal.Cpu);
    std::printf("(pair diff: (ExecuteFFmpeg - direct) / direct of the two runs of one file in one "
                "round; se: standard error of the mean)\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ReadOptions(BenchArguments(argc, argv), options)) {
        std::printf("usage: runner_bench [--ffmpeg PATH] [--samples FOLDER] [--rounds N] "
                    "[FILE.webm ...]\n(no sample files found in %s)\n",
                    options.Samples.string().c_str());
        return 2;
    }
    try {
        return Run(options);
    } catch (const std::exception& e) {
        std::printf("runner_bench: %s\n", e.what());
        return 1;
    }
}
