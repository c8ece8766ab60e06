// The end of the Windows session (log off, restart, shut down, another program's or another
// Kestrova window's "Shut down"). While a batch converts, the end is held back with a reason
// Windows shows the user, so an unforced end waits for the user and nothing is cancelled by the
// question alone. When the session ends all the same (forced, or the user chose to end it), all
// that matters happens before the message returns, as Windows may end the process right after:
// the list is saved, the converters are ended and only their partial files are deleted. Then the
// window closes without a box, a summary or a countdown.
#include "Main.h"

#include "Application.h"
#include "Progress.h"
#include "Selection.h"

#include <utility>

bool TMainForm::QueryEndSession() {
    if (SessionEnded)
        return true;
    auto* Progress = dynamic_cast<TProgressForm*>(RunningBatch());
    if (!Progress)
        return true;
    Progress->HoldSessionEnd();
    return false;
}

void TMainForm::EndSession() {
    // Both windows hear of it; the first does it all.
    if (std::exchange(SessionEnded, true))
        return;
    Application.SessionEnding = true;
    SaveListForSessionEnd();
    // Nothing more is listed or started.
    AddQueue.clear();
    ConvertAfterAdd = false;
    PendingSelection.clear();
    MarkHandoverTarget(Window, false);
    if (auto* Progress = dynamic_cast<TProgressForm*>(RunningBatch()))
        Progress->EndForSession();
    // Inside Convert (the batch, or its window still closing) the window closes once that modal
    // loop has returned; otherwise now.
    if (ProgressForm)
        CloseAfterBatch = true;
    else
        PostMessageW(Window, WM_CLOSE, 0, 0);
}

void TMainForm::SaveListForSessionEnd() {
    // On disk before the message returns: the next start lists these files again.
    SaveListNow();
}
