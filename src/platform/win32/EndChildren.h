// The end of the session leaves no time for the runner's own way of stopping a converter (its
// next progress report, then a wait): every child this process started is ended at once.
#pragma once

#include <windows.h>

// Ends every child process this process started and their children, at once, and waits at most
// TimeoutMs for all of them to be gone, so that the files they wrote are closed. True when none
// is left.
bool EndAllChildProcesses(DWORD TimeoutMs);
