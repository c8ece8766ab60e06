// Reading and writing the program's integer setting in the registry.
#pragma once

#include "win32/UniqueHandle.h"

#include <cstdint>
#include <string>

// How an integer value is stored; text is kept as text when written back.
enum class TValueKind { Missing, Integer, Text };

struct TIntegerValue {
    int32_t Value = 0;
    TValueKind Kind = TValueKind::Missing;
};

// Opens Path under Root with full access, creating it when missing; throws
// "Failed to create key <Path>" when neither works.
UniqueHKey OpenOrCreateKey(HKEY Root, const std::wstring& Path);

// REG_DWORD as a signed number, REG_SZ/REG_EXPAND_SZ through the integer rule, Default when the
// value is missing; any other type throws "Invalid data type for '<Name>'".
TIntegerValue ReadIntegerValue(HKEY Key, const std::wstring& Name, int32_t Default);

// Text kind writes decimal text (REG_SZ), every other kind a REG_DWORD.
void WriteIntegerValue(HKEY Key, const std::wstring& Name, int32_t Value, TValueKind Kind);
