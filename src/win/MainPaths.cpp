// Files and folders from outside the Add dialog: the command line and drops. A folder stands for
// the WebM files in it and in its subfolders.
#include "Main.h"

#include "AppError.h"
#include "FolderScan.h"

#include "win32/UiOwners.h"

void TMainForm::AddPaths(const std::vector<std::wstring>& Paths) {
    TAddFailures Failures;
    auto Add = [&](const std::wstring& File) {
        try {
            AddFile(File);
        } catch (...) {
            Failures.emplace_back(File, std::current_exception());
        }
    };
    {
        // A folder can bring thousands of rows; the list is drawn once at the end.
        TRedrawLock Lock(lstFilesToConvert);
        for (const std::wstring& Path : Paths) {
            if (!IsFolder(Path)) {
                Add(Path);
                continue;
            }
            TFolderScan Found = FindWebMFiles(Path);
            for (const std::wstring& File : Found.Files)
                Add(File);
            for (const auto& [Folder, Code] : Found.Unreadable)
                Failures.emplace_back(Folder, std::make_exception_ptr(EInOutError(Code)));
        }
    }
    ThrowAddFailures(Failures);
}
