// Child process over pipe, posix_spawn, poll, read, kill and waitpid.
#include "ChildProcess.h"
#include "CommandLine.h"
#include "TextConversion.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

class PosixChildProcess final : public ChildProcess {
public:
    ~PosixChildProcess() override {
        if (Pid > 0 && !Waited) {
            kill(Pid, SIGKILL);
            Reap();
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
            return TChildOutput::Ended;
        // Readable, hung up or failed: read tells which, without blocking now.
        for (;;) {
            ssize_t n = read(ReadFd, Buffer, Size);
            if (n > 0) {
                Received = static_cast<size_t>(n);
                return TChildOutput::Data;
            }
            if (n == 0 || errno != EINTR)
                return TChildOutput::Ended;
        }
    }

    void Terminate(uint32_t ExitCode) override {
        if (Pid > 0 && !Waited && kill(Pid, SIGKILL) == 0) {
            TerminatedWith = ExitCode;
            Terminated = true;
        }
    }

    uint32_t WaitForExitCode() override {
        if (!Waited)
            Reap();
        if (WIFEXITED(Status))
            return static_cast<uint32_t>(WEXITSTATUS(Status));
        // Killed: report the code we asked for, or the shell's convention for signals.
        if (Terminated)
            return TerminatedWith;
        return WIFSIGNALED(Status) ? 128u + static_cast<uint32_t>(WTERMSIG(Status)) : 1u;
    }

    int Fd() const { return ReadFd; }

private:
    void Reap() {
        while (waitpid(Pid, &Status, 0) < 0 && errno == EINTR) {
        }
        Waited = true;
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
    for (ChildProcess* child : Children) {
        const auto* own = dynamic_cast<const PosixChildProcess*>(child);
        watched.push_back({own ? own->Fd() : -1, POLLIN, 0});
    }
    std::vector<size_t> ready;
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
