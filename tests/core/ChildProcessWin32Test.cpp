// How the Windows seam starts the converter: it ends with the program that started it, runs in
// its own folder, inherits nothing but its pipe end and gets no console.
#ifdef _WIN32
#include "ChildProcess.h"
#include "TestSupport.h"
#include "TextConversion.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// Everything the child writes until it ends, as text.
std::wstring RunToEnd(ChildProcess& Child) {
    std::string bytes;
    char buffer[512];
    for (;;) {
        size_t received = 0;
        TChildOutput what = Child.Read(buffer, sizeof buffer, 10000, false, received);
        if (what == TChildOutput::Ended)
            break;
        bytes.append(buffer, received);
    }
    uint32_t code = 0;
    EXPECT_TRUE(Child.WaitForExit(10000, false, code));
    return FromUtf8(bytes);
}

std::wstring Lower(std::wstring Text) {
    for (wchar_t& c : Text)
        c = static_cast<wchar_t>(towlower(c));
    return Text;
}

unsigned long ReadProcessId(const fs::path& File) {
    std::ifstream in{File};
    unsigned long id = 0;
    in >> id;
    return id;
}

} // namespace

TEST(ChildProcessWin32, ConverterEndsWhenTheProgramThatStartedItIsKilled) {
    TempFolder dir;
    const fs::path script = dir.WriteFile(L"hang.webm", "pid\nhang\n");
    const fs::path pidFile = dir.Path() / "pid.txt";
    const std::wstring holder = WideFromPath(ExecutableFolder() / "child_holder.exe");
    std::wstring commandLine = L"child_holder \"" + FakeConverterPath() + L"\" \"" +
                               WideFromPath(script) + L"\" \"" + WideFromPath(pidFile) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(holder.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                               CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info))
        << "error " << GetLastError();
    CloseHandle(info.hThread);

    unsigned long converter = 0;
    for (int i = 0; i < 400 && converter == 0; ++i) {
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        converter = ReadProcessId(pidFile);
    }
    // As an access violation ends a process: no clean-up of its own runs.
    TerminateProcess(info.hProcess, 0xC0000005);
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hProcess);
    ASSERT_NE(converter, 0ul) << "the holder never started its converter";

    bool running = true;
    for (int i = 0; i < 100 && running; ++i) {
        running = ProcessIsRunning(converter);
        if (running)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_FALSE(running) << "the converter outlived the program that started it";
    if (HANDLE stray = OpenProcess(PROCESS_TERMINATE, FALSE, converter)) {
        TerminateProcess(stray, 1);
        CloseHandle(stray);
    }
}

TEST(ChildProcessWin32, ConverterRunsInItsOwnFolderWithOnlyItsPipeEndAndNoConsole) {
    TempFolder dir;
    // Signalled, inheritable, and not the converter's business.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE event = CreateEventW(&inheritable, TRUE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    const fs::path script =
        dir.WriteFile(L"probe.webm", "cwd\nconsole\nhandle " +
                                         std::to_string(reinterpret_cast<uintptr_t>(event)) + "\n");

    // Ours is elsewhere, and holds nothing the converter should see.
    wchar_t ours[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, ours);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.Wide().c_str()));
    auto child = CreateChildProcess();
    const bool started =
        child->Start(FakeConverterPath(), L"ffmpeg -i \"" + WideFromPath(script) + L"\" \"" +
                                              dir.Wide() + L"\\out.avi\"");
    SetCurrentDirectoryW(ours);
    ASSERT_TRUE(started);
    const std::wstring output = RunToEnd(*child);
    CloseHandle(event);

    std::wstring folder = WideFromPath(ExecutableFolder());
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    EXPECT_NE(Lower(output).find(L"cwd=" + Lower(folder) + L"\n"), std::wstring::npos) << output;
    EXPECT_NE(output.find(L"handle=closed\n"), std::wstring::npos) << output;
    // A console of its own would be one more process started (and ended) for every file.
    EXPECT_NE(output.find(L"console=no\n"), std::wstring::npos) << output;
}
#endif
