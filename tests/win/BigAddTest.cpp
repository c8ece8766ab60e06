// Thousands of files at once: listed in slices between the window's messages, in the order given,
// without duplicates, and stopped cleanly when the window closes.
#include "MainFormFixture.h"

#include "ShellDrop.h"
#include "TestSupport.h"

#include <cwctype>
#include <filesystem>

using testing_support::TempFolder;

namespace {

namespace fs = std::filesystem;

constexpr int ManyFiles = 3000;

class BigAddTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        CreateForm();
        // Listing is fast enough that a whole folder can fit in one slice's time; these tests
        // are about what happens between slices.
        Form->AddSliceFileLimit = 100;
    }
    static void SetUpTestSuite() {
        Folder = new TempFolder(L"kestrova-bigadd");
        for (int i = 1; i <= ManyFiles; ++i)
            Folder->WriteFile(L"clip " + std::to_wstring(i) + L".webm", "webm");
    }
    static void TearDownTestSuite() {
        delete Folder;
        Folder = nullptr;
    }
    static std::wstring Clip(int Number) {
        return (Folder->Path() / (L"clip " + std::to_wstring(Number) + L".webm")).wstring();
    }
    // Gives the paths as a drop does, without letting the window list them yet.
    void DropOnly(const std::vector<std::wstring>& Paths) {
        SendMessageW(Form->Handle(), WM_DROPFILES,
                     reinterpret_cast<WPARAM>(testing_support::MakeDrop(Paths)), 0);
    }
    // Handles one message of the window's thread; false when none came within a second.
    static bool HandleOneMessage() {
        MSG Msg;
        const ULONGLONG Deadline = GetTickCount64() + 1000;
        while (!PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
            if (GetTickCount64() > Deadline)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        TranslateMessage(&Msg);
        DispatchMessageW(&Msg);
        return true;
    }

    static TempFolder* Folder;
};

TempFolder* BigAddTest::Folder = nullptr;

TEST_F(BigAddTest, AFolderIsListedInSlicesInOrderWhileTheWindowHandlesItsMessages) {
    DropOnly({Folder->Path().wstring()});
    EXPECT_TRUE(Form->Adding());
    EXPECT_LT(Form->RowCount(), ManyFiles) << "the drop returns before the files are listed";

    // A message that comes during the add is handled before the add ends.
    PostMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(IDC_BTNABOUT, BN_CLICKED), 0);
    int RowsWhenAnswered = -1;
    std::wstring LabelWhileAdding;
    while (Form->Adding() && HandleOneMessage()) {
        if (RowsWhenAnswered < 0 && !Boxes.empty())
            RowsWhenAnswered = Form->RowCount();
        if (Form->RowCount() > 0 && LabelWhileAdding.empty())
            LabelWhileAdding = Text(IDC_LBLFILESTOCONVERT);
    }
    EXPECT_FALSE(Form->Adding());
    EXPECT_GE(RowsWhenAnswered, 0) << "About was shown";
    EXPECT_LT(RowsWhenAnswered, ManyFiles) << "About waited for the whole add";
    // The label counts the rows while they come, and is itself again afterwards.
    EXPECT_EQ(LabelWhileAdding.rfind(L"WebM files to convert: ", 0), 0u) << LabelWhileAdding;
    EXPECT_NE(LabelWhileAdding.find(L"(adding...)"), std::wstring::npos) << LabelWhileAdding;
    EXPECT_EQ(Text(IDC_LBLFILESTOCONVERT), L"WebM files to convert:");

    ASSERT_EQ(Form->RowCount(), ManyFiles);
    for (int Row = 0; Row < ManyFiles; Row += 97)
        ASSERT_EQ(Form->GetItemFileName(Row), Clip(Row + 1)) << "natural order, row " << Row;
    EXPECT_EQ(Form->GetItemFileName(ManyFiles - 1), Clip(ManyFiles));
    EXPECT_FALSE(HintShown());
    EXPECT_TRUE(Enabled(IDC_BTNCONVERT));
    EXPECT_EQ(Boxes.size(), 1u) << "nothing but About";
}

TEST_F(BigAddTest, FilesAlreadyListedInAnyCaseAreSkippedAndARemovedFileCanComeBack) {
    Drop({Clip(2), Clip(1)});
    std::wstring Upper = Clip(1);
    for (wchar_t& C : Upper)
        C = static_cast<wchar_t>(towupper(C));
    // Another drop waits behind the first; both bring files listed already.
    DropOnly({Clip(3), Upper, Clip(2)});
    Drop({Clip(2), Clip(4)});
    EXPECT_TRUE(Boxes.empty());
    ASSERT_EQ(Form->RowCount(), 4);
    EXPECT_EQ(Form->GetItemFileName(0), Clip(2));
    EXPECT_EQ(Form->GetItemFileName(1), Clip(1));
    EXPECT_EQ(Form->GetItemFileName(2), Clip(3));
    EXPECT_EQ(Form->GetItemFileName(3), Clip(4));

    // Removed, it is no longer listed, so it can be added again.
    SelectRows({1});
    Click(IDC_BTNREMOVE);
    ASSERT_EQ(Form->RowCount(), 3);
    Drop({Upper});
    ASSERT_EQ(Form->RowCount(), 4);
    EXPECT_EQ(Form->GetItemFileName(3), Upper);
}

TEST_F(BigAddTest, RowsRemovedDuringAnAddStayRemovedAndTheRestStillComes) {
    DropOnly({Folder->Path().wstring()});
    while (Form->RowCount() == 0 && HandleOneMessage()) {
    }
    ASSERT_TRUE(Form->Adding()) << "the add ended in its first slice";
    SelectRows({0});
    SendMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(IDC_BTNREMOVE, BN_CLICKED), 0);
    FinishAdding();
    ASSERT_EQ(Form->RowCount(), ManyFiles - 1);
    EXPECT_EQ(Form->GetItemFileName(0), Clip(2));
    EXPECT_EQ(Form->GetItemFileName(ManyFiles - 2), Clip(ManyFiles));
}

TEST_F(BigAddTest, ConvertDuringAnAddStartsTheBatchOnceEveryFileIsListed) {
    // Two files that are no video: the batch fails them both, and its summary names them.
    TempFolder Small{L"kestrova-bigadd-convert"};
    const std::wstring A = Small.WriteFile(L"a.webm", "no video").wstring();
    const std::wstring B = Small.WriteFile(L"b.webm", "no video").wstring();
    DropOnly({A, B});
    ASSERT_TRUE(Form->Adding());
    SendMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(IDC_BTNCONVERT, BN_CLICKED), 0);
    EXPECT_TRUE(Boxes.empty()) << "no batch before the files are listed";
    const ULONGLONG Deadline = GetTickCount64() + 60000;
    while (Boxes.empty() && GetTickCount64() < Deadline && HandleOneMessage()) {
    }
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_NE(Boxes[0].Text.find(L"Some files were not converted."), std::wstring::npos)
        << Boxes[0].Text;
    EXPECT_NE(Boxes[0].Text.find(L"a.webm"), std::wstring::npos) << Boxes[0].Text;
    EXPECT_NE(Boxes[0].Text.find(L"b.webm"), std::wstring::npos) << Boxes[0].Text;
}

TEST_F(BigAddTest, ClosingTheWindowDuringAnAddStopsIt) {
    DropOnly({Folder->Path().wstring(), Clip(1) + L".missing.webm"});
    while (Form->RowCount() == 0 && HandleOneMessage()) {
    }
    ASSERT_TRUE(Form->Adding());
    SendMessageW(Form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(Form->Handle(), nullptr);
    EXPECT_FALSE(Form->Adding());
    // What was posted for the add goes nowhere; the missing file is never reported.
    while (HandleOneMessage()) {
    }
    EXPECT_TRUE(Boxes.empty());
}

} // namespace
