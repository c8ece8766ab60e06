#include "Precheck.h"
#include "FileSystem.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

TEST(AbsolutePath, WindowsRule) {
    for (const wchar_t* full :
         {L"C:\\Films", L"c:\\", L"D:/Out/x", L"\\\\server\\share", L"\\\\server\\share\\Films",
          L"//server/share/x", L"\\\\?\\C:\\Films"}) {
        EXPECT_TRUE(IsAbsoluteWindowsPath(full)) << fs::path(full).string();
    }
    for (const wchar_t* relative :
         {L"", L"Films", L"\\Films", L"/Films", L"C:Films", L"C:", L"1:\\x", L"\\\\server",
          L"\\\\server\\", L"\\\\\\share", L"\\\\server\\\\x", L".\\Films", L"..\\Films"}) {
        EXPECT_FALSE(IsAbsoluteWindowsPath(relative)) << fs::path(relative).string();
    }
}

TEST(AbsolutePath, PosixRule) {
    EXPECT_TRUE(IsAbsolutePosixPath(L"/"));
    EXPECT_TRUE(IsAbsolutePosixPath(L"/home/a"));
    EXPECT_FALSE(IsAbsolutePosixPath(L"home/a"));
    EXPECT_FALSE(IsAbsolutePosixPath(L"./a"));
    EXPECT_FALSE(IsAbsolutePosixPath(L""));
}

class Precheck : public ::testing::Test {
protected:
    TempFolder Dir{L"kestrova-precheck"};
    std::wstring Converter = WideFromPath(Dir.WriteFile(L"ffmpeg.exe", "MZ"));
    std::wstring In(const std::wstring& Name) {
        return WideFromPath(Dir.Path() / PathFromWide(Name));
    }
};

TEST_F(Precheck, AllWell) {
    EXPECT_EQ(CheckBeforeBatch(Converter, true, L"").Kind, TPrecheckKind::Ok);
    EXPECT_EQ(CheckBeforeBatch(Converter, false, Dir.Wide()).Kind, TPrecheckKind::Ok);
    EXPECT_EQ(DescribePrecheck(CheckBeforeBatch(Converter, true, L""), DefaultPrecheckTexts), L"");
}

TEST_F(Precheck, ConverterMissingNamesTheFileAndTheFolder) {
    const std::wstring missing = In(L"gone") + PathDelim + L"ffmpeg.exe";
    const TPrecheck check = CheckBeforeBatch(missing, true, L"");
    EXPECT_EQ(check.Kind, TPrecheckKind::ConverterMissing);
    EXPECT_EQ(check.Path, missing);
    EXPECT_EQ(DescribePrecheck(check, {L"%1 | %2", L"", L"", L""}),
              L"ffmpeg.exe | " + In(L"gone") + PathDelim);
    fs::create_directories(Dir.Path() / "dir.exe");
    EXPECT_EQ(CheckBeforeBatch(In(L"dir.exe"), true, L"").Kind, TPrecheckKind::ConverterMissing)
        << "a folder of that name is no converter";
    EXPECT_EQ(CheckBeforeBatch(missing, false, L"").Kind, TPrecheckKind::ConverterMissing)
        << "the converter is checked first";
}

TEST_F(Precheck, FolderEmptyOrRelative) {
    EXPECT_EQ(CheckBeforeBatch(Converter, false, L"").Kind, TPrecheckKind::FolderEmpty);
    EXPECT_EQ(CheckBeforeBatch(Converter, false, L"   ").Kind, TPrecheckKind::FolderEmpty);
    EXPECT_EQ(CheckBeforeBatch(Converter, true, L"").Kind, TPrecheckKind::Ok)
        << "the folder text does not matter with Same";
    const TPrecheck relative = CheckBeforeBatch(Converter, false, L"Films");
    EXPECT_EQ(relative.Kind, TPrecheckKind::FolderRelative);
    EXPECT_EQ(
        DescribePrecheck(relative, DefaultPrecheckTexts).find(L"\"Films\" is not a full path"),
        11u);
    EXPECT_FALSE(fs::exists("Films")) << "nothing created for a relative path";
}

TEST_F(Precheck, MissingFolderIsCreatedWithItsParents) {
    const std::wstring folder = In(L"a") + PathDelim + L"b" + PathDelim + L"c \u00e9t\u00e9";
    const TPrecheck check = CheckBeforeBatch(Converter, false, folder);
    EXPECT_EQ(check.Kind, TPrecheckKind::Ok) << fs::path(check.Reason).string();
    EXPECT_TRUE(DirectoryExists(folder));
    EXPECT_EQ(CheckBeforeBatch(Converter, false, folder + PathDelim).Kind, TPrecheckKind::Ok)
        << "a trailing delimiter is fine";
}

TEST_F(Precheck, FolderThatCannotBeCreatedSaysWhy) {
    Dir.WriteFile(L"file", "not a folder");
    const std::wstring folder = In(L"file") + PathDelim + L"sub";
    const TPrecheck check = CheckBeforeBatch(Converter, false, folder);
    EXPECT_EQ(check.Kind, TPrecheckKind::FolderNotCreated);
    EXPECT_EQ(check.Path, folder);
    EXPECT_FALSE(check.Reason.empty());
    EXPECT_EQ(DescribePrecheck(check, DefaultPrecheckTexts),
              L"The folder " + folder + L" could not be created: " + check.Reason);
    EXPECT_EQ(CheckBeforeBatch(Converter, false, In(L"file")).Kind, TPrecheckKind::FolderNotCreated)
        << "a file where the folder should be";
}

TEST(FileSystemSeam, RemoveFileRemovesFilesOnly) {
    TempFolder dir;
    const std::wstring file = WideFromPath(dir.WriteFile(L"x.avi", "x"));
    EXPECT_TRUE(RemoveFile(file));
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(RemoveFile(file)) << "nothing left to remove";
    fs::create_directories(dir.Path() / "folder.avi");
    EXPECT_FALSE(RemoveFile(WideFromPath(dir.Path() / "folder.avi")));
    EXPECT_TRUE(fs::exists(dir.Path() / "folder.avi"));
}

} // namespace
