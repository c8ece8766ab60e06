#include "LongPath.h"

#include <gtest/gtest.h>

namespace {

// A path of Length characters that starts with Start, padded with folder names.
std::wstring PathOfLength(const std::wstring& Start, size_t Length) {
    std::wstring Path = Start;
    while (Path.size() + 11 <= Length)
        Path += L"folder-abc\\";
    Path += std::wstring(Length - Path.size(), L'x');
    return Path;
}

TEST(LongPath, OnlyPathsAtTheThresholdOrLongerChange) {
    const std::wstring Short = PathOfLength(L"C:\\", ExtendedLengthThreshold - 1);
    EXPECT_EQ(ExtendedLengthPath(Short), Short);
    const std::wstring AtLimit = PathOfLength(L"C:\\", ExtendedLengthThreshold);
    EXPECT_EQ(ExtendedLengthPath(AtLimit), L"\\\\?\\" + AtLimit);
    EXPECT_EQ(ExtendedLengthPath(L""), L"");
}

TEST(LongPath, DriveAndUncPathsGetTheirOwnPrefix) {
    const std::wstring Drive = PathOfLength(L"d:\\", 300);
    EXPECT_EQ(ExtendedLengthPath(Drive), L"\\\\?\\" + Drive);
    const std::wstring Unc = PathOfLength(L"\\\\server\\share\\", 300);
    EXPECT_EQ(ExtendedLengthPath(Unc), L"\\\\?\\UNC\\" + Unc.substr(2));
}

TEST(LongPath, PathsAlreadyExtendedDeviceOrRelativeStayAsTheyAre) {
    for (const std::wstring& Start :
         {std::wstring(L"\\\\?\\C:\\"), std::wstring(L"\\\\?\\UNC\\server\\share\\"),
          std::wstring(L"\\\\.\\pipe\\"), std::wstring(L"folder\\"), std::wstring(L"C:folder\\"),
          std::wstring(L"\\rooted\\")}) {
        const std::wstring Path = PathOfLength(Start, 300);
        EXPECT_EQ(ExtendedLengthPath(Path), Path) << "starting " << Start;
    }
}

TEST(LongPath, TheExtendedFormIsNormalisedSinceWindowsTakesItLiterally) {
    const std::wstring Long(250, L'a');
    EXPECT_EQ(ExtendedLengthPath(L"C:/" + Long + L"/./b//c\\..\\d.webm"),
              L"\\\\?\\C:\\" + Long + L"\\b\\d.webm");
    // ".." never climbs above the drive, nor above a UNC path's share.
    EXPECT_EQ(ExtendedLengthPath(L"C:\\..\\..\\" + Long), L"\\\\?\\C:\\" + Long);
    EXPECT_EQ(ExtendedLengthPath(L"\\\\srv\\share\\..\\" + Long),
              L"\\\\?\\UNC\\srv\\share\\" + Long);
    // A folder keeps its trailing delimiter.
    EXPECT_EQ(ExtendedLengthPath(L"C:\\" + Long + L"\\"), L"\\\\?\\C:\\" + Long + L"\\");
}

TEST(LongPath, OrdinaryFormUndoesTheExtendedOne) {
    const std::wstring Drive = PathOfLength(L"C:\\", 300);
    const std::wstring Unc = PathOfLength(L"\\\\server\\share\\", 300);
    EXPECT_EQ(OrdinaryPath(ExtendedLengthPath(Drive)), Drive);
    EXPECT_EQ(OrdinaryPath(ExtendedLengthPath(Unc)), Unc);
    EXPECT_EQ(OrdinaryPath(L"C:\\short.webm"), L"C:\\short.webm");
    // Extended forms of things other than drives and shares have no ordinary form.
    EXPECT_EQ(OrdinaryPath(L"\\\\?\\Volume{1234}\\x"), L"\\\\?\\Volume{1234}\\x");
}

} // namespace
