// How long the main window takes to answer while it keeps a big list saved, against the same
// window that saves nothing (no local application data folder to save in), side by side in one run.
//
//   savelist_window_bench [seconds] [rows]      (defaults: 10 s, 10000 rows)
//
// Each side lists the same rows (empty WebM files made once in the temporary folder), then, for
// the given time, changes a row's mark every 100 ms (so the saving window saves once a second)
// while another thread asks the window WM_NULL every 20 ms, as Windows does before it calls a
// window "Not Responding", and notes how long each answer took. It also times one save's part on
// the window's thread (reading the rows; encoding and writing run on the writer's thread).
#include "../BenchSupport.h"
#include "Application.h"
#include "ImageIndex.h"
#include "Main.h"
#include "resource.h"

#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration D) {
    return std::chrono::duration<double, std::milli>(D).count();
}

struct TSide {
    double MaxAnswerMs = 0, MeanAnswerMs = 0, SaveOnWindowMs = 0;
    int Rows = 0, Saves = 0;
};

void Pump() {
    MSG Msg;
    while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&Msg);
        DispatchMessageW(&Msg);
    }
}

TSide Run(bool Saving, const fs::path& Folder, const std::wstring& AppData, int Seconds) {
    Application.Hooks.LocalAppDataFolder = [=] { return Saving ? AppData : std::wstring(); };
    TSide Side;
    TMainForm Form;
    Form.Create();
    Form.Show();
    Form.AddPaths({Folder.wstring()});
    while (Form.Adding()) {
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    Side.Rows = Form.RowCount();

    std::atomic<bool> Stop{false}, Asked{false};
    std::vector<double> Answers;
    HWND Window = Form.Handle();
    std::thread Asker([&] {
        while (!Stop) {
            const auto Start = Clock::now();
            DWORD_PTR Result = 0;
            SendMessageTimeoutW(Window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &Result);
            Answers.push_back(Ms(Clock::now() - Start));
            Sleep(20);
        }
        Asked = true;
    });
    const auto End = Clock::now() + std::chrono::seconds(Seconds);
    auto NextChange = Clock::now();
    int Change = 0;
    while (Clock::now() < End) {
        if (Clock::now() >= NextChange) {
            Form.SetRowImage(Change % Side.Rows, Change % 2 ? iiFailed : iiFilmReel);
            ++Change;
            NextChange += std::chrono::milliseconds(100);
        }
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    Stop = true;
    while (!Asked) {
        Pump(); // the last question waits on this thread's answer
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    Asker.join();
    if (!Answers.empty()) {
        Side.MaxAnswerMs = *std::max_element(Answers.begin(), Answers.end());
        double Sum = 0;
        for (double A : Answers)
            Sum += A;
        Side.MeanAnswerMs = Sum / static_cast<double>(Answers.size());
    }
    if (Saving) {
        std::vector<double> Times;
        for (int i = 0; i < 5; ++i) {
            const auto Start = Clock::now();
            Form.SaveListSoon();
            Times.push_back(Ms(Clock::now() - Start));
        }
        std::sort(Times.begin(), Times.end());
        Side.SaveOnWindowMs = Times[Times.size() / 2];
    }
    return Side;
}

} // namespace

int wmain(int Argc, wchar_t** Argv) {
    const int Seconds = Argc > 1 ? std::max(1, _wtoi(Argv[1])) : 10;
    const int Rows = Argc > 2 ? std::max(1, _wtoi(Argv[2])) : 10000;
    const fs::path Folder =
        fs::temp_directory_path() / (L"kestrova-savelist-bench-" + std::to_wstring(Rows));
    fs::create_directories(Folder);
    for (int i = 0; i < Rows; ++i) {
        const fs::path File = Folder / (L"clip " + std::to_wstring(i) + L".webm");
        if (!fs::exists(File))
            std::ofstream(File) << "w";
    }
    testing_support::TempFolder AppData(L"kestrova-savelist-bench-appdata");

    Application.Instance = GetModuleHandleW(nullptr);
    Application.Title = L"Kestrova";
    HKEY Scratch = nullptr;
    const std::wstring ScratchPath = L"Software\\KestrovaBench";
    RegCreateKeyExW(HKEY_CURRENT_USER, ScratchPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &Scratch, nullptr);
    Application.RegistryRoot = Scratch;
    Application.Hooks.ShowMessageBox = [](HWND, const std::wstring&, const std::wstring&, UINT) {
        return IDOK;
    };
    Application.Hooks.ShellExecuteVerb = [](const std::wstring&, const std::wstring&) -> DWORD {
        return ERROR_SUCCESS;
    };
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    // The side without saving first, then with it, then without again: neither always meets cold
    // caches.
    const TSide Before1 = Run(false, Folder, AppData.Wide(), Seconds);
    const TSide After = Run(true, Folder, AppData.Wide(), Seconds);
    const TSide Before2 = Run(false, Folder, AppData.Wide(), Seconds);
    RegCloseKey(Scratch);
    RegDeleteTreeW(HKEY_CURRENT_USER, ScratchPath.c_str());

    if (After.Rows != Rows || Before1.Rows != Rows || Before2.Rows != Rows) {
        std::fprintf(stderr, "not every row was listed: %d, %d, %d of %d\n", Before1.Rows,
                     After.Rows, Before2.Rows, Rows);
        return 1;
    }
    std::printf("%d rows, a mark changed every 100 ms for %d s, WM_NULL every 20 ms\n", Rows,
                Seconds);
    std::printf("%-34s %14s %14s\n", "", "longest answer", "mean answer");
    std::printf("%-34s %11.1f ms %11.2f ms\n", "without saving (first)", Before1.MaxAnswerMs,
                Before1.MeanAnswerMs);
    std::printf("%-34s %11.1f ms %11.2f ms\n", "saving once a second", After.MaxAnswerMs,
                After.MeanAnswerMs);
    std::printf("%-34s %11.1f ms %11.2f ms\n", "without saving (again)", Before2.MaxAnswerMs,
                Before2.MeanAnswerMs);
    std::printf("one save on the window's thread (reading the rows): %.1f ms\n",
                After.SaveOnWindowMs);
    return 0;
}
