#include "AppError.h"

EAppError::EAppError(std::wstring Message) : Text(std::move(Message)) {
    int n = WideCharToMultiByte(CP_UTF8, 0, Text.c_str(), static_cast<int>(Text.size()), nullptr, 0,
                                nullptr, nullptr);
    Narrow.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_UTF8, 0, Text.c_str(), static_cast<int>(Text.size()), Narrow.data(), n,
                        nullptr, nullptr);
}

std::wstring InOutErrorMessage(DWORD Code) {
    switch (Code) {
    case ERROR_ACCESS_DENIED:
        return L"File access denied";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: // the file's folder vanished as well
        return L"The specified file was not found";
    default:
        return L"I/O error " + std::to_wstring(Code);
    }
}

EInOutError::EInOutError(DWORD Code) : EAppError(InOutErrorMessage(Code)), Code(Code) {}

std::wstring FormatMessageText(const std::wstring& Format, const std::wstring& Arg) {
    std::wstring Result = Format;
    size_t At = Result.find(L"%s");
    if (At != std::wstring::npos)
        Result.replace(At, 2, Arg);
    return Result;
}
