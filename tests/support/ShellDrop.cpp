#include "ShellDrop.h"

#include <shlobj.h>

namespace testing_support {

HDROP MakeDrop(const std::vector<std::wstring>& Files) {
    size_t Chars = 1; // the list ends with an empty name
    for (const auto& File : Files)
        Chars += File.size() + 1;
    HGLOBAL Memory = GlobalAlloc(GHND, sizeof(DROPFILES) + Chars * sizeof(wchar_t));
    auto* Header = static_cast<DROPFILES*>(GlobalLock(Memory));
    Header->pFiles = sizeof(DROPFILES);
    Header->fWide = TRUE;
    auto* Names = reinterpret_cast<wchar_t*>(Header + 1);
    for (const auto& File : Files) {
        File.copy(Names, File.size());
        Names += File.size() + 1;
    }
    GlobalUnlock(Memory);
    return static_cast<HDROP>(Memory);
}

} // namespace testing_support
