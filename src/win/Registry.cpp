#include "Registry.h"

#include "AppError.h"
#include "Application.h"
#include "IntegerText.h"
#include "TextTemplate.h"

#include "resource.h"

#include <vector>

UniqueHKey OpenOrCreateKey(HKEY Root, const std::wstring& Path) {
    UniqueHKey Key;
    LSTATUS Status = RegCreateKeyExW(Root, Path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, Key.put(), nullptr);
    if (Status != ERROR_SUCCESS)
        throw EAppError(FormatTemplate(Application.LoadStr(IDS_KEYNOTCREATED), {Path}));
    return Key;
}

TIntegerValue ReadIntegerValue(HKEY Key, const std::wstring& Name, int32_t Default) {
    // The value may be rewritten by another copy between asking its size and reading it: ask
    // again, a few times, rather than read a torn value.
    LSTATUS Status = ERROR_MORE_DATA;
    DWORD Type = 0;
    std::vector<BYTE> Data;
    for (int Attempt = 0; Attempt < 8 && Status == ERROR_MORE_DATA; ++Attempt) {
        DWORD Size = 0;
        Status = RegQueryValueExW(Key, Name.c_str(), nullptr, &Type, nullptr, &Size);
        if (Status != ERROR_SUCCESS)
            break;
        // Room for a terminator the stored text may lack.
        Data.assign(Size + sizeof(wchar_t), 0);
        Status = RegQueryValueExW(Key, Name.c_str(), nullptr, &Type, Data.data(), &Size);
        Data.resize(Size);
    }
    if (Status == ERROR_FILE_NOT_FOUND)
        return {Default, TValueKind::Missing};
    if (Status != ERROR_SUCCESS)
        throw EAppError(FormatTemplate(Application.LoadStr(IDS_VALUENOTREAD),
                                       {Name, SystemErrorText(static_cast<DWORD>(Status))}));
    if (Type == REG_DWORD && Data.size() == sizeof(DWORD)) {
        DWORD Raw;
        memcpy(&Raw, Data.data(), sizeof Raw);
        return {static_cast<int32_t>(Raw), TValueKind::Integer};
    }
    if (Type == REG_SZ || Type == REG_EXPAND_SZ) {
        std::wstring Text(reinterpret_cast<const wchar_t*>(Data.data()),
                          Data.size() / sizeof(wchar_t));
        Text.resize(wcsnlen(Text.c_str(), Text.size()));
        return {TextToInt(Text, Default), TValueKind::Text};
    }
    throw EAppError(FormatTemplate(Application.LoadStr(IDS_INVALIDDATATYPE), {Name}));
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
        throw EAppError(FormatTemplate(Application.LoadStr(IDS_VALUENOTSET), {Name}));
}
