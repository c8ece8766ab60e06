#include "MainFormFixture.h"

#include "ShellDrop.h"

void MainFormTest::SetUp() {
    TestRootPath = L"Software\\KestrovaTests\\" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, TestRootPath.c_str());
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TestRootPath.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &TestRoot, nullptr),
              ERROR_SUCCESS);
    Application.RegistryRoot = TestRoot;
    AppData = std::make_unique<testing_support::TempFolder>(L"kestrova-appdata");
    Application.Hooks.LocalAppDataFolder = [this] { return AppData->Wide(); };
    Application.Hooks.ShowMessageBox = [this](HWND, const std::wstring& Text,
                                              const std::wstring& Caption, UINT Type) {
        Boxes.push_back({Text, Caption, Type});
        return IDOK;
    };
    Application.Hooks.ShellExecuteVerb = [this](const std::wstring& Verb,
                                                const std::wstring& File) {
        ShellCalls.push_back({Verb, File});
        return NextShellError;
    };
    Application.Hooks.RunOpenDialog = [this](HWND, TOpenDialog& Dialog) {
        ++OpenDialogRuns;
        OpenDialogStartName = Dialog.FileName;
        if (NextOpenDialogChoice.empty())
            return false;
        Dialog.Files = NextOpenDialogChoice;
        Dialog.FileName = Dialog.Files.front();
        return true;
    };
    Application.Hooks.RunFolderChooser = [this](HWND, const std::wstring& Instruction,
                                                std::wstring& Folder) {
        FolderChooserInstruction = Instruction;
        FolderChooserStart = Folder;
        if (NextFolderChoice.empty())
            return false;
        Folder = NextFolderChoice;
        return true;
    };
}

void MainFormTest::TearDown() {
    Form.reset();
    Application.Hooks = {};
    Application.SessionEnding = false;
    Application.MainWindow = nullptr;
    Application.RegistryRoot = HKEY_CURRENT_USER;
    RegCloseKey(TestRoot);
    RegDeleteTreeW(HKEY_CURRENT_USER, TestRootPath.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\KestrovaTests");
}

HKEY MainFormTest::SettingsKey() {
    HKEY Key = nullptr;
    RegCreateKeyExW(TestRoot, L"Software\\Tamblin\\Kestrova", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &Key, nullptr);
    return Key;
}

TMainForm& MainFormTest::CreateForm() {
    Form = std::make_unique<TMainForm>();
    Form->Create();
    return *Form;
}

void MainFormTest::Drop(const std::vector<std::wstring>& Files) {
    LastDrop = testing_support::MakeDrop(Files);
    SendMessageW(Form->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(LastDrop), 0);
    FinishAdding();
}

void MainFormTest::FinishAdding() {
    const ULONGLONG Deadline = GetTickCount64() + 60000;
    MSG Msg;
    while (Form && Form->Adding() && GetTickCount64() < Deadline) {
        if (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&Msg);
            DispatchMessageW(&Msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    ASSERT_FALSE(Form && Form->Adding()) << "the add did not finish within a minute";
}

void MainFormTest::SelectRows(const std::vector<int>& Rows) {
    HWND List = Form->Control(IDC_LSTFILESTOCONVERT);
    ListView_SetItemState(List, -1, 0, LVIS_SELECTED);
    for (int Row : Rows)
        ListView_SetItemState(List, Row, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
}

std::wstring MainFormTest::Text(int Id) const {
    wchar_t Buffer[1024] = {};
    GetWindowTextW(Id ? Form->Control(Id) : Form->Handle(), Buffer, 1024);
    return Buffer;
}

bool MainFormTest::HintShown() const {
    return (GetWindowLongPtrW(Form->Control(IDC_LBLADDFILES), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool MainFormTest::MenuEnabled(UINT Id) const {
    UINT State = GetMenuState(Form->GetPopupMenu(), Id, MF_BYCOMMAND);
    EXPECT_NE(State, static_cast<UINT>(-1));
    return !(State & (MF_GRAYED | MF_DISABLED));
}

void MainFormTest::Click(int Id) {
    SendMessageW(Form->Handle(), WM_COMMAND, MAKEWPARAM(Id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Form->Control(Id)));
    FinishAdding();
}

void MainFormTest::PressKeyInList(WORD Key) {
    HWND List = Form->Control(IDC_LSTFILESTOCONVERT);
    SendMessageW(List, WM_KEYDOWN, Key, 1);
    SendMessageW(List, WM_KEYUP, Key, 0xC0000001);
}

void MainFormTest::SendListNotification(UINT Code) {
    NMITEMACTIVATE Notice{};
    Notice.hdr.hwndFrom = Form->Control(IDC_LSTFILESTOCONVERT);
    Notice.hdr.idFrom = IDC_LSTFILESTOCONVERT;
    Notice.hdr.code = Code;
    Notice.iItem = -1;
    SendMessageW(Form->Handle(), WM_NOTIFY, IDC_LSTFILESTOCONVERT,
                 reinterpret_cast<LPARAM>(&Notice));
}
