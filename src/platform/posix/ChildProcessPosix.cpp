// Child process over pipe, posix_spawn, poll, read, kill and waitpid.
#include "ChildProcess.h"
#include "CommandLine.h"
#include "TextConversion.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

class PosixChildProcess final : public ChildProcess {
public:
    ~PosixChildProcess() override {
        // One already told to end has had the wait its owner chose; one that does not die is
        // left to the system.
        if (Pid > 0 && !Waited) {
            kill(Pid, SIGKILL);
            Reap(Terminated ? 0 : ChildDestroyWaitMs);
        }
        if (ReadFd >= 0)
            close(ReadFd);
    }

    bool Start(const std::wstring& Executable, const std::wstring& CommandLine) override {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;

        std::vector<std::string> args{ToUtf8(Executable)};
        std::vector<std::wstring> tokens = SplitCommandLine(CommandLine);
        for (size_t i = 1; i < tokens.size(); ++i)
            args.push_back(ToUtf8(tokens[i]));
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        pid_t pid = 0;
        int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);

        close(fds[1]); // only the child keeps a writer, so its end is our end of stream
        if (rc != 0) {
            close(fds[0]);
            return false;
        }
        Pid = pid;
        ReadFd = fds[0];
        return true;
    }

    // There are no windows here, so WakeOnInput has nothing to wake on.
    TChildOutput Read(char* Buffer, size_t Size, uint32_t TimeoutMs, bool /*WakeOnInput*/,
                      size_t& Received) override {
        Received = 0;
        pollfd watched{ReadFd, POLLIN, 0};
        int ready = poll(&watched, 1, static_cast<int>(std::min<uint32_t>(TimeoutMs, INT_MAX)));
        if (ready == 0 || (ready < 0 && errno == EINTR))
            return TChildOutput::Quiet;
        if (ready < 0)
            return TChildOutput::Failed;
        // Readable, hung up or failed: read tells which, without blocking now.
        for (;;) {
            ssize_t n = read(ReadFd, Buffer, Size);
            if (n > 0) {
                Received = static_cast<size_t>(n);
                return TChildOutput::Data;
            }
            if (n == 0)
                return TChildOutput::Ended;
            if (errno != EINTR)
                return TChildOutput::Failed;
        }
    }

    void Terminate(uint32_t ExitCode) override {
        if (Pid > 0 && !Waited && kill(Pid, SIGKILL) == 0) {
            TerminatedWith = ExitCode;
            Terminated = true;
        }
    }

    bool WaitForExit(uint32_t TimeoutMs, bool /*WakeOnInput*/, uint32_t& ExitCode) override {
        if (!Waited && !Reap(TimeoutMs))
            return false;
        if (WIFEXITED(Status))
            ExitCode = static_cast<uint32_t>(WEXITSTATUS(Status));
        else if (Terminated) // killed: the code we asked for, or the shell's one for signals
            ExitCode = TerminatedWith;
        else
            ExitCode = WIFSIGNALED(Status) ? 128u + static_cast<uint32_t>(WTERMSIG(Status)) : 1u;
        return true;
    }

    int Fd() const { return ReadFd; }

private:
    // Collects the child's end if it comes within TimeoutMs. waitpid cannot wait with a limit,
    // so it is asked again every few milliseconds.
    bool Reap(uint32_t TimeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
        for (;;) {
            const pid_t got = waitpid(Pid, &Status, WNOHANG);
            if (got == Pid || (got < 0 && errno != EINTR)) {
                Waited = true;
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    pid_t Pid = -1;
    int ReadFd = -1;
    int Status = 0;
    bool Waited = false;
    bool Terminated = false;
    uint32_t TerminatedWith = 0;
};

} // namespace

std::vector<size_t> WaitForChildren(const std::vector<ChildProcess*>& Children, uint32_t TimeoutMs,
                                    bool /*WakeOnInput*/) {
    std::vector<pollfd> watched;
    std::vector<size_t> ready;
    for (size_t i = 0; i < Children.size(); ++i) {
        const auto* own = dynamic_cast<const PosixChildProcess*>(Children[i]);
        watched.push_back({own ? own->Fd() : -1, POLLIN, 0});
        if (!own) // another implementation answers its own Read: ready as the Windows side says
            ready.push_back(i);
    }
    if (!ready.empty())
        return ready;
    int count = poll(watched.data(), watched.size(),
                     static_cast<int>(std::min<uint32_t>(TimeoutMs, INT_MAX)));
    if (count <= 0)
        return ready; // timed out, or a signal came: the caller waits again
    // Readable, hung up or failed alike: Read tells which, without waiting.
    for (size_t i = 0; i < watched.size(); ++i) {
        if (watched[i].revents != 0)
            ready.push_back(i);
    }
    return ready;
}

std::unique_ptr<ChildProcess> CreateChildProcess() {
    return std::make_unique<PosixChildProcess>();
}
