// A main window created in-process for each test, with a private settings key and the modal
// boxes, shell calls and dialogs recorded instead of shown.
#pragma once

#include "Application.h"
#include "Main.h"
#include "TestSupport.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

struct TRecordedBox {
    std::wstring Text, Caption;
    UINT Type;
};

struct TRecordedShellCall {
    std::wstring Verb, File;
};

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TMainForm& CreateForm();
    // Destroys the window, which runs its FormDestroy.
    void DestroyForm() { Form.reset(); }

    // Hands the files to the window as the shell does when they are dropped on it, and lets the
    // window list them.
    void Drop(const std::vector<std::wstring>& Files);
    // Handles the window's messages until its add is done, as the message loop would.
    void FinishAdding();
    void SelectRows(const std::vector<int>& Rows);
    std::wstring Text(int Id) const;
    bool Enabled(int Id) const { return IsWindowEnabled(Form->Control(Id)) != FALSE; }
    bool HintShown() const;
    bool MenuEnabled(UINT Id) const;
    // Clicks the control, then lets an add it started finish.
    void Click(int Id);
    // Sends a key press to the list as the keyboard would.
    void PressKeyInList(WORD Key);
    void SendListNotification(UINT Code);

    // The settings key path under HKEY_CURRENT_USER that stands for HKEY_CURRENT_USER.
    std::wstring TestRootPath;
    HKEY TestRoot = nullptr;
    HKEY SettingsKey(); // Software\Tamblin\Kestrova below the test root, created when missing

    std::unique_ptr<TMainForm> Form;
    std::vector<TRecordedBox> Boxes;
    std::vector<TRecordedShellCall> ShellCalls;
    DWORD NextShellError = 0; // what the shell answers: 0 done, else a system error code
    int OpenDialogRuns = 0;
    std::wstring OpenDialogStartName;
    std::vector<std::wstring> NextOpenDialogChoice;
    std::wstring FolderChooserStart, FolderChooserInstruction;
    std::wstring NextFolderChoice; // empty: the user cancels
    HDROP LastDrop = nullptr;
    // Stands for the user's local application data folder, where the lists are saved.
    std::unique_ptr<testing_support::TempFolder> AppData;
};
