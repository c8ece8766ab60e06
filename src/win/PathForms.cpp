#include "PathForms.h"

#include "LongPath.h"

#include "win32/ShortPath.h"
#include "win32/UiOwners.h"

#include <windows.h>

#include <shellapi.h>

namespace {

// Calls Get(Buffer, Size) with a buffer grown until the result fits; empty on failure.
template <typename TGet> std::wstring GrowingBuffer(TGet Get) {
    std::wstring Buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD Length = Get(Buffer.data(), static_cast<DWORD>(Buffer.size()));
        if (Length == 0)
            return {};
        if (Length < Buffer.size()) {
            Buffer.resize(Length);
            return Buffer;
        }
        Buffer.resize(Length);
    }
}

std::wstring FullPath(const std::wstring& Path) {
    return GrowingBuffer([&](wchar_t* Buffer, DWORD Size) {
        return GetFullPathNameW(Path.c_str(), Size, Buffer, nullptr);
    });
}

} // namespace

std::vector<std::wstring> CommandLinePaths(const wchar_t* CommandLine) {
    std::vector<std::wstring> Paths;
    int Count = 0;
    UniqueLocalMemory<LPWSTR*> Arguments(CommandLineToArgvW(CommandLine, &Count));
    if (!Arguments)
        return Paths;
    for (int i = 1; i < Count; ++i) {
        std::wstring Argument = Arguments.get()[i];
        if (Argument.empty())
            continue;
        std::wstring Full = FullPath(Argument);
        Paths.push_back(OrdinaryPath(Full.empty() ? Argument : Full));
    }
    return Paths;
}

std::wstring ShellPathForm(const std::wstring& Path) {
    return ShortPathForm(Path);
}
