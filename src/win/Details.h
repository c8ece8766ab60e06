// A small modal window that shows a long text read-only, so it can be read whole and copied: why
// a conversion failed and what the converter said last.
#pragma once

#include <windows.h>

#include <string>

// Shows Text under Caption over Owner until the user closes it.
void ShowDetails(HWND Owner, const std::wstring& Caption, const std::wstring& Text);
