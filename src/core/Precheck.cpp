#include "Precheck.h"

#include "FileSystem.h"
#include "TextTemplate.h"

#include <string_view>

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

bool IsBlank(wchar_t C) {
    return C == L' ' || C == L'\t';
}

wchar_t AsciiUpper(wchar_t C) {
    return C >= L'a' && C <= L'z' ? static_cast<wchar_t>(C - L'a' + L'A') : C;
}

// Where the names of Path start: after "X:", after the "\\?\" or "\\.\" of the extended and
// device forms, after a UNC path's server and share.
size_t NamesStart(const std::wstring& Path) {
    std::wstring_view Rest(Path);
    size_t Start = 0;
    if (Rest.substr(0, 8) == L"\\\\?\\UNC\\") {
        Start = 8;
    } else if (Rest.substr(0, 4) == L"\\\\?\\" || Rest.substr(0, 4) == L"\\\\.\\") {
        Start = 4;
    } else if (Rest.size() >= 2 && IsWindowsDelimiter(Rest[0]) && IsWindowsDelimiter(Rest[1])) {
        Start = 2;
    } else {
        return Rest.size() >= 2 && IsLetter(Rest[0]) && Rest[1] == L':' ? 2 : 0;
    }
    if (Start == 4) // "\\?\C:\..."
        return Path.size() >= 6 && IsLetter(Path[4]) && Path[5] == L':' ? 6 : Start;
    // Server and share are not names in the folder.
    for (int Part = 0; Part < 2 && Start < Path.size(); ++Part) {
        while (Start < Path.size() && !IsWindowsDelimiter(Path[Start]))
            ++Start;
        if (Start < Path.size())
            ++Start;
    }
    return Start;
}

bool IsDeviceName(std::wstring_view Name) {
    // The part before the first dot, without the blanks Windows drops from its end.
    Name = Name.substr(0, Name.find(L'.'));
    while (!Name.empty() && IsBlank(Name.back()))
        Name.remove_suffix(1);
    std::wstring Upper;
    for (wchar_t C : Name)
        Upper += AsciiUpper(C);
    for (const wchar_t* Device : {L"CON", L"PRN", L"AUX", L"NUL"})
        if (Upper == Device)
            return true;
    return Upper.size() == 4 && (Upper.starts_with(L"COM") || Upper.starts_with(L"LPT")) &&
           Upper[3] >= L'1' && Upper[3] <= L'9';
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

std::wstring CleanFolderText(const std::wstring& Text) {
    const size_t First = Text.find_first_not_of(L" \t");
    if (First == std::wstring::npos)
        return {};
    std::wstring Clean = Text.substr(First, Text.find_last_not_of(L" \t") - First + 1);
    if (Clean.size() >= 2 && Clean.front() == L'"' && Clean.back() == L'"')
        Clean = Clean.substr(1, Clean.size() - 2);
    while (!Clean.empty() && IsBlank(Clean.back()))
        Clean.pop_back();
    const size_t Cut = Clean.find_last_of(L"\\/");
    const std::wstring_view Last =
        std::wstring_view(Clean).substr(Cut == std::wstring::npos ? 0 : Cut + 1);
    if (Last == L"." || Last == L"..")
        return Clean;
    while (!Clean.empty() && (IsBlank(Clean.back()) || Clean.back() == L'.'))
        Clean.pop_back();
    return Clean;
}

bool HasForbiddenCharacter(const std::wstring& Path) {
    for (size_t i = NamesStart(Path); i < Path.size(); ++i) {
        const wchar_t C = Path[i];
        if (C < 0x20 || std::wstring_view(L"<>:\"|?*").find(C) != std::wstring_view::npos)
            return true;
    }
    return false;
}

std::wstring DeviceNamePart(const std::wstring& Path) {
    for (size_t Start = NamesStart(Path); Start <= Path.size();) {
        size_t End = Start;
        while (End < Path.size() && !IsWindowsDelimiter(Path[End]))
            ++End;
        if (IsDeviceName(std::wstring_view(Path).substr(Start, End - Start)))
            return Path.substr(Start, End - Start);
        Start = End + 1;
    }
    return {};
}

TPrecheck CheckBeforeBatch(const std::wstring& ConverterPath, bool SameFolder,
                           const std::wstring& Typed) {
    TPrecheck check;
    if (!PathExists(ConverterPath) || DirectoryExists(ConverterPath)) {
        check.Kind = TPrecheckKind::ConverterMissing;
        check.Path = ConverterPath;
        return check;
    }
    if (SameFolder)
        return check;
    const std::wstring FolderText = CleanFolderText(Typed);
    if (IsBlankOnly(FolderText)) {
        check.Kind = TPrecheckKind::FolderEmpty;
        return check;
    }
    check.Path = FolderText;
    if (!IsAbsolutePath(FolderText)) {
        check.Kind = TPrecheckKind::FolderRelative;
        return check;
    }
    if (HasForbiddenCharacter(FolderText)) {
        check.Kind = TPrecheckKind::FolderForbiddenCharacter;
        return check;
    }
    check.Reason = DeviceNamePart(FolderText);
    if (!check.Reason.empty()) {
        check.Kind = TPrecheckKind::FolderDeviceName;
        return check;
    }
    if (DirectoryExists(FolderText))
        return check;
    if (PathExists(FolderText))
        check.Kind = TPrecheckKind::FolderIsFile;
    else if (!CreateDirectories(FolderText, check.Reason))
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
    case TPrecheckKind::FolderIsFile:
        return FormatTemplate(Texts.FolderIsFile, {Check.Path});
    case TPrecheckKind::FolderForbiddenCharacter:
        return FormatTemplate(Texts.FolderForbiddenCharacter, {Check.Path});
    case TPrecheckKind::FolderDeviceName:
        return FormatTemplate(Texts.FolderDeviceName, {Check.Path, Check.Reason});
    }
    return {};
}
