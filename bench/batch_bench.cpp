// A whole batch three ways, side by side in one run: the bare converter one file after another
// (on Windows also as it was started before, with a console of its own, the "vs console" column),
// Kestrova's batch one file at a time, and Kestrova's batch with several at once. Prints wall time,
// the ratio to the one-at-a-time batch, and how busy the machine's processors were.
//
//   batch_bench [--ffmpeg PATH] [--before-ffmpeg PATH] [--keep FOLDER] [--at-once N[,N...]]
//               SET_FOLDER...
//
// Each SET_FOLDER holds the .webm files of one batch (bench/make-batch-inputs.sh makes them).
// With --keep, the AVI files of the one-at-a-time batch go to FOLDER/<set>/one and those of each
// side-by-side batch to FOLDER/<set>/at-once-N, for a frame comparison; otherwise into a scratch
// folder. --at-once lists the numbers of files at once to measure (default: the one the program
// chooses for this machine). --before-ffmpeg (Windows) gives the console row another converter,
// an earlier build, so that row is the program as it ran before, measured in the same run.
#include "Batch.h"
#include "BenchSupport.h"
#include "ChildProcess.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

using Clock = std::chrono::steady_clock;

// Busy and total processor time so far, in seconds. Natively: the converters' own (ended, waited
// for children) against the machine's capacity, so other programs do not count. On Windows: the
// whole machine's, other programs included.
struct TCpuTimes {
    double Busy = 0, Total = 0;
};

TCpuTimes CpuTimes() {
#ifdef _WIN32
    FILETIME Idle, Kernel, User;
    ::GetSystemTimes(&Idle, &Kernel, &User);
    auto Seconds = [](FILETIME T) {
        return static_cast<double>(uint64_t(T.dwHighDateTime) << 32 | T.dwLowDateTime) / 1e7;
    };
    // Kernel time includes idle time.
    return {Seconds(Kernel) + Seconds(User) - Seconds(Idle), Seconds(Kernel) + Seconds(User)};
#else
    rusage Usage{};
    getrusage(RUSAGE_CHILDREN, &Usage);
    auto Seconds = [](timeval T) { return double(T.tv_sec) + double(T.tv_usec) / 1e6; };
    const double Cores = std::max(1u, std::thread::hardware_concurrency());
    const double Now =
        std::chrono::duration<double>(Clock::now().time_since_epoch()).count() * Cores;
    return {Seconds(Usage.ru_utime) + Seconds(Usage.ru_stime), Now};
#endif
}

struct TFigures {
    double Wall = 0;
    double Busy = 0; // share of the machine's processor time that was busy
    int Failed = 0;
};

template <typename Work> TFigures Measure(Work&& Run) {
    const TCpuTimes Before = CpuTimes();
    const auto Start = Clock::now();
    TFigures Figures;
    Figures.Failed = Run();
    Figures.Wall = std::chrono::duration<double>(Clock::now() - Start).count();
    const TCpuTimes After = CpuTimes();
    const double Total = After.Total - Before.Total;
    Figures.Busy = Total > 0 ? (After.Busy - Before.Busy) / Total : 0;
    return Figures;
}

// The bare converter with Kestrova's command line, its error stream drained and dropped.
bool RunBare(const std::wstring& FFmpeg, const std::wstring& Source, const std::wstring& Target) {
    const std::wstring CommandLine = std::wstring(FFmpegProgramToken) + L" -nostdin -y -i \"" +
                                     Source + L"\" " + FFmpegOptions + L" \"" + Target + L"\"";
    return RunDirect(FFmpeg, CommandLine) == 0;
}

#ifdef _WIN32
// The same, started as Kestrova started it before its converters ran without a console: with a
// console of its own (one more process for every file). Output goes nowhere.
bool RunBareWithConsole(const std::wstring& FFmpeg, const std::wstring& Source,
                        const std::wstring& Target) {
    SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
    HANDLE Nowhere = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &Inherit, OPEN_EXISTING, 0, nullptr);
    if (Nowhere == INVALID_HANDLE_VALUE)
        return false;
    STARTUPINFOW Startup{};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESTDHANDLES;
    Startup.hStdOutput = Nowhere;
    Startup.hStdError = Nowhere;
    std::wstring CommandLine = std::wstring(FFmpegProgramToken) + L" -nostdin -y -i \"" + Source +
                               L"\" " + FFmpegOptions + L" \"" + Target + L"\"";
    PROCESS_INFORMATION Info{};
    const bool Started =
        ::CreateProcessW(FFmpeg.c_str(), CommandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_NO_WINDOW, nullptr, nullptr, &Startup, &Info);
    ::CloseHandle(Nowhere);
    if (!Started)
        return false;
    ::WaitForSingleObject(Info.hProcess, INFINITE);
    DWORD Code = 1;
    ::GetExitCodeProcess(Info.hProcess, &Code);
    ::CloseHandle(Info.hThread);
    ::CloseHandle(Info.hProcess);
    return Code == 0;
}
#endif

class TRows : public TConversionList, public TOutputFolderChoice {
public:
    std::vector<TListRow> Rows;
    std::wstring Folder;

    int RowCount() const override { return static_cast<int>(Rows.size()); }
    TListRow Row(int Index) const override { return Rows.at(Index); }
    void DeleteRow(int Index) override { Rows.erase(Rows.begin() + Index); }
    void SetRowImage(int, int) override {}
    void SetRowOutcome(int, const TConversionOutcome&) override {}
    void UpdateControlsOnListChange() override {}
    bool SameFolderSelected() const override { return false; }
    std::wstring OutputFolderText() const override { return Folder; }
};

// Displays nothing, as cheaply as possible.
class TNoDisplay : public TProgressDisplay {
public:
    void SetCurFileCaption(const std::wstring&) override {}
    void SetCurFileBarStyle(TBarStyle) override {}
    void SetCurFileBarPosition(int P) override { Cur = P; }
    int CurFileBarPosition() const override { return Cur; }
    int CurFileBarMax() const override { return 100; }
    void SetOverallBarMax(int M) override { Max = M; }
    void SetOverallBarPosition(int P) override { Pos = P; }
    int OverallBarPosition() const override { return Pos; }
    int OverallBarMax() const override { return Max; }
    void SetCurFilePercentage(const std::wstring&) override {}
    void SetOverallPercentage(const std::wstring&) override {}
    void ProcessMessages() override {}

private:
    int Cur = 0, Pos = 0, Max = 0;
};

class TRealConverter : public TConverter {
public:
    explicit TRealConverter(std::wstring FFmpeg) : FFmpeg(std::move(FFmpeg)) {}
    bool ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                     TProgressProc ProgressProc, TConversionOutcome& Outcome) override {
        Outcome = ConvertWithFFmpeg(FFmpeg, Source, Destination, FFmpegOptions, ProgressProc);
        return Outcome.Converted;
    }
    std::unique_ptr<TFFmpegJob> CreateJob(const std::wstring& Source,
                                          const std::wstring& Destination) override {
        return std::make_unique<TFFmpegJob>(FFmpeg, Source, Destination, FFmpegOptions);
    }

private:
    std::wstring FFmpeg;
};

// Kestrova's batch over Sources into Folder, AtOnce files at a time; returns the failed count.
int RunBatch(const std::wstring& FFmpeg, const std::vector<fs::path>& Sources,
             const fs::path& Folder, int AtOnce) {
    fs::remove_all(Folder);
    fs::create_directories(Folder);
    TRows Rows;
    Rows.Folder = WideFromPath(Folder);
    for (const fs::path& Source : Sources)
        Rows.Rows.push_back({WideFromPath(Source.filename()),
                             WideFromPath(Source.parent_path()) + L"/",
                             static_cast<int64_t>(fs::file_size(Source))});
    TNoDisplay Display;
    TRealConverter Converter(FFmpeg);
    TBatch Batch(Rows, Rows, Display, Converter);
    Batch.SideBySide = AtOnce;
    Batch.Run();
    return static_cast<int>(Batch.Failures().size());
}

std::vector<int> ParseList(const std::wstring& Text) {
    std::vector<int> Numbers;
    std::wstringstream In(Text);
    std::wstring Item;
    while (std::getline(In, Item, L','))
        Numbers.push_back(std::stoi(Item));
    return Numbers;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::wstring> Args = BenchArguments(argc, argv);
    std::wstring FFmpeg = RealConverterPath();
    std::wstring BeforeFFmpeg;
    fs::path Keep;
    const unsigned Cores = std::thread::hardware_concurrency();
    std::vector<int> AtOnce{ChooseSideBySide(Cores)};
    std::vector<fs::path> Sets;
    for (size_t i = 1; i < Args.size(); ++i) {
        if (Args[i] == L"--ffmpeg" && i + 1 < Args.size())
            FFmpeg = Args[++i];
        else if (Args[i] == L"--before-ffmpeg" && i + 1 < Args.size())
            BeforeFFmpeg = Args[++i];
        else if (Args[i] == L"--keep" && i + 1 < Args.size())
            Keep = PathFromWide(Args[++i]);
        else if (Args[i] == L"--at-once" && i + 1 < Args.size())
            AtOnce = ParseList(Args[++i]);
        else
            Sets.push_back(PathFromWide(Args[i]));
    }
    if (Sets.empty()) {
        std::fprintf(stderr, "usage: batch_bench [--ffmpeg PATH] [--before-ffmpeg PATH] "
                             "[--keep FOLDER] [--at-once N,...] SET_FOLDER...\n");
        return 2;
    }
    const char* ConsoleWay =
        BeforeFFmpeg.empty() ? "bare, a console each, in turn" : "before: console, old converter";
    if (BeforeFFmpeg.empty())
        BeforeFFmpeg = FFmpeg;
    TempFolder Scratch(L"kestrova-batch-bench");
    const fs::path OutRoot = Keep.empty() ? Scratch.Path() : Keep;

    std::printf("logical processors: %u; files at once chosen: %d\n", Cores,
                ChooseSideBySide(Cores));
    std::printf("%-10s %-30s %8s %9s %7s%s\n", "set", "way", "wall s", "vs one", "busy",
#ifdef _WIN32
                "  vs console"
#else
                ""
#endif
    );
    bool AllWorked = true;
    for (const fs::path& Set : Sets) {
        std::vector<fs::path> Sources;
        for (const auto& Entry : fs::directory_iterator(Set))
            if (Entry.path().extension() == ".webm")
                Sources.push_back(Entry.path());
        std::sort(Sources.begin(), Sources.end());
        const std::string Name =
            Set.filename().string() + " (" + std::to_string(Sources.size()) + ")";
        const fs::path Out = OutRoot / Set.filename();

        const fs::path BareFolder = Out / "bare";
        fs::remove_all(BareFolder);
        fs::create_directories(BareFolder);
        const TFigures Bare = Measure([&] {
            int Failed = 0;
            for (const fs::path& Source : Sources)
                Failed += !RunBare(FFmpeg, WideFromPath(Source),
                                   WideFromPath(BareFolder / Source.stem()) + L".avi");
            return Failed;
        });
        TFigures Console;
#ifdef _WIN32
        Console = Measure([&] {
            int Failed = 0;
            for (const fs::path& Source : Sources)
                Failed += !RunBareWithConsole(BeforeFFmpeg, WideFromPath(Source),
                                              WideFromPath(BareFolder / Source.stem()) + L".avi");
            return Failed;
        });
#endif
        const TFigures One = Measure([&] { return RunBatch(FFmpeg, Sources, Out / "one", 1); });
        auto Row = [&](const char* Way, const TFigures& F) {
            std::printf("%-10s %-30s %8.2f %8.2fx %6.0f%%", Name.c_str(), Way, F.Wall,
                        One.Wall / F.Wall, 100 * F.Busy);
            if (Console.Wall > 0)
                std::printf(" %10.2fx", Console.Wall / F.Wall);
            std::printf("%s\n", F.Failed ? "  (FAILED FILES)" : "");
            AllWorked = AllWorked && F.Failed == 0;
        };
        if (Console.Wall > 0)
            Row(ConsoleWay, Console);
        Row("bare converter, in turn", Bare);
        Row("Kestrova, one at a time", One);
        for (int N : AtOnce) {
            const TFigures Several = Measure([&] {
                return RunBatch(FFmpeg, Sources, Out / ("at-once-" + std::to_string(N)), N);
            });
            const std::string Way = "Kestrova, " + std::to_string(N) + " at once";
            Row(Way.c_str(), Several);
        }
    }
    return AllWorked ? 0 : 1;
}
