// Kestrova's settings: each described once (its value's name, its rule, default and range), read
// and written by one type through a store (the registry on Windows, a map in tests). A damaged
// value (another type, out of range, text the integer rule does not take) reads as its rule says,
// never as a failure, except that the start count reports a value of another type.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// The settings' key under the current user's hive. A constant, never built from a translated
// text; the uninstaller leaves it in place for a later installation (installer/Kestrova.nsi).
inline constexpr wchar_t SettingsKeyPath[] = L"Software\\Tamblin\\Kestrova";

// How a value is stored. Other is a type no rule reads (binary data, a list of texts, a number
// of another size).
enum class TValueKind { Missing, Integer, Text, Other };

// A value as the store holds it: Integer is a 32-bit number (REG_DWORD), Text is text (REG_SZ or
// REG_EXPAND_SZ).
struct TStoredValue {
    TValueKind Kind = TValueKind::Missing;
    int32_t Number = 0;
    std::wstring Text;
};

// The seam to where the values live. Both throw the store's own error when the store cannot be
// reached; a missing value is no error.
class TSettingsStore {
public:
    virtual ~TSettingsStore() = default;
    virtual TStoredValue Read(std::wstring_view Name) = 0;
    virtual void Write(std::wstring_view Name, const TStoredValue& Value) = 0;
};

enum class TSettingRule {
    Count,  // any 32-bit number; text (read by the integer rule) is written back as text
    Choice, // Min to Max, anything else Default
};

struct TSettingDescription {
    std::wstring_view Name;
    TSettingRule Rule;
    int32_t Default;
    int32_t Min;
    int32_t Max;
};

// What happens once a batch has run to its end; the order of the progress window's list.
enum class TWhenDone { Nothing, CloseProgram, Sleep, ShutDown };

// The number of starts, this one included once read (StartCountAfter). Shown nowhere: the first
// start (no count stored) opens the maker's web site at exit.
extern const TSettingDescription UseCountSetting;
// "For DVD and TV players": 1 is on; anything else off.
extern const TSettingDescription PlayerSafeSetting;
// The progress window's "When done:" choice (TWhenDone).
extern const TSettingDescription WhenDoneSetting;
// Hidden, set only by hand: how many files a batch converts at once, 1 to MaxSideBySide;
// 0 (the default, and what anything else reads as) lets the machine decide.
extern const TSettingDescription ConversionsAtOnceSetting;
// Every setting, in the order above.
extern const std::initializer_list<const TSettingDescription*> AllSettings;

// A setting's value as its rule reads it, and how it was stored.
struct TSettingValue {
    int32_t Value = 0;
    TValueKind Kind = TValueKind::Missing;
};

// The rule applied to a stored value: Default when missing or of another type (Kind tells which).
TSettingValue ReadSettingValue(const TSettingDescription& Setting, const TStoredValue& Stored);

// The count this start holds: one more than Stored, staying at the top of the range rather than
// turning negative.
int32_t StartCountAfter(int32_t Stored);

class TSettings {
public:
    explicit TSettings(TSettingsStore& Store) : Store(Store) {}

    // Any setting by its rule; the store's errors pass through.
    TSettingValue Read(const TSettingDescription& Setting) const;
    // A value outside the setting's range is written as its default; as text when Kind is Text
    // and the setting is a Count, otherwise as a 32-bit number.
    void Write(const TSettingDescription& Setting, int32_t Value,
               TValueKind Kind = TValueKind::Integer) const;

    // The settings a window needs, each read at once. The start count's errors pass through (the
    // window reports them); the others fall back to their default silently: an unreadable
    // choice is no reason to stop anything.
    TSettingValue StoredStartCount() const { return Read(UseCountSetting); }
    bool PlayerSafe() const;
    TWhenDone WhenDone() const;
    int ConversionsAtOnce() const; // 0 when not set

    void SaveStartCount(int32_t Count, TValueKind Kind) const {
        Write(UseCountSetting, Count, Kind);
    }
    void SavePlayerSafe(bool On) const { Write(PlayerSafeSetting, On ? 1 : 0); }
    void SaveWhenDone(TWhenDone Choice) const {
        Write(WhenDoneSetting, static_cast<int32_t>(Choice));
    }

private:
    int32_t ReadQuietly(const TSettingDescription& Setting) const;

    TSettingsStore& Store;
};
