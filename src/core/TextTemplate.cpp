#include "TextTemplate.h"

#include <cwchar>
#include <string_view>
#include <vector>

std::wstring FormatTemplate(const std::wstring& Template,
                            std::initializer_list<std::wstring> Arguments) {
    const std::vector<std::wstring> arguments(Arguments);
    std::wstring out;
    out.reserve(Template.size());
    for (size_t i = 0; i < Template.size(); ++i) {
        const wchar_t c = Template[i];
        if (c == L'%' && i + 1 < Template.size()) {
            const wchar_t next = Template[i + 1];
            if (next == L'%') {
                out += L'%';
                ++i;
                continue;
            }
            if (next >= L'1' && next <= L'9') {
                const size_t index = static_cast<size_t>(next - L'1');
                if (index < arguments.size()) {
                    out += arguments[index];
                    ++i;
                    continue;
                }
            }
        }
        out += c;
    }
    return out;
}

std::wstring WithoutFinalStop(std::wstring Text) {
    constexpr std::wstring_view Ending = L"\r\n .\u3002\uFF0E\u3000";
    while (!Text.empty() && Ending.find(Text.back()) != std::wstring_view::npos)
        Text.pop_back();
    return Text;
}

std::wstring FormatPlayingTime(int64_t Ms) {
    const int64_t seconds = Ms > 0 ? Ms / 1000 : 0;
    wchar_t text[48];
    if (seconds >= 3600) {
        std::swprintf(text, 48, L"%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60),
                      static_cast<long long>(seconds % 60));
    } else {
        std::swprintf(text, 48, L"%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    }
    return text;
}

std::wstring FormatExitCode(uint32_t Code) {
    if (Code < 0x10000)
        return std::to_wstring(Code);
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08X", static_cast<unsigned>(Code));
    return text;
}
