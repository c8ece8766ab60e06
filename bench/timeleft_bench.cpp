// How well the progress window's time-left estimate foretells the end of a real batch: a batch
// of similar files is converted with the real converter through the same batch, display
// arithmetic and estimator as in the program, every estimate is kept with the moment it was made,
// and once the batch is over each is compared with the time that really was left.
//
//   timeleft_bench [--ffmpeg PATH] [FILE.webm ...]
//
// Without files (natively only), a batch of six files of four to eight minutes is cut from
// samples/long.webm with the system's ffmpeg. Goal: after 20 % of the batch, every estimate is
// within 25 % of the real time left.
#include "Batch.h"
#include "BenchSupport.h"
#include "FFmpeg.h"
#include "TimeLeft.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct TSample {
    double Time;
    double Done; // share of the batch, 0 to 1
    std::optional<double> Estimate;
};

struct TBenchList : TConversionList {
    std::vector<TListRow> Rows;
    int RowCount() const override { return static_cast<int>(Rows.size()); }
    TListRow Row(int Index) const override { return Rows[static_cast<size_t>(Index)]; }
    void DeleteRow(int Index) override { Rows.erase(Rows.begin() + Index); }
    void SetRowImage(int, int) override {}
    void SetRowOutcome(int, const TConversionOutcome&) override {}
    void UpdateControlsOnListChange() override {}
};

struct TBenchFolder : TOutputFolderChoice {
    std::wstring Folder;
    bool SameFolderSelected() const override { return false; }
    std::wstring OutputFolderText() const override { return Folder; }
};

// The progress window's display as far as the estimate goes: bars that read back clamped, and
// the estimator fed exactly as the window feeds it.
struct TBenchDisplay : TProgressDisplay {
    TTimeLeft TimeLeft;
    std::vector<TSample> Samples;
    int CurPos = 0, OverallPos = 0, OverallMax = 0;
    bool Marquee = false;

    void Update() {
        TimeLeft.Update(Now(), OverallPos, OverallMax, !Marquee);
        Samples.push_back(
            {Now(), OverallMax > 0 ? double(OverallPos) / OverallMax : 0, TimeLeft.Remaining()});
    }
    void SetCurFileCaption(const std::wstring&) override {}
    void SetCurFileBarStyle(TBarStyle Style) override { Marquee = Style == TBarStyle::Marquee; }
    void SetCurFileBarPosition(int Position) override { CurPos = std::clamp(Position, 0, 100); }
    int CurFileBarPosition() const override { return CurPos; }
    int CurFileBarMax() const override { return 100; }
    void SetOverallBarMax(int Max) override {
        OverallMax = Max;
        Update();
    }
    void SetOverallBarPosition(int Position) override {
        OverallPos = std::clamp(Position, 0, OverallMax);
        Update();
    }
    int OverallBarPosition() const override { return OverallPos; }
    int OverallBarMax() const override { return OverallMax; }
    void SetCurFilePercentage(const std::wstring&) override {}
    void SetOverallPercentage(const std::wstring&) override {}
    void ProcessMessages() override {}
};

struct TBenchConverter : TConverter {
    std::wstring Converter;
    int Failures = 0;
    bool ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                     TProgressProc ProgressProc, TConversionOutcome& Outcome) override {
        Outcome = ConvertWithFFmpeg(Converter, Source, Destination, FFmpegOptions, ProgressProc);
        if (!Outcome.Converted)
            ++Failures;
        return Outcome.Converted;
    }
};

#ifndef _WIN32
// Six files of four to eight minutes of the same kind of video, cut without re-encoding.
std::vector<std::wstring> MakeBatch(const fs::path& Folder) {
    const fs::path Sample = testing_support::SamplesFolder() / "long.webm";
    std::vector<std::wstring> Files;
    const int Loops[] = {6, 4, 8, 6, 8, 4};
    for (int i = 0; i < 6; ++i) {
        fs::path File = Folder / ("part" + std::to_string(i + 1) + ".webm");
        std::string Command = "ffmpeg -v error -nostdin -y -stream_loop " +
                              std::to_string(Loops[i] - 1) + " -i '" + Sample.string() +
                              "' -c copy '" + File.string() + "'";
        if (std::system(Command.c_str()) != 0)
            return {};
        Files.push_back(File.wstring());
    }
    return Files;
}
#endif

int Run(std::wstring Converter, std::vector<std::wstring> Files) {
    const fs::path Work =
        fs::temp_directory_path() /
        ("kestrova-timeleft-bench-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(Work);
    struct Cleanup {
        fs::path Folder;
        ~Cleanup() {
            std::error_code Ignored;
            fs::remove_all(Folder, Ignored);
        }
    } RemoveWork{Work};

#ifndef _WIN32
    if (Files.empty())
        Files = MakeBatch(Work);
#endif
    if (Files.empty()) {
        std::printf("timeleft_bench: no files to convert\n");
        return 2;
    }

    TBenchList List;
    int64_t TotalBytes = 0;
    for (const std::wstring& File : Files) {
        fs::path Path(File);
        auto Size = static_cast<int64_t>(fs::file_size(Path));
        TotalBytes += Size;
        List.Rows.push_back(
            {Path.filename().wstring(),
             Path.parent_path().wstring() + std::wstring(1, fs::path::preferred_separator), Size});
    }
    TBenchFolder Folder;
    Folder.Folder = Work.wstring();
    TBenchDisplay Display;
    TBenchConverter Convert;
    Convert.Converter = Converter;
    TBatch Batch(List, Folder, Display, Convert);

    const double Start = Now();
    Batch.Run();
    const double End = Now();
    if (Convert.Failures > 0) {
        std::printf("timeleft_bench: %d of %zu files did not convert with %s\n", Convert.Failures,
                    Files.size(), ToUtf8(Converter).c_str());
        return 1;
    }

    std::printf("time-left estimate over a batch of %zu files, %.1f MB, converted in %.1f s "
                "(%zu progress reports)\n\n",
                Files.size(), TotalBytes / 1e6, End - Start, Display.Samples.size());
    std::printf("  batch done   elapsed   estimate   really left   error\n");
    for (int Percent = 10; Percent <= 90; Percent += 10) {
        auto At = std::find_if(Display.Samples.begin(), Display.Samples.end(),
                               [&](const TSample& S) { return S.Done * 100 >= Percent; });
        if (At == Display.Samples.end())
            continue;
        const double Left = End - At->Time;
        if (At->Estimate)
            std::printf("  %8d%%   %6.1f s   %6.1f s   %9.1f s   %+5.1f%%\n", Percent,
                        At->Time - Start, *At->Estimate, Left, 100 * (*At->Estimate - Left) / Left);
        else
            std::printf("  %8d%%   %6.1f s   %8s   %9.1f s\n", Percent, At->Time - Start, "(none)",
                        Left);
    }

    // Every estimate from 20 % on, while more than a few seconds are left (the window says "A
    // few seconds left" below 15 s, where a share of the time says little).
    // In contrast, the plain average of the whole batch so far, unsmoothed.
    double Worst = 0, Sum = 0, PlainWorst = 0, PlainSum = 0;
    int Count = 0, Missing = 0;
    for (const TSample& S : Display.Samples) {
        const double Left = End - S.Time;
        if (S.Done < 0.2 || Left < 15)
            continue;
        if (!S.Estimate) {
            ++Missing;
            continue;
        }
        const double Error = std::fabs(*S.Estimate - Left) / Left;
        Worst = std::max(Worst, Error);
        Sum += Error;
        const double Plain = (1 - S.Done) * (S.Time - Start) / S.Done;
        PlainWorst = std::max(PlainWorst, std::fabs(Plain - Left) / Left);
        PlainSum += std::fabs(Plain - Left) / Left;
        ++Count;
    }
    if (Count == 0) {
        std::printf("\ntimeleft_bench: the batch was too short to judge any estimate\n");
        return 1;
    }
    std::printf("\nfrom 20%% of the batch on (%d estimates, %d reports without one, while more "
                "than 15 s were left):\n  mean error %.1f%%, worst error %.1f%% (goal: within "
                "25%%) -> %s\n",
                Count, Missing, 100 * Sum / Count, 100 * Worst, Worst <= 0.25 ? "met" : "NOT met");
    std::printf("  contrast: the whole batch's plain average: mean error %.1f%%, worst %.1f%%\n",
                100 * PlainSum / Count, 100 * PlainWorst);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::wstring> Args = BenchArguments(argc, argv);
    std::wstring Converter = testing_support::RealConverterPath();
    std::vector<std::wstring> Files;
    for (size_t i = 1; i < Args.size(); ++i) {
        if (Args[i] == L"--ffmpeg" && i + 1 < Args.size())
            Converter = Args[++i];
        else
            Files.push_back(Args[i]);
    }
    try {
        return Run(Converter, Files);
    } catch (const std::exception& E) {
        std::printf("timeleft_bench: %s\n", E.what());
        return 1;
    }
}
