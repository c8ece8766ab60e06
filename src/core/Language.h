// The languages Kestrova speaks, which one a user gets, and how each counts: the core decides,
// the Windows layer asks the system for the user's list and loads the resources of the choice.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How a language picks the form of a word that follows a number.
enum class TPluralRule {
    None,         // one form for every number (Japanese, Chinese, Korean)
    OneOther,     // 1, otherwise (English, German, Spanish, Italian, Turkish)
    ZeroOneOther, // 0 and 1 take the singular (French, Portuguese of Brazil)
    EastSlavic,   // 1, 21, 31...; 2-4, 22-24...; everything else (Russian, Ukrainian)
    Polish,       // 1 alone; 2-4, 22-24... but not 12-14; everything else
};

struct TLanguage {
    const wchar_t* Tag; // as Windows names it, "pt-BR"
    uint16_t LangId;    // the LANGID of its resources (primary | sublanguage << 10)
    TPluralRule Plural;
};

// Every language the program holds; English first, the one every other falls back to.
const std::vector<TLanguage>& SupportedLanguages();
const TLanguage& EnglishLanguage();

// The language for a user who prefers Preferred, in order (Windows' language names, "de-AT",
// "zh-Hans-SG"): the first one we hold, by its language and, for Chinese, its script; a region we
// lack takes the language's own entry. Traditional Chinese is no Simplified Chinese and is passed
// over. None held: English.
const TLanguage& ChooseLanguage(const std::vector<std::wstring>& Preferred);

// The language named exactly by Tag ("ru", "pt-BR", case aside), or nullptr.
const TLanguage* FindLanguage(const std::wstring& Tag);

// Which of the language's forms goes with N: 0 for the first, and so on.
int PluralForm(TPluralRule Rule, uint64_t N);

// Resolves "{1:form|form|form}" by the number argument 1 holds (0 if it holds none), picking the
// form PluralForm names (the last one when fewer are given). Text outside braces is left alone,
// so a template without them comes back as it was.
std::wstring ResolvePlurals(const std::wstring& Template, TPluralRule Rule,
                            const std::vector<std::wstring>& Arguments);

// Where the percent sign goes in the user's regional format (the four ways Windows knows).
enum class TPercentPattern {
    NumberSpacePercent, // "62 %" (German, French, Russian, ...)
    NumberPercent,      // "62%"
    PercentNumber,      // "%62" (Turkish)
    PercentSpaceNumber, // "% 62"
};
