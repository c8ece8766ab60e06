#include "LongPath.h"

#include <vector>

namespace {

constexpr std::wstring_view ExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view ExtendedUncPrefix = L"\\\\?\\UNC\\";

bool IsDelimiter(wchar_t C) {
    return C == L'\\' || C == L'/';
}

bool IsDriveLetter(wchar_t C) {
    return (C >= L'A' && C <= L'Z') || (C >= L'a' && C <= L'z');
}

bool StartsWith(const std::wstring& Text, std::wstring_view Prefix) {
    return Text.size() >= Prefix.size() &&
           std::wstring_view(Text).substr(0, Prefix.size()) == Prefix;
}

// The components of Rest with "." dropped and ".." taking the one before it away, never one of
// the first Fixed ones (the root: a UNC path's server and share), joined by "\"; a trailing
// delimiter is kept.
std::wstring NormalisedComponents(std::wstring_view Rest, size_t Fixed) {
    std::vector<std::wstring_view> Parts;
    size_t Start = 0;
    while (Start <= Rest.size()) {
        size_t End = Start;
        while (End < Rest.size() && !IsDelimiter(Rest[End]))
            ++End;
        std::wstring_view Part = Rest.substr(Start, End - Start);
        if (Part == L"..") {
            if (Parts.size() > Fixed)
                Parts.pop_back();
        } else if (!Part.empty() && Part != L".") {
            Parts.push_back(Part);
        }
        Start = End + 1;
    }
    std::wstring Result;
    for (size_t i = 0; i < Parts.size(); ++i) {
        if (i > 0)
            Result += L'\\';
        Result += Parts[i];
    }
    if (!Rest.empty() && IsDelimiter(Rest.back()) && !Result.empty())
        Result += L'\\';
    return Result;
}

} // namespace

std::wstring ExtendedLengthPath(const std::wstring& Path) {
    if (Path.size() < ExtendedLengthThreshold)
        return Path;
    // "C:\..." (or "C:/...")
    if (Path.size() >= 3 && IsDriveLetter(Path[0]) && Path[1] == L':' && IsDelimiter(Path[2]))
        return std::wstring(ExtendedPrefix) + Path.substr(0, 2) + L'\\' +
               NormalisedComponents(std::wstring_view(Path).substr(3), 0);
    // "\\server\share\..." but not "\\?\..." or "\\.\..." (device and extended forms).
    if (Path.size() >= 3 && IsDelimiter(Path[0]) && IsDelimiter(Path[1]) && Path[2] != L'?' &&
        Path[2] != L'.' && !IsDelimiter(Path[2]))
        return std::wstring(ExtendedUncPrefix) +
               NormalisedComponents(std::wstring_view(Path).substr(2), 2);
    return Path;
}

std::wstring OrdinaryPath(const std::wstring& Path) {
    if (StartsWith(Path, ExtendedUncPrefix))
        return L"\\\\" + Path.substr(ExtendedUncPrefix.size());
    if (StartsWith(Path, ExtendedPrefix) && Path.size() >= ExtendedPrefix.size() + 2 &&
        IsDriveLetter(Path[ExtendedPrefix.size()]) && Path[ExtendedPrefix.size() + 1] == L':')
        return Path.substr(ExtendedPrefix.size());
    return Path;
}
