#include "Translation.h"

#include <cstdlib>
#include <cwchar>
#include <memory>

namespace {

constexpr LANGID English = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

const void* FindExactly(HMODULE Module, LPCWSTR Type, UINT Id, LANGID Language) {
    HRSRC Info = FindResourceExW(Module, Type, MAKEINTRESOURCEW(Id), Language);
    if (!Info)
        return nullptr;
    HGLOBAL Loaded = LoadResource(Module, Info);
    return Loaded ? LockResource(Loaded) : nullptr;
}

// A string block holds 16 strings, each a length in characters followed by its characters.
std::wstring StringInBlock(const void* Block, UINT Id) {
    if (!Block)
        return {};
    const auto* Entry = static_cast<const WCHAR*>(Block);
    for (UINT i = 0; i < Id % 16; ++i)
        Entry += 1 + *Entry;
    return std::wstring(Entry + 1, *Entry);
}

} // namespace

std::vector<std::wstring> UserPreferredLanguages() {
    ULONG Count = 0, Size = 0;
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &Count, nullptr, &Size) || Size == 0)
        return {};
    std::wstring Buffer(Size, L'\0');
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &Count, Buffer.data(), &Size))
        return {};
    // Names separated by NULs, the list ended by an empty one.
    std::vector<std::wstring> Names;
    for (const wchar_t* Name = Buffer.c_str(); *Name; Name += wcslen(Name) + 1)
        Names.emplace_back(Name);
    return Names;
}

const TLanguage& PickUiLanguage() {
    if (const wchar_t* Forced = _wgetenv(L"KESTROVA_LANGUAGE"))
        if (const TLanguage* Language = FindLanguage(Forced))
            return *Language;
    return ChooseLanguage(UserPreferredLanguages());
}

const void* FindLocalizedResource(HMODULE Module, LPCWSTR Type, UINT Id, LANGID Language) {
    if (const void* Found = FindExactly(Module, Type, Id, Language))
        return Found;
    return FindExactly(Module, Type, Id, English);
}

std::wstring FormatOneDecimal(double Value) {
    wchar_t Text[32];
    swprintf(Text, 32, L"%.1f", Value);
    wchar_t Separator[8] = L".";
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, Separator, 8);
    std::wstring Result = Text;
    if (size_t Point = Result.find(L'.'); Point != std::wstring::npos)
        Result.replace(Point, 1, Separator);
    return Result;
}

TPercentPattern UserPercentPattern() {
    DWORD Pattern = 1;
    if (!GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_IPOSITIVEPERCENT | LOCALE_RETURN_NUMBER,
                         reinterpret_cast<LPWSTR>(&Pattern), sizeof Pattern / sizeof(wchar_t)))
        return TPercentPattern::NumberPercent;
    switch (Pattern) {
    case 0:
        return TPercentPattern::NumberSpacePercent;
    case 2:
        return TPercentPattern::PercentNumber;
    case 3:
        return TPercentPattern::PercentSpaceNumber;
    default:
        return TPercentPattern::NumberPercent;
    }
}

std::wstring LoadLocalizedString(HMODULE Module, UINT Id, LANGID Language) {
    std::wstring Text = StringInBlock(FindExactly(Module, RT_STRING, Id / 16 + 1, Language), Id);
    if (Text.empty() && Language != English)
        Text = StringInBlock(FindExactly(Module, RT_STRING, Id / 16 + 1, English), Id);
    return Text;
}
