// Small things the benchmarks share; where the programs, samples and converters are comes from the
// test support (TestSupport.h).
#pragma once

#include "ChildProcess.h"
#include "TestSupport.h"
#include "TextConversion.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include "CommandLine.h"

#include <windows.h>
#else
#include <sys/resource.h>
#endif

// The program's arguments, its name first.
inline std::vector<std::wstring> BenchArguments([[maybe_unused]] int Count,
                                                [[maybe_unused]] char** Values) {
#ifdef _WIN32
    return SplitCommandLine(::GetCommandLineW()); // the console's narrow argv loses letters
#else
    std::vector<std::wstring> Result;
    for (int i = 0; i < Count; ++i)
        Result.push_back(FromUtf8(Values[i]));
    return Result;
#endif
}

// User and kernel time this process has used so far.
inline double ProcessCpuSeconds() {
#ifdef _WIN32
    FILETIME Created, Exited, Kernel, User;
    ::GetProcessTimes(::GetCurrentProcess(), &Created, &Exited, &Kernel, &User);
    auto Seconds = [](FILETIME T) {
        return static_cast<double>(uint64_t(T.dwHighDateTime) << 32 | T.dwLowDateTime) / 1e7;
    };
    return Seconds(Kernel) + Seconds(User);
#else
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    auto Seconds = [](timeval T) { return double(T.tv_sec) + double(T.tv_usec) / 1e6; };
    return Seconds(Usage.ru_utime) + Seconds(Usage.ru_stime);
#endif
}

// The converter started through the program's own child-process seam, its error stream read and
// dropped: its exit code, or -1 when it did not start or end within a minute of its stream's end.
inline long RunDirect(const std::wstring& Converter, const std::wstring& CommandLine) {
    std::unique_ptr<ChildProcess> Child = CreateChildProcess();
    if (!Child->Start(Converter, CommandLine))
        return -1;
    std::array<char, 4096> Buffer;
    size_t Received = 0;
    TChildOutput Got;
    do
        Got = Child->Read(Buffer.data(), Buffer.size(), 1000, false, Received);
    while (Got != TChildOutput::Ended && Got != TChildOutput::Failed);
    uint32_t Code = 1;
    return Child->WaitForExit(60000, false, Code) ? long(Code) : -1;
}
