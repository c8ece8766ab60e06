#include "Registry.h"

#include "AppError.h"
#include "Application.h"
#include "TextTemplate.h"

#include "resource.h"

#include <cstring>
#include <vector>

UniqueHKey OpenOrCreateKey(HKEY Root, const std::wstring& Path) {
    UniqueHKey Key;
    LSTATUS Status = RegCreateKeyExW(Root, Path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, Key.put(), nullptr);
    if (Status != ERROR_SUCCESS)
        throw EAppError(FormatTemplate(Application.LoadStr(IDS_KEYNOTCREATED), {Path}));
    return Key;
}

TStoredValue ReadRegistryValue(HKEY Key, const std::wstring& Name) {
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
        Data.assign(Size, 0);
        Status = RegQueryValueExW(Key, Name.c_str(), nullptr, &Type, Data.data(), &Size);
        Data.resize(Size);
    }
    TStoredValue Value;
    if (Status == ERROR_FILE_NOT_FOUND)
        return Value;
    if (Status != ERROR_SUCCESS)
        throw EAppError(FormatTemplate(Application.LoadStr(IDS_VALUENOTREAD),
                                       {Name, SystemErrorText(static_cast<DWORD>(Status))}));
    if (Type == REG_DWORD && Data.size() == sizeof(DWORD)) {
        DWORD Raw;
        memcpy(&Raw, Data.data(), sizeof Raw);
        Value.Kind = TValueKind::Integer;
        Value.Number = static_cast<int32_t>(Raw);
    } else if (Type == REG_SZ || Type == REG_EXPAND_SZ) {
        // The stored text may lack its terminator, or carry more than one: TSettings reads up
        // to the first.
        Value.Kind = TValueKind::Text;
        Value.Text.resize(Data.size() / sizeof(wchar_t));
        memcpy(Value.Text.data(), Data.data(), Value.Text.size() * sizeof(wchar_t));
    } else {
        Value.Kind = TValueKind::Other;
    }
    return Value;
}

void WriteRegistryValue(HKEY Key, const std::wstring& Name, const TStoredValue& Value) {
    LSTATUS Status;
    if (Value.Kind == TValueKind::Text) {
        Status = RegSetValueExW(Key, Name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(Value.Text.c_str()),
                                static_cast<DWORD>((Value.Text.size() + 1) * sizeof(wchar_t)));
    } else {
        DWORD Raw = static_cast<DWORD>(Value.Number);
        Status = RegSetValueExW(Key, Name.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&Raw), sizeof Raw);
    }
    if (Status != ERROR_SUCCESS)
        throw EAppError(FormatTemplate(Application.LoadStr(IDS_VALUENOTSET), {Name}));
}

TStoredValue TRegistrySettingsStore::Read(std::wstring_view Name) {
    UniqueHKey Key = OpenOrCreateKey(Application.RegistryRoot, SettingsKeyPath);
    return ReadRegistryValue(Key.get(), std::wstring(Name));
}

void TRegistrySettingsStore::Write(std::wstring_view Name, const TStoredValue& Value) {
    UniqueHKey Key = OpenOrCreateKey(Application.RegistryRoot, SettingsKeyPath);
    WriteRegistryValue(Key.get(), std::wstring(Name), Value);
}
