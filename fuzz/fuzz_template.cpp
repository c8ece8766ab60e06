// Message templates: placeholders take their arguments and nothing else; "%%" is one "%"; a text
// with every "%" doubled comes back as it was; playing times and exit codes in their forms.
#include "FuzzSupport.h"
#include "TextTemplate.h"

#include <cwchar>

namespace {

std::wstring Escaped(const std::wstring& Text) {
    std::wstring out;
    for (wchar_t c : Text) {
        out += c;
        if (c == L'%')
            out += L'%';
    }
    return out;
}

bool IsPlayingTime(const std::wstring& Text) {
    // "m:ss" or "h:mm:ss"
    const size_t first = Text.find(L':');
    if (first == 0 || first == std::wstring::npos)
        return false;
    for (size_t i = 0; i < Text.size(); ++i) {
        if (i != first && !(Text[i] >= L'0' && Text[i] <= L'9') &&
            !(Text[i] == L':' && i == Text.size() - 3))
            return false;
    }
    return Text.size() >= first + 3 && Text[Text.size() - 3] == L':' && Text[first + 1] <= L'5';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    std::vector<std::wstring> parts = Texts(Data, Size);
    parts.resize(4);
    const std::wstring& pattern = parts[0];
    const std::wstring out = FormatTemplate(pattern, {parts[1], parts[2], parts[3]});
    if (pattern.find(L'%') == std::wstring::npos)
        FUZZ_CHECK(out == pattern);
    FUZZ_CHECK(out.size() <=
               pattern.size() * (1 + parts[1].size() + parts[2].size() + parts[3].size()));
    FUZZ_CHECK(FormatTemplate(Escaped(pattern), {parts[1], parts[2]}) == pattern);
    FUZZ_CHECK(FormatTemplate(L"%1", {parts[1]}) == parts[1]);
    FUZZ_CHECK(FormatTemplate(L"<%2|%1>", {parts[1], parts[2]}) ==
               L"<" + parts[2] + L"|" + parts[1] + L">");

    int64_t ms = 0;
    uint32_t code = 0;
    for (size_t i = 0; i < Size && i < 8; ++i)
        ms = static_cast<int64_t>(static_cast<uint64_t>(ms) << 8 | Data[i]);
    for (size_t i = 0; i < Size && i < 4; ++i)
        code = code << 8 | Data[i];
    const std::wstring time = FormatPlayingTime(ms);
    FUZZ_CHECK(IsPlayingTime(time));
    if (ms < 1000)
        FUZZ_CHECK(time == L"0:00");
    const std::wstring exit = FormatExitCode(code);
    const uint32_t back =
        static_cast<uint32_t>(code < 0x10000 ? std::wcstoul(exit.c_str(), nullptr, 10)
                                             : std::wcstoul(exit.c_str() + 2, nullptr, 16));
    FUZZ_CHECK(back == code);
    FUZZ_CHECK((code < 0x10000) != exit.starts_with(L"0x"));
    return 0;
}
