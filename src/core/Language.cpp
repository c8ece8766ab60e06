#include "Language.h"

#include <algorithm>
#include <cwctype>

namespace {

std::wstring Lower(std::wstring Text) {
    for (wchar_t& c : Text)
        c = static_cast<wchar_t>(std::towlower(c));
    return Text;
}

// A language name's parts, lower case: "zh-Hans-SG" -> zh, hans, sg. Unix's "de_DE" splits too.
std::vector<std::wstring> Subtags(const std::wstring& Name) {
    std::vector<std::wstring> Parts(1);
    for (wchar_t c : Lower(Name)) {
        if (c == L'-' || c == L'_')
            Parts.emplace_back();
        else if (c == L'.' || c == L'@') // "de_DE.UTF-8": the encoding is no part of the name
            break;
        else
            Parts.back() += c;
    }
    return Parts;
}

bool Holds(const std::vector<std::wstring>& Parts, std::initializer_list<const wchar_t*> Any) {
    return std::any_of(Parts.begin() + 1, Parts.end(), [&](const std::wstring& Part) {
        return std::any_of(Any.begin(), Any.end(), [&](const wchar_t* One) { return Part == One; });
    });
}

// The language we hold for one preferred name, or nullptr.
const TLanguage* Match(const std::wstring& Name) {
    std::vector<std::wstring> Parts = Subtags(Name);
    if (Parts[0] == L"zh") {
        // Traditional script, or a region that writes it without saying so.
        if (Holds(Parts, {L"hant"}) ||
            (!Holds(Parts, {L"hans"}) && Holds(Parts, {L"tw", L"hk", L"mo"})))
            return nullptr;
        return FindLanguage(L"zh-CN");
    }
    for (const TLanguage& Language : SupportedLanguages())
        if (Subtags(Language.Tag)[0] == Parts[0])
            return &Language;
    return nullptr;
}

uint64_t LeadingNumber(const std::wstring& Text) {
    uint64_t N = 0;
    bool Seen = false;
    for (wchar_t c : Text) {
        if (c >= L'0' && c <= L'9') {
            N = N * 10 + static_cast<uint64_t>(c - L'0');
            Seen = true;
        } else if (Seen && !std::iswspace(c) && c != L',' && c != L'.' && c != 0xA0 &&
                   c != 0x202F) {
            break; // digit groups may be split by the user's separator; anything else ends it
        }
    }
    return N;
}

} // namespace

const std::vector<TLanguage>& SupportedLanguages() {
    static const std::vector<TLanguage> Languages{
        {L"en", 0x0409, TPluralRule::OneOther},     {L"de", 0x0407, TPluralRule::OneOther},
        {L"fr", 0x040C, TPluralRule::ZeroOneOther}, {L"es", 0x0C0A, TPluralRule::OneOther},
        {L"it", 0x0410, TPluralRule::OneOther},     {L"pt-BR", 0x0416, TPluralRule::ZeroOneOther},
        {L"ru", 0x0419, TPluralRule::EastSlavic},   {L"uk", 0x0422, TPluralRule::EastSlavic},
        {L"pl", 0x0415, TPluralRule::Polish},       {L"tr", 0x041F, TPluralRule::OneOther},
        {L"ja", 0x0411, TPluralRule::None},         {L"zh-CN", 0x0804, TPluralRule::None},
        {L"ko", 0x0412, TPluralRule::None},
    };
    return Languages;
}

const TLanguage& EnglishLanguage() {
    return SupportedLanguages().front();
}

const TLanguage* FindLanguage(const std::wstring& Tag) {
    for (const TLanguage& Language : SupportedLanguages())
        if (Lower(Language.Tag) == Lower(Tag))
            return &Language;
    return nullptr;
}

const TLanguage& ChooseLanguage(const std::vector<std::wstring>& Preferred) {
    for (const std::wstring& Name : Preferred)
        if (const TLanguage* Language = Match(Name))
            return *Language;
    return EnglishLanguage();
}

int PluralForm(TPluralRule Rule, uint64_t N) {
    const uint64_t Ten = N % 10, Hundred = N % 100;
    const bool Few = Ten >= 2 && Ten <= 4 && !(Hundred >= 12 && Hundred <= 14);
    switch (Rule) {
    case TPluralRule::None:
        return 0;
    case TPluralRule::OneOther:
        return N == 1 ? 0 : 1;
    case TPluralRule::ZeroOneOther:
        return N <= 1 ? 0 : 1;
    case TPluralRule::EastSlavic:
        return Ten == 1 && Hundred != 11 ? 0 : Few ? 1 : 2;
    case TPluralRule::Polish:
        return N == 1 ? 0 : Few ? 1 : 2;
    }
    return 0;
}

std::wstring ResolvePlurals(const std::wstring& Template, TPluralRule Rule,
                            const std::vector<std::wstring>& Arguments) {
    std::wstring Out;
    Out.reserve(Template.size());
    for (size_t i = 0; i < Template.size(); ++i) {
        size_t Close = Template.find(L'}', i);
        if (Template[i] != L'{' || i + 2 >= Template.size() || Template[i + 1] < L'1' ||
            Template[i + 1] > L'9' || Template[i + 2] != L':' || Close == std::wstring::npos) {
            Out += Template[i];
            continue;
        }
        size_t Index = static_cast<size_t>(Template[i + 1] - L'1');
        uint64_t N = Index < Arguments.size() ? LeadingNumber(Arguments[Index]) : 0;
        std::vector<std::wstring> Forms(1);
        for (size_t k = i + 3; k < Close; ++k) {
            if (Template[k] == L'|')
                Forms.emplace_back();
            else
                Forms.back() += Template[k];
        }
        size_t Form = static_cast<size_t>(PluralForm(Rule, N));
        Out += Forms[std::min(Form, Forms.size() - 1)];
        i = Close;
    }
    return Out;
}
