// Paths as they come in from outside and as they go out to the shell.
#pragma once

#include <string>
#include <vector>

// The paths given to the program on its command line (after the program's own name), each made
// absolute against the current folder and in its ordinary form; empty arguments are skipped.
std::vector<std::wstring> CommandLinePaths(const wchar_t* CommandLine);

// A form of Path the shell's verbs can open: Path itself when it is short, otherwise its short
// (8.3) form where that fits the old limit, otherwise Path all the same.
std::wstring ShellPathForm(const std::wstring& Path);
