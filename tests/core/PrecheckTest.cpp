#include "Precheck.h"
#include "FileSystem.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

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
    TPrecheckTexts texts;
    texts.ConverterMissing = L"%1 | %2";
    EXPECT_EQ(DescribePrecheck(check, texts), L"ffmpeg.exe | " + In(L"gone") + PathDelim);
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
}

TEST(FolderText, ReadAsWindowsUsersTypeAndPasteIt) {
    const std::pair<std::wstring, std::wstring> Cases[] = {
        {L"\"C:\\Out\"", L"C:\\Out"}, // Explorer's "Copy as path"
        {L"  \"C:\\Out\"\t ", L"C:\\Out"},
        {L"C:\\Out ", L"C:\\Out"},
        {L"C:\\Out. .", L"C:\\Out"},
        {L"\"C:\\Out\\ \"", L"C:\\Out\\"},
        {L"\"\"C:\\Out\"\"", L"\"C:\\Out\""}, // one pair only
        {L"\"C:\\Out", L"\"C:\\Out"},         // not a pair
        {L"\"\"", L""},
        {L"C:\\Out\\..", L"C:\\Out\\.."}, // "." and ".." keep their meaning
        {L"C:\\Out\\. ", L"C:\\Out\\."},
        {L"C:\\Out\\...", L"C:\\Out\\"},
        {L"C:\\My films v1.0\\x y", L"C:\\My films v1.0\\x y"},
    };
    for (const auto& [Typed, Clean] : Cases)
        EXPECT_EQ(CleanFolderText(Typed), Clean) << fs::path(Typed).string();
}

TEST(FolderText, CharactersNoWindowsNameMayHold) {
    for (const wchar_t* Fine : {L"C:\\Out", L"D:/a/b", L"\\\\server\\share\\x", L"\\\\?\\C:\\Out",
                                L"\\\\?\\UNC\\srv\\share\\x", L"C:\\a b (1) [x] {y} #&%'!\u00e9"})
        EXPECT_FALSE(HasForbiddenCharacter(Fine)) << fs::path(Fine).string();
    for (const wchar_t* Bad :
         {L"C:\\a<b", L"C:\\a>b", L"C:\\a:b", L"C:\\a\"b", L"C:\\a|b", L"C:\\a?b", L"C:\\a*",
          L"C:\\a\tb", L"C:\\a\x1f", L"\\\\?\\C:\\a?b", L"\\\\srv\\share\\a:b"})
        EXPECT_TRUE(HasForbiddenCharacter(Bad)) << fs::path(Bad).string();
}

TEST(FolderText, NamesWindowsKeepsForDevices) {
    const std::pair<std::wstring, std::wstring> Devices[] = {
        {L"C:\\Out\\NUL", L"NUL"},           {L"C:\\con\\x", L"con"},
        {L"C:\\x\\nul.txt", L"nul.txt"},     {L"C:\\x\\Com1", L"Com1"},
        {L"C:\\LPT9.log\\y", L"LPT9.log"},   {L"C:\\x\\AUX .avi", L"AUX .avi"},
        {L"\\\\server\\share\\PRN", L"PRN"}, {L"D:/a/prn/b", L"prn"},
    };
    for (const auto& [Path, Part] : Devices)
        EXPECT_EQ(DeviceNamePart(Path), Part) << fs::path(Path).string();
    for (const wchar_t* Fine : {L"C:\\CONSOLE", L"C:\\COM10", L"C:\\LPT0", L"C:\\xnul",
                                L"C:\\con-x", L"C:\\x\\nulls.txt", L"\\\\CON\\share\\x", L"C:\\"})
        EXPECT_EQ(DeviceNamePart(Fine), L"") << fs::path(Fine).string();
}

TEST_F(Precheck, AFolderTypedWithQuotesOrATrailingBlankIsTheFolderItNames) {
    const TPrecheck Quoted = CheckBeforeBatch(Converter, false, L"\"" + In(L"quoted") + L"\"");
    EXPECT_EQ(Quoted.Kind, TPrecheckKind::Ok) << fs::path(Quoted.Reason).string();
    EXPECT_EQ(Quoted.Path, In(L"quoted"));
    EXPECT_TRUE(DirectoryExists(In(L"quoted")));

    const TPrecheck Blank = CheckBeforeBatch(Converter, false, In(L"out") + L" ");
    EXPECT_EQ(Blank.Kind, TPrecheckKind::Ok);
    EXPECT_TRUE(DirectoryExists(In(L"out")));
    // Windows would find "out " as "out"; the folder's listing tells them apart.
    for (const fs::directory_entry& Entry : fs::directory_iterator(Dir.Path()))
        EXPECT_NE(Entry.path().filename(), fs::path("out ")) << "a folder the batch would miss";
}

TEST_F(Precheck, AnUnusableFolderIsRefusedByNameAndNothingIsCreated) {
    Dir.WriteFile(L"file", "not a folder");
    const TPrecheck File = CheckBeforeBatch(Converter, false, In(L"file"));
    EXPECT_EQ(File.Kind, TPrecheckKind::FolderIsFile);
    EXPECT_EQ(DescribePrecheck(File, DefaultPrecheckTexts),
              L"\"" + In(L"file") +
                  L"\" is a file, not a folder. Type the folder for the AVI files "
                  L"beside \"Other:\".");

    const std::wstring Forbidden = In(L"a|b") + PathDelim + L"c";
    const TPrecheck Character = CheckBeforeBatch(Converter, false, Forbidden);
    EXPECT_EQ(Character.Kind, TPrecheckKind::FolderForbiddenCharacter);
    EXPECT_EQ(DescribePrecheck(Character, DefaultPrecheckTexts).find(L"\"" + Forbidden + L"\""),
              11u);
    EXPECT_FALSE(fs::exists(Dir.Path() / "a|b"));

    const TPrecheck Device = CheckBeforeBatch(Converter, false, In(L"Nul.txt") + PathDelim + L"x");
    EXPECT_EQ(Device.Kind, TPrecheckKind::FolderDeviceName);
    EXPECT_EQ(Device.Reason, L"Nul.txt");
    EXPECT_NE(DescribePrecheck(Device, DefaultPrecheckTexts).find(L"keeps the name Nul.txt"),
              std::wstring::npos);
    EXPECT_FALSE(fs::exists(Dir.Path() / "Nul.txt"));
    EXPECT_EQ(CheckBeforeBatch(Converter, false, In(L"com3") + L". ").Kind,
              TPrecheckKind::FolderDeviceName)
        << "seen after the cleaning";
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
