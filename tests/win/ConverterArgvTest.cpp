// The converter's own command-line splitter (linked into ffmpeg.exe in place of shell32's) must
// give the converter exactly the arguments shell32 would: any difference would hand it another
// file name.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

extern "C" LPWSTR* WINAPI KestrovaCommandLineToArgvW(LPCWSTR CmdLine, int* NumArgs);

namespace {

using TSplitter = LPWSTR*(WINAPI*)(LPCWSTR, int*);

std::vector<std::wstring> SplitWith(TSplitter Splitter, const std::wstring& Line) {
    int Count = -1;
    LPWSTR* Argv = Splitter(Line.c_str(), &Count);
    if (!Argv)
        return {L"<null>"};
    std::vector<std::wstring> Args(Argv, Argv + Count);
    EXPECT_EQ(Argv[Count], nullptr) << "the array ends with a null";
    LocalFree(Argv);
    return Args;
}

std::vector<std::wstring> Split(const std::wstring& Line) {
    return SplitWith(KestrovaCommandLineToArgvW, Line);
}

std::string Narrow(const std::wstring& Text) {
    std::string Out;
    for (wchar_t C : Text)
        Out += C < 0x80 ? static_cast<char>(C) : '?';
    return Out;
}

} // namespace

// What Kestrova itself passes: the program token, options, and paths quoted as they are (long
// paths, blanks, any script, a folder's trailing separator never before the quote).
TEST(ConverterArgv, KestrovasOwnLinesSplitIntoItsArguments) {
    EXPECT_EQ(Split(L"ffmpeg.exe -nostdin -y -i \"C:\\Users\\Zoë\\My Videos\\clip 1.webm\" -q:v 2 "
                    L"-vtag XVID -threads 2 \"D:\\out\\clip 1.partial.avi\""),
              (std::vector<std::wstring>{L"ffmpeg.exe", L"-nostdin", L"-y", L"-i",
                                         L"C:\\Users\\Zoë\\My Videos\\clip 1.webm", L"-q:v", L"2",
                                         L"-vtag", L"XVID", L"-threads", L"2",
                                         L"D:\\out\\clip 1.partial.avi"}));
    EXPECT_EQ(Split(L"\"C:\\Program Files\\Kestrova\\ffmpeg.exe\" -i "
                    L"\"\\\\?\\C:\\très\\długi\\видео\\映像 "
                    L"クリップ.webm\"\t\t\"\\\\server\\share\\a.avi\""),
              (std::vector<std::wstring>{L"C:\\Program Files\\Kestrova\\ffmpeg.exe", L"-i",
                                         L"\\\\?\\C:\\très\\długi\\видео\\映像 クリップ.webm",
                                         L"\\\\server\\share\\a.avi"}));
}

// Every rule, against shell32's own function: backslashes before quotes and elsewhere, quotes
// opening and closing mid-argument, doubled quotes in and out of quoted parts, blanks and tabs,
// a quoted or bare program with backslashes, empty quoted arguments, trailing blanks.
TEST(ConverterArgv, SplitsEveryLineAsShell32Does) {
    HMODULE Shell32 = LoadLibraryW(L"shell32.dll");
    ASSERT_NE(Shell32, nullptr);
    auto Theirs = reinterpret_cast<TSplitter>(
        reinterpret_cast<void*>(GetProcAddress(Shell32, "CommandLineToArgvW")));
    ASSERT_NE(Theirs, nullptr);
    const wchar_t* Lines[] = {
        L"a",
        L"a b  c\t\td ",
        L"a   ",
        L"\"a b\" c",
        L"\"C:\\dir\\\" x y",
        L"C:\\dir\\a\"b c\"d e",
        L"p a\\b \\\\c d\\\\\\e",
        L"p \"a\\\"b\" c",
        L"p a\\\\\"b c\" d",
        L"p a\\\\\\\"b c",
        L"p a\\\\\\\\\"b c\" d",
        L"p \"a b\\\\\" c",
        L"p \"\" \"\" x",
        L"p \"\"",
        L"p a\"\"b",
        L"p \"a\"\"b\" c",
        L"p \"a\"\"\"b c",
        L"p \"\"\"a\"\"\" b",
        L"p a\"b\"\" c d",
        L"p \"unclosed quote\\",
        L"p \"unclosed \\\\",
        L"p x\"y z",
        L"p \t\"\t\" t",
        L"\"\" a",
        L"\"p\"a b",
        L"p\"q r\" s",
        L"p \\\\\\\\",
        L"p \\\"",
        L"p ünï \"кл ип\" 映像",
    };
    for (const wchar_t* Line : Lines)
        EXPECT_EQ(Split(Line), SplitWith(Theirs, Line)) << Narrow(Line);
    FreeLibrary(Shell32);
}

// An empty line gives the program's own path, as the only argument; a missing count is refused.
TEST(ConverterArgv, AnEmptyLineGivesTheProgramAndAMissingCountIsRefused) {
    wchar_t Self[MAX_PATH] = L"";
    ASSERT_GT(GetModuleFileNameW(nullptr, Self, MAX_PATH), 0u);
    EXPECT_EQ(Split(L""), std::vector<std::wstring>{Self});
    EXPECT_EQ(KestrovaCommandLineToArgvW(L"a b", nullptr), nullptr);
}
