// Paths as they come in from outside and as they go out to the shell.
#pragma once

#include <string>
#include <vector>

// CommandLine split into its arguments by the system's rules, the program's name first. The
// program splits its own once, at start, and hands the parts on.
std::vector<std::wstring> SplitCommandLine(const wchar_t* CommandLine);

// The paths among a command line's Arguments (after the program's own name), each made absolute
// against the current folder and in its ordinary form; empty arguments are skipped.
std::vector<std::wstring> CommandLinePaths(const std::vector<std::wstring>& Arguments);

// A form of Path the shell's verbs can open: Path itself when it is short, otherwise its short
// (8.3) form where that fits under MAX_PATH, otherwise Path all the same.
std::wstring ShellPathForm(const std::wstring& Path);
