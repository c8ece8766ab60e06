// The one place that asks Windows for a path's full form.
#pragma once

#include <string>

// Path made absolute against the current folder and drive, "." and ".." resolved, as
// GetFullPathNameW gives it, of any length (the buffer grows until the answer fits); empty when
// the system cannot tell it.
std::wstring FullPathName(const std::wstring& Path);
