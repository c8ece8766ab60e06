// The application object: its title, its main window, the top-level exception handling, and the
// few seams through which the windows reach modal boxes and the shell (replaced by tests).
#pragma once

#include <windows.h>

#include "Language.h"

#include <exception>
#include <functional>
#include <string>
#include <vector>

struct TOpenDialog;

// Each seam calls the real service when empty.
struct TUiHooks {
    std::function<int(HWND Owner, const std::wstring& Text, const std::wstring& Caption, UINT Type)>
        ShowMessageBox;
    // 0 when the shell did it, otherwise the system's error code.
    std::function<DWORD(const std::wstring& Verb, const std::wstring& File)> ShellExecuteVerb;
    std::function<bool(HWND Owner, TOpenDialog& Dialog)> RunOpenDialog;
    std::function<bool(HWND Owner, const std::wstring& Instruction, std::wstring& Folder)>
        RunFolderChooser;
    std::function<void(HWND Owner, const std::wstring& Caption, const std::wstring& Text)>
        ShowDetails;
    // Power requests (SetThreadExecutionState) and the taskbar's flash at a batch's end.
    std::function<void(EXECUTION_STATE State)> SetExecutionState;
    std::function<void(HWND Window)> FlashWindow;
    // Sleep (SetSuspendState) and shutting down (ExitWindowsEx) once a batch has ended: 0 when
    // Windows took the request, otherwise the system's error code.
    std::function<DWORD(bool Hibernate, bool Force, bool WakeupEventsDisabled)> SetSuspendState;
    std::function<DWORD(UINT Flags, DWORD Reason)> ShutDownWindows;
    // Seconds on a steady clock, for the countdown before sleeping or shutting down.
    std::function<double()> CountdownClock;
    // The reason Windows shows for the end of the session held back (ShutdownBlockReasonCreate,
    // which also replaces a reason already set), and its removal (ShutdownBlockReasonDestroy).
    std::function<void(HWND Window, const std::wstring& Reason)> CreateShutdownReason;
    std::function<void(HWND Window)> DestroyShutdownReason;
    // The user's local application data folder (FOLDERID_LocalAppData), where the lists are
    // saved; tests give a folder of their own.
    std::function<std::wstring()> LocalAppDataFolder;
    // RegisterApplicationRestart and UnregisterApplicationRestart while a batch runs.
    std::function<HRESULT(const std::wstring& CommandLine, DWORD Flags)> RegisterRestart;
    std::function<HRESULT()> UnregisterRestart;
};

class TApplication {
public:
    std::wstring Title;
    HWND MainWindow = nullptr;
    HINSTANCE Instance = nullptr;
    // Where the settings key lives; tests point it elsewhere.
    HKEY RegistryRoot = HKEY_CURRENT_USER;
    // The language the windows and messages speak; chosen at start-up, English until then.
    const TLanguage* Language = &EnglishLanguage();
    TUiHooks Hooks;
    // The session is ending: the program closes without asking or telling anything, so no
    // message box is shown (ShowMessageBox answers 0 at once).
    bool SessionEnding = false;

    // Runs the message loop until the main window is destroyed; returns the exit code.
    int Run();
    bool Running() const { return IsRunning; }

    // Holds back the end of the session with Reason (shown by Windows), or lets it end.
    void SetShutdownReason(HWND Window, const std::wstring& Reason);
    void RemoveShutdownReason(HWND Window);

    int ShowMessageBox(HWND Owner, const std::wstring& Text, const std::wstring& Caption,
                       UINT Type);
    // Shows the exception in an error box captioned with the title; the program goes on.
    void ShowException(const std::exception_ptr& Error);
    // For use inside a catch block: shows the exception being handled.
    void HandleException() { ShowException(std::current_exception()); }
    // String Id in Language (in English where it has none).
    std::wstring LoadStr(UINT Id) const;

private:
    bool IsRunning = false;
};

extern TApplication Application;

// The text the error box shows for an exception: its message with a full stop appended unless
// it already ends in one.
std::wstring ExceptionMessage(const std::exception_ptr& Error);
