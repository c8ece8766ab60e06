// Seam between the runner and the operating system: one child process with its error stream
// connected to a pipe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What one bounded wait for the child's error stream brought.
enum class TChildOutput {
    Data,   // bytes arrived
    Quiet,  // nothing yet: the time ran out, or input arrived for this thread's windows
    Ended,  // the stream ended: the child closed it
    Failed, // reading it failed with anything but its end; nothing more will come from it
};

class ChildProcess {
public:
    virtual ~ChildProcess() = default;

    // Starts Executable with CommandLine (whose first token stands in the program's name's place).
    // False when the pipe or the process could not be created; nothing is left running then.
    virtual bool Start(const std::wstring& Executable, const std::wstring& CommandLine) = 0;

    // Waits at most TimeoutMs for the child's error stream and never longer. Data: Received bytes
    // (at least one) are in Buffer. With WakeOnInput, the wait also ends as soon as new input
    // (keys, mouse, posted messages) arrives for the calling thread's windows, so that the caller
    // can let them handle it; input already there before the wait does not end it, so a caller
    // that leaves messages in the queue is not woken again and again.
    virtual TChildOutput Read(char* Buffer, size_t Size, uint32_t TimeoutMs, bool WakeOnInput,
                              size_t& Received) = 0;

    // Ends the child at once with the given exit code (where the platform lets one be chosen).
    virtual void Terminate(uint32_t ExitCode) = 0;

    // Waits at most TimeoutMs for the child to end (WakeOnInput as for Read). True, with its exit
    // code, once it has ended. A child told to Terminate normally ends at once, but one stuck in
    // I/O that cannot be interrupted (a dead network share) may take long: the caller decides how
    // long it waits, and can let its windows answer meanwhile.
    virtual bool WaitForExit(uint32_t TimeoutMs, bool WakeOnInput, uint32_t& ExitCode) = 0;
};

// Waits at most TimeoutMs until at least one of Children (each made by CreateChildProcess and
// started) has bytes or the end of its stream ready, and returns the indexes of all that are, in
// order; their next Read with a TimeoutMs of 0 then does not wait. Empty when the time ran out
// or, with WakeOnInput, input arrived as Read describes. Several converters are waited for at
// once this way, in one thread.
std::vector<size_t> WaitForChildren(const std::vector<ChildProcess*>& Children, uint32_t TimeoutMs,
                                    bool WakeOnInput);

// The platform's implementation. Destroying a started child that has not ended terminates it,
// waits for it at most ChildDestroyWaitMs (a destructor must not hang on a child that does not
// die) and closes every handle; on Windows the job that holds every child still ends it.
std::unique_ptr<ChildProcess> CreateChildProcess();
inline constexpr uint32_t ChildDestroyWaitMs = 1000;
