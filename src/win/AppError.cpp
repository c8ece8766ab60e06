#include "AppError.h"

#include "TextTemplate.h"

#include "Application.h"
#include "TextConversion.h"

#include "resource.h"
#include "win32/UiOwners.h"

#include <utility>

EAppError::EAppError(std::wstring Message) : Text(std::move(Message)), Narrow(ToUtf8(Text)) {}

std::wstring InOutErrorMessage(DWORD Code) {
    switch (Code) {
    case ERROR_ACCESS_DENIED:
        return Application.LoadStr(IDS_ACCESSDENIED);
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: // the file's folder vanished as well
        return Application.LoadStr(IDS_FILENOTFOUND);
    default:
        return FormatTemplate(Application.LoadStr(IDS_IOERROR), {std::to_wstring(Code)});
    }
}

std::wstring CoreFaultMessage(const ECoreFault& Fault) {
    const auto Value = [&](size_t Index) {
        return Index < Fault.Values().size() ? Fault.Values()[Index] : std::wstring();
    };
    switch (Fault.Kind()) {
    case TCoreFaultKind::NoFreeName:
        return FormatTemplate(Application.LoadStr(IDS_NOFREENAME), {Value(0)});
    }
    return Application.LoadStr(IDS_UNEXPECTEDERROR);
}

EInOutError::EInOutError(DWORD Code) : EAppError(InOutErrorMessage(Code)), Code(Code) {}

std::wstring SystemErrorText(DWORD Code) {
    UniqueLocalMemory<wchar_t*> Buffer;
    DWORD Length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, Code, 0, reinterpret_cast<wchar_t*>(Buffer.put()), 0, nullptr);
    std::wstring Text(Buffer ? Buffer.get() : L"", Buffer ? Length : 0);
    // The sentence's own full stop goes too: the texts that quote it end with theirs.
    Text = WithoutFinalStop(std::move(Text));
    if (Text.empty())
        Text = FormatTemplate(Application.LoadStr(IDS_IOERROR), {std::to_wstring(Code)});
    return Text;
}
