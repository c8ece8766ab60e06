#include "Precheck.h"

#include "FileSystem.h"
#include "TextTemplate.h"

namespace {

bool IsWindowsDelimiter(wchar_t C) {
    return C == L'\\' || C == L'/';
}

bool IsLetter(wchar_t C) {
    return (C >= L'A' && C <= L'Z') || (C >= L'a' && C <= L'z');
}

bool IsBlankOnly(const std::wstring& Text) {
    return Text.find_first_not_of(L" \t") == std::wstring::npos;
}

} // namespace

bool IsAbsoluteWindowsPath(const std::wstring& Path) {
    if (Path.size() >= 3 && IsLetter(Path[0]) && Path[1] == L':' && IsWindowsDelimiter(Path[2]))
        return true;
    // "\\server\share": a server name, a delimiter, a share name.
    if (Path.size() < 2 || !IsWindowsDelimiter(Path[0]) || !IsWindowsDelimiter(Path[1]))
        return false;
    size_t server = 2;
    size_t serverEnd = server;
    while (serverEnd < Path.size() && !IsWindowsDelimiter(Path[serverEnd]))
        ++serverEnd;
    if (serverEnd == server || serverEnd + 1 >= Path.size())
        return false;
    return !IsWindowsDelimiter(Path[serverEnd + 1]);
}

bool IsAbsolutePosixPath(const std::wstring& Path) {
    return !Path.empty() && Path[0] == L'/';
}

bool IsAbsolutePath(const std::wstring& Path) {
#ifdef _WIN32
    return IsAbsoluteWindowsPath(Path);
#else
    return IsAbsolutePosixPath(Path);
#endif
}

TPrecheck CheckBeforeBatch(const std::wstring& ConverterPath, bool SameFolder,
                           const std::wstring& FolderText) {
    TPrecheck check;
    if (!PathExists(ConverterPath) || DirectoryExists(ConverterPath)) {
        check.Kind = TPrecheckKind::ConverterMissing;
        check.Path = ConverterPath;
        return check;
    }
    if (SameFolder)
        return check;
    if (IsBlankOnly(FolderText)) {
        check.Kind = TPrecheckKind::FolderEmpty;
        return check;
    }
    check.Path = FolderText;
    if (!IsAbsolutePath(FolderText)) {
        check.Kind = TPrecheckKind::FolderRelative;
        return check;
    }
    if (!DirectoryExists(FolderText) && !CreateDirectories(FolderText, check.Reason))
        check.Kind = TPrecheckKind::FolderNotCreated;
    return check;
}

std::wstring DescribePrecheck(const TPrecheck& Check, const TPrecheckTexts& Texts) {
    switch (Check.Kind) {
    case TPrecheckKind::Ok:
        break;
    case TPrecheckKind::ConverterMissing: {
        const size_t cut = Check.Path.find_last_of(PathDelim);
        const std::wstring name =
            cut == std::wstring::npos ? Check.Path : Check.Path.substr(cut + 1);
        const std::wstring folder = cut == std::wstring::npos ? L"" : Check.Path.substr(0, cut + 1);
        return FormatTemplate(Texts.ConverterMissing, {name, folder});
    }
    case TPrecheckKind::FolderEmpty:
        return Texts.FolderEmpty;
    case TPrecheckKind::FolderRelative:
        return FormatTemplate(Texts.FolderRelative, {Check.Path});
    case TPrecheckKind::FolderNotCreated:
        return FormatTemplate(Texts.FolderNotCreated, {Check.Path, Check.Reason});
    }
    return {};
}
