// Each main window's list kept on disk, so that a window that ends without closing (a crash, a
// kill, a power cut, the session's end) leaves its files for the next start, and the partial files
// its batch was writing can be told apart from everything else and removed.
//
// A window saves under an id of its own in one folder (the user's local application data):
//   <id>.list      its rows, failure marks, output choice and state, as EncodeSavedList writes
//   <id>.partials  the partial files its batch has reserved and not yet published or deleted
//   <id>.lock      held open by the window for its whole life (TFileLock)
// Each save is written whole to "<name>.new", flushed, and then renamed over "<name>"; the copy
// it replaces is kept as "<name>.previous", read when the newest is torn or unreadable.
#pragma once

#include "FileSystem.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TSavedRow {
    std::wstring Name;     // with extension
    std::wstring Location; // with a trailing delimiter
    int64_t FileSize = 0;
    bool Failed = false; // marked as failed, with why
    std::wstring Reason, Details;
    bool operator==(const TSavedRow&) const = default;
};

struct TSavedPartial {
    std::wstring Path;
    TFileIdentity Identity;
    bool operator==(const TSavedPartial&) const = default;
};

// How the window that saved the list was left.
enum class TSavedState {
    Open,             // still open as far as it knew: it ended without closing if it is gone
    ClosedAfterBatch, // it closed itself when a batch was done ("When done"); its failures stay
};

struct TSavedList {
    TSavedState State = TSavedState::Open;
    bool BatchRunning = false; // a batch was converting its rows
    bool SameFolder = true;
    std::wstring OutputFolder; // as typed
    std::vector<TSavedRow> Rows;
    std::vector<TSavedPartial> Partials;
    bool operator==(const TSavedList&) const = default;
};

// The version EncodeSavedList writes; a file of another version is not read.
inline constexpr int SavedListVersion = 1;

// The list as UTF-8 text: a header line with the version, one line per fact with its fields
// separated by tabs (tab, line breaks and backslash written as \t \n \r \\), and an end line with
// the number of lines and a checksum of everything before it.
std::string EncodeSavedList(const TSavedList& List);
// False, List untouched, unless Bytes are a whole list of this version, every line intact.
bool DecodeSavedList(const std::string& Bytes, TSavedList& List);

// "<time>-<process>": the time in 100 ns units as 16 hex digits first, so a later window's id
// sorts after an earlier one's.
std::wstring MakeSaveId(uint64_t Time, uint32_t Process);

// A window whose save was left behind: its lock, taken by whoever found it.
struct TLeftSave {
    std::wstring Id;
    TFileLock Lock;
};

class TSavedListFolder {
public:
    // Folder with a trailing delimiter; created when the first save is written.
    explicit TSavedListFolder(std::wstring Folder) : Folder(std::move(Folder)) {}
    const std::wstring& Path() const { return Folder; }

    // Takes the lock of Id for its owner; false when another owner holds it.
    bool Lock(const std::wstring& Id, TFileLock& Lock) const;
    // Writes Id's list (or partials) atomically, keeping the copy it replaces.
    bool SaveList(const std::wstring& Id, const TSavedList& List, std::wstring& Reason) const;
    bool SavePartials(const std::wstring& Id, const std::vector<TSavedPartial>& Partials,
                      std::wstring& Reason) const;
    bool WriteList(const std::wstring& Id, const std::string& Bytes, std::wstring& Reason) const;
    // Id's saved state: its newest intact list (the previous copy when the newest is torn) and
    // the partial files recorded. False when no intact list is there; Partials are read all the
    // same.
    bool Load(const std::wstring& Id, TSavedList& List) const;
    // Deletes Id's saved files (not its lock).
    void Remove(const std::wstring& Id) const;
    // The ids with saved files whose lock nobody holds, newest first, each with its lock taken
    // so no other start takes it over meanwhile. Except is left out (the caller's own).
    std::vector<TLeftSave> LeftSaves(const std::wstring& Except) const;

private:
    bool WriteAtomically(const std::wstring& Name, const std::string& Bytes,
                         std::wstring& Reason) const;
    bool ReadNewestIntact(const std::wstring& Name, TSavedList& List) const;
    std::wstring Folder;
};

// Deletes each recorded partial file that is still there and still the same file; a file that
// has since taken its name is left alone. Returns how many were deleted.
int RemoveLeftPartials(const std::vector<TSavedPartial>& Partials);

// Writes on a thread of its own, so the window never waits on the disk: Submit hands over the
// newest state (replacing any not written yet), Flush waits until what was handed over is written.
// Write may throw: that state is not written, and the next one is tried all the same.
template <typename T> class TBackgroundWriter {
public:
    using TWrite = std::function<void(const T& State)>;
    explicit TBackgroundWriter(TWrite Write)
        : Write(std::move(Write)), Worker([this] { Loop(); }) {}
    ~TBackgroundWriter() { // writes what is pending first
        {
            std::lock_guard lock(Mutex);
            Stopping = true;
        }
        Changed.notify_all();
        Worker.join();
    }
    TBackgroundWriter(const TBackgroundWriter&) = delete;
    TBackgroundWriter& operator=(const TBackgroundWriter&) = delete;

    void Submit(T State) {
        {
            std::lock_guard lock(Mutex);
            Pending = std::move(State);
            HasPending = true;
        }
        Changed.notify_all();
    }
    void Flush() {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [this] { return !HasPending && !Writing; });
    }

private:
    void Loop() {
        std::unique_lock lock(Mutex);
        for (;;) {
            Changed.wait(lock, [this] { return HasPending || Stopping; });
            if (!HasPending)
                return;
            T state = std::move(Pending);
            HasPending = false;
            Writing = true;
            lock.unlock();
            try {
                Write(state);
            } catch (...) {
                // Not written; the next state is tried all the same.
            }
            lock.lock();
            Writing = false;
            Changed.notify_all();
        }
    }
    TWrite Write;
    std::mutex Mutex;
    std::condition_variable Changed;
    T Pending{};
    bool HasPending = false;
    bool Writing = false;
    bool Stopping = false;
    std::thread Worker; // last: starts once everything it uses is there
};
