// The exclusive create and the rename that never replaces, on the real file system of the build
// (under Wine for the Windows build), at ordinary and at 300-character paths.
#include "FileSystem.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using testing_support::PathFromWide;
using testing_support::TempFolder;

namespace {

std::string Content(const std::wstring& Path) {
    std::ifstream in(PathFromWide(Path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class FileClaim : public ::testing::TestWithParam<size_t> {
protected:
    TempFolder Temp{L"kestrova-claim"};
    std::wstring Folder;

    // A folder whose files' paths are about GetParam() characters long.
    void SetUp() override {
        Folder = IncludeTrailingPathDelimiter(Temp.Wide());
        while (Folder.size() + 20 < GetParam())
            Folder += std::wstring(std::min<size_t>(60, GetParam() - Folder.size() - 20), L'd') +
                      PathDelim;
        std::wstring reason;
        ASSERT_TRUE(CreateDirectories(Folder, reason)) << testing_support::PathFromWide(Folder);
    }
    void Write(const std::wstring& Name, const std::string& Text) const {
        std::ofstream(PathFromWide(Folder + Name), std::ios::binary) << Text;
    }
};

TEST_P(FileClaim, CreateNewFileTakesOnlyAFreeName) {
    std::wstring reason = L"stale";
    EXPECT_EQ(CreateNewFile(Folder + L"clip.partial.avi", reason), TFileClaim::Done);
    EXPECT_TRUE(reason.empty());
    EXPECT_TRUE(PathExists(Folder + L"clip.partial.avi"));
    EXPECT_FALSE(FileHasContent(Folder + L"clip.partial.avi")) << "created empty";

    EXPECT_EQ(CreateNewFile(Folder + L"clip.partial.avi", reason), TFileClaim::NameTaken);
    Write(L"theirs.avi", "their bytes");
    EXPECT_EQ(CreateNewFile(Folder + L"theirs.avi", reason), TFileClaim::NameTaken);
    EXPECT_EQ(Content(Folder + L"theirs.avi"), "their bytes") << "never truncated";
    fs::create_directory(PathFromWide(Folder + L"folder.avi"));
    EXPECT_EQ(CreateNewFile(Folder + L"folder.avi", reason), TFileClaim::NameTaken);
#ifndef _WIN32
    fs::create_symlink(PathFromWide(Folder + L"nowhere"), PathFromWide(Folder + L"link.avi"));
    EXPECT_EQ(CreateNewFile(Folder + L"link.avi", reason), TFileClaim::NameTaken)
        << "a dangling link would create the file elsewhere";
    EXPECT_FALSE(PathExists(Folder + L"nowhere"));
#endif

    EXPECT_EQ(CreateNewFile(Folder + L"missing" + PathDelim + L"clip.avi", reason),
              TFileClaim::Failed);
    EXPECT_FALSE(reason.empty()) << "the system's words say why";
}

TEST_P(FileClaim, RenameNoReplaceNeverReplaces) {
    Write(L"clip.partial.avi", "ours");
    Write(L"clip.avi", "their bytes");
    fs::create_directory(PathFromWide(Folder + L"clip(2).avi"));
    std::wstring reason;
    EXPECT_EQ(RenameNoReplace(Folder + L"clip.partial.avi", Folder + L"clip.avi", reason),
              TFileClaim::NameTaken);
    EXPECT_EQ(RenameNoReplace(Folder + L"clip.partial.avi", Folder + L"clip(2).avi", reason),
              TFileClaim::NameTaken);
    EXPECT_EQ(Content(Folder + L"clip.avi"), "their bytes");
    EXPECT_EQ(Content(Folder + L"clip.partial.avi"), "ours") << "left where it was";

    EXPECT_EQ(RenameNoReplace(Folder + L"clip.partial.avi", Folder + L"clip(3).avi", reason),
              TFileClaim::Done);
    EXPECT_FALSE(PathExists(Folder + L"clip.partial.avi"));
    EXPECT_EQ(Content(Folder + L"clip(3).avi"), "ours");

    EXPECT_EQ(RenameNoReplace(Folder + L"gone.avi", Folder + L"clip(4).avi", reason),
              TFileClaim::Failed);
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(PathExists(Folder + L"clip(4).avi"));
}

#ifdef _WIN32
// Another program holding its file open, sharing nothing, still owns the name.
TEST_P(FileClaim, ANameHeldOpenWithoutSharingIsTaken) {
    const std::wstring name = Folder + L"held.avi";
    HANDLE held = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Write(L"ours.avi", "ours");
    std::wstring reason;
    EXPECT_EQ(CreateNewFile(name, reason), TFileClaim::NameTaken);
    EXPECT_EQ(RenameNoReplace(Folder + L"ours.avi", name, reason), TFileClaim::NameTaken);
    CloseHandle(held);
    EXPECT_EQ(Content(Folder + L"ours.avi"), "ours");
}
#endif

// Opens Path for writing as FFmpeg opens its output (msvcrt's _wsopen: reading and writing
// shared, deleting not) and writes Text.
bool WriteAsTheConverter(const std::wstring& Path, const std::string& Text) {
#ifdef _WIN32
    const int fd = _wsopen(OpenablePath(Path).c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY,
                           _SH_DENYNO, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return false;
    const bool written = _write(fd, Text.data(), static_cast<unsigned>(Text.size())) ==
                         static_cast<int>(Text.size());
    return _close(fd) == 0 && written;
#else
    const int fd = ::open(PathFromWide(Path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, Text.data(), Text.size()) == static_cast<ssize_t>(Text.size());
    return ::close(fd) == 0 && written;
#endif
}

// The partial file's hold: the converter still opens it for writing, no other program deletes or
// renames it (where the platform allows), and it is published whole under a name nobody had.
TEST_P(FileClaim, AHeldFileIsWrittenByTheConverterAndPublishedWithoutReplacing) {
    const std::wstring partial = Folder + L"clip.partial.avi";
    THeldFile held, second;
    std::wstring reason;
    ASSERT_EQ(CreateHeldFile(partial, held, reason), TFileClaim::Done);
    EXPECT_TRUE(held.IsHeld());
    EXPECT_EQ(CreateHeldFile(partial, second, reason), TFileClaim::NameTaken);
    EXPECT_FALSE(second.IsHeld());
    ASSERT_TRUE(WriteAsTheConverter(partial, "the whole AVI")) << "the hold lets it write";
#ifdef _WIN32
    EXPECT_FALSE(DeleteFileW(OpenablePath(partial).c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(
        MoveFileExW(OpenablePath(partial).c_str(), OpenablePath(Folder + L"moved.avi").c_str(), 0));
    EXPECT_FALSE(PathExists(Folder + L"moved.avi"));
#endif

    Write(L"clip.avi", "their bytes");
    EXPECT_EQ(PublishHeldFile(held, partial, Folder + L"clip.avi", reason), TFileClaim::NameTaken);
    EXPECT_EQ(Content(Folder + L"clip.avi"), "their bytes");
    EXPECT_TRUE(held.IsHeld()) << "held again until a name is free";
    EXPECT_EQ(PublishHeldFile(held, partial, Folder + L"clip(2).avi", reason), TFileClaim::Done);
    EXPECT_FALSE(held.IsHeld());
    EXPECT_EQ(Content(Folder + L"clip(2).avi"), "the whole AVI");
    EXPECT_FALSE(PathExists(partial));
}

// Between letting go of the hold and renaming, another file was put under the partial name: it
// is not Kestrova's, so it is neither published nor touched.
TEST_P(FileClaim, AFileSwappedUnderThePartialNameIsLeftAlone) {
    const std::wstring partial = Folder + L"clip.partial.avi";
    THeldFile held;
    std::wstring reason;
    ASSERT_EQ(CreateHeldFile(partial, held, reason), TFileClaim::Done);
    held.Release();
    Write(L"other.tmp", "another program's");
    fs::rename(PathFromWide(Folder + L"other.tmp"), PathFromWide(partial));
    EXPECT_EQ(PublishHeldFile(held, partial, Folder + L"clip.avi", reason), TFileClaim::Failed);
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(PathExists(Folder + L"clip.avi"));
    EXPECT_EQ(Content(partial), "another program's");
}

#ifdef _WIN32
// A program that opens the finished file without sharing deletion (as some virus scanners do)
// makes publishing busy, not failed; once it lets go, publishing goes through.
TEST_P(FileClaim, AFileAScannerHoldsIsBusyUntilLetGo) {
    const std::wstring partial = Folder + L"clip.partial.avi";
    THeldFile held;
    std::wstring reason;
    ASSERT_EQ(CreateHeldFile(partial, held, reason), TFileClaim::Done);
    ASSERT_TRUE(WriteAsTheConverter(partial, "the whole AVI"));
    HANDLE scanner =
        CreateFileW(OpenablePath(partial).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(scanner, INVALID_HANDLE_VALUE);
    EXPECT_EQ(PublishHeldFile(held, partial, Folder + L"clip.avi", reason), TFileClaim::Busy);
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(held.IsHeld()) << "held again while it waits";
    EXPECT_FALSE(PathExists(Folder + L"clip.avi"));
    CloseHandle(scanner);
    EXPECT_EQ(PublishHeldFile(held, partial, Folder + L"clip.avi", reason), TFileClaim::Done);
    EXPECT_EQ(Content(Folder + L"clip.avi"), "the whole AVI");
}
#endif

TEST_P(FileClaim, FreeSpaceIsReadForAFolderThatExists) {
    uint64_t bytes = 0;
    EXPECT_TRUE(FreeSpace(Folder, bytes));
    EXPECT_GT(bytes, 0u);
    EXPECT_FALSE(FreeSpace(Folder + L"missing", bytes));
}

INSTANTIATE_TEST_SUITE_P(PathLengths, FileClaim, ::testing::Values(0, 300),
                         [](const auto& Info) { return "Length" + std::to_string(Info.param); });

} // namespace
