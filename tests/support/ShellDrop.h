// Files handed to a window as the shell hands dropped files (Windows only).
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace testing_support {

// The block WM_DROPFILES carries for Files; the window that receives it frees it (DragFinish).
HDROP MakeDrop(const std::vector<std::wstring>& Files);

} // namespace testing_support
