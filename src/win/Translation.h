// The user's language on Windows: which one the program speaks (from the preferred UI languages,
// or a language a test forces), and its strings, dialog templates and menus, taken from the one
// executable that holds every language. A resource the language lacks is taken in English.
#pragma once

#include "Language.h"

#include <windows.h>

#include <string>
#include <vector>

// The user's preferred UI languages, in order, as Windows names them ("de-DE"). Replaceable so
// that tests can be any user.
std::vector<std::wstring> UserPreferredLanguages();

// The language for this run: the one KESTROVA_LANGUAGE names exactly, when set (tests and
// reviewers start the program in a language with it), otherwise ChooseLanguage on
// UserPreferredLanguages().
const TLanguage& PickUiLanguage();

// The resource of Type and Id in Language's resources, or in English's when it has none.
const void* FindLocalizedResource(HMODULE Module, LPCWSTR Type, UINT Id, LANGID Language);

// Value with one decimal, written with the user's decimal separator ("2,3" in Germany).
std::wstring FormatOneDecimal(double Value);
// Where the user's regional format puts the percent sign ("62 %" in Germany, "%62" in Turkey).
TPercentPattern UserPercentPattern();

// String Id in Language, or in English when the language has none (or an empty one).
std::wstring LoadLocalizedString(HMODULE Module, UINT Id, LANGID Language);
