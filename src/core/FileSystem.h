// Paths as this platform writes them, and what the core asks of the file system.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#ifdef _WIN32
inline constexpr wchar_t PathDelim = L'\\';
#else
inline constexpr wchar_t PathDelim = L'/';
#endif

// Path with exactly one delimiter added when it does not already end in one; an empty path
// becomes the delimiter alone.
inline std::wstring IncludeTrailingPathDelimiter(const std::wstring& Path) {
    if (!Path.empty() && Path.back() == PathDelim)
        return Path;
    return Path + PathDelim;
}

// The folder holding the running program, with a trailing delimiter.
std::wstring ExecutableFolder();

// True when anything at all is at Path: a file (also one held open by another program), a
// directory, a link (even a dangling one), a device.
bool PathExists(const std::wstring& Path);

// True when Path names a directory (following links).
bool DirectoryExists(const std::wstring& Path);

// True when Path is a file holding at least one byte (a file another program writes counts).
bool FileHasContent(const std::wstring& Path);

// The size of the file at Path in bytes. False when it cannot be read (nothing there, a
// directory, no access); SystemError then holds the system's code for why (GetLastError on
// Windows, errno elsewhere).
bool FileSize(const std::wstring& Path, int64_t& Size, uint32_t& SystemError);

// The bytes this user may still write on the volume that holds Folder. False when it cannot be
// read (no such folder).
bool FreeSpace(const std::wstring& Folder, uint64_t& Bytes);

// Path in a form another program's file functions open at any length (on Windows the
// extended-length form of a long path): the converter is given its names so.
std::wstring OpenablePath(const std::wstring& Path);

// Deletes the file at Path. False when nothing was deleted: nothing there, a directory, or the
// system refused.
bool RemoveFile(const std::wstring& Path);

// Creates the directory Path with every missing parent. True when it exists afterwards; otherwise
// SystemReason holds the system's own words for why not.
bool CreateDirectories(const std::wstring& Path, std::wstring& SystemReason);

// How an exclusive create or a rename that never replaces went.
enum class TFileClaim {
    Done,
    NameTaken, // something (a file, a folder, a link) already has the name
    Failed,    // any other reason; SystemReason holds the system's own words
    Busy,      // another program holds the file (a virus scanner, an indexer): worth another try
};

// Creates an empty file at Path only when nothing has that name, and closes it at once: the file
// is then ours, whatever writes into it later.
TFileClaim CreateNewFile(const std::wstring& Path, std::wstring& SystemReason);

// Gives the file at From the name To, in the same folder, only when nothing has that name: an
// entry that appears under To at any moment is never replaced.
TFileClaim RenameNoReplace(const std::wstring& From, const std::wstring& To,
                           std::wstring& SystemReason);

// One attempt, without waiting, to delete the file at Path. True when no file is there afterwards
// (deleted, never there, or something else than a file has the name); false while the system
// refuses, as it does while another process still holds the file.
bool TryRemoveFile(const std::wstring& Path);
// A file this program created and keeps hold of until it has its final name. On Windows an open
// handle that reads and shares reading and writing but not deleting: the converter can still open
// the file to write it (FFmpeg's own open shares no deleting either, so the hold must not ask for
// it), while no other program can delete or rename it. Elsewhere an open descriptor, which holds
// nothing back. Either way the file's identity (volume and file number) is recorded, so a file
// put under its name by someone else is never taken for it.
class THeldFile {
public:
    THeldFile() = default;
    ~THeldFile() { Release(); }
    THeldFile(THeldFile&& Other) noexcept { *this = std::move(Other); }
    THeldFile& operator=(THeldFile&& Other) noexcept {
        if (this != &Other) {
            Release();
            Handle = std::exchange(Other.Handle, -1);
            VolumeId = std::exchange(Other.VolumeId, 0);
            FileId = std::exchange(Other.FileId, 0);
        }
        return *this;
    }
    THeldFile(const THeldFile&) = delete;
    THeldFile& operator=(const THeldFile&) = delete;

    bool IsHeld() const { return Handle != -1; }
    // Lets go of the file; it stays where it is.
    void Release();
    // Which file it is, as the system numbers it; both 0 when unknown.
    uint64_t Volume() const { return VolumeId; }
    uint64_t FileNumber() const { return FileId; }

private:
    friend TFileClaim CreateHeldFile(const std::wstring&, THeldFile&, std::wstring&);
    friend TFileClaim PublishHeldFile(THeldFile&, const std::wstring&, const std::wstring&,
                                      std::wstring&);
    intptr_t Handle = -1; // a HANDLE on Windows, a descriptor elsewhere
    uint64_t VolumeId = 0;
    uint64_t FileId = 0;
};

// CreateNewFile, keeping hold of the file it created (Held).
TFileClaim CreateHeldFile(const std::wstring& Path, THeldFile& Held, std::wstring& SystemReason);

// Publishes the held file at From under the name To in the same folder: only when From is still
// the file Held created, its data flushed to disk first, renamed through an open handle by a
// rename that never replaces anything, and the rename written through before Done comes back;
// so a power cut leaves either the partial file or the whole one. Done lets go of the hold;
// otherwise it is taken again where it can be. Busy when another program holds the file.
TFileClaim PublishHeldFile(THeldFile& Held, const std::wstring& From, const std::wstring& To,
                           std::wstring& SystemReason);
// Which file a name leads to, as the file system tells files apart: the volume's serial number and
// the file's index on it on Windows, st_dev and st_ino elsewhere. Two names with equal identities
// are the same file; a file deleted and made anew under its name has another identity.
struct TFileIdentity {
    uint64_t Volume = 0;
    uint64_t Index = 0;
    bool operator==(const TFileIdentity&) const = default;
};

// The identity of the file at Path (a link itself, not what it points to). False when nothing is
// there or it cannot be opened to ask.
bool FileIdentity(const std::wstring& Path, TFileIdentity& Identity);

// The whole content of the file at Path. False when it cannot be opened or read.
bool ReadWholeFile(const std::wstring& Path, std::string& Bytes);

// Writes Bytes as the whole content of the file at Path (created, or emptied first) and flushes
// them to the disk before returning. False, with the system's words, when any step fails.
bool WriteFileFlushed(const std::wstring& Path, const std::string& Bytes,
                      std::wstring& SystemReason);

// Gives the file at From the name To, replacing whatever file has it, as one step that a power
// cut leaves either before or after; written through to the disk. For Kestrova's own files only.
bool RenameReplacing(const std::wstring& From, const std::wstring& To, std::wstring& SystemReason);

// A file held open without sharing for as long as its owner lives: the sign that a process still
// owns what the file's name stands for. The system lets it go when the process ends however it
// ends (a crash, a kill, a power cut), so a lock can never outlive its owner.
class TFileLock {
public:
    TFileLock() = default;
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;
    TFileLock(TFileLock&& Other) noexcept : Handle(Other.Handle), Path(std::move(Other.Path)) {
        Other.Handle = -1;
    }
    TFileLock& operator=(TFileLock&& Other) noexcept;
    ~TFileLock() { Release(); }

    // Takes the lock file at Path (created when missing). False when another owner holds it, in
    // this process or another, or it cannot be created.
    bool Acquire(const std::wstring& Path);
    // Lets it go and removes the lock file.
    void Release();
    bool Held() const { return Handle != -1; }

private:
    intptr_t Handle = -1;
    std::wstring Path;
};
