// Small things the benchmarks share; where the programs, samples and converters are comes from the
// test support (TestSupport.h).
#pragma once

#include "TestSupport.h"
#include "TextConversion.h"

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
