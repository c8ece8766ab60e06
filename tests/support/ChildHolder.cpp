// Starts a converter through the ChildProcess seam and then waits for ever, for the test that
// ends this program from outside and looks whether its converter went with it.
//
//   child_holder <converter> <source> <destination>
//
// The converter gets "-i <source> <destination>". Exit code 1 when it could not be started.
#include "ChildProcess.h"

#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4)
        return 2;
    auto child = CreateChildProcess();
    const std::wstring commandLine =
        L"ffmpeg -i \"" + std::wstring(argv[2]) + L"\" \"" + std::wstring(argv[3]) + L"\"";
    if (!child->Start(argv[1], commandLine))
        return 1;
    ::Sleep(INFINITE);
    return 0;
}
