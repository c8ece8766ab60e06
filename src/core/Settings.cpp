#include "Settings.h"

#include "Batch.h"
#include "IntegerText.h"

#include <climits>

const TSettingDescription UseCountSetting{L"UseCount", TSettingRule::Count, 0, INT32_MIN,
                                          INT32_MAX};
const TSettingDescription PlayerSafeSetting{L"PlayerSafe", TSettingRule::Choice, 0, 0, 1};
const TSettingDescription WhenDoneSetting{L"WhenDone", TSettingRule::Choice, 0, 0,
                                          static_cast<int32_t>(TWhenDone::ShutDown)};
const TSettingDescription ConversionsAtOnceSetting{L"ConversionsAtOnce", TSettingRule::Choice, 0, 1,
                                                   MaxSideBySide};
const std::initializer_list<const TSettingDescription*> AllSettings = {
    &UseCountSetting, &PlayerSafeSetting, &WhenDoneSetting, &ConversionsAtOnceSetting};

TSettingValue ReadSettingValue(const TSettingDescription& Setting, const TStoredValue& Stored) {
    int32_t Value = Setting.Default;
    switch (Stored.Kind) {
    case TValueKind::Integer:
        Value = Stored.Number;
        break;
    case TValueKind::Text:
        // Up to the first terminator: a stored text may carry one, or several, or none.
        Value = TextToInt(std::wstring_view(Stored.Text).substr(0, Stored.Text.find(L'\0')),
                          Setting.Default);
        break;
    case TValueKind::Missing:
    case TValueKind::Other:
        return {Setting.Default, Stored.Kind};
    }
    if (Value < Setting.Min || Value > Setting.Max)
        Value = Setting.Default;
    return {Value, Stored.Kind};
}

int32_t StartCountAfter(int32_t Stored) {
    return Stored == INT32_MAX ? INT32_MAX : Stored + 1;
}

TSettingValue TSettings::Read(const TSettingDescription& Setting) const {
    return ReadSettingValue(Setting, Store.Read(Setting.Name));
}

void TSettings::Write(const TSettingDescription& Setting, int32_t Value, TValueKind Kind) const {
    if (Value < Setting.Min || Value > Setting.Max)
        Value = Setting.Default;
    TStoredValue Stored;
    if (Kind == TValueKind::Text && Setting.Rule == TSettingRule::Count) {
        Stored.Kind = TValueKind::Text;
        Stored.Text = std::to_wstring(Value);
    } else {
        Stored.Kind = TValueKind::Integer;
    }
    Stored.Number = Value;
    Store.Write(Setting.Name, Stored);
}

int32_t TSettings::ReadQuietly(const TSettingDescription& Setting) const {
    try {
        return Read(Setting).Value;
    } catch (...) {
        return Setting.Default;
    }
}

bool TSettings::PlayerSafe() const {
    return ReadQuietly(PlayerSafeSetting) == 1;
}

TWhenDone TSettings::WhenDone() const {
    return static_cast<TWhenDone>(ReadQuietly(WhenDoneSetting));
}

int TSettings::ConversionsAtOnce() const {
    return ReadQuietly(ConversionsAtOnceSetting);
}
