#include "PathForms.h"

#include "LongPath.h"

#include "win32/FullPath.h"
#include "win32/ShortPath.h"
#include "win32/UiOwners.h"

#include <windows.h>

#include <shellapi.h>

std::vector<std::wstring> SplitCommandLine(const wchar_t* CommandLine) {
    std::vector<std::wstring> Arguments;
    int Count = 0;
    UniqueLocalMemory<LPWSTR*> Parts(CommandLineToArgvW(CommandLine, &Count));
    if (Parts)
        Arguments.assign(Parts.get(), Parts.get() + Count);
    return Arguments;
}

std::vector<std::wstring> CommandLinePaths(const std::vector<std::wstring>& Arguments) {
    std::vector<std::wstring> Paths;
    for (size_t i = 1; i < Arguments.size(); ++i) {
        const std::wstring& Argument = Arguments[i];
        if (Argument.empty())
            continue;
        const std::wstring Full = FullPathName(Argument);
        Paths.push_back(OrdinaryPath(Full.empty() ? Argument : Full));
    }
    return Paths;
}

std::wstring ShellPathForm(const std::wstring& Path) {
    return ShortPathForm(Path);
}
