// Child process over CreatePipe, CreateProcessW, ReadFile, TerminateProcess, GetExitCodeProcess.
#include "ChildProcess.h"
#include "win32/UniqueHandle.h"

namespace {

class Win32ChildProcess final : public ChildProcess {
public:
    ~Win32ChildProcess() override {
        if (Process && !Waited) {
            ::TerminateProcess(Process.get(), FailedExitCode);
            ::WaitForSingleObject(Process.get(), INFINITE);
        }
    }

    bool Start(const std::wstring& Executable, const std::wstring& CommandLine) override {
        SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        UniqueHandle writeEnd;
        if (!::CreatePipe(ReadEnd.put(), writeEnd.put(), &security, 0))
            return false;
        // Only the child's end is inherited; otherwise the child would hold our end open too.
        ::SetHandleInformation(ReadEnd.get(), HANDLE_FLAG_INHERIT, 0);

        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
        startup.wShowWindow = SW_HIDE;
        startup.hStdInput = nullptr;
        startup.hStdOutput = nullptr;
        startup.hStdError = writeEnd.get();

        std::wstring commandLine = CommandLine; // CreateProcessW may write into it
        PROCESS_INFORMATION info{};
        BOOL started =
            ::CreateProcessW(Executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                             CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &info);
        writeEnd.reset(); // the child's copy alone now keeps the stream open
        if (!started) {
            ReadEnd.reset();
            return false;
        }
        ::CloseHandle(info.hThread);
        Process.reset(info.hProcess);
        return true;
    }

    size_t Read(char* Buffer, size_t Size) override {
        DWORD received = 0;
        if (!::ReadFile(ReadEnd.get(), Buffer, static_cast<DWORD>(Size), &received, nullptr))
            return 0;
        return received;
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

    std::wstring DecodeOutput(const char* Bytes, size_t Size) const override {
        int length = ::MultiByteToWideChar(CP_ACP, 0, Bytes, static_cast<int>(Size), nullptr, 0);
        std::wstring text(length > 0 ? length : 0, L'\0');
        if (length > 0)
            ::MultiByteToWideChar(CP_ACP, 0, Bytes, static_cast<int>(Size), text.data(), length);
        return text;
    }

private:
    static constexpr DWORD FailedExitCode = 1;
    UniqueHandle ReadEnd;
    UniqueHandle Process;
    bool Waited = false;
};

} // namespace

std::unique_ptr<ChildProcess> CreateChildProcess() {
    return std::make_unique<Win32ChildProcess>();
}
