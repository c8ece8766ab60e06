// Where the program's DLLs come from. A DLL that Windows does not always take from its system
// folder (its "known DLLs") is otherwise looked for beside the program first, so one dropped
// there (an unpacked zip in Downloads) would run inside Kestrova. Such DLLs are therefore not
// imported but loaded here, from the system folder only.
#pragma once

#include <windows.h>

// Limits every later search for a DLL by name to the system folder, and takes the current folder
// out of it. First thing the program does. False when the system refused.
bool RestrictDllSearch();

// SetWindowTheme of uxtheme.dll from the system folder; nothing happens when it is missing.
void SetSystemWindowTheme(HWND Window, const wchar_t* SubAppName);

// SetSuspendState of powrprof.dll from the system folder: 0 when Windows took the request,
// otherwise the system's error code (ERROR_PROC_NOT_FOUND when the library is missing).
DWORD SystemSetSuspendState(bool Hibernate, bool Force, bool WakeupEventsDisabled);
