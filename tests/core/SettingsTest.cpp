// The settings' rules through a store held in memory: every setting written and read back, and
// damaged values (another type, out of range, text the integer rule refuses, missing) reading as
// the default or the clamp its description gives.
#include "Settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <stdexcept>

namespace {

class TMemoryStore final : public TSettingsStore {
public:
    std::map<std::wstring, TStoredValue, std::less<>> Values;
    bool Broken = false;

    TStoredValue Read(std::wstring_view Name) override {
        if (Broken)
            throw std::runtime_error("unreadable");
        auto Found = Values.find(Name);
        return Found == Values.end() ? TStoredValue{} : Found->second;
    }
    void Write(std::wstring_view Name, const TStoredValue& Value) override {
        if (Broken)
            throw std::runtime_error("unwritable");
        Values[std::wstring(Name)] = Value;
    }
};

TStoredValue Number(int32_t Value) {
    return {TValueKind::Integer, Value, L""};
}
TStoredValue Text(std::wstring Value) {
    return {TValueKind::Text, 0, std::move(Value)};
}
TStoredValue OfAnotherType() {
    return {TValueKind::Other, 0, L""};
}

} // namespace

TEST(Settings, EverySettingRoundTripsUnderItsOwnName) {
    TMemoryStore Store;
    const TSettings Settings(Store);
    Settings.SaveStartCount(41, TValueKind::Integer);
    Settings.SavePlayerSafe(true);
    Settings.SaveWhenDone(TWhenDone::Sleep);
    Settings.Write(ConversionsAtOnceSetting, 3);

    // The names existing installations have stored, each a 32-bit number.
    ASSERT_EQ(Store.Values.size(), AllSettings.size());
    for (const wchar_t* Name : {L"UseCount", L"PlayerSafe", L"WhenDone", L"ConversionsAtOnce"}) {
        SCOPED_TRACE(testing::PrintToString(Name));
        ASSERT_TRUE(Store.Values.contains(Name));
        EXPECT_EQ(Store.Values[Name].Kind, TValueKind::Integer);
    }
    EXPECT_EQ(Settings.StoredStartCount().Value, 41);
    EXPECT_EQ(Settings.StoredStartCount().Kind, TValueKind::Integer);
    EXPECT_TRUE(Settings.PlayerSafe());
    EXPECT_EQ(Settings.WhenDone(), TWhenDone::Sleep);
    EXPECT_EQ(Settings.ConversionsAtOnce(), 3);

    // Each value of each choice, and the ends of the count's range.
    for (TWhenDone Choice :
         {TWhenDone::Nothing, TWhenDone::CloseProgram, TWhenDone::Sleep, TWhenDone::ShutDown}) {
        Settings.SaveWhenDone(Choice);
        EXPECT_EQ(Settings.WhenDone(), Choice);
    }
    Settings.SavePlayerSafe(false);
    EXPECT_FALSE(Settings.PlayerSafe());
    for (int32_t Count : {INT32_MIN, -1, 0, INT32_MAX}) {
        Settings.SaveStartCount(Count, TValueKind::Integer);
        EXPECT_EQ(Settings.StoredStartCount().Value, Count);
    }
}

TEST(Settings, StartCountKeepsTextAsTextAndReadsItByTheIntegerRule) {
    TMemoryStore Store;
    const TSettings Settings(Store);
    struct {
        std::wstring Stored;
        int32_t Read;
    } Cases[] = {
        {L"  41", 41},
        {L"$10", 16},
        {L"-0x2", -2},
        {L"twelve", 0},
        {L"", 0},
        {L"2147483647", INT32_MAX},
        {L"2147483648", 0}, // beyond the range: the default, not a wrapped number
        {L"-2147483648", INT32_MIN},
        {std::wstring(L"7\0junk", 6), 7}, // up to the first terminator
        {std::wstring(100000, L'9'), 0},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(testing::PrintToString(Case.Stored.substr(0, 20)));
        Store.Values[L"UseCount"] = Text(Case.Stored);
        const TSettingValue Read = Settings.StoredStartCount();
        EXPECT_EQ(Read.Value, Case.Read);
        EXPECT_EQ(Read.Kind, TValueKind::Text);
        Settings.SaveStartCount(StartCountAfter(Read.Value), Read.Kind);
        EXPECT_EQ(Store.Values[L"UseCount"].Kind, TValueKind::Text);
        EXPECT_EQ(Store.Values[L"UseCount"].Text, std::to_wstring(StartCountAfter(Case.Read)));
    }
    // A count never stored, or stored as another type, is written back as a number.
    Store.Values.clear();
    TSettingValue Read = Settings.StoredStartCount();
    EXPECT_EQ(Read.Kind, TValueKind::Missing);
    EXPECT_EQ(Read.Value, 0);
    Settings.SaveStartCount(StartCountAfter(Read.Value), Read.Kind);
    EXPECT_EQ(Store.Values[L"UseCount"].Kind, TValueKind::Integer);
    EXPECT_EQ(Store.Values[L"UseCount"].Number, 1);
    Store.Values[L"UseCount"] = OfAnotherType();
    Read = Settings.StoredStartCount();
    EXPECT_EQ(Read.Kind, TValueKind::Other);
    EXPECT_EQ(Read.Value, 0);
}

TEST(Settings, StartCountStaysAtTheTopOfItsRange) {
    EXPECT_EQ(StartCountAfter(0), 1);
    EXPECT_EQ(StartCountAfter(-1), 0);
    EXPECT_EQ(StartCountAfter(INT32_MAX - 1), INT32_MAX);
    EXPECT_EQ(StartCountAfter(INT32_MAX), INT32_MAX);
}

TEST(Settings, DamagedChoicesReadAsTheirDefault) {
    TMemoryStore Store;
    const TSettings Settings(Store);
    struct {
        TStoredValue Stored;
        bool PlayerSafe;
        TWhenDone WhenDone;
        int AtOnce;
    } Cases[] = {
        {Number(1), true, TWhenDone::CloseProgram, 1},
        {Text(L" 1"), true, TWhenDone::CloseProgram, 1},
        {Text(L"$3"), false, TWhenDone::ShutDown, 3},
        {Number(2), false, TWhenDone::Sleep, 2},
        {Number(8), false, TWhenDone::Nothing, 8},
        {Number(9), false, TWhenDone::Nothing, 0},
        {Number(4), false, TWhenDone::Nothing, 4},
        {Number(0), false, TWhenDone::Nothing, 0},
        {Number(-1), false, TWhenDone::Nothing, 0},
        {Number(INT32_MIN), false, TWhenDone::Nothing, 0},
        {Text(L"yes"), false, TWhenDone::Nothing, 0},
        {Text(L"99999999999"), false, TWhenDone::Nothing, 0},
        {OfAnotherType(), false, TWhenDone::Nothing, 0},
        {TStoredValue{}, false, TWhenDone::Nothing, 0},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(testing::Message() << "number " << Case.Stored.Number << ", text "
                                        << testing::PrintToString(Case.Stored.Text) << ", kind "
                                        << static_cast<int>(Case.Stored.Kind));
        for (const TSettingDescription* Setting : AllSettings)
            Store.Values[std::wstring(Setting->Name)] = Case.Stored;
        EXPECT_EQ(Settings.PlayerSafe(), Case.PlayerSafe);
        EXPECT_EQ(Settings.WhenDone(), Case.WhenDone);
        EXPECT_EQ(Settings.ConversionsAtOnce(), Case.AtOnce);
    }
}

TEST(Settings, AnUnreadableStoreGivesTheChoicesDefaultsButReportsTheStartCount) {
    TMemoryStore Store;
    const TSettings Settings(Store);
    Settings.SavePlayerSafe(true);
    Settings.SaveWhenDone(TWhenDone::ShutDown);
    Settings.Write(ConversionsAtOnceSetting, 2);
    Store.Broken = true;
    EXPECT_FALSE(Settings.PlayerSafe());
    EXPECT_EQ(Settings.WhenDone(), TWhenDone::Nothing);
    EXPECT_EQ(Settings.ConversionsAtOnce(), 0);
    EXPECT_THROW(Settings.StoredStartCount(), std::runtime_error);
    EXPECT_THROW(Settings.SaveWhenDone(TWhenDone::Sleep), std::runtime_error);
}

TEST(Settings, AValueOutsideItsRangeIsWrittenAsTheDefault) {
    TMemoryStore Store;
    const TSettings Settings(Store);
    Settings.SaveWhenDone(static_cast<TWhenDone>(7));
    EXPECT_EQ(Store.Values[L"WhenDone"].Number, 0);
    Settings.Write(ConversionsAtOnceSetting, 9);
    EXPECT_EQ(Store.Values[L"ConversionsAtOnce"].Number, 0);
    // Text is for the count alone: a choice is always a number.
    Settings.Write(WhenDoneSetting, 2, TValueKind::Text);
    EXPECT_EQ(Store.Values[L"WhenDone"].Kind, TValueKind::Integer);
    EXPECT_EQ(Store.Values[L"WhenDone"].Number, 2);
}
