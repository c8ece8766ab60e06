#include "Shell.h"

#include "AppError.h"
#include "Application.h"
#include "FileSystem.h"
#include "LongPath.h"

#include "resource.h"

#include <cderr.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include "win32/UiOwners.h"

namespace {

DWORD ShellExecuteVerb(const wchar_t* Verb, const std::wstring& File) {
    if (Application.Hooks.ShellExecuteVerb)
        return Application.Hooks.ShellExecuteVerb(Verb, File);
    SHELLEXECUTEINFOW Info{};
    Info.cbSize = sizeof Info;
    // No box from the shell: the caller says what went wrong, naming the file.
    Info.fMask = SEE_MASK_FLAG_NO_UI;
    Info.lpVerb = Verb;
    Info.lpFile = File.c_str();
    Info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&Info))
        return 0;
    DWORD Error = GetLastError();
    if (Error == ERROR_CANCELLED) // the user turned down something the shell asked
        return 0;
    if (Error != 0)
        return Error;
    // Some handlers report only through hInstApp, the SE_ERR_ code ShellExecute returns.
    switch (static_cast<int>(reinterpret_cast<INT_PTR>(Info.hInstApp))) {
    case SE_ERR_NOASSOC:
    case SE_ERR_ASSOCINCOMPLETE:
        return ERROR_NO_ASSOCIATION;
    case SE_ERR_FNF:
        return ERROR_FILE_NOT_FOUND;
    case SE_ERR_PNF:
        return ERROR_PATH_NOT_FOUND;
    case SE_ERR_ACCESSDENIED:
        return ERROR_ACCESS_DENIED;
    case SE_ERR_SHARE:
        return ERROR_SHARING_VIOLATION;
    default:
        return ERROR_GEN_FAILURE;
    }
}

struct TBrowseContext {
    HWND Owner;
    const std::wstring* StartFolder;
};

int CALLBACK BrowseCallback(HWND Dialog, UINT Msg, LPARAM, LPARAM Data) {
    if (Msg != BFFM_INITIALIZED)
        return 0;
    auto* Context = reinterpret_cast<TBrowseContext*>(Data);
    HMONITOR Monitor =
        MonitorFromWindow(Context->Owner ? Context->Owner : Dialog, MONITOR_DEFAULTTONEAREST);
    MONITORINFO Info{};
    Info.cbSize = sizeof Info;
    RECT Bounds;
    if (GetMonitorInfoW(Monitor, &Info) && GetWindowRect(Dialog, &Bounds)) {
        int Width = Bounds.right - Bounds.left;
        int Height = Bounds.bottom - Bounds.top;
        const RECT& Area = Info.rcWork;
        SetWindowPos(Dialog, nullptr, Area.left + (Area.right - Area.left - Width) / 2,
                     Area.top + (Area.bottom - Area.top - Height) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (!Context->StartFolder->empty())
        SendMessageW(Dialog, BFFM_SETSELECTIONW, TRUE,
                     reinterpret_cast<LPARAM>(Context->StartFolder->c_str()));
    return 0;
}

} // namespace

DWORD ShellOpen(const std::wstring& FileName) {
    return ShellExecuteVerb(L"open", FileName);
}

DWORD ShellExplore(const std::wstring& Folder) {
    return ShellExecuteVerb(L"explore", Folder);
}

std::wstring GetSpecialFolder(int Csidl) {
    wchar_t Buffer[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, Csidl, nullptr, SHGFP_TYPE_CURRENT, Buffer) != S_OK)
        return {};
    return IncludeTrailingPathDelimiter(Buffer);
}

std::vector<std::wstring> SplitOpenDialogResult(const wchar_t* Buffer) {
    std::vector<std::wstring> Parts;
    for (const wchar_t* p = Buffer; *p; p += wcslen(p) + 1)
        Parts.emplace_back(p);
    if (Parts.size() <= 1)
        return Parts;
    std::wstring Folder = IncludeTrailingPathDelimiter(Parts.front());
    std::vector<std::wstring> Files;
    for (size_t i = 1; i < Parts.size(); ++i)
        Files.push_back(Folder + Parts[i]);
    return Files;
}

bool TOpenDialog::Execute(HWND Owner) {
    if (Application.Hooks.RunOpenDialog)
        return Application.Hooks.RunOpenDialog(Owner, *this);

    // "a|b|c|d" becomes "a\0b\0c\0d\0\0".
    std::wstring Filters = Filter;
    for (wchar_t& c : Filters)
        if (c == L'|')
            c = L'\0';
    Filters.append(2, L'\0');

    // Room for thousands of names chosen at once.
    std::vector<wchar_t> Buffer(1 << 20, L'\0');
    FileName.copy(Buffer.data(), std::min(FileName.size(), Buffer.size() - 2));

    OPENFILENAMEW Ofn{};
    Ofn.lStructSize = sizeof Ofn;
    Ofn.hwndOwner = Owner;
    Ofn.lpstrFilter = Filter.empty() ? nullptr : Filters.c_str();
    Ofn.nFilterIndex = 1;
    Ofn.lpstrFile = Buffer.data();
    Ofn.nMaxFile = static_cast<DWORD>(Buffer.size());
    Ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
    Ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                OFN_HIDEREADONLY | OFN_ENABLESIZING;
    if (!GetOpenFileNameW(&Ofn)) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            throw EAppError(Application.LoadStr(IDS_TOOMANYFILES));
        return false;
    }
    Files = SplitOpenDialogResult(Buffer.data());
    if (Files.empty())
        return false;
    FileName = Files.front();
    return true;
}

bool BrowseForFolder(HWND Owner, const std::wstring& Instruction, std::wstring& Folder) {
    if (Application.Hooks.RunFolderChooser)
        return Application.Hooks.RunFolderChooser(Owner, Instruction, Folder);

    std::wstring Start = !Folder.empty() && DirectoryExists(Folder) ? Folder : std::wstring();
    TBrowseContext Context{Owner, &Start};

    BROWSEINFOW Info{};
    Info.hwndOwner = Owner; // the chooser is modal to it, which keeps it disabled meanwhile
    Info.lpszTitle = Instruction.c_str();
    Info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    Info.lpfn = BrowseCallback;
    Info.lParam = reinterpret_cast<LPARAM>(&Context);

    UniqueCoTaskMem<PIDLIST_ABSOLUTE> Item;
    {
        TErrorModeScope Quiet(SEM_FAILCRITICALERRORS);
        Item.reset(SHBrowseForFolderW(&Info));
    }
    if (!Item)
        return false;
    std::wstring Path = FolderPathOf(Item.get());
    if (Path.empty())
        return false;
    Folder = Path;
    return true;
}

std::wstring FolderPathOf(PCIDLIST_ABSOLUTE Item) {
    // Folders of MAX_PATH characters or more come back whole; SHGetPathFromIDListW, which
    // stops at that limit, stays as the fallback.
    std::wstring Path(32768, L'\0');
    if (SHGetPathFromIDListEx(Item, Path.data(), static_cast<DWORD>(Path.size()), GPFIDL_DEFAULT)) {
        Path.resize(wcslen(Path.c_str()));
        return OrdinaryPath(Path);
    }
    wchar_t Short[MAX_PATH] = {};
    return SHGetPathFromIDListW(Item, Short) ? std::wstring(Short) : std::wstring();
}
