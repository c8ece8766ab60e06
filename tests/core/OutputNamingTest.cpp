#include "OutputNaming.h"
#include "CoreFault.h"
#include "FileSystem.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;
using testing_support::TempFolder;

namespace {

const std::wstring D(1, PathDelim);

class OutputNaming : public ::testing::Test {
protected:
    TempFolder Temp{L"kestrova-naming"};
    // The temporary folder with its trailing delimiter, as a row's Location reads.
    const std::wstring Folder = IncludeTrailingPathDelimiter(Temp.Path().wstring());

    void Touch(const std::wstring& Name) const { Temp.WriteFile(Name, "taken"); }
};

TEST_F(OutputNaming, TargetBesideTheSourceOrInTheOtherFolder) {
    EXPECT_EQ(GetTargetFileName(Folder, L"clip.webm", true, L"ignored"), Folder + L"clip.avi");

    const std::wstring out = D + L"out";
    EXPECT_EQ(GetTargetFileName(Folder, L"clip.webm", false, out), out + D + L"clip.avi");
    EXPECT_EQ(GetTargetFileName(Folder, L"clip.webm", false, out + D), out + D + L"clip.avi");
    EXPECT_EQ(GetTargetFileName(Folder, L"clip.webm", false, L""), D + L"clip.avi")
        << "an empty folder text still gets its delimiter";
}

TEST_F(OutputNaming, ExtensionIsFromTheLastDotOfTheLastComponent) {
    EXPECT_EQ(GetTargetFileName(Folder, L"a.b.webm", true, L""), Folder + L"a.b.avi");
    EXPECT_EQ(AppendFileNumber(Folder + L"a.b.avi", 2), Folder + L"a.b(2).avi");

    // A dot in a folder name is no extension.
    const std::wstring dotted = D + L"films.2024" + D;
    EXPECT_EQ(GetTargetFileName(dotted, L"clip", true, L""), dotted + L"clip.avi");
    EXPECT_EQ(AppendFileNumber(dotted + L"clip", 12), dotted + L"clip(12)");
    EXPECT_EQ(GetTargetFileName(Folder, L".webm", true, L""), Folder + L".avi");
}

TEST_F(OutputNaming, TakenNamesAreNumberedFromTheOriginalName) {
    Touch(L"clip.webm");
    EXPECT_EQ(GetUniqueFileName(Folder + L"clip.avi"), Folder + L"clip.avi");
    Touch(L"clip.avi");
    EXPECT_EQ(GetUniqueFileName(Folder + L"clip.avi"), Folder + L"clip(2).avi");
    Touch(L"clip(2).avi");
    EXPECT_EQ(GetUniqueFileName(Folder + L"clip.avi"), Folder + L"clip(3).avi");

    // A gap in the numbers is reused.
    Touch(L"clip(4).avi");
    EXPECT_EQ(GetUniqueFileName(Folder + L"clip.avi"), Folder + L"clip(3).avi");
}

TEST_F(OutputNaming, AnyEntryBlocksAName) {
    fs::create_directory(Temp.Path() / L"clip.avi");
    EXPECT_EQ(GetUniqueFileName(Folder + L"clip.avi"), Folder + L"clip(2).avi")
        << "the converter cannot write over a directory";

#ifndef _WIN32
    fs::create_symlink(Temp.Path() / L"nowhere", Temp.Path() / L"clip(2).avi");
    EXPECT_EQ(GetUniqueFileName(Folder + L"clip.avi"), Folder + L"clip(3).avi")
        << "writing through a dangling link would create a file elsewhere";
#endif
}

TEST_F(OutputNaming, NonAsciiNames) {
    // Built from UTF-8 so that the file is created under the same name on every platform.
    std::ofstream(Temp.Path() / fs::path(u8"\u00e9t\u00e9 \u5f71\u7247.avi")) << "taken";
    const std::wstring name = Folder + L"\u00e9t\u00e9 \u5f71\u7247.avi";
    EXPECT_TRUE(PathExists(name));
    EXPECT_EQ(GetUniqueFileName(name), Folder + L"\u00e9t\u00e9 \u5f71\u7247(2).avi");
}

TEST_F(OutputNaming, PartialNameKeepsTheAviExtension) {
    EXPECT_EQ(PartialFileName(Folder + L"clip(2).avi"), Folder + L"clip(2).partial.avi");
    EXPECT_EQ(PartialFileName(Folder + L"a.b" + D + L"clip"),
              Folder + L"a.b" + D + L"clip.partial");
}

TEST_F(OutputNaming, ReservationPassesOverTakenFinalAndPartialNames) {
    Touch(L"clip.avi");
    Touch(L"clip(2).partial.avi"); // left by a run that was ended from outside
    const TReservedOutput reserved = ReserveOutputFile(Folder + L"clip.avi");
    ASSERT_TRUE(reserved.Reserved);
    EXPECT_EQ(reserved.Number, 3);
    EXPECT_EQ(reserved.Partial, Folder + L"clip(3).partial.avi");
    EXPECT_TRUE(PathExists(reserved.Partial));
    EXPECT_FALSE(PathExists(Folder + L"clip(3).avi")) << "nothing under the final name yet";

    const TReservedOutput next = ReserveOutputFile(Folder + L"clip.avi");
    EXPECT_EQ(next.Number, 4) << "a reserved partial name is taken";

    const TReservedOutput nowhere = ReserveOutputFile(Folder + L"gone" + D + L"clip.avi");
    EXPECT_FALSE(nowhere.Reserved);
    EXPECT_FALSE(nowhere.SystemReason.empty());
}

TEST_F(OutputNaming, PublishingTakesTheNextFreeNameAndReplacesNothing) {
    TReservedOutput reserved = ReserveOutputFile(Folder + L"clip.avi");
    ASSERT_EQ(reserved.Number, 1);
    Temp.WriteFile(L"clip.partial.avi", "ours");
    Temp.WriteFile(L"clip.avi", "theirs");    // taken while the converter ran
    Temp.WriteFile(L"clip(2).avi", "theirs"); // and the next one too
    std::wstring published, reason;
    EXPECT_EQ(PublishOutputFile(reserved, Folder + L"clip.avi", published, reason),
              TFileClaim::Done);
    EXPECT_EQ(published, Folder + L"clip(3).avi");
    EXPECT_FALSE(PathExists(reserved.Partial));
    std::ifstream in(Temp.Path() / L"clip.avi");
    std::string content;
    in >> content;
    EXPECT_EQ(content, "theirs");

    EXPECT_EQ(PublishOutputFile(reserved, Folder + L"clip.avi", published, reason),
              TFileClaim::Failed)
        << "the partial file is gone";
    EXPECT_FALSE(reason.empty());
}

TEST_F(OutputNaming, TheLastNumberTakenIsAFactNotASentence) {
    // The largest "(N)" name is taken as the file is published: no number is left, and the core
    // says so by a fault kind and the name, which the window words in the user's language.
    TReservedOutput reserved = ReserveOutputFile(Folder + L"clip.avi");
    ASSERT_TRUE(reserved.Reserved);
    reserved.Number = std::numeric_limits<int>::max();
    Touch(L"clip(2147483647).avi");
    std::wstring published, reason;
    try {
        PublishOutputFile(reserved, Folder + L"clip.avi", published, reason);
        ADD_FAILURE() << "no name was left";
    } catch (const ECoreFault& Fault) {
        EXPECT_EQ(Fault.Kind(), TCoreFaultKind::NoFreeName);
        EXPECT_EQ(Fault.Values(), std::vector<std::wstring>{Folder + L"clip.avi"});
    }
    EXPECT_TRUE(PathExists(reserved.Partial)) << "the converted work stays where it is";
    EXPECT_TRUE(published.empty());
}

#ifdef _WIN32
TEST_F(OutputNaming, FileHeldOpenWithoutSharingIsTaken) {
    const std::wstring name = Folder + L"clip.avi";
    HANDLE held = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetUniqueFileName(name), Folder + L"clip(2).avi");
    CloseHandle(held);
}
#endif

} // namespace
