// Small things the benchmarks share.
#pragma once

#include "FileSystem.h"
#include "TextConversion.h"

#include <filesystem>

// The folder of the running benchmark, where the built programs and the samples are.
inline std::filesystem::path ProgramFolder() {
#ifdef _WIN32
    return std::filesystem::path(ExecutableFolder());
#else
    return std::filesystem::path(ToUtf8(ExecutableFolder()));
#endif
}
