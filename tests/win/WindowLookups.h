// What several window tests need to reach a window the code under test opens itself.
#pragma once

#include "Batch.h"
#include "Progress.h"

#include <windows.h>

#include <functional>
#include <string>
#include <utility>

// Hands the progress window, shown and at work, to Look in place of converting.
struct TLookingConverter : TConverter {
    std::function<void(HWND Progress)> Look;
    bool ConvertFile(const std::wstring&, const std::wstring&, TProgressProc,
                     TConversionOutcome& Outcome) override {
        Look(static_cast<TProgressForm*>(ProgressForm)->Handle());
        Outcome.Converted = true;
        return true;
    }
};

// The visible window of this thread that has Id among its controls: a modal window the test
// cannot otherwise reach.
inline HWND ThreadWindowWith(int Id) {
    std::pair<int, HWND> Found{Id, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND Window, LPARAM Param) -> BOOL {
            auto& Found = *reinterpret_cast<std::pair<int, HWND>*>(Param);
            if (!IsWindowVisible(Window) || !GetDlgItem(Window, Found.first))
                return TRUE;
            Found.second = Window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&Found));
    return Found.second;
}
