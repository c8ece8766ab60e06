// Seam between the runner and the operating system: one child process with its error stream
// connected to a pipe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class ChildProcess {
public:
    virtual ~ChildProcess() = default;

    // Starts Executable with CommandLine (whose first token stands in the program's name's place).
    // False when the pipe or the process could not be created; nothing is left running then.
    virtual bool Start(const std::wstring& Executable, const std::wstring& CommandLine) = 0;

    // Blocks until the child writes to its error stream; 0 at end of stream or on failure.
    virtual size_t Read(char* Buffer, size_t Size) = 0;

    // Ends the child at once with the given exit code (where the platform lets one be chosen).
    virtual void Terminate(uint32_t ExitCode) = 0;

    // Waits for the child to end and returns its exit code.
    virtual uint32_t WaitForExitCode() = 0;

    // Text from the bytes the child wrote, as the platform's tools encode it.
    virtual std::wstring DecodeOutput(const char* Bytes, size_t Size) const = 0;
};

// The platform's implementation. Destroying a started child that has not been waited for
// terminates it, waits for it and closes every handle.
std::unique_ptr<ChildProcess> CreateChildProcess();
