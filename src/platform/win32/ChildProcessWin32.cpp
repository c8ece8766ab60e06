// Child process over a named pipe read with overlapped I/O, CreateProcessW, TerminateProcess and
// GetExitCodeProcess. An anonymous pipe cannot be read with a time limit, so our end is a
// uniquely named pipe opened for overlapped reads and the child's end a plain inheritable handle
// to it; the wait for a read is MsgWaitForMultipleObjects, which window input can also end.
#include "ChildProcess.h"
#include "win32/ShortPath.h"
#include "win32/UniqueHandle.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <string>

namespace {

constexpr DWORD PipeBufferSize = 4096;

// A start can fail for a moment and then work: a scanner holding the program file, a system
// short of memory, and under Wine a loaded machine (seen as a passing "bad format"). Such
// failures are tried again a few times, briefly, before the file is given up.
constexpr int StartAttempts = 3;
constexpr DWORD StartRetryPauseMs = 50;

// False for failures that another attempt cannot mend: the program is not there.
bool MayPass(DWORD Error) {
    return Error != ERROR_FILE_NOT_FOUND && Error != ERROR_PATH_NOT_FOUND &&
           Error != ERROR_INVALID_NAME && Error != ERROR_DIRECTORY;
}

std::wstring UniquePipeName() {
    static std::atomic<unsigned long> counter{0};
    return L"\\\\.\\pipe\\Kestrova.converter." + std::to_wstring(::GetCurrentProcessId()) + L"." +
           std::to_wstring(counter++) + L"." + std::to_wstring(::GetTickCount64());
}

class Win32ChildProcess final : public ChildProcess {
public:
    ~Win32ChildProcess() override {
        if (Process && !Waited) {
            ::TerminateProcess(Process.get(), FailedExitCode);
            ::WaitForSingleObject(Process.get(), INFINITE);
        }
        // The system still writes into Pending's buffer until the read is cancelled.
        if (ReadPending) {
            ::CancelIo(ReadEnd.get());
            DWORD ignored = 0;
            ::GetOverlappedResult(ReadEnd.get(), &Overlapped, &ignored, TRUE);
        }
    }

    bool Start(const std::wstring& Executable, const std::wstring& CommandLine) override {
        const std::wstring name = UniquePipeName();
        // Our end: inbound only, overlapped, this one instance, no remote clients.
        ReadEnd.reset(::CreateNamedPipeW(
            name.c_str(),
            PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
            PipeBufferSize, 0, nullptr));
        if (!ReadEnd)
            return false;
        ReadEvent.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!ReadEvent) {
            ReadEnd.reset();
            return false;
        }
        // The child's end: a plain synchronous handle, inherited, as its error stream.
        SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        UniqueFileHandle writeEnd(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, &security,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!writeEnd || !Connected()) {
            ReadEnd.reset();
            return false;
        }

        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
        startup.wShowWindow = SW_HIDE;
        startup.hStdInput = nullptr;
        startup.hStdOutput = nullptr;
        startup.hStdError = writeEnd.get();

        // Process creation refuses a program path of the old limit or more.
        const std::wstring program = ShortPathForm(Executable);
        PROCESS_INFORMATION info{};
        BOOL started = FALSE;
        for (int attempt = 1;; ++attempt) {
            std::wstring commandLine = CommandLine; // CreateProcessW may write into it
            started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                       CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &info);
            if (started || attempt == StartAttempts || !MayPass(::GetLastError()))
                break;
            ::Sleep(StartRetryPauseMs);
        }
        writeEnd.reset(); // the child's copy alone now keeps the stream open
        if (!started) {
            ReadEnd.reset();
            return false;
        }
        ::CloseHandle(info.hThread);
        Process.reset(info.hProcess);
        return true;
    }

    TChildOutput Read(char* Buffer, size_t Size, uint32_t TimeoutMs, bool WakeOnInput,
                      size_t& Received) override {
        Received = 0;
        if (Ended)
            return TChildOutput::Ended;
        if (!ReadPending && !BeginRead())
            return TChildOutput::Ended;
        if (ReadPending) {
            HANDLE event = ReadEvent.get();
            // Without MWMO_INPUTAVAILABLE: only input that arrives after the caller last looked
            // at its queue ends the wait.
            DWORD woken = ::MsgWaitForMultipleObjectsEx(1, &event, TimeoutMs,
                                                        WakeOnInput ? QS_ALLINPUT : 0, 0);
            if (woken != WAIT_OBJECT_0)
                return woken == WAIT_FAILED ? Fail() : TChildOutput::Quiet;
            DWORD transferred = 0;
            ReadPending = false;
            if (!::GetOverlappedResult(ReadEnd.get(), &Overlapped, &transferred, FALSE))
                return Fail(); // ERROR_BROKEN_PIPE: the child closed its end
            Available = transferred;
            Taken = 0;
        }
        if (Available == Taken) // a read of 0 bytes ends nothing; look again next time
            return TChildOutput::Quiet;
        Received = std::min<size_t>(Size, Available - Taken);
        std::memcpy(Buffer, Pending.data() + Taken, Received);
        Taken += Received;
        return TChildOutput::Data;
    }

    void Terminate(uint32_t ExitCode) override { ::TerminateProcess(Process.get(), ExitCode); }

    uint32_t WaitForExitCode() override {
        ::WaitForSingleObject(Process.get(), INFINITE);
        Waited = true;
        DWORD code = FailedExitCode;
        if (!::GetExitCodeProcess(Process.get(), &code))
            code = FailedExitCode;
        return code;
    }

private:
    // Starts an overlapped read into Pending (unless bytes are still left there). False when the
    // stream has ended.
    bool BeginRead() {
        if (Taken < Available)
            return true;
        Overlapped = OVERLAPPED{};
        Overlapped.hEvent = ReadEvent.get();
        DWORD transferred = 0;
        if (::ReadFile(ReadEnd.get(), Pending.data(), PipeBufferSize, &transferred, &Overlapped)) {
            // Done at once; the event is set as well, so take the count from the result.
            if (!::GetOverlappedResult(ReadEnd.get(), &Overlapped, &transferred, FALSE))
                return Fail(), false;
            Available = transferred;
            Taken = 0;
            return true;
        }
        if (::GetLastError() != ERROR_IO_PENDING)
            return Fail(), false;
        ReadPending = true;
        return true;
    }

    // Both ends exist, so the connection is already made and this only confirms it.
    bool Connected() {
        OVERLAPPED connecting{};
        connecting.hEvent = ReadEvent.get();
        if (::ConnectNamedPipe(ReadEnd.get(), &connecting))
            return true;
        switch (::GetLastError()) {
        case ERROR_PIPE_CONNECTED:
            return true;
        case ERROR_IO_PENDING: { // not expected; do not leave the system a dangling OVERLAPPED
            ::CancelIo(ReadEnd.get());
            DWORD ignored = 0;
            ::GetOverlappedResult(ReadEnd.get(), &connecting, &ignored, TRUE);
            return false;
        }
        default:
            return false;
        }
    }

    TChildOutput Fail() {
        Ended = true;
        return TChildOutput::Ended;
    }

    static constexpr DWORD FailedExitCode = 1;
    UniqueFileHandle ReadEnd;
    UniqueHandle ReadEvent;
    UniqueHandle Process;
    OVERLAPPED Overlapped{};
    std::array<char, PipeBufferSize> Pending{};
    size_t Available = 0; // bytes the last completed read put into Pending
    size_t Taken = 0;     // of those, already handed out
    bool ReadPending = false;
    bool Ended = false;
    bool Waited = false;
};

} // namespace

std::unique_ptr<ChildProcess> CreateChildProcess() {
    return std::make_unique<Win32ChildProcess>();
}
