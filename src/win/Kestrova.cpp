// Kestrova: converts WebM videos into AVI files with the FFmpeg converter beside the program.
#include "AppError.h"
#include "Application.h"
#include "Leftovers.h"
#include "Main.h"
#include "PathForms.h"
#include "Selection.h"
#include "SystemLibraries.h"
#include "Translation.h"

#include "win32/UiOwners.h"

int WINAPI wWinMain(HINSTANCE Instance, HINSTANCE, LPWSTR, int) {
    // Before anything can load a DLL by name: from the system folder only, never from ours.
    RestrictDllSearch();

    // Held until the process ends; a second copy runs independently all the same.
    UniqueHandle Mutex(CreateMutexW(nullptr, FALSE, L"KestrovaMutexName"));

    Application.Instance = Instance;
    Application.Language = &PickUiLanguage();
    // The folder chooser's resizable style and the shell's verbs need COM on this thread.
    TComScope Com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    // A start for one file of a selection in Explorer hands it to the selection's window.
    // A restart Windows made while a batch ran (ResumeSwitch) takes up that window's list.
    const std::vector<std::wstring> Arguments = SplitCommandLine(GetCommandLineW());
    const std::wstring ResumeId = ReadResumeId(Arguments);
    const TStartRequest Request = ResumeId.empty() ? ReadStartRequest(Arguments) : TStartRequest{};
    THomeElection Election;
    if (Request.FromSelection && !Request.Paths.empty() &&
        Election.Run(Request.Paths) == TElection::HandedOver)
        return 0;

    int ExitCode = 0;
    try {
        TMainForm Form;
        Form.Create();
        Form.Show();
        // The list of a window that ended without closing, before anything else is listed.
        Form.TakeOverLeftList(ResumeId);
        // Files and folders handed over by the shell ("Open with", "Send to", a drop on the
        // program's icon), once the window is there to show them and any message.
        try {
            if (Request.FromSelection)
                Form.QueueSelection(Request.Paths);
            else
                Form.AddPaths(Request.Paths);
        } catch (...) {
            Application.HandleException();
        }
        // The window takes hand-overs from here on (its first messages are handled in the loop).
        Election.Settle();
        ExitCode = Application.Run();
    } catch (...) {
        Application.HandleException();
        ExitCode = 1;
    }
    // Partial files whose converters would not die when they were ended: a last try, briefly,
    // with no window left to answer. What is still held then stays until the system ends the
    // converter.
    for (int Try = 0; LeftoverFiles().Retry() > 0 && Try < 10; ++Try)
        Sleep(100);
    return ExitCode;
}
