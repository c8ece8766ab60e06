// What tests/installer/run.sh cannot do from Linux, done as a Windows program does it:
//   kestrova_shell_helper link LNK TARGET   makes the shortcut LNK starting TARGET (a user's own)
//   kestrova_shell_helper target LNK        prints the program LNK starts (UTF-8)
//   kestrova_shell_helper hold SECONDS FILE keeps FILE open, shared with nobody, for SECONDS;
//                                           prints "held" once it has it
// Exit code 0 on success, 1 with a word on stderr otherwise.
#include "../support/Utf8Output.h"
#include "TextConversion.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

int Fail(const char* What) {
    std::fprintf(stderr, "kestrova_shell_helper: %s\n", What);
    return 1;
}

int MakeLink(const wchar_t* Link, const wchar_t* Target) {
    IShellLinkW* Shell = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&Shell))))
        return Fail("no shell link object");
    Shell->SetPath(Target);
    IPersistFile* File = nullptr;
    HRESULT Result = Shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&File));
    if (SUCCEEDED(Result)) {
        Result = File->Save(Link, TRUE);
        File->Release();
    }
    Shell->Release();
    return SUCCEEDED(Result) ? 0 : Fail("cannot save the shortcut");
}

int PrintTarget(const wchar_t* Link) {
    IShellLinkW* Shell = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&Shell))))
        return Fail("no shell link object");
    IPersistFile* File = nullptr;
    wchar_t Target[MAX_PATH * 4] = L"";
    HRESULT Result = Shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&File));
    if (SUCCEEDED(Result)) {
        Result = File->Load(Link, STGM_READ);
        File->Release();
    }
    if (SUCCEEDED(Result))
        Result = Shell->GetPath(Target, MAX_PATH * 4, nullptr, SLGP_RAWPATH);
    Shell->Release();
    if (FAILED(Result))
        return Fail("cannot read the shortcut");
    Print(Target);
    return 0;
}

int Hold(DWORD Seconds, const wchar_t* Path) {
    HANDLE File = CreateFileW(Path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        return Fail("cannot open the file");
    Print(L"held");
    Sleep(Seconds * 1000);
    CloseHandle(File);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) != S_OK)
        return Fail("no COM");
    int Code = 2;
    if (argc == 4 && std::wcscmp(argv[1], L"link") == 0)
        Code = MakeLink(argv[2], argv[3]);
    else if (argc == 3 && std::wcscmp(argv[1], L"target") == 0)
        Code = PrintTarget(argv[2]);
    else if (argc == 4 && std::wcscmp(argv[1], L"hold") == 0)
        Code = Hold(static_cast<DWORD>(_wtoi(argv[2])), argv[3]);
    else
        std::fputs(
            "usage: kestrova_shell_helper link LNK TARGET | target LNK | hold SECONDS FILE\n",
            stderr);
    CoUninitialize();
    return Code;
}
