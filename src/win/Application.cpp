#include "Application.h"
#include "Translation.h"

#include "AppError.h"
#include "TextConversion.h"

#include "resource.h"

#include <new>

TApplication Application;

std::wstring ExceptionMessage(const std::exception_ptr& Error) {
    std::wstring Text;
    try {
        std::rethrow_exception(Error);
    } catch (const EAppError& E) {
        Text = E.Message();
    } catch (const ECoreFault& E) {
        Text = CoreFaultMessage(E);
    } catch (const std::bad_alloc&) {
        Text = Application.LoadStr(IDS_OUTOFMEMORY);
    } catch (const std::exception& E) {
        Text = FromUtf8(E.what());
    } catch (...) {
        Text = Application.LoadStr(IDS_UNEXPECTEDERROR);
    }
    if (Text.empty() || Text.back() != L'.')
        Text += L'.';
    return Text;
}

int TApplication::ShowMessageBox(HWND Owner, const std::wstring& Text, const std::wstring& Caption,
                                 UINT Type) {
    if (SessionEnding)
        return 0;
    if (Hooks.ShowMessageBox)
        return Hooks.ShowMessageBox(Owner, Text, Caption, Type);
    return ::MessageBoxW(Owner, Text.c_str(), Caption.c_str(), Type);
}

void TApplication::SetShutdownReason(HWND Window, const std::wstring& Reason) {
    if (Hooks.CreateShutdownReason)
        Hooks.CreateShutdownReason(Window, Reason);
    else
        ::ShutdownBlockReasonCreate(Window, Reason.c_str());
}

void TApplication::RemoveShutdownReason(HWND Window) {
    if (Hooks.DestroyShutdownReason)
        Hooks.DestroyShutdownReason(Window);
    else
        ::ShutdownBlockReasonDestroy(Window);
}

void TApplication::ShowException(const std::exception_ptr& Error) {
    // Owned by the main window while it is usable, so the box stays in front of it.
    HWND Owner = MainWindow && IsWindowEnabled(MainWindow) ? MainWindow : nullptr;
    ShowMessageBox(Owner, ExceptionMessage(Error), Title, MB_OK | MB_ICONERROR);
}

std::wstring TApplication::LoadStr(UINT Id) const {
    // The strings live in the program's own module, whatever Instance stands for.
    for (HINSTANCE Module : {Instance, GetModuleHandleW(nullptr)}) {
        std::wstring Text = Module ? LoadLocalizedString(Module, Id, Language->LangId) : L"";
        if (!Text.empty())
            return Text;
    }
    return {};
}

int TApplication::Run() {
    IsRunning = true;
    MSG Msg;
    int Result;
    while ((Result = GetMessageW(&Msg, nullptr, 0, 0)) > 0) {
        if (MainWindow && IsDialogMessageW(MainWindow, &Msg))
            continue;
        TranslateMessage(&Msg);
        DispatchMessageW(&Msg);
    }
    IsRunning = false;
    return Result < 0 ? 1 : static_cast<int>(Msg.wParam);
}
