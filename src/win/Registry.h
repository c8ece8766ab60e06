// Kestrova's settings kept in the registry: the store behind TSettings (Settings.h).
#pragma once

#include "Settings.h"

#include "win32/UniqueHandle.h"

#include <string>

// Opens Path under Root with full access, creating it when missing; throws
// "Failed to create key <Path>" when neither works.
UniqueHKey OpenOrCreateKey(HKEY Root, const std::wstring& Path);

// REG_DWORD as a signed number, REG_SZ/REG_EXPAND_SZ as text, Missing when the value is not
// there, Other for any other type or size; throws "Failed to read '<Name>': <reason>" when the
// value cannot be read.
TStoredValue ReadRegistryValue(HKEY Key, const std::wstring& Name);

// Text as REG_SZ, anything else as a REG_DWORD; throws "Failed to set value '<Name>'".
void WriteRegistryValue(HKEY Key, const std::wstring& Name, const TStoredValue& Value);

// The settings key (SettingsKeyPath) under Application.RegistryRoot, opened with full access and
// created when missing for each read and write, so that a key deleted meanwhile is made again.
class TRegistrySettingsStore final : public TSettingsStore {
public:
    TStoredValue Read(std::wstring_view Name) override;
    void Write(std::wstring_view Name, const TStoredValue& Value) override;
};
