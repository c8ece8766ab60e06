// Creation texts, the start counter in the registry, About and the web site.
#include "MainFormFixture.h"

#include "AppError.h"
#include "Shell.h"
#include "Version.h"

#include <shlobj.h>
#include <string_view>
#include <windowsx.h>
#include <winver.h>

namespace {

const std::wstring SiteAddress = L"https://www.orvanet.example/";

DWORD StoredType(HKEY Key, std::wstring* Text = nullptr, DWORD* Number = nullptr) {
    DWORD Type = 0;
    BYTE Data[256] = {};
    DWORD Size = sizeof Data - sizeof(wchar_t);
    if (RegQueryValueExW(Key, L"UseCount", nullptr, &Type, Data, &Size) != ERROR_SUCCESS)
        return REG_NONE;
    if (Text && Type == REG_SZ)
        *Text = reinterpret_cast<const wchar_t*>(Data);
    if (Number && Type == REG_DWORD)
        memcpy(Number, Data, sizeof *Number);
    return Type;
}

} // namespace

TEST_F(MainFormTest, CreationCompletesTheTextsAndInitialState) {
    CreateForm();
    EXPECT_EQ(Application.Title, L"Kestrova");
    EXPECT_EQ(Text(0), L"Kestrova");
    EXPECT_EQ(Text(IDC_LBLFILESTOCONVERT), L"WebM files to convert:");
    EXPECT_EQ(Text(IDC_BTNCONVERT), L"Convert to AVI");
    EXPECT_EQ(Text(IDC_BTNWEBSITE), L"Orvanet");
    EXPECT_EQ(Text(IDC_LBLADDFILES), L"Please add the files you want to convert");
    EXPECT_EQ(Form->GetOpenDialog().Filter, L"WebM Video (*.webm)|*.webm");
    EXPECT_EQ(Form->GetOpenDialog().Title, L"Add Files");
    EXPECT_EQ(Form->GetRegistryKey(), L"Software\\Tamblin\\Kestrova");

    wchar_t Videos[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_MYVIDEO, nullptr, SHGFP_TYPE_CURRENT, Videos), S_OK);
    EXPECT_EQ(Text(IDC_EDOUTPUTFOLDER), std::wstring(Videos) + L"\\");

    wchar_t Exe[MAX_PATH];
    GetModuleFileNameW(nullptr, Exe, MAX_PATH);
    std::wstring ExePath = Exe;
    EXPECT_EQ(Form->GetAppPath(), ExePath.substr(0, ExePath.find_last_of(L'\\') + 1));

    EXPECT_TRUE(Form->SameFolderChecked());
    EXPECT_FALSE(Enabled(IDC_EDOUTPUTFOLDER));
    EXPECT_FALSE(Enabled(IDC_BTNBROWSE));
    EXPECT_FALSE(Enabled(IDC_BTNREMOVE));
    EXPECT_FALSE(Enabled(IDC_BTNCONVERT));
    EXPECT_TRUE(HintShown());
    EXPECT_TRUE(Boxes.empty());

    HWND List = Form->Control(IDC_LSTFILESTOCONVERT);
    wchar_t Caption[32];
    LVCOLUMNW Column{};
    Column.mask = LVCF_TEXT;
    Column.pszText = Caption;
    Column.cchTextMax = 32;
    ASSERT_TRUE(ListView_GetColumn(List, 1, &Column));
    EXPECT_STREQ(Caption, L"Location");
    DWORD Extended = ListView_GetExtendedListViewStyle(List);
    EXPECT_TRUE(Extended & LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(Extended & LVS_EX_DOUBLEBUFFER);
    EXPECT_EQ(GetMenuDefaultItem(Form->GetPopupMenu(), FALSE, GMDI_USEDISABLED),
              static_cast<UINT>(IDM_PLAY));
}

TEST_F(MainFormTest, FirstStartCountsOneAndOpensTheSiteAtExitLaterStartsDoNot) {
    CreateForm();
    EXPECT_EQ(Form->GetUseCount(), 1);
    DestroyForm();
    DWORD Stored = 0;
    EXPECT_EQ(StoredType(SettingsKey(), nullptr, &Stored), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Stored, 1u);
    ASSERT_EQ(ShellCalls.size(), 1u);
    EXPECT_EQ(ShellCalls[0].Verb, L"open");
    EXPECT_EQ(ShellCalls[0].File, SiteAddress);

    ShellCalls.clear();
    CreateForm();
    EXPECT_EQ(Form->GetUseCount(), 2);
    DestroyForm();
    StoredType(SettingsKey(), nullptr, &Stored);
    EXPECT_EQ(Stored, 2u);
    EXPECT_TRUE(ShellCalls.empty());
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(MainFormTest, CountStoredAsTextIsReadByTheIntegerRuleAndStaysText) {
    struct {
        const wchar_t* Stored;
        int UseCount;
        const wchar_t* Written;
    } Cases[] = {
        {L"  41", 42, L"42"}, {L"$10", 17, L"17"}, {L"-0x2", -1, L"-1"}, {L"twelve", 1, L"1"}};
    for (const auto& Case : Cases) {
        SCOPED_TRACE(testing::Message() << "stored text " << testing::PrintToString(Case.Stored));
        HKEY Key = SettingsKey();
        RegSetValueExW(Key, L"UseCount", 0, REG_SZ, reinterpret_cast<const BYTE*>(Case.Stored),
                       static_cast<DWORD>((wcslen(Case.Stored) + 1) * sizeof(wchar_t)));
        CreateForm();
        EXPECT_EQ(Form->GetUseCount(), Case.UseCount);
        DestroyForm();
        std::wstring Written;
        EXPECT_EQ(StoredType(Key, &Written), static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(Written, Case.Written);
        RegCloseKey(Key);
    }
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(MainFormTest, CountOfAnotherTypeIsReportedAndTheWindowStillCompletes) {
    HKEY Key = SettingsKey();
    const BYTE Junk[3] = {1, 2, 3};
    RegSetValueExW(Key, L"UseCount", 0, REG_BINARY, Junk, sizeof Junk);
    CreateForm();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, L"Invalid data type for 'UseCount'.");
    EXPECT_EQ(Boxes[0].Caption, L"Kestrova");
    EXPECT_EQ(Boxes[0].Type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(Form->GetUseCount(), 0);
    // Every later creation step still ran.
    EXPECT_FALSE(Form->GetAppPath().empty());
    EXPECT_EQ(Text(IDC_BTNWEBSITE), L"Orvanet");
    EXPECT_EQ(Text(IDC_BTNCONVERT), L"Convert to AVI");
    EXPECT_FALSE(Text(IDC_EDOUTPUTFOLDER).empty());
    EXPECT_EQ(Form->GetOpenDialog().Filter, L"WebM Video (*.webm)|*.webm");
    DestroyForm();
    DWORD Stored = 99;
    EXPECT_EQ(StoredType(Key, nullptr, &Stored), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Stored, 0u);
    EXPECT_TRUE(ShellCalls.empty());
    RegCloseKey(Key);
}

TEST_F(MainFormTest, CountAtTheTopOfTheRangeDoesNotTurnNegative) {
    HKEY Key = SettingsKey();
    DWORD Top = 0x7FFFFFFF;
    RegSetValueExW(Key, L"UseCount", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Top), 4);
    CreateForm();
    EXPECT_EQ(Form->GetUseCount(), 0x7FFFFFFF);
    RegCloseKey(Key);
}

TEST_F(MainFormTest, KeyThatCannotBeCreatedAtExitIsReportedAndTheSiteStaysClosed) {
    CreateForm();
    ASSERT_EQ(Form->GetUseCount(), 1);
    // The root the settings live under disappears while the program runs.
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, TestRootPath.c_str()), ERROR_SUCCESS);
    DestroyForm();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, L"Failed to create key Software\\Tamblin\\Kestrova.");
    EXPECT_TRUE(ShellCalls.empty());
}

// The resources are linked into this test program as into Kestrova.exe.
TEST(VersionResource, CarriesTheBuildsVersion) {
    HRSRC Found = FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    ASSERT_NE(Found, nullptr);
    const auto* Data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, Found)));
    const DWORD Size = SizeofResource(nullptr, Found);
    const VS_FIXEDFILEINFO* Fixed = nullptr;
    for (DWORD At = 0; At + sizeof(VS_FIXEDFILEINFO) <= Size && !Fixed; At += 4)
        if (reinterpret_cast<const VS_FIXEDFILEINFO*>(Data + At)->dwSignature == VS_FFI_SIGNATURE)
            Fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(Data + At);
    ASSERT_NE(Fixed, nullptr);
    const WORD Parts[] = {KESTROVA_FILE_VERSION};
    EXPECT_EQ(Fixed->dwFileVersionMS, MAKELONG(Parts[1], Parts[0]));
    EXPECT_EQ(Fixed->dwFileVersionLS, MAKELONG(Parts[3], Parts[2]));
    EXPECT_EQ(Fixed->dwProductVersionMS, Fixed->dwFileVersionMS);
    // The product version as text, after its name in the string block.
    const std::wstring_view Block(reinterpret_cast<const wchar_t*>(Data), Size / sizeof(wchar_t));
    const size_t Name = Block.find(L"ProductVersion");
    ASSERT_NE(Name, std::wstring_view::npos);
    EXPECT_NE(Block.find(L"" KESTROVA_VERSION_TEXT, Name), std::wstring_view::npos);
}

// The manifest names the program's assembly with the same four-part version.
TEST(VersionResource, ManifestCarriesTheBuildsVersion) {
    HRSRC Found = FindResourceW(nullptr, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    ASSERT_NE(Found, nullptr);
    const auto* Data = static_cast<const char*>(LockResource(LoadResource(nullptr, Found)));
    const std::string_view Manifest(Data, SizeofResource(nullptr, Found));
    const size_t Identity = Manifest.find("name=\"Tamblin.Kestrova\"");
    ASSERT_NE(Identity, std::string_view::npos);
    // The identity's own version attribute, the first after its name.
    const size_t Value = Manifest.find("version=\"", Identity);
    ASSERT_NE(Value, std::string_view::npos);
    const size_t Start = Value + 9;
    EXPECT_EQ(Manifest.substr(Start, Manifest.find('"', Start) - Start),
              KESTROVA_FILE_VERSION_TEXT);
}

TEST_F(MainFormTest, AboutAndWebSiteButtons) {
    CreateForm();
    Click(IDC_BTNABOUT);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Caption, L"Information");
    const std::wstring Version = L"" KESTROVA_VERSION_TEXT;
    EXPECT_EQ(Boxes[0].Text,
              L"Kestrova " + Version +
                  L"\rMade by Tamblin Software.\r\rThis software is based on FFmpeg.");
    EXPECT_EQ(Boxes[0].Type & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(Boxes[0].Type & MB_TYPEMASK, static_cast<UINT>(MB_OK));

    Click(IDC_BTNWEBSITE);
    ASSERT_EQ(ShellCalls.size(), 1u);
    EXPECT_EQ(ShellCalls[0].Verb, L"open");
    EXPECT_EQ(ShellCalls[0].File, SiteAddress);
}

TEST(ErrorMessages, EndWithOneFullStop) {
    auto Message = [](auto Error) { return ExceptionMessage(std::make_exception_ptr(Error)); };
    EXPECT_EQ(Message(EInOutError(ERROR_ACCESS_DENIED)), L"File access denied.");
    EXPECT_EQ(Message(EInOutError(ERROR_FILE_NOT_FOUND)), L"The specified file was not found.");
    EXPECT_EQ(Message(EInOutError(ERROR_SHARING_VIOLATION)), L"I/O error 32.");
    EXPECT_EQ(Message(EAppError(L"Already ends.")), L"Already ends.");
    EXPECT_EQ(Message(std::runtime_error("plain")), L"plain.");
}

TEST(OpenDialogResult, SplitsOneOrSeveralChosenFiles) {
    EXPECT_EQ(SplitOpenDialogResult(L"C:\\v\\one.webm\0"),
              std::vector<std::wstring>{L"C:\\v\\one.webm"});
    EXPECT_EQ(SplitOpenDialogResult(L"C:\\v\0b.webm\0a.webm\0"),
              (std::vector<std::wstring>{L"C:\\v\\b.webm", L"C:\\v\\a.webm"}));
    EXPECT_EQ(SplitOpenDialogResult(L"C:\\\0a.webm\0"), std::vector<std::wstring>{L"C:\\a.webm"});
}

TEST(Registry, AFailedReadSaysWhatHappenedRatherThanBlamingTheType) {
    // A key opened without the right to query: the read fails for a reason of its own.
    HKEY Root = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Tamblin\\KestrovaTestNoQuery", 0,
                              nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &Root,
                              nullptr),
              ERROR_SUCCESS);
    const DWORD Count = 7;
    RegSetValueExW(Root, L"UseCount", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Count),
                   sizeof Count);
    HKEY WriteOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tamblin\\KestrovaTestNoQuery", 0,
                            KEY_SET_VALUE, &WriteOnly),
              ERROR_SUCCESS);
    try {
        ReadRegistryValue(WriteOnly, L"UseCount");
        ADD_FAILURE() << "the read should have failed";
    } catch (const EAppError& Error) {
        EXPECT_EQ(Error.Message().rfind(L"Failed to read 'UseCount': ", 0), 0u) << Error.what();
        EXPECT_EQ(Error.Message().find(L"Invalid data type"), std::wstring::npos);
    }
    // Readable again, the same value reads as the number it is.
    const TStoredValue Readable = ReadRegistryValue(Root, L"UseCount");
    EXPECT_EQ(Readable.Kind, TValueKind::Integer);
    EXPECT_EQ(Readable.Number, 7);
    RegCloseKey(WriteOnly);
    RegCloseKey(Root);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tamblin\\KestrovaTestNoQuery");
}

// The player-safe choice: off by default, kept in the settings key beside the count and read at
// the next start; a stored value that is not 1 (or not a number at all) means off, silently.
TEST_F(MainFormTest, PlayerSafeChoiceIsOffByDefaultAndRemembered) {
    CreateForm();
    EXPECT_EQ(Text(IDC_CBPLAYERSAFE), L"For DVD and TV players");
    EXPECT_EQ(Button_GetCheck(Form->Control(IDC_CBPLAYERSAFE)), BST_UNCHECKED);
    // A real click toggles the box, then tells the window.
    SendMessageW(Form->Control(IDC_CBPLAYERSAFE), BM_SETCHECK, BST_CHECKED, 0);
    Click(IDC_CBPLAYERSAFE);
    HKEY Key = SettingsKey();
    DWORD Stored = 0, Size = sizeof Stored, Type = 0;
    ASSERT_EQ(RegQueryValueExW(Key, L"PlayerSafe", nullptr, &Type, reinterpret_cast<BYTE*>(&Stored),
                               &Size),
              ERROR_SUCCESS);
    EXPECT_EQ(Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Stored, 1u) << "kept as soon as it is ticked";
    DestroyForm();

    CreateForm();
    EXPECT_EQ(Button_GetCheck(Form->Control(IDC_CBPLAYERSAFE)), BST_CHECKED);
    SendMessageW(Form->Control(IDC_CBPLAYERSAFE), BM_SETCHECK, BST_UNCHECKED, 0);
    DestroyForm(); // written at exit too
    CreateForm();
    EXPECT_EQ(Button_GetCheck(Form->Control(IDC_CBPLAYERSAFE)), BST_UNCHECKED);
    DestroyForm();

    const BYTE Junk[3] = {1, 2, 3};
    const DWORD Two = 2;
    const wchar_t One[] = L"1";
    struct {
        DWORD Type;
        const BYTE* Data;
        DWORD Size;
        UINT Expected;
    } Cases[] = {{REG_BINARY, Junk, sizeof Junk, BST_UNCHECKED},
                 {REG_DWORD, reinterpret_cast<const BYTE*>(&Two), sizeof Two, BST_UNCHECKED},
                 {REG_SZ, reinterpret_cast<const BYTE*>(One), sizeof One, BST_CHECKED}};
    for (const auto& Case : Cases) {
        RegSetValueExW(Key, L"PlayerSafe", 0, Case.Type, Case.Data, Case.Size);
        Boxes.clear();
        CreateForm();
        EXPECT_EQ(Button_GetCheck(Form->Control(IDC_CBPLAYERSAFE)), Case.Expected)
            << "stored type " << Case.Type;
        EXPECT_TRUE(Boxes.empty()) << "a bad stored choice is not worth a message";
        DestroyForm();
    }
    RegCloseKey(Key);
}

// What the registry holds, as the settings' rules see it: each type and size a damaged or
// hand-edited value may have.
TEST(Registry, EachStoredTypeReadsAsItsKindAndWritesBackAsTheSettingsDo) {
    const wchar_t* Path = L"Software\\Tamblin\\KestrovaTestKinds";
    HKEY Key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Path, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &Key, nullptr),
              ERROR_SUCCESS);
    auto Set = [&](const wchar_t* Name, DWORD Type, const void* Data, DWORD Size) {
        ASSERT_EQ(RegSetValueExW(Key, Name, 0, Type, static_cast<const BYTE*>(Data), Size),
                  ERROR_SUCCESS);
    };
    const DWORD AllOnes = 0xFFFFFFFF;
    const uint64_t Wide = 5;
    const wchar_t Unterminated[] = {L'1', L'2'};
    Set(L"Number", REG_DWORD, &AllOnes, sizeof AllOnes);
    Set(L"Short", REG_DWORD, &AllOnes, 2);
    Set(L"Wide", REG_QWORD, &Wide, sizeof Wide);
    Set(L"Expand", REG_EXPAND_SZ, L"$1F", 8);
    Set(L"Unterminated", REG_SZ, Unterminated, sizeof Unterminated);
    Set(L"Odd", REG_SZ, L"34", 5); // half a character at the end
    Set(L"Binary", REG_BINARY, &AllOnes, sizeof AllOnes);

    struct {
        const wchar_t* Name;
        TValueKind Kind;
        int32_t Read; // by the start count's rule
    } Cases[] = {
        {L"Number", TValueKind::Integer, -1},    {L"Short", TValueKind::Other, 0},
        {L"Wide", TValueKind::Other, 0},         {L"Expand", TValueKind::Text, 31},
        {L"Unterminated", TValueKind::Text, 12}, {L"Odd", TValueKind::Text, 34},
        {L"Binary", TValueKind::Other, 0},       {L"Absent", TValueKind::Missing, 0},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(testing::PrintToString(Case.Name));
        const TStoredValue Stored = ReadRegistryValue(Key, Case.Name);
        EXPECT_EQ(Stored.Kind, Case.Kind);
        const TSettingValue Read = ReadSettingValue(UseCountSetting, Stored);
        EXPECT_EQ(Read.Value, Case.Read);
    }

    WriteRegistryValue(Key, L"Text", {TValueKind::Text, 0, L"-17"});
    WriteRegistryValue(Key, L"Dword", {TValueKind::Integer, -2, L""});
    DWORD Type = 0, Size = 0;
    wchar_t Text[8] = {};
    Size = sizeof Text;
    ASSERT_EQ(RegQueryValueExW(Key, L"Text", nullptr, &Type, reinterpret_cast<BYTE*>(Text), &Size),
              ERROR_SUCCESS);
    EXPECT_EQ(Type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Size, 4 * sizeof(wchar_t)) << "with its terminator";
    EXPECT_STREQ(Text, L"-17");
    DWORD Number = 0;
    Size = sizeof Number;
    ASSERT_EQ(
        RegQueryValueExW(Key, L"Dword", nullptr, &Type, reinterpret_cast<BYTE*>(&Number), &Size),
        ERROR_SUCCESS);
    EXPECT_EQ(Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Number, 0xFFFFFFFEu);
    RegCloseKey(Key);
    RegDeleteKeyW(HKEY_CURRENT_USER, Path);
}
