// Splitting a command line the way the converter's own start-up code does, for platforms that
// start programs from an argument vector.
#pragma once

#include <string>
#include <vector>

// Blanks and tabs separate tokens; double quotes group blanks into a token and are dropped.
// Paths are quoted as they are, so nothing inside quotes is an escape.
std::vector<std::wstring> SplitCommandLine(const std::wstring& CommandLine);
