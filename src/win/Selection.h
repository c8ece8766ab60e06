// Explorer runs a command-line verb once per selected file, all at nearly the same moment. The
// verb's command carries SelectionSwitch; such starts elect one home window and the others hand
// their files over to it, so that a selection becomes one list. A start without the switch opens
// its own window, and any idle window takes files handed over.
#pragma once

#include "win32/UniqueHandle.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

inline constexpr wchar_t SelectionSwitch[] = L"/selection";

// How long a start of a selection waits for a home to take its files before it opens a window
// of its own, and how long one window may take to answer.
inline constexpr DWORD SelectionWaitMs = 30000;
inline constexpr DWORD HandoverAnswerMs = 5000;

struct TStartRequest {
    bool FromSelection = false; // the command line began with SelectionSwitch
    std::vector<std::wstring> Paths;
};

// The request of a command line split into Arguments (SplitCommandLine): the switch (case
// ignored) and the paths, as CommandLinePaths reads them.
TStartRequest ReadStartRequest(const std::vector<std::wstring>& Arguments);

enum class TElection {
    HandedOver, // a window took the files: this start is done
    Home,       // this start opens the window the others hand their files to
    Alone,      // no home took them in time: this start opens a window of its own
};

// A start of a selection announces itself for as long as it looks for a window to take its
// files, so that a window asked to convert knows that more files are on their way. Each start
// holds one named lock of a small set; the system lets go of it when the start ends, however it
// ends, so a start that died announces nothing. With every lock taken (more starts at once than a
// selection makes) a start goes unannounced.
class TAnnouncedStart {
public:
    TAnnouncedStart();
    TAnnouncedStart(const TAnnouncedStart&) = delete;
    TAnnouncedStart& operator=(const TAnnouncedStart&) = delete;
    // The start's files were handed over, or it opens a window of its own.
    void End();

private:
    UniqueHandle Slot;
    UniqueMutexOwnership Held; // released before Slot is closed
};

// Whether a start of a selection, in another process or thread, has announced itself and not
// ended yet.
bool SelectionStartsUnderWay();

class THomeElection {
public:
    // Offers Paths to the open windows and, while none takes them, competes to become the home
    // (one named lock); gives up after WaitMs.
    TElection Run(const std::vector<std::wstring>& Paths, DWORD WaitMs = SelectionWaitMs);
    // The home's window takes hand-overs now: the next selection start may elect anew should
    // this window be busy.
    void Settle();

private:
    UniqueHandle Lock;
    UniqueMutexOwnership Held; // released before Lock is closed
};

enum class THandover {
    Taken,    // a window took the files
    Refused,  // no window takes hand-overs now (none open, or each is busy converting)
    NoAnswer, // a window that may take them did not answer in time (many starts at once)
};

// Offers Paths to each window that takes hand-overs, until one takes them.
THandover HandOverToOpenWindow(const std::vector<std::wstring>& Paths,
                               DWORD AnswerMs = HandoverAnswerMs);

// Marks Window as one starts may hand their files to, or no longer.
void MarkHandoverTarget(HWND Window, bool Target);

// The paths a WM_COPYDATA message hands over; nothing when it is not a hand-over.
std::optional<std::vector<std::wstring>> ReadHandover(const COPYDATASTRUCT& Data);
