// The short (8.3) form of a path, for the Windows services that refuse paths of 260 characters
// (MAX_PATH) or more even in the extended form: process creation and the shell's verbs.
#pragma once

#include <string>

// Path itself when it is shorter than the limit; otherwise its short form where that fits under
// the limit (the volume must keep short names); otherwise Path all the same.
std::wstring ShortPathForm(const std::wstring& Path);
