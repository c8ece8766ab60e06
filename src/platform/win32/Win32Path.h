// The one place where the Win32 layer hands a path to Windows' file functions. Every call that
// queries, opens, lists, creates, renames or deletes by name takes its path from Win32FilePath,
// so window and core code pass ordinary paths of any length and never build the extended form.
#pragma once

#include <string>

// Path in a form Windows' file functions open at any length: the extended-length form for a path
// of the long-path threshold or more (a relative one is made full first), Path itself otherwise.
std::wstring Win32FilePath(const std::wstring& Path);

// For tests: when set, sees every path Win32FilePath hands back, so a test can tell which form
// reached the system. Not for concurrent use.
using TWin32PathObserver = void (*)(const std::wstring& Produced);
void SetWin32PathObserver(TWin32PathObserver Observer);
