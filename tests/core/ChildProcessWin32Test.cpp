// How the Windows seam starts the converter: it ends with the program that started it, runs in
// its own folder, inherits nothing but its pipe end and gets no console.
#ifdef _WIN32
#include "ChildProcess.h"
#include "Conversion.h"
#include "FFmpegRun.h"
#include "TestSupport.h"
#include "TextConversion.h"
#include "win32/ChildProcessTesting.h"

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

namespace {

// The number after "Key=" in Output; -1 when it is not there.
long long ValueAfter(const std::wstring& Output, const std::wstring& Key) {
    const size_t at = Output.find(Key + L"=");
    if (at == std::wstring::npos)
        return -1;
    return std::wcstoll(Output.c_str() + at + Key.size() + 1, nullptr, 10);
}

} // namespace

// Nobody sees the converter's windows: a crash must end it rather than wait on Windows Error
// Reporting's dialog, and no "insert a disk" or "file not found" box may stop it. Kestrova's own
// error mode, which its user's dialogs depend on, is left as it was. Wine neither passes an error
// mode on to a child nor reports a job's limits, so what the seam hands the system is checked
// here, and the child's own view below only on Windows.
TEST(ChildProcessWin32, TheConverterIsStartedToWaitOnNoErrorBoxAndToDieOnACrash) {
    TempFolder dir;
    const fs::path script = dir.WriteFile(L"probe.webm", "errormode\njoblimits\n");
    // None of the flags of our own, so that the child's can only come from the seam.
    const UINT before = SetErrorMode(0);
    auto child = CreateChildProcess();
    const bool started =
        child->Start(FakeConverterPath(), L"ffmpeg -i \"" + WideFromPath(script) + L"\" \"" +
                                              dir.Wide() + L"\\out.avi\"");
    const UINT after = GetErrorMode();
    SetErrorMode(before);
    ASSERT_TRUE(started);
    EXPECT_EQ(after, 0u) << "Kestrova's own error mode was changed";
    const std::wstring output = RunToEnd(*child);

    const TChildStartRecord record = LastChildStart();
    for (UINT flag : {SEM_FAILCRITICALERRORS, SEM_NOGPFAULTERRORBOX, SEM_NOOPENFILEERRORBOX})
        EXPECT_TRUE(record.ErrorModeAtCreate & flag)
            << "error mode " << record.ErrorModeAtCreate << " lacks " << flag;
    EXPECT_TRUE(record.JobLimitFlags & JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION)
        << record.JobLimitFlags;
    EXPECT_TRUE(record.JobLimitFlags & JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE) << record.JobLimitFlags;

    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "under Wine the child sees neither (errormode and joblimits: " << output
                     << ")";
    const long long mode = ValueAfter(output, L"errormode");
    ASSERT_GE(mode, 0) << output;
    for (UINT flag : {SEM_FAILCRITICALERRORS, SEM_NOGPFAULTERRORBOX, SEM_NOOPENFILEERRORBOX})
        EXPECT_TRUE(mode & flag) << "the child's error mode " << mode << " lacks " << flag;
    const long long limits = ValueAfter(output, L"joblimits");
    ASSERT_GE(limits, 0) << "the converter runs in no job: " << output;
    EXPECT_TRUE(limits & JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION) << limits;
    EXPECT_TRUE(limits & JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE) << limits;
}

// A read error that is not the end of the stream (a failure Wine cannot provoke, injected at the
// seam's own read) ends the converter at once: left running, it would fill the pipe and wait on
// it for ever. The file fails with its own reason.
TEST(ChildProcessWin32, AReadErrorThatIsNotTheEndEndsTheConverter) {
    TempFolder dir;
    const fs::path script =
        dir.WriteFile(L"hang.webm", "pid\nerr   Duration: 00:00:10.00, start: 0.000000\\n\nhang\n");
    const std::wstring pidFile = dir.Wide() + L"\\pid.txt";
    InjectChildReadError(ERROR_NETNAME_DELETED);
    TFFmpegJob job(FakeConverterPath(), WideFromPath(script), pidFile, FFmpegOptions);
    ASSERT_TRUE(job.Start());
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100 && !job.Ended(); ++i)
        job.Step(100, false);
    InjectChildReadError(0);
    ASSERT_TRUE(job.Ended());
    std::wstring output;
    const TFFmpegRun run = job.Finish(output);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(run.StreamFailed);
    EXPECT_FALSE(run.Abandoned);
    EXPECT_EQ(JudgeRun(run, pidFile).Failure, TFailureKind::OutputLost);
    const unsigned long converter = ReadProcessId(fs::path(pidFile));
    ASSERT_NE(converter, 0ul);
    EXPECT_FALSE(ProcessIsRunning(converter)) << "the converter was left running";
}

// A broken pipe is the stream's plain end: the converter is waited for and its own exit code
// counts.
TEST(ChildProcessWin32, ABrokenPipeIsTheEndOfTheStream) {
    TempFolder dir;
    const fs::path script = dir.WriteFile(L"ends.webm", "err hello\\n\nsleep 300\nexit 0\n");
    InjectChildReadError(ERROR_BROKEN_PIPE);
    TFFmpegJob job(FakeConverterPath(), WideFromPath(script), dir.Wide() + L"\\out.avi",
                   FFmpegOptions);
    ASSERT_TRUE(job.Start());
    for (int i = 0; i < 100 && !job.Ended(); ++i)
        job.Step(100, false);
    InjectChildReadError(0);
    std::wstring output;
    const TFFmpegRun run = job.Finish(output);
    EXPECT_FALSE(run.StreamFailed);
    EXPECT_FALSE(run.Cancelled);
    EXPECT_EQ(run.ExitCode, 0u);
}
#endif
