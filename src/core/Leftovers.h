// Kestrova's own partial files that could not be deleted when their conversion ended: a converter
// that did not die when it was ended (stuck on a dead network share) still holds its file, and
// the system refuses to delete it until the converter lets go. They are tried again later.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

class TLeftoverFiles {
public:
    // One attempt to delete a file, true when it is gone (TryRemoveFile).
    using TRemove = bool (*)(const std::wstring& Path);
    explicit TLeftoverFiles(TRemove Remove);

    // Deletes Path, a file of Kestrova's own, at once, or keeps it to be tried again. Never waits.
    void Remove(const std::wstring& Path);
    // Tries every kept file once more; those gone leave the list. How many are left.
    size_t Retry();
    // Retry, but not more often than every RetryIntervalMs: cheap enough for every progress
    // report.
    size_t RetryNowAndThen();
    size_t Count() const { return Paths.size(); }

    static constexpr int RetryIntervalMs = 250;

private:
    TRemove RemoveOnce;
    std::vector<std::wstring> Paths;
    std::chrono::steady_clock::time_point LastRetry{};
};

// The program's list: a partial file outlives the batch that made it.
TLeftoverFiles& LeftoverFiles();
