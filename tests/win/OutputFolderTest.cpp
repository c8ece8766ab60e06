// The output-folder choice: radio logic, the box's colours, the folder chooser.
#include "MainFormFixture.h"

namespace {

HBRUSH ColorReply(HWND Form, UINT Msg, HWND Control) {
    HDC Dc = GetDC(Control);
    auto Brush = reinterpret_cast<HBRUSH>(
        SendMessageW(Form, Msg, reinterpret_cast<WPARAM>(Dc), reinterpret_cast<LPARAM>(Control)));
    ReleaseDC(Control, Dc);
    return Brush;
}

} // namespace

class OutputFolderTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        CreateForm();
    }
    // The background the edit box asks for in its current state.
    HBRUSH EditBackground() {
        HWND Edit = Form->Control(IDC_EDOUTPUTFOLDER);
        // Disabled edit boxes ask with WM_CTLCOLORSTATIC, enabled ones with WM_CTLCOLOREDIT.
        return ColorReply(Form->Handle(),
                          IsWindowEnabled(Edit) ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC, Edit);
    }
};

TEST_F(OutputFolderTest, OtherEnablesTheBoxAndBrowseSameDisablesThemKeepingTheText) {
    std::wstring Videos = Text(IDC_EDOUTPUTFOLDER);
    EXPECT_EQ(EditBackground(), GetSysColorBrush(COLOR_BTNFACE));

    SendMessageW(Form->Control(IDC_RBOTHERFOLDER), BM_CLICK, 0, 0);
    EXPECT_FALSE(Form->SameFolderChecked());
    EXPECT_TRUE(Enabled(IDC_EDOUTPUTFOLDER));
    EXPECT_TRUE(Enabled(IDC_BTNBROWSE));
    EXPECT_EQ(EditBackground(), GetSysColorBrush(COLOR_WINDOW));

    SetWindowTextW(Form->Control(IDC_EDOUTPUTFOLDER), L"D:\\Out");
    SendMessageW(Form->Control(IDC_RBSAMEFOLDER), BM_CLICK, 0, 0);
    EXPECT_TRUE(Form->SameFolderChecked());
    EXPECT_FALSE(Enabled(IDC_EDOUTPUTFOLDER));
    EXPECT_FALSE(Enabled(IDC_BTNBROWSE));
    EXPECT_EQ(EditBackground(), GetSysColorBrush(COLOR_BTNFACE));
    EXPECT_EQ(Form->OutputFolderText(), L"D:\\Out");
    EXPECT_NE(Videos, L"D:\\Out");
}

TEST_F(OutputFolderTest, HintIsDrawnOnTheWindowColour) {
    EXPECT_EQ(ColorReply(Form->Handle(), WM_CTLCOLORSTATIC, Form->Control(IDC_LBLADDFILES)),
              GetSysColorBrush(COLOR_WINDOW));
}

TEST_F(OutputFolderTest, BrowseStartsAtTheBoxTextAndOnlyAConfirmedChoiceReplacesIt) {
    SendMessageW(Form->Control(IDC_RBOTHERFOLDER), BM_CLICK, 0, 0);
    SetWindowTextW(Form->Control(IDC_EDOUTPUTFOLDER), L"C:\\start");
    Click(IDC_BTNBROWSE);
    EXPECT_EQ(FolderChooserInstruction, L"Output folder:");
    EXPECT_EQ(FolderChooserStart, L"C:\\start");
    EXPECT_EQ(Form->OutputFolderText(), L"C:\\start");

    NextFolderChoice = L"C:\\chosen";
    Click(IDC_BTNBROWSE);
    EXPECT_EQ(Form->OutputFolderText(), L"C:\\chosen");
}
