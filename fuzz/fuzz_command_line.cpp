// The command-line splitter: tokens never keep a quote, quoting tokens that hold no quote and
// joining them with blanks splits back into the same tokens, and blanks outside quotes separate.
#include "CommandLine.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::vector<std::wstring> parts = Texts(Data, Size);
    for (const std::wstring& token : SplitCommandLine(parts[0])) {
        FUZZ_CHECK(token.find(L'"') == std::wstring::npos);
        FUZZ_CHECK(!token.empty() || parts[0].find(L'"') != std::wstring::npos);
    }

    std::vector<std::wstring> tokens;
    std::wstring line;
    for (size_t i = 1; i < parts.size(); ++i) {
        std::wstring token;
        for (wchar_t c : parts[i])
            if (c != L'"')
                token += c;
        tokens.push_back(token);
        line += (i % 2 ? L" \"" : L"\t\"") + token + L"\"";
    }
    FUZZ_CHECK(SplitCommandLine(line) == tokens);
    return 0;
}
