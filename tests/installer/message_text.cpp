// Prints the text of a message box or page another program shows, for tests/installer/run.sh:
//   kestrova_message_text SECONDS TITLE
// waits up to SECONDS for a visible top-level window TITLE, then prints the texts of its labels
// and edit fields, inner dialogs' included (UTF-8, one a line). Exit code 1, with a word on stderr,
// when no such window came; a silent failure is Wine's own (see tools/wine-query.sh).
#include "../support/Utf8Output.h"
#include "TextConversion.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// WM_GETTEXT is marshalled between processes; the timeout keeps a hung program from stalling.
std::wstring TextOf(HWND Window) {
    wchar_t Text[1024] = L"";
    DWORD_PTR Got = 0;
    SendMessageTimeoutW(Window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(Text), SMTO_ABORTIFHUNG,
                        5000, &Got);
    return Text;
}

BOOL CALLBACK PrintText(HWND Child, LPARAM) {
    wchar_t Class[64] = L"";
    GetClassNameW(Child, Class, 64);
    if (IsWindowVisible(Child) &&
        (_wcsicmp(Class, L"Static") == 0 || _wcsicmp(Class, L"Edit") == 0)) {
        std::wstring Text = TextOf(Child);
        if (!Text.empty())
            Print(Text);
    }
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: kestrova_message_text SECONDS TITLE\n", stderr);
        return 2;
    }
    const DWORD Deadline = GetTickCount() + static_cast<DWORD>(_wtoi(argv[1])) * 1000;
    for (;;) {
        HWND Box = FindWindowW(nullptr, argv[2]);
        if (Box && IsWindowVisible(Box)) {
            EnumChildWindows(Box, PrintText, 0);
            return 0;
        }
        if (static_cast<LONG>(GetTickCount() - Deadline) >= 0) {
            std::fputs(("kestrova_message_text: no window \"" + ToUtf8(argv[2]) + "\"\n").c_str(),
                       stderr);
            return 1;
        }
        Sleep(100);
    }
}
