// Standard output of the helper programs the test scripts run under Wine: each line as UTF-8
// bytes, written straight to the handle so that neither the C runtime nor a console code page
// changes them.
#pragma once

#include "TextConversion.h"

#include <windows.h>

#include <string>

inline void Print(const std::wstring& Line) {
    const std::string Bytes = ToUtf8(Line + L"\n");
    DWORD Written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), Bytes.data(), static_cast<DWORD>(Bytes.size()),
              &Written, nullptr);
}
