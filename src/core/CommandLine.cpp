#include "CommandLine.h"

std::vector<std::wstring> SplitCommandLine(const std::wstring& CommandLine) {
    std::vector<std::wstring> tokens;
    std::wstring token;
    bool inToken = false;
    bool quoted = false;
    for (wchar_t c : CommandLine) {
        if (c == L'"') {
            quoted = !quoted;
            inToken = true;
        } else if (!quoted && (c == L' ' || c == L'\t')) {
            if (inToken)
                tokens.push_back(std::move(token));
            token.clear();
            inToken = false;
        } else {
            token += c;
            inToken = true;
        }
    }
    if (inToken)
        tokens.push_back(std::move(token));
    return tokens;
}
