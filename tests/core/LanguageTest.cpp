#include "Language.h"
#include "Batch.h"

#include <gtest/gtest.h>

namespace {

std::wstring Chosen(const std::vector<std::wstring>& Preferred) {
    return ChooseLanguage(Preferred).Tag;
}

} // namespace

TEST(ChooseLanguage, TakesTheFirstPreferredLanguageHeldWhateverItsRegion) {
    EXPECT_EQ(Chosen({L"de-DE"}), L"de");
    EXPECT_EQ(Chosen({L"de-AT"}), L"de");
    EXPECT_EQ(Chosen({L"fr-CA", L"de-DE"}), L"fr");
    EXPECT_EQ(Chosen({L"pt-PT"}), L"pt-BR");
    EXPECT_EQ(Chosen({L"pt-BR"}), L"pt-BR");
    EXPECT_EQ(Chosen({L"es-MX"}), L"es");
    EXPECT_EQ(Chosen({L"uk-UA"}), L"uk");
    EXPECT_EQ(Chosen({L"ja-JP"}), L"ja");
    EXPECT_EQ(Chosen({L"ko-KR"}), L"ko");
    EXPECT_EQ(Chosen({L"EN-gb", L"de-DE"}), L"en") << "English is held and comes first";
}

TEST(ChooseLanguage, PassesOverLanguagesItLacksDownTheUsersList) {
    EXPECT_EQ(Chosen({L"nl-NL", L"sv-SE", L"ru-RU"}), L"ru");
    EXPECT_EQ(Chosen({L"nl-NL"}), L"en");
    EXPECT_EQ(Chosen({}), L"en");
    EXPECT_EQ(Chosen({L""}), L"en");
    // "pl" must match a whole language subtag, not the start of another one.
    EXPECT_EQ(Chosen({L"pli", L"it-IT"}), L"it");
}

TEST(ChooseLanguage, SimplifiedChineseServesOnlySimplifiedChineseReaders) {
    EXPECT_EQ(Chosen({L"zh-CN"}), L"zh-CN");
    EXPECT_EQ(Chosen({L"zh-SG"}), L"zh-CN");
    EXPECT_EQ(Chosen({L"zh-Hans-SG"}), L"zh-CN");
    EXPECT_EQ(Chosen({L"zh-Hans-HK"}), L"zh-CN") << "the script outweighs the region";
    EXPECT_EQ(Chosen({L"zh"}), L"zh-CN");
    EXPECT_EQ(Chosen({L"zh-TW", L"ja-JP"}), L"ja");
    EXPECT_EQ(Chosen({L"zh-HK"}), L"en");
    EXPECT_EQ(Chosen({L"zh-Hant-TW", L"ko-KR"}), L"ko");
    EXPECT_EQ(Chosen({L"zh-Hant"}), L"en");
}

TEST(ChooseLanguage, ReadsUnixLocaleNamesAsWell) {
    EXPECT_EQ(Chosen({L"de_DE.UTF-8"}), L"de");
    EXPECT_EQ(Chosen({L"ru_RU"}), L"ru");
    EXPECT_EQ(Chosen({L"zh_TW.UTF-8", L"zh_CN.UTF-8"}), L"zh-CN");
}

TEST(FindLanguage, NamesExactlyOneLanguageCaseAside) {
    ASSERT_NE(FindLanguage(L"PT-br"), nullptr);
    EXPECT_EQ(FindLanguage(L"PT-br")->LangId, 0x0416);
    EXPECT_EQ(FindLanguage(L"pt"), nullptr);
    EXPECT_EQ(FindLanguage(L"xx"), nullptr);
    EXPECT_EQ(EnglishLanguage().LangId, 0x0409);
}

TEST(PluralForm, FollowsEachLanguagesRule) {
    for (uint64_t n : {0, 1, 2, 5, 21, 1000000})
        EXPECT_EQ(PluralForm(TPluralRule::None, n), 0);
    EXPECT_EQ(PluralForm(TPluralRule::OneOther, 1), 0);
    EXPECT_EQ(PluralForm(TPluralRule::OneOther, 0), 1);
    EXPECT_EQ(PluralForm(TPluralRule::OneOther, 21), 1);
    EXPECT_EQ(PluralForm(TPluralRule::ZeroOneOther, 0), 0);
    EXPECT_EQ(PluralForm(TPluralRule::ZeroOneOther, 1), 0);
    EXPECT_EQ(PluralForm(TPluralRule::ZeroOneOther, 2), 1);

    // Russian and Ukrainian: 1 минута, 2 минуты, 5 минут, 11 минут, 21 минута, 22 минуты.
    const std::pair<uint64_t, int> Slavic[] = {{1, 0},  {2, 1},   {4, 1},   {5, 2},   {11, 2},
                                               {12, 2}, {14, 2},  {21, 0},  {22, 1},  {25, 2},
                                               {0, 2},  {101, 0}, {111, 2}, {112, 2}, {122, 1}};
    for (auto [n, form] : Slavic)
        EXPECT_EQ(PluralForm(TPluralRule::EastSlavic, n), form) << n;
    // Polish: 1 minuta, 2 minuty, 5 minut, 12 minut, 21 minut, 22 minuty.
    const std::pair<uint64_t, int> Polish[] = {{1, 0},   {2, 1},   {4, 1},  {5, 2},  {12, 2},
                                               {13, 2},  {21, 2},  {22, 1}, {24, 1}, {0, 2},
                                               {101, 2}, {102, 1}, {112, 2}};
    for (auto [n, form] : Polish)
        EXPECT_EQ(PluralForm(TPluralRule::Polish, n), form) << n;
}

TEST(ResolvePlurals, PicksEachNumbersFormAndLeavesTheRestAlone) {
    const std::wstring Ru = L"Осталось около %1 {1:часа|часов|часов} %2 {2:минуты|минут|минут}";
    EXPECT_EQ(ResolvePlurals(Ru, TPluralRule::EastSlavic, {L"2", L"21"}),
              L"Осталось около %1 часов %2 минуты");
    EXPECT_EQ(ResolvePlurals(Ru, TPluralRule::EastSlavic, {L"5", L"3"}),
              L"Осталось около %1 часов %2 минут");
    // Fewer forms than the rule knows: the last stands for the rest.
    EXPECT_EQ(ResolvePlurals(L"{1:file|files}", TPluralRule::EastSlavic, {L"7"}), L"files");
    // Digit groups in the user's format still count as one number.
    EXPECT_EQ(ResolvePlurals(L"{1:a|b|c}", TPluralRule::Polish, {L"1\u00A0002"}), L"b");
    const std::wstring Plain = L"About %1 minutes left {not a form} {1 no colon";
    EXPECT_EQ(ResolvePlurals(Plain, TPluralRule::OneOther, {L"3"}), Plain);
    EXPECT_EQ(ResolvePlurals(L"x {1:a|b", TPluralRule::OneOther, {L"1"}), L"x {1:a|b");
    EXPECT_EQ(ResolvePlurals(L"{3:a|b}", TPluralRule::OneOther, {L"1"}), L"b")
        << "a number not given counts as 0";
}

TEST(ResolvePlurals, TheSummaryCountsTheUnlistedFailuresInTheUsersForms) {
    std::vector<TFileNote> Failures;
    for (size_t i = 0; i < SummaryFailureLimit + 2; ++i)
        Failures.push_back({L"f" + std::to_wstring(i) + L".webm", {}});
    TSummaryTexts Texts = DefaultSummaryTexts;
    Texts.More = L"и ещё %1 {1:файл|файла|файлов}";
    Texts.Plural = TPluralRule::EastSlavic;
    std::wstring Text = ComposeBatchSummary(TBatchSummary::FinishedWithFailures, Failures, {},
                                            Texts, DefaultFailureTexts);
    EXPECT_NE(Text.find(L"\nи ещё 2 файла"), std::wstring::npos);
}
