// The whole program against the bare converter: the same WebM files converted by pressing Convert
// in the real main window (progress window, batch, runner) and by starting ffmpeg.exe directly with
// the same command line, alternating in one run. Also the CPU time the program itself spends
// while its batch runs.
//
//   program_bench [ROUNDS] [FILE.webm ...]   (files default to the samples beside the bench)
#include "../BenchSupport.h"
#include "Application.h"
#include "FFmpeg.h"
#include "Main.h"
#include "ShellDrop.h"
#include "resource.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Converts every file the way the program does, but without it.
bool ConvertDirectly(const fs::path& Converter, const fs::path& Source, const fs::path& Target) {
    std::wstring CommandLine = std::wstring(FFmpegProgramToken) + L" -nostdin -y -i \"" +
                               Source.wstring() + L"\" " + FFmpegOptions + L" \"" +
                               Target.wstring() + L"\"";
    STARTUPINFOW Startup{};
    Startup.cb = sizeof(Startup);
    Startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    Startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION Info{};
    if (!CreateProcessW(Converter.wstring().c_str(), CommandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_NEW_CONSOLE, nullptr, nullptr, &Startup, &Info))
        return false;
    WaitForSingleObject(Info.hProcess, INFINITE);
    DWORD Code = 1;
    GetExitCodeProcess(Info.hProcess, &Code);
    CloseHandle(Info.hThread);
    CloseHandle(Info.hProcess);
    return Code == 0;
}

} // namespace

int wmain(int Argc, wchar_t** Argv) {
    int Rounds = Argc > 1 ? _wtoi(Argv[1]) : 3;
    fs::path Here = testing_support::ExecutableFolder();
    std::vector<fs::path> Sources;
    for (int i = 2; i < Argc; ++i)
        Sources.emplace_back(Argv[i]);
    if (Sources.empty())
        for (const wchar_t* Name :
             {L"vp8-vorbis.webm", L"vp9-opus.webm", L"live.webm", L"long.webm"})
            Sources.push_back(Here / L"samples" / Name);

    fs::path Work =
        fs::temp_directory_path() / (L"kestrova-bench-" + std::to_wstring(GetCurrentProcessId()));
    fs::create_directories(Work);
    std::vector<fs::path> Copies;
    for (const fs::path& Source : Sources) {
        Copies.push_back(Work / Source.filename());
        fs::copy_file(Source, Copies.back(), fs::copy_options::overwrite_existing);
    }

    // The program as it runs, apart from what would block or leave traces: the summary box is
    // recorded, the start counter goes to a scratch key, the web site is not opened.
    Application.Instance = GetModuleHandleW(nullptr);
    Application.Title = L"Kestrova";
    HKEY Scratch = nullptr;
    const std::wstring ScratchPath = L"Software\\KestrovaBench";
    RegCreateKeyExW(HKEY_CURRENT_USER, ScratchPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &Scratch, nullptr);
    Application.RegistryRoot = Scratch;
    std::wstring Summary;
    Application.Hooks.ShowMessageBox = [&](HWND, const std::wstring& Text, const std::wstring&,
                                           UINT) {
        Summary = Text;
        return IDOK;
    };
    Application.Hooks.ShellExecuteVerb = [](const std::wstring&, const std::wstring&) -> DWORD {
        return ERROR_SUCCESS;
    };
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    double ProgramWall = 0, DirectWall = 0, ProgramCpu = 0;
    bool Ok = true;
    auto ThroughProgram = [&](int Round) {
        TMainForm Form;
        Form.Create();
        Form.Show();
        std::vector<std::wstring> Names;
        for (const fs::path& Copy : Copies)
            Names.push_back(Copy.wstring());
        SendMessageW(Form.Handle(), WM_DROPFILES,
                     reinterpret_cast<WPARAM>(testing_support::MakeDrop(Names)), 0);
        double Cpu = ProcessCpuSeconds();
        auto Start = Clock::now();
        SendMessageW(Form.Handle(), WM_COMMAND, MAKEWPARAM(IDC_BTNCONVERT, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Form.Control(IDC_BTNCONVERT)));
        ProgramWall += std::chrono::duration<double>(Clock::now() - Start).count();
        ProgramCpu += ProcessCpuSeconds() - Cpu;
        if (Summary != L"The conversion is finished.") {
            std::fwprintf(stderr, L"program round %d: \"%ls\"\n", Round + 1, Summary.c_str());
            Ok = false;
        }
    };
    auto Directly = [&] {
        auto Start = Clock::now();
        for (const fs::path& Copy : Copies)
            Ok = ConvertDirectly(Here / L"ffmpeg.exe", Copy,
                                 fs::path(Copy).replace_extension(L".avi")) &&
                 Ok;
        DirectWall += std::chrono::duration<double>(Clock::now() - Start).count();
    };
    auto RemoveOutputs = [&] {
        for (const fs::path& Copy : Copies)
            fs::remove(fs::path(Copy).replace_extension(L".avi"));
    };
    // Alternating which goes first, so neither side always meets cold caches.
    for (int Round = 0; Round < Rounds && Ok; ++Round) {
        for (int Side = 0; Side < 2; ++Side) {
            if ((Round + Side) % 2 == 0)
                ThroughProgram(Round);
            else
                Directly();
            RemoveOutputs();
        }
    }

    RegCloseKey(Scratch);
    RegDeleteTreeW(HKEY_CURRENT_USER, ScratchPath.c_str());
    std::error_code Ignored;
    fs::remove_all(Work, Ignored);
    if (!Ok) {
        std::fprintf(stderr, "a conversion failed; no figures\n");
        return 1;
    }
    std::printf("%d rounds x %zu files\n", Rounds, Copies.size());
    std::printf("  through the program: %8.3f s wall\n", ProgramWall);
    std::printf("  converter directly:  %8.3f s wall\n", DirectWall);
    std::printf("  ratio %.4f, overhead %+.2f %%\n", ProgramWall / DirectWall,
                (ProgramWall / DirectWall - 1) * 100);
    std::printf("  program's own CPU time during its batches: %.3f s (%.2f %% of its wall time)\n",
                ProgramCpu, ProgramCpu / ProgramWall * 100);
    return 0;
}
