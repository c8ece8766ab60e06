// Wide text and UTF-8 both ways: for POSIX paths and messages, exception texts, and whatever the
// tests and tools print. Wide text is UTF-16 on Windows and UTF-32 elsewhere.
#pragma once

#include <string>
#include <string_view>

std::string ToUtf8(std::wstring_view Text);
// Bytes that are not valid UTF-8 become U+FFFD each.
std::wstring FromUtf8(std::string_view Bytes);
