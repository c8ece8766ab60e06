// Kestrova.exe itself while its converter says nothing: a copy of the program with the scripted
// converter (fake_ffmpeg.exe named ffmpeg.exe) beside it converts a "file" whose script goes
// silent for several seconds. Measured from outside, as a user meets it: the longest time the
// progress window takes to answer a message during the silence (asked every 50 ms), the
// program's CPU time over the silence (share of one core), and the time from Cancel to the
// window closing. Prints figures; asserts nothing.
//
//   silence_bench FOLDER [ROUNDS]   FOLDER holds Kestrova.exe and the scripted ffmpeg.exe
#include "resource.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD SilenceMs = 8000;
constexpr DWORD MeasuredMs = 5000; // inside the silence, clear of its start and end

double Now() {
    static LARGE_INTEGER Frequency = [] {
        LARGE_INTEGER F;
        QueryPerformanceFrequency(&F);
        return F;
    }();
    LARGE_INTEGER T;
    QueryPerformanceCounter(&T);
    return static_cast<double>(T.QuadPart) * 1000.0 / static_cast<double>(Frequency.QuadPart);
}

double CpuMs(HANDLE Process) {
    FILETIME Created, Exited, Kernel, User;
    if (!GetProcessTimes(Process, &Created, &Exited, &Kernel, &User))
        return -1;
    auto Ms = [](FILETIME T) {
        return (static_cast<double>(T.dwHighDateTime) * 4294967296.0 + T.dwLowDateTime) / 1e4;
    };
    return Ms(Kernel) + Ms(User);
}

struct Find {
    DWORD Pid;
    const wchar_t* Title;
    HWND Found;
};

// A top-level window of the program with exactly this title, shown or not.
HWND WindowOf(DWORD Pid, const wchar_t* Title) {
    Find Data{Pid, Title, nullptr};
    EnumWindows(
        [](HWND Window, LPARAM Param) -> BOOL {
            auto& D = *reinterpret_cast<Find*>(Param);
            DWORD Owner = 0;
            GetWindowThreadProcessId(Window, &Owner);
            wchar_t Text[256] = L"";
            GetWindowTextW(Window, Text, 256);
            if (Owner == D.Pid && std::wcscmp(Text, D.Title) == 0) {
                D.Found = Window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&Data));
    return Data.Found;
}

HWND AwaitWindow(DWORD Pid, const wchar_t* Title, DWORD TimeoutMs) {
    for (DWORD Start = GetTickCount(); GetTickCount() - Start < TimeoutMs; Sleep(20))
        if (HWND Window = WindowOf(Pid, Title))
            return Window;
    return nullptr;
}

struct Round {
    double WorstAnswerMs = -1;
    int Asked = 0;
    double CpuPercent = -1;
    double CancelToCloseMs = -1;
};

bool RunRound(const std::wstring& Folder, const std::wstring& Script, Round& Result) {
    std::wstring Command = L"\"" + Folder + L"\\Kestrova.exe\" \"" + Script + L"\"";
    STARTUPINFOW Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Info{};
    if (!CreateProcessW(nullptr, Command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        Folder.c_str(), &Startup, &Info)) {
        std::fprintf(stderr, "silence_bench: Kestrova.exe did not start (%lu)\n", GetLastError());
        return false;
    }
    CloseHandle(Info.hThread);
    bool Ok = false;
    HWND Main = AwaitWindow(Info.dwProcessId, L"Kestrova", 30000);
    HWND Progress = nullptr;
    if (!Main) {
        std::fprintf(stderr, "silence_bench: no main window\n");
    } else {
        WaitForInputIdle(Info.hProcess, 10000);
        // Convert, as its button reports a click.
        PostMessageW(Main, WM_COMMAND, MAKEWPARAM(IDC_BTNCONVERT, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(Main, IDC_BTNCONVERT)));
        Progress = AwaitWindow(Info.dwProcessId, L"Converting", 20000);
    }
    if (Main && !Progress)
        std::fprintf(stderr, "silence_bench: no progress window\n");
    if (Progress) {
        // The bar moves during the script's first second; the silence follows.
        HWND Bar = GetDlgItem(Progress, IDC_PBCURFILE);
        DWORD_PTR Position = 0;
        for (DWORD Start = GetTickCount(); GetTickCount() - Start < 20000 && Position == 0;
             Sleep(20))
            SendMessageTimeoutW(Bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, 5000, &Position);
        Sleep(1500);

        double CpuStart = CpuMs(Info.hProcess), Start = Now();
        while (Now() - Start < MeasuredMs) {
            DWORD_PTR Answer;
            double Asked = Now();
            if (!SendMessageTimeoutW(Progress, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &Answer))
                Result.WorstAnswerMs = std::max(Result.WorstAnswerMs, 5000.0);
            Result.WorstAnswerMs = std::max(Result.WorstAnswerMs, Now() - Asked);
            ++Result.Asked;
            Sleep(50);
        }
        double CpuEnd = CpuMs(Info.hProcess), End = Now();
        Result.CpuPercent = (CpuEnd - CpuStart) * 100.0 / (End - Start);

        // Cancel, as the button reports a click; the window is gone when it is destroyed.
        double Cancelled = Now();
        PostMessageW(Progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(Progress, IDCANCEL)));
        while (IsWindow(Progress) && Now() - Cancelled < 10000)
            Sleep(1);
        if (!IsWindow(Progress)) {
            Result.CancelToCloseMs = Now() - Cancelled;
            Ok = true;
        } else {
            std::fprintf(stderr, "silence_bench: the progress window did not close\n");
        }
    }
    if (Main)
        PostMessageW(Main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(Info.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(Info.hProcess, 1);
    CloseHandle(Info.hProcess);
    return Ok;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: silence_bench FOLDER [ROUNDS]\n");
        return 2;
    }
    std::wstring Folder = argv[1];
    int Rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 3;

    // The scripted converter reads the "WebM file" as its script.
    wchar_t Temp[MAX_PATH];
    GetTempPathW(MAX_PATH, Temp);
    std::wstring Script = std::wstring(Temp) + L"kestrova-silence.webm";
    std::wstring Output = std::wstring(Temp) + L"kestrova-silence.avi";
    FILE* File = _wfopen(Script.c_str(), L"wb");
    if (!File)
        return 2;
    std::fprintf(File,
                 "err Input #0, matroska,webm, from 'x.webm':\\n  Duration: 00:00:20.00, start: "
                 "0.000000, bitrate: 800 kb/s\\n\ncreate\nstatus 1000 250 250\nsleep %lu\n"
                 "status 20000 1000 0\n",
                 static_cast<unsigned long>(SilenceMs));
    std::fclose(File);

    std::printf("Kestrova.exe with a converter silent for %lu ms; measured over %lu ms of it\n",
                static_cast<unsigned long>(SilenceMs), static_cast<unsigned long>(MeasuredMs));
    std::printf("%-6s %22s %8s %22s %20s\n", "round", "longest answer (ms)", "asked",
                "CPU (% of one core)", "Cancel to close (ms)");
    std::vector<Round> All;
    int Failed = 0;
    for (int i = 1; i <= Rounds; ++i) {
        DeleteFileW(Output.c_str());
        Round R;
        if (!RunRound(Folder, Script, R)) {
            ++Failed;
            continue;
        }
        std::printf("%-6d %22.1f %8d %22.2f %20.1f\n", i, R.WorstAnswerMs, R.Asked, R.CpuPercent,
                    R.CancelToCloseMs);
        std::fflush(stdout);
        All.push_back(R);
    }
    if (!All.empty()) {
        Round Worst;
        for (const Round& R : All) {
            Worst.WorstAnswerMs = std::max(Worst.WorstAnswerMs, R.WorstAnswerMs);
            Worst.CpuPercent = std::max(Worst.CpuPercent, R.CpuPercent);
            Worst.CancelToCloseMs = std::max(Worst.CancelToCloseMs, R.CancelToCloseMs);
        }
        std::printf("%-6s %22.1f %8s %22.2f %20.1f\n", "worst", Worst.WorstAnswerMs, "",
                    Worst.CpuPercent, Worst.CancelToCloseMs);
        std::printf("goals: answer under 250 ms, CPU under 1 %%, Cancel to close under 500 ms\n");
    }
    DeleteFileW(Script.c_str());
    DeleteFileW(Output.c_str());
    return Failed ? 1 : 0;
}
