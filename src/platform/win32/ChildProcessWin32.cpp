// Child process over a named pipe read with overlapped I/O, CreateProcessW, TerminateProcess and
// GetExitCodeProcess. An anonymous pipe cannot be read with a time limit, so our end is a
// uniquely named pipe opened for overlapped reads and the child's end a plain inheritable handle
// to it; the wait for a read is MsgWaitForMultipleObjects, which window input can also end.
//
// The child runs in a job object that ends it when this process ends, however it ends (Task
// Manager, a crash): it never goes on writing a file nobody will judge. It inherits its pipe end
// and nothing else, gets no console window and runs in its own folder, not in ours. Nobody sees
// its windows, so it must never wait on one: a crash ends it at once (the job's limit) and the
// system shows it no error boxes (its error mode).
#include "ChildProcess.h"
#include "win32/ChildProcessTesting.h"
#include "win32/EndChildren.h"
#include "win32/ShortPath.h"
#include "win32/UniqueHandle.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD PipeBufferSize = 4096;

// A start can fail for a moment and then work: a scanner holding the program file, a system
// short of memory, and under Wine a loaded machine (seen as a passing "bad format"). Such
// failures are tried again a few times, briefly, before the file is given up.
constexpr int StartAttempts = 3;
constexpr DWORD StartRetryPauseMs = 50;

// The error boxes the converter must never wait on: "no disk in the drive" and the like, the
// crash dialog (Windows Error Reporting's "has stopped working"), a file that cannot be found.
constexpr UINT ChildErrorMode =
    SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX;

// A read error to report instead of the next completed read's own result; 0 for none.
std::atomic<DWORD> InjectedReadError{0};
// See LastChildStart; starts happen in one thread, the window's.
TChildStartRecord StartRecord;

// A child inherits its parent's error mode, and only that way can it be set before the child
// runs its first instruction (its loader's own dialogs included). So Kestrova's is widened for
// the moment of the start and then given back: its user still sees its own error boxes.
class TChildErrorModeScope {
public:
    TChildErrorModeScope() : Previous(::GetErrorMode()) {
        ::SetErrorMode(Previous | ChildErrorMode);
    }
    ~TChildErrorModeScope() { ::SetErrorMode(Previous); }
    TChildErrorModeScope(const TChildErrorModeScope&) = delete;
    TChildErrorModeScope& operator=(const TChildErrorModeScope&) = delete;

private:
    const UINT Previous;
};

// False for failures that another attempt cannot mend: the program is not there.
bool MayPass(DWORD Error) {
    return Error != ERROR_FILE_NOT_FOUND && Error != ERROR_PATH_NOT_FOUND &&
           Error != ERROR_INVALID_NAME && Error != ERROR_DIRECTORY;
}

// The one job every child joins, created at the first start and kept, never inherited, until this
// process ends: the system then closes the last handle to it, which ends every child still in it.
// One job for the program's life rather than one per child: a child that is waited for or
// destroyed is ended by its owner anyway, so all a job adds is the end of this process, and that
// one handle is enough for it. Null when the system refused a job; children then run without.
HANDLE ChildrenJob() {
    static const UniqueHandle Job = [] {
        UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        // An unhandled exception ends the child at once, without the crash dialog it would
        // otherwise wait on for ever.
        limits.BasicLimitInformation.LimitFlags =
            JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
        if (job && !::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                              sizeof(limits)))
            job.reset();
        if (job)
            StartRecord.JobLimitFlags = limits.BasicLimitInformation.LimitFlags;
        return job;
    }();
    return Job.get();
}

// The folder of a program path, with its closing separator ("C:\" for "C:\ffmpeg.exe"); empty
// when the path names no folder.
std::wstring FolderOf(const std::wstring& Program) {
    const size_t slash = Program.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : Program.substr(0, slash + 1);
}

// A process attribute list holding one attribute; freed with its owner.
class TAttributeList {
public:
    TAttributeList() {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        Storage.assign(size, 0);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(Storage.data());
        if (size > 0 && ::InitializeProcThreadAttributeList(list, 1, 0, &size))
            List = list;
    }
    ~TAttributeList() {
        if (List)
            ::DeleteProcThreadAttributeList(List);
    }
    TAttributeList(const TAttributeList&) = delete;
    TAttributeList& operator=(const TAttributeList&) = delete;

    // Only Handle is inherited, however many inheritable handles this process holds. Handle must
    // stay valid until the process is created.
    bool InheritOnly(HANDLE& Handle) {
        return List && ::UpdateProcThreadAttribute(List, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                                   &Handle, sizeof(HANDLE), nullptr, nullptr);
    }
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return List; }

private:
    std::vector<unsigned char> Storage;
    LPPROC_THREAD_ATTRIBUTE_LIST List = nullptr;
};

std::wstring UniquePipeName() {
    static std::atomic<unsigned long> counter{0};
    return L"\\\\.\\pipe\\Kestrova.converter." + std::to_wstring(::GetCurrentProcessId()) + L"." +
           std::to_wstring(counter++) + L"." + std::to_wstring(::GetTickCount64());
}

class Win32ChildProcess final : public ChildProcess {
public:
    ~Win32ChildProcess() override {
        // One already told to end has had the wait its owner chose: it is not waited for again.
        if (Process && !Waited) {
            ::TerminateProcess(Process.get(), FailedExitCode);
            ::WaitForSingleObject(Process.get(), Terminated ? 0 : ChildDestroyWaitMs);
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

        HANDLE inherited = writeEnd.get();
        TAttributeList attributes;
        if (!attributes.InheritOnly(inherited)) {
            ReadEnd.reset();
            return false;
        }
        STARTUPINFOEXW startup{};
        startup.StartupInfo.cb = sizeof(startup);
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = nullptr;
        startup.StartupInfo.hStdOutput = nullptr;
        startup.StartupInfo.hStdError = writeEnd.get();
        startup.lpAttributeList = attributes.get();

        // Process creation refuses a program path of MAX_PATH characters or more.
        const std::wstring program = ShortPathForm(Executable);
        // Its own folder, so that nothing it looks for by a plain name is found in ours.
        const std::wstring folder = FolderOf(program);
        // Suspended until it is in the job: not one instruction runs outside it. No console: it
        // talks only through the pipe, and a console of its own is one more process (conhost)
        // started and ended for every file, which is most of a short file's cost.
        const DWORD flags = DETACHED_PROCESS | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT;
        PROCESS_INFORMATION info{};
        BOOL started = FALSE;
        for (int attempt = 1;; ++attempt) {
            std::wstring commandLine = CommandLine; // CreateProcessW may write into it
            TChildErrorModeScope errorMode;
            StartRecord.ErrorModeAtCreate = ::GetErrorMode();
            started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                       flags, nullptr, folder.empty() ? nullptr : folder.c_str(),
                                       &startup.StartupInfo, &info);
            if (started || attempt == StartAttempts || !MayPass(::GetLastError()))
                break;
            ::Sleep(StartRetryPauseMs);
        }
        writeEnd.reset(); // the child's copy alone now keeps the stream open
        if (!started) {
            ReadEnd.reset();
            return false;
        }
        UniqueHandle thread(info.hThread);
        Process.reset(info.hProcess);
        // Where the system refuses the job (Windows 7 inside another job), the child runs without
        // it rather than not at all: every conversion would fail, while without the job only a
        // Kestrova ended from outside leaves its converter running, as it always did.
        if (HANDLE job = ChildrenJob())
            ::AssignProcessToJobObject(job, Process.get());
        if (::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
            ::TerminateProcess(Process.get(), FailedExitCode);
            ::WaitForSingleObject(Process.get(), ChildDestroyWaitMs);
            Process.reset();
            ReadEnd.reset();
            return false;
        }
        return true;
    }

    TChildOutput Read(char* Buffer, size_t Size, uint32_t TimeoutMs, bool WakeOnInput,
                      size_t& Received) override {
        Received = 0;
        if (Ended || (!ReadPending && !BeginRead()))
            return EndState();
        if (ReadPending) {
            HANDLE event = ReadEvent.get();
            // Without MWMO_INPUTAVAILABLE: only input that arrives after the caller last looked
            // at its queue ends the wait.
            DWORD woken = ::MsgWaitForMultipleObjectsEx(1, &event, TimeoutMs,
                                                        WakeOnInput ? QS_ALLINPUT : 0, 0);
            if (woken != WAIT_OBJECT_0)
                return woken == WAIT_FAILED ? EndWith(::GetLastError()) : TChildOutput::Quiet;
            ReadPending = false;
            if (const DWORD error = TakeResult(); error != ERROR_SUCCESS)
                return EndWith(error);
        }
        if (Available == Taken) // a read of 0 bytes ends nothing; look again next time
            return TChildOutput::Quiet;
        Received = std::min<size_t>(Size, Available - Taken);
        std::memcpy(Buffer, Pending.data() + Taken, Received);
        Taken += Received;
        return TChildOutput::Data;
    }

    void Terminate(uint32_t ExitCode) override {
        Terminated = true;
        ::TerminateProcess(Process.get(), ExitCode);
    }

    bool WaitForExit(uint32_t TimeoutMs, bool WakeOnInput, uint32_t& ExitCode) override {
        if (!Waited) {
            HANDLE process = Process.get();
            // As Read: only input that is new since the caller last looked ends the wait.
            if (::MsgWaitForMultipleObjectsEx(1, &process, TimeoutMs, WakeOnInput ? QS_ALLINPUT : 0,
                                              0) != WAIT_OBJECT_0)
                return false;
            Waited = true;
            DWORD code = FailedExitCode;
            if (!::GetExitCodeProcess(process, &code))
                code = FailedExitCode;
            ExitCode_ = code;
        }
        ExitCode = ExitCode_;
        return true;
    }

    // For a wait over several children: true when the next Read can answer at once (bytes or
    // the end are there); otherwise a read is pending and Event is what its completion sets.
    bool ReadyOrPending(HANDLE& Event) {
        Event = nullptr;
        if (Ended || Taken < Available)
            return true;
        if (!ReadPending && (!BeginRead() || !ReadPending))
            return true; // ended, or done at once (bytes, or none: Read then answers Quiet)
        Event = ReadEvent.get();
        return false;
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
            if (const DWORD error = TakeResult(); error != ERROR_SUCCESS)
                return EndWith(error), false;
            return true;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING)
            return EndWith(error), false;
        ReadPending = true;
        return true;
    }

    // The completed read's byte count into Available; its error, or ERROR_SUCCESS.
    DWORD TakeResult() {
        DWORD transferred = 0;
        const BOOL done = ::GetOverlappedResult(ReadEnd.get(), &Overlapped, &transferred, FALSE);
        const DWORD error = done ? ERROR_SUCCESS : ::GetLastError();
        if (const DWORD injected = InjectedReadError.exchange(0); injected != 0)
            return injected;
        if (error != ERROR_SUCCESS)
            return error;
        Available = transferred;
        Taken = 0;
        return ERROR_SUCCESS;
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

    // Only a closed pipe is the end of the stream. Any other error leaves the child writing into
    // a pipe nobody reads: once it is full, the child waits for ever, so the caller must end it.
    TChildOutput EndWith(DWORD Error) {
        Ended = true;
        Failure = Error != ERROR_BROKEN_PIPE && Error != ERROR_HANDLE_EOF;
        return EndState();
    }
    TChildOutput EndState() const { return Failure ? TChildOutput::Failed : TChildOutput::Ended; }

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
    bool Failure = false; // the stream ended by an error, not by the child closing it
    bool Waited = false;
    bool Terminated = false;
    uint32_t ExitCode_ = FailedExitCode;
};

} // namespace

std::vector<size_t> WaitForChildren(const std::vector<ChildProcess*>& Children, uint32_t TimeoutMs,
                                    bool WakeOnInput) {
    std::vector<size_t> ready;
    std::vector<HANDLE> events;
    std::vector<size_t> owners; // the child of each event
    for (size_t i = 0; i < Children.size(); ++i) {
        auto* own = dynamic_cast<Win32ChildProcess*>(Children[i]);
        HANDLE event = nullptr;
        if (!own || own->ReadyOrPending(event)) {
            ready.push_back(i);
        } else {
            events.push_back(event);
            owners.push_back(i);
        }
    }
    // One wait covers at most this many handles; the batch never runs that many converters.
    if (!ready.empty() || events.empty() || events.size() >= MAXIMUM_WAIT_OBJECTS)
        return ready;
    // As Read: without MWMO_INPUTAVAILABLE, only input that is new since the caller last looked
    // at its queue ends the wait.
    const DWORD woken =
        ::MsgWaitForMultipleObjectsEx(static_cast<DWORD>(events.size()), events.data(), TimeoutMs,
                                      WakeOnInput ? QS_ALLINPUT : 0, 0);
    if (woken >= WAIT_OBJECT_0 + events.size())
        return ready; // time, input, or a failed wait: the caller waits again
    // The wait names the first completed read; the others may be done as well.
    for (size_t e = 0; e < events.size(); ++e) {
        if (::WaitForSingleObject(events[e], 0) == WAIT_OBJECT_0)
            ready.push_back(owners[e]);
    }
    return ready;
}

TChildStartRecord LastChildStart() {
    return StartRecord;
}

void InjectChildReadError(uint32_t Error) {
    InjectedReadError = Error;
}

std::unique_ptr<ChildProcess> CreateChildProcess() {
    return std::make_unique<Win32ChildProcess>();
}

bool EndAllChildProcesses(DWORD TimeoutMs) {
    HANDLE job = ChildrenJob();
    if (!job)
        return false;
    ::TerminateJobObject(job, ERROR_CANCELLED); // the code a cancelled converter ends with
    // Ended processes leave the job once they are gone, their handles closed with them.
    const ULONGLONG deadline = ::GetTickCount64() + TimeoutMs;
    for (;;) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        if (!::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                         sizeof(accounting), nullptr))
            return false;
        if (accounting.ActiveProcesses == 0)
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(10);
    }
}
