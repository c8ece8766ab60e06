#include "Leftovers.h"

#include "FileSystem.h"

#include <algorithm>

TLeftoverFiles::TLeftoverFiles(TRemove Remove) : RemoveOnce(Remove) {}

void TLeftoverFiles::Remove(const std::wstring& Path) {
    if (!RemoveOnce(Path) && std::find(Paths.begin(), Paths.end(), Path) == Paths.end())
        Paths.push_back(Path);
}

size_t TLeftoverFiles::Retry() {
    LastRetry = std::chrono::steady_clock::now();
    std::erase_if(Paths, [this](const std::wstring& Path) { return RemoveOnce(Path); });
    return Paths.size();
}

size_t TLeftoverFiles::RetryNowAndThen() {
    if (Paths.empty() ||
        std::chrono::steady_clock::now() - LastRetry < std::chrono::milliseconds(RetryIntervalMs))
        return Paths.size();
    return Retry();
}

TLeftoverFiles& LeftoverFiles() {
    static TLeftoverFiles Files(TryRemoveFile);
    return Files;
}
