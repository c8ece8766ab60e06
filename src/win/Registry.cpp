#include "Registry.h"

#include "AppError.h"
#include "IntegerText.h"

#include <vector>

UniqueHKey OpenOrCreateKey(HKEY Root, const std::wstring& Path) {
    UniqueHKey Key;
    LSTATUS Status = RegCreateKeyExW(Root, Path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, Key.put(), nullptr);
    if (Status != ERROR_SUCCESS)
        throw EAppError(FormatMessageText(L"Failed to create key %s", Path));
    return Key;
}

TIntegerValue ReadIntegerValue(HKEY Key, const std::wstring& Name, int32_t Default) {
    DWORD Type = 0;
    DWORD Size = 0;
    LSTATUS Status = RegQueryValueExW(Key, Name.c_str(), nullptr, &Type, nullptr, &Size);
    if (Status == ERROR_FILE_NOT_FOUND)
        return {Default, TValueKind::Missing};
    if (Status == ERROR_SUCCESS) {
        // Room for a terminator the stored text may lack.
        std::vector<BYTE> Data(Size + sizeof(wchar_t));
        Status = RegQueryValueExW(Key, Name.c_str(), nullptr, &Type, Data.data(), &Size);
        if (Status == ERROR_SUCCESS && Type == REG_DWORD && Size == sizeof(DWORD)) {
            DWORD Raw;
            memcpy(&Raw, Data.data(), sizeof Raw);
            return {static_cast<int32_t>(Raw), TValueKind::Integer};
        }
        if (Status == ERROR_SUCCESS && (Type == REG_SZ || Type == REG_EXPAND_SZ)) {
            std::wstring Text(reinterpret_cast<const wchar_t*>(Data.data()),
                              Size / sizeof(wchar_t));
            Text.resize(wcsnlen(Text.c_str(), Text.size()));
            return {TextToInt(Text, Default), TValueKind::Text};
        }
    }
    throw EAppError(FormatMessageText(L"Invalid data type for '%s'", Name));
}

void WriteIntegerValue(HKEY Key, const std::wstring& Name, int32_t Value, TValueKind Kind) {
    LSTATUS Status;
    if (Kind == TValueKind::Text) {
        std::wstring Text = std::to_wstring(Value);
        Status = RegSetValueExW(Key, Name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(Text.c_str()),
                                static_cast<DWORD>((Text.size() + 1) * sizeof(wchar_t)));
    } else {
        DWORD Raw = static_cast<DWORD>(Value);
        Status = RegSetValueExW(Key, Name.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&Raw), sizeof Raw);
    }
    if (Status != ERROR_SUCCESS)
        throw EAppError(FormatMessageText(L"Failed to set data for '%s'", Name));
}
