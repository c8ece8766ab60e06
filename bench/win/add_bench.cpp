// Listing a big folder given on the command line, from outside the program, for one or more builds
// of Kestrova.exe side by side: how long until every file is listed, the longest the window took
// to answer meanwhile (WM_NULL every 50 ms, as Windows asks before it calls a window "Not
// Responding"), and the program's working set once they are listed.
//
//   add_bench LIMIT_SECONDS COUNT[,COUNT...] [LABEL=]PROGRAM.exe ...
//
// Each folder holds COUNT small files named like WebM files (their content does not matter to the
// list). A program that has not listed them all within the limit is ended and shown as "> LIMIT".
#include "resource.h"

#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int ListId = IDC_LSTFILESTOCONVERT;

struct TProgram {
    std::wstring Label, Path;
};

struct TResult {
    bool Listed = false;
    double Seconds = 0; // from the window's appearance until the last row is there
    double WorstMs = 0; // the longest WM_NULL round trip meanwhile
    int Answers = 0;    // how many WM_NULL were answered
    double WorkingSetMb = 0, PeakMb = 0;
};

double Now() {
    LARGE_INTEGER Frequency, Counter;
    QueryPerformanceFrequency(&Frequency);
    QueryPerformanceCounter(&Counter);
    return static_cast<double>(Counter.QuadPart) / static_cast<double>(Frequency.QuadPart);
}

struct TFind {
    DWORD ProcessId;
    HWND Found;
};

BOOL CALLBACK FindMain(HWND Window, LPARAM Param) {
    auto* Find = reinterpret_cast<TFind*>(Param);
    DWORD Owner = 0;
    GetWindowThreadProcessId(Window, &Owner);
    if (Owner == Find->ProcessId && GetDlgItem(Window, ListId)) {
        Find->Found = Window;
        return FALSE;
    }
    return TRUE;
}

fs::path MakeFolder(const fs::path& Root, int Count) {
    fs::path Folder = Root / (L"files-" + std::to_wstring(Count));
    if (fs::exists(Folder / L"done"))
        return Folder;
    fs::create_directories(Folder);
    for (int i = 1; i <= Count; ++i) {
        HANDLE File = CreateFileW((Folder / (L"clip " + std::to_wstring(i) + L".webm")).c_str(),
                                  GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD Written;
        WriteFile(File, "webm", 4, &Written, nullptr);
        CloseHandle(File);
    }
    CloseHandle(CreateFileW((Folder / L"done").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr));
    return Folder;
}

TResult Measure(const TProgram& Program, const fs::path& Folder, int Count, double Limit) {
    TResult Result;
    std::wstring CommandLine = L"\"" + Program.Path + L"\" \"" + Folder.wstring() + L"\"";
    STARTUPINFOW Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Info{};
    if (!CreateProcessW(Program.Path.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &Startup, &Info)) {
        std::fwprintf(stderr, L"cannot start %ls (%lu)\n", Program.Path.c_str(), GetLastError());
        return Result;
    }
    const double Started = Now();
    TFind Find{Info.dwProcessId, nullptr};
    while (!Find.Found && Now() - Started < Limit) {
        EnumWindows(FindMain, reinterpret_cast<LPARAM>(&Find));
        if (!Find.Found)
            Sleep(5);
    }
    if (Find.Found) {
        const double Appeared = Now();
        HWND List = GetDlgItem(Find.Found, ListId);
        for (;;) {
            const double Left = Limit - (Now() - Appeared);
            if (Left <= 0)
                break;
            DWORD_PTR Answer = 0;
            const double Asked = Now();
            if (!SendMessageTimeoutW(Find.Found, WM_NULL, 0, 0, SMTO_NORMAL,
                                     static_cast<UINT>(Left * 1000) + 1, &Answer)) {
                Result.WorstMs = std::max(Result.WorstMs, (Now() - Asked) * 1000);
                break;
            }
            Result.WorstMs = std::max(Result.WorstMs, (Now() - Asked) * 1000);
            ++Result.Answers;
            DWORD_PTR Rows = 0;
            if (SendMessageTimeoutW(List, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &Rows) &&
                static_cast<int>(Rows) >= Count) {
                Result.Listed = true;
                Result.Seconds = Now() - Appeared;
                break;
            }
            Sleep(50);
        }
    }
    PROCESS_MEMORY_COUNTERS Memory{};
    Memory.cb = sizeof Memory;
    if (GetProcessMemoryInfo(Info.hProcess, &Memory, sizeof Memory)) {
        Result.WorkingSetMb = Memory.WorkingSetSize / 1048576.0;
        Result.PeakMb = Memory.PeakWorkingSetSize / 1048576.0;
    }
    TerminateProcess(Info.hProcess, 0);
    WaitForSingleObject(Info.hProcess, 30000);
    CloseHandle(Info.hThread);
    CloseHandle(Info.hProcess);
    return Result;
}

} // namespace

int wmain(int Argc, wchar_t** Argv) {
    if (Argc < 4) {
        std::fputs("usage: add_bench LIMIT_SECONDS COUNT[,COUNT...] [LABEL=]PROGRAM.exe ...\n",
                   stderr);
        return 2;
    }
    const double Limit = _wtof(Argv[1]);
    std::vector<int> Counts;
    for (const wchar_t* Text = Argv[2]; *Text;) {
        Counts.push_back(_wtoi(Text));
        const wchar_t* Comma = std::wcschr(Text, L',');
        Text = Comma ? Comma + 1 : Text + std::wcslen(Text);
    }
    std::vector<TProgram> Programs;
    for (int i = 3; i < Argc; ++i) {
        std::wstring Arg = Argv[i];
        const size_t Equals = Arg.find(L'=');
        if (Equals == std::wstring::npos)
            Programs.push_back({L"program " + std::to_wstring(i - 2), Arg});
        else
            Programs.push_back({Arg.substr(0, Equals), Arg.substr(Equals + 1)});
    }
    const fs::path Root = fs::temp_directory_path() / L"kestrova-add-bench";

    std::printf("%-8s %-8s %14s %16s %14s %14s\n", "files", "program", "listed in (s)",
                "worst answer (ms)", "working set", "peak");
    for (int Count : Counts) {
        const fs::path Folder = MakeFolder(Root, Count);
        for (const TProgram& Program : Programs) {
            const TResult R = Measure(Program, Folder, Count, Limit);
            char Listed[32], Worst[32];
            if (R.Listed)
                std::snprintf(Listed, sizeof Listed, "%.2f", R.Seconds);
            else
                std::snprintf(Listed, sizeof Listed, "> %.0f", Limit);
            std::snprintf(Worst, sizeof Worst, "%s%.0f", R.Answers == 0 ? "> " : "", R.WorstMs);
            std::printf("%-8d %-8ls %14s %16s %11.1f MB %11.1f MB\n", Count, Program.Label.c_str(),
                        Listed, Worst, R.WorkingSetMb, R.PeakMb);
            std::fflush(stdout);
        }
    }
    std::error_code Ignored;
    fs::remove_all(Root, Ignored);
    return 0;
}
