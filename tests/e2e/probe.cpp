// Reads the windows of a running Kestrova from outside, for tests/e2e/run.sh: it only looks,
// the script does the clicking and typing. Output is UTF-8, one item a line; exit code 1 when
// the window in question is missing or a wait times out.
//
//   kestrova_probe wait SECONDS TITLE...  until a visible top-level window with one of the
//                                           titles exists; prints the title found
//   kestrova_probe gone SECONDS TITLE     until no window TITLE is left, shown or not
//   kestrova_probe idle SECONDS TITLE     until window TITLE is visible, enabled and serving
//                                           its messages, so a click on it is not lost, and
//                                           (the main window) has listed what it was given
//   kestrova_probe texts TITLE            its controls: class, visible|hidden,
//                                           enabled|disabled, text (progress bars: position/max);
//                                           a hidden window TITLE is read when no visible one is
//   kestrova_probe message TITLE          the text of a message box
//   kestrova_probe rows                   the main window's list: image, name, location a row
//   kestrova_probe starts SECONDS STAY COMMAND FILE...
//                                         starts COMMAND once per file (%1 replaced), all at once,
//                                           as Explorer runs a verb on a selection; waits up to
//                                           SECONDS until at most STAY still run (the one that
//                                           became the home stays); prints how many
//   kestrova_probe lists                  every main window: "window enabled|disabled", then
//                                           its rows as "rows" prints them
//   kestrova_probe client TITLE           left top width height dpi of its client area
//   kestrova_probe progress SECONDS       until the "Converting" window's current bar has
//                                           moved, shown or not; prints visible|hidden, position;
//                                           fails when the window closes before that, or does
//                                           not appear within SECONDS
//   kestrova_probe control TITLE ID       screen point at the middle of control ID
//   kestrova_probe answers SECONDS TITLE  asks window TITLE for WM_NULL every 50 ms for SECONDS
//                                           (or until it closes); prints the longest answer in
//                                           ms; fails when it is missing or never answered
//   kestrova_probe row N                  screen point at the middle of row N's name
//   kestrova_probe tooltip                the texts of the tooltips shown, one a line
//   kestrova_probe grows SECONDS COUNT    while the main window lists files, until it has COUNT
//                                           rows: asks it for WM_NULL every 50 ms and prints
//                                           "rows N", "worst MS" (the longest answer) and
//                                           "answers K" (those while rows were still coming);
//                                           fails when the rows do not come within SECONDS or
//                                           the window does not answer within 5 s
//   kestrova_probe crash TITLE            ends the process of window TITLE as an access
//                                           violation does (TerminateProcess, 0xC0000005) and
//                                           waits until it has ended
//   kestrova_probe queryend TITLE...      asks each window TITLE whether the session may end
//                                           (WM_QUERYENDSESSION, as Windows asks every top-level
//                                           window); prints the answers, 1 yes, 0 no, on a line
//   kestrova_probe endsession SECONDS TITLE
//                                         tells window TITLE that the session ends
//                                           (WM_ENDSESSION with TRUE) and waits until its process
//                                           has ended; prints the ms that took; fails when it
//                                           still runs after SECONDS
//   kestrova_probe string EXE LANGUAGE ID text ID of the string table of program EXE in LANGUAGE
//                                           ("en", "de", "pt-BR"), as the built resources hold
//                                           it; fails when that language has no such string
//   kestrova_probe dialogtext EXE LANGUAGE DIALOG [CONTROL]
//                                         the caption of dialog template DIALOG of EXE in
//                                           LANGUAGE, or the text of its control CONTROL; fails
//                                           when the language has no such template or control
#include "../support/Utf8Output.h"
#include "Language.h"
#include "TextConversion.h"
#include "resource.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t MainTitle[] = L"Kestrova";

int Fail(const std::wstring& Message) {
    std::fputs(ToUtf8(L"kestrova_probe: " + Message + L"\n").c_str(), stderr);
    return 1;
}

std::wstring ClassOf(HWND Window) {
    wchar_t Name[256] = L"";
    GetClassNameW(Window, Name, 256);
    return Name;
}

struct ENoAnswer {};

// Messages to the program under test time out, so a busy or hung program fails the command
// (rather than, say, reading as an empty list) instead of stalling the script.
LRESULT Send(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
    DWORD_PTR Result = 0;
    if (!SendMessageTimeoutW(Window, Msg, WParam, LParam, SMTO_ABORTIFHUNG, 5000, &Result))
        throw ENoAnswer{};
    return static_cast<LRESULT>(Result);
}

// WM_GETTEXT is marshalled between processes, so this reads another program's controls (an edit
// box's current text too, which GetWindowText would not give across processes).
std::wstring TextOf(HWND Window) {
    LRESULT Length = Send(Window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring Text(static_cast<size_t>(Length) + 1, L'\0');
    LRESULT Got = Send(Window, WM_GETTEXT, Text.size(), reinterpret_cast<LPARAM>(Text.data()));
    Text.resize(static_cast<size_t>(Got));
    return Text;
}

std::wstring TitleOf(HWND Window) {
    wchar_t Title[512] = L"";
    GetWindowTextW(Window, Title, 512);
    return Title;
}

struct FindData {
    const wchar_t* Title;
    bool VisibleOnly;
    HWND Found;
};

// A top-level window with exactly this title; a user sees only the visible ones.
HWND FindTopLevel(const wchar_t* Title, bool VisibleOnly = true) {
    FindData Data{Title, VisibleOnly, nullptr};
    EnumWindows(
        [](HWND Window, LPARAM Param) -> BOOL {
            auto& D = *reinterpret_cast<FindData*>(Param);
            if ((!D.VisibleOnly || IsWindowVisible(Window)) && TitleOf(Window) == D.Title) {
                D.Found = Window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&Data));
    return Data.Found;
}

std::vector<HWND> Children(HWND Parent) {
    std::vector<HWND> List;
    EnumChildWindows(
        Parent,
        [](HWND Window, LPARAM Param) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(Param)->push_back(Window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&List));
    return List;
}

HWND FirstChildOfClass(HWND Parent, const wchar_t* Class) {
    for (HWND Child : Children(Parent))
        if (ClassOf(Child) == Class)
            return Child;
    return nullptr;
}

// The first of the titles that is shown, or nothing on timeout.
const wchar_t* WaitAny(double Seconds, wchar_t** Titles, int Count) {
    DWORD Deadline = GetTickCount() + static_cast<DWORD>(Seconds * 1000);
    for (;;) {
        for (int i = 0; i < Count; ++i)
            if (FindTopLevel(Titles[i]))
                return Titles[i];
        if (static_cast<LONG>(GetTickCount() - Deadline) >= 0)
            return nullptr;
        Sleep(100);
    }
}

// Hidden windows count as still there: closed means destroyed.
bool WaitGone(const wchar_t* Title, double Seconds) {
    DWORD Deadline = GetTickCount() + static_cast<DWORD>(Seconds * 1000);
    for (;;) {
        if (!FindTopLevel(Title, false))
            return true;
        if (static_cast<LONG>(GetTickCount() - Deadline) >= 0)
            return false;
        Sleep(100);
    }
}

// Ready for the user: shown, enabled (no modal window over it) and serving its messages.
// The main window counts its rows in the label above the list while an add is under way.
bool Adding(HWND Window) {
    HWND Label = GetDlgItem(Window, IDC_LBLFILESTOCONVERT);
    try {
        return Label && TextOf(Label).find(L"(adding") != std::wstring::npos;
    } catch (const ENoAnswer&) {
        return true;
    }
}

bool WaitIdle(double Seconds, const wchar_t* Title) {
    DWORD Deadline = GetTickCount() + static_cast<DWORD>(Seconds * 1000);
    for (;;) {
        HWND Window = FindTopLevel(Title);
        DWORD_PTR Result;
        if (Window && IsWindowEnabled(Window) &&
            SendMessageTimeoutW(Window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &Result) &&
            !Adding(Window))
            return true;
        if (static_cast<LONG>(GetTickCount() - Deadline) >= 0)
            return false;
        Sleep(50);
    }
}

int Texts(const wchar_t* Title) {
    // A hidden window is read as well: what it would show is worth checking on its own.
    HWND Window = FindTopLevel(Title);
    if (!Window)
        Window = FindTopLevel(Title, false);
    if (!Window)
        return Fail(L"no window \"" + std::wstring(Title) + L"\"");
    for (HWND Child : Children(Window)) {
        std::wstring Class = ClassOf(Child);
        std::wstring Text;
        if (Class == PROGRESS_CLASSW) {
            auto Pos = Send(Child, PBM_GETPOS, 0, 0);
            auto Max = Send(Child, PBM_GETRANGE, FALSE, 0);
            Text = std::to_wstring(Pos) + L"/" + std::to_wstring(Max);
        } else if (Class == L"Edit") {
            Text = TextOf(Child);
        } else {
            // Kept by the system for labels and buttons, so no message has to wait for a
            // program that is busy converting.
            Text = TitleOf(Child);
        }
        Print(Class + L"\t" + (IsWindowVisible(Child) ? L"visible" : L"hidden") + L"\t" +
              (IsWindowEnabled(Child) ? L"enabled" : L"disabled") + L"\t" + Text);
    }
    return 0;
}

// A message box's text is its one static control that carries text (the icon's has none).
int Message(const wchar_t* Title) {
    HWND Window = FindTopLevel(Title);
    if (!Window)
        return Fail(L"no window \"" + std::wstring(Title) + L"\"");
    std::wstring Text;
    for (HWND Child : Children(Window))
        if (ClassOf(Child) == L"Static") {
            std::wstring Part = TextOf(Child);
            if (!Part.empty())
                Text += Text.empty() ? Part : L"\n" + Part;
        }
    Print(Text);
    return 0;
}

// Memory in the list's own process: list-view item requests carry pointers that are not
// translated between processes.
class RemoteBuffer {
public:
    RemoteBuffer(HWND Window, size_t Size) : Size(Size) {
        DWORD Pid = 0;
        GetWindowThreadProcessId(Window, &Pid);
        Process =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, Pid);
        if (Process)
            Address =
                VirtualAllocEx(Process, nullptr, Size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (Address)
            VirtualFreeEx(Process, Address, 0, MEM_RELEASE);
        if (Process)
            CloseHandle(Process);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool Ok() const { return Address != nullptr; }
    char* At(size_t Offset) const { return static_cast<char*>(Address) + Offset; }
    bool Write(size_t Offset, const void* Data, size_t Length) const {
        return Offset + Length <= Size &&
               WriteProcessMemory(Process, At(Offset), Data, Length, nullptr);
    }
    bool Read(size_t Offset, void* Data, size_t Length) const {
        return Offset + Length <= Size &&
               ReadProcessMemory(Process, At(Offset), Data, Length, nullptr);
    }

private:
    size_t Size;
    HANDLE Process = nullptr;
    void* Address = nullptr;
};

int RowsOf(HWND Main) {
    HWND List = FirstChildOfClass(Main, WC_LISTVIEWW);
    if (!List)
        return Fail(L"no list view in the main window");
    constexpr int TextChars = 1024;
    constexpr size_t TextOffset = sizeof(LVITEMW);
    RemoteBuffer Buffer(List, TextOffset + TextChars * sizeof(wchar_t));
    if (!Buffer.Ok())
        return Fail(L"cannot reach the list's process memory");

    int Count = static_cast<int>(Send(List, LVM_GETITEMCOUNT, 0, 0));
    for (int Row = 0; Row < Count; ++Row) {
        int Image = -1;
        std::wstring Columns[2];
        for (int Column = 0; Column < 2; ++Column) {
            LVITEMW Item{};
            Item.mask = LVIF_TEXT | (Column == 0 ? LVIF_IMAGE : 0);
            Item.iItem = Row;
            Item.iSubItem = Column;
            Item.pszText = reinterpret_cast<LPWSTR>(Buffer.At(TextOffset));
            Item.cchTextMax = TextChars;
            wchar_t Text[TextChars] = L"";
            if (!Buffer.Write(0, &Item, sizeof Item) ||
                !Buffer.Write(TextOffset, Text, sizeof Text))
                return Fail(L"cannot write into the list's process");
            if (!Send(List, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(Buffer.At(0))))
                return Fail(L"LVM_GETITEMW failed for row " + std::to_wstring(Row));
            if (!Buffer.Read(0, &Item, sizeof Item) || !Buffer.Read(TextOffset, Text, sizeof Text))
                return Fail(L"cannot read from the list's process");
            Text[TextChars - 1] = L'\0';
            Columns[Column] = Text;
            if (Column == 0)
                Image = Item.iImage;
        }
        Print(std::to_wstring(Image) + L"\t" + Columns[0] + L"\t" + Columns[1]);
    }
    return 0;
}

int Rows() {
    HWND Main = FindTopLevel(MainTitle);
    if (!Main)
        return Fail(L"no main window");
    return RowsOf(Main);
}

// Every visible main window: a line "window enabled|disabled", then its rows as Rows prints them.
int Lists() {
    std::vector<HWND> Mains;
    EnumWindows(
        [](HWND Window, LPARAM Param) -> BOOL {
            if (IsWindowVisible(Window) && TitleOf(Window) == MainTitle &&
                FirstChildOfClass(Window, WC_LISTVIEWW))
                reinterpret_cast<std::vector<HWND>*>(Param)->push_back(Window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&Mains));
    for (HWND Main : Mains) {
        Print(IsWindowEnabled(Main) ? L"window enabled" : L"window disabled");
        if (int Failed = RowsOf(Main))
            return Failed;
    }
    return 0;
}

// Where a user points at a row: the middle of its name, on the screen.
int RowCentre(int Row) {
    HWND Main = FindTopLevel(MainTitle);
    HWND List = Main ? FirstChildOfClass(Main, WC_LISTVIEWW) : nullptr;
    if (!List)
        return Fail(L"no list view in the main window");
    RemoteBuffer Buffer(List, sizeof(RECT));
    RECT Rect{LVIR_LABEL, 0, 0, 0};
    if (!Buffer.Ok() || !Buffer.Write(0, &Rect, sizeof Rect))
        return Fail(L"cannot reach the list's process memory");
    if (!Send(List, LVM_GETITEMRECT, static_cast<WPARAM>(Row),
              reinterpret_cast<LPARAM>(Buffer.At(0))) ||
        !Buffer.Read(0, &Rect, sizeof Rect))
        return Fail(L"no row " + std::to_wstring(Row));
    POINT At{(Rect.left + Rect.right) / 2, (Rect.top + Rect.bottom) / 2};
    ClientToScreen(List, &At);
    Print(std::to_wstring(At.x) + L" " + std::to_wstring(At.y));
    return 0;
}

// The screen point at the middle of the control with dialog identifier Id, for a real click.
int ControlCentre(const wchar_t* Title, int Id) {
    HWND Window = FindTopLevel(Title);
    if (!Window)
        return Fail(L"no window \"" + std::wstring(Title) + L"\"");
    HWND Control = GetDlgItem(Window, Id);
    if (!Control)
        return Fail(L"no control " + std::to_wstring(Id) + L" in \"" + Title + L"\"");
    RECT Rect;
    GetWindowRect(Control, &Rect);
    Print(std::to_wstring((Rect.left + Rect.right) / 2) + L" " +
          std::to_wstring((Rect.top + Rect.bottom) / 2));
    return 0;
}

// The first progress bar in tab order is the current file's: moving means a duration was read
// and the converter reports positions. Hidden windows count here, so a window that is not shown
// is told apart from a batch that never started. SECONDS bounds the wait for the window to
// appear; once it exists, the wait ends when its bar moves or when it closes.
int Progress(double Seconds) {
    DWORD Deadline = GetTickCount() + static_cast<DWORD>(Seconds * 1000);
    bool Seen = false;
    for (;;) {
        HWND Window = FindTopLevel(L"Converting", false);
        if (Window) {
            Seen = true;
            HWND Bar = FirstChildOfClass(Window, PROGRESS_CLASSW);
            LRESULT Position = 0;
            try {
                if (Bar)
                    Position = Send(Bar, PBM_GETPOS, 0, 0);
            } catch (const ENoAnswer&) {
                if (IsWindow(Window))
                    throw;
                // Closed meanwhile: the next round tells.
            }
            if (Position > 0) {
                Print(std::wstring(IsWindowVisible(Window) ? L"visible " : L"hidden ") +
                      std::to_wstring(Position));
                return 0;
            }
        } else if (Seen) {
            return Fail(L"\"Converting\" closed before its current-file bar moved");
        } else if (static_cast<LONG>(GetTickCount() - Deadline) >= 0) {
            return Fail(L"no \"Converting\" window");
        }
        Sleep(20);
    }
}

// How long the window makes a caller wait, asked every 50 ms as a user's input would arrive.
// The send gives up after 5 s, which Windows would already call "Not Responding".
int Grows(double Seconds, int Count) {
    const DWORD Deadline = GetTickCount() + static_cast<DWORD>(Seconds * 1000);
    // The window exists a moment before its controls do.
    HWND Window = nullptr, List = nullptr;
    while (!List && static_cast<LONG>(GetTickCount() - Deadline) < 0) {
        Window = FindTopLevel(MainTitle, false);
        List = Window ? FirstChildOfClass(Window, WC_LISTVIEWW) : nullptr;
        if (!List)
            Sleep(10);
    }
    if (!List)
        return Fail(L"no main window");
    LARGE_INTEGER Frequency, Start, End;
    QueryPerformanceFrequency(&Frequency);
    double Worst = 0;
    int Rows = 0, AnswersMeanwhile = 0;
    while (Rows < Count) {
        if (static_cast<LONG>(GetTickCount() - Deadline) >= 0) {
            Print(L"rows " + std::to_wstring(Rows));
            return Fail(L"the list did not reach " + std::to_wstring(Count) + L" rows in time");
        }
        DWORD_PTR Result;
        QueryPerformanceCounter(&Start);
        if (!SendMessageTimeoutW(Window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &Result))
            return Fail(L"the main window did not answer within 5 s");
        QueryPerformanceCounter(&End);
        Worst = std::max(Worst, (End.QuadPart - Start.QuadPart) * 1000.0 / Frequency.QuadPart);
        try {
            Rows = static_cast<int>(Send(List, LVM_GETITEMCOUNT, 0, 0));
        } catch (const ENoAnswer&) {
            return Fail(L"the list did not answer within 5 s");
        }
        if (Rows < Count)
            ++AnswersMeanwhile;
        Sleep(50);
    }
    Print(L"rows " + std::to_wstring(Rows));
    Print(L"worst " + std::to_wstring(static_cast<long>(Worst + 0.5)));
    Print(L"answers " + std::to_wstring(AnswersMeanwhile));
    return 0;
}

int Answers(double Seconds, const wchar_t* Title) {
    HWND Window = FindTopLevel(Title, false);
    if (!Window)
        return Fail(L"no window \"" + std::wstring(Title) + L"\"");
    LARGE_INTEGER Frequency, Start, End;
    QueryPerformanceFrequency(&Frequency);
    DWORD Deadline = GetTickCount() + static_cast<DWORD>(Seconds * 1000);
    double Worst = 0;
    int Asked = 0;
    while (IsWindow(Window) && static_cast<LONG>(GetTickCount() - Deadline) < 0) {
        DWORD_PTR Result;
        QueryPerformanceCounter(&Start);
        BOOL Answered = SendMessageTimeoutW(Window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &Result);
        QueryPerformanceCounter(&End);
        double Ms = (End.QuadPart - Start.QuadPart) * 1000.0 / Frequency.QuadPart;
        if (!Answered) {
            if (!IsWindow(Window))
                break; // closed while asked
            Print(L">5000");
            return Fail(L"\"" + std::wstring(Title) + L"\" did not answer within 5 s");
        }
        ++Asked;
        if (Ms > Worst)
            Worst = Ms;
        Sleep(50);
    }
    if (Asked == 0)
        return Fail(L"\"" + std::wstring(Title) + L"\" closed before it was asked");
    Print(std::to_wstring(static_cast<long>(Worst + 0.5)));
    return 0;
}

// Tooltips are top-level windows of their own; their text is what they show.
int Tooltips() {
    std::vector<HWND> Shown;
    EnumWindows(
        [](HWND Window, LPARAM Param) -> BOOL {
            if (IsWindowVisible(Window) && ClassOf(Window) == TOOLTIPS_CLASSW)
                reinterpret_cast<std::vector<HWND>*>(Param)->push_back(Window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&Shown));
    for (HWND Tip : Shown)
        Print(TextOf(Tip));
    return Shown.empty() ? Fail(L"no tooltip shown") : 0;
}

// Starts COMMAND once per file, %1 replaced by the file, all at once, as Explorer runs a verb on
// a selection; then waits up to SECONDS until at most STAY of them run, and prints how many do.
int Starts(double Seconds, size_t Stay, const std::wstring& Command, int Count, wchar_t** Files) {
    std::vector<HANDLE> Running;
    for (int i = 0; i < Count; ++i) {
        std::wstring Line = Command;
        const size_t At = Line.find(L"%1");
        if (At == std::wstring::npos)
            return Fail(L"the command has no %1");
        Line.replace(At, 2, Files[i]);
        STARTUPINFOW Startup{};
        Startup.cb = sizeof Startup;
        PROCESS_INFORMATION Process{};
        if (!CreateProcessW(nullptr, Line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &Startup, &Process))
            return Fail(L"could not start " + Line);
        CloseHandle(Process.hThread);
        Running.push_back(Process.hProcess);
    }
    const ULONGLONG Deadline = GetTickCount64() + static_cast<ULONGLONG>(Seconds * 1000);
    size_t Left = Running.size();
    for (;;) {
        Left = 0;
        for (HANDLE Process : Running)
            Left += WaitForSingleObject(Process, 0) == WAIT_TIMEOUT;
        if (Left <= Stay || GetTickCount64() >= Deadline)
            break;
        Sleep(100);
    }
    for (HANDLE Process : Running)
        CloseHandle(Process);
    Print(std::to_wstring(Left));
    return 0;
}

int Crash(const wchar_t* Title) {
    HWND Window = FindTopLevel(Title, false);
    if (!Window)
        return Fail(L"no window \"" + std::wstring(Title) + L"\"");
    DWORD Id = 0;
    GetWindowThreadProcessId(Window, &Id);
    HANDLE Process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, Id);
    if (!Process)
        return Fail(L"cannot open the process of \"" + std::wstring(Title) + L"\"");
    const bool Ended = TerminateProcess(Process, 0xC0000005) &&
                       WaitForSingleObject(Process, 10000) == WAIT_OBJECT_0;
    CloseHandle(Process);
    if (!Ended)
        return Fail(L"the process of \"" + std::wstring(Title) + L"\" did not end");
    Print(std::to_wstring(Id));
    return 0;
}

int QueryEnd(int Count, wchar_t** Titles) {
    std::wstring Answers;
    for (int i = 0; i < Count; ++i) {
        HWND Window = FindTopLevel(Titles[i], false);
        if (!Window)
            return Fail(L"no window \"" + std::wstring(Titles[i]) + L"\"");
        Answers += (i ? L" " : L"") + std::to_wstring(Send(Window, WM_QUERYENDSESSION, 0, 0));
    }
    Print(Answers);
    return 0;
}

int EndSession(double Seconds, const wchar_t* Title) {
    HWND Window = FindTopLevel(Title, false);
    if (!Window)
        return Fail(L"no window \"" + std::wstring(Title) + L"\"");
    DWORD Id = 0;
    GetWindowThreadProcessId(Window, &Id);
    HANDLE Process = OpenProcess(SYNCHRONIZE, FALSE, Id);
    if (!Process)
        return Fail(L"cannot open the process of \"" + std::wstring(Title) + L"\"");
    const ULONGLONG Start = GetTickCount64();
    // The program does what it must before it answers: Windows may end it right after.
    Send(Window, WM_ENDSESSION, TRUE, 0);
    const bool Ended =
        WaitForSingleObject(Process, static_cast<DWORD>(Seconds * 1000)) == WAIT_OBJECT_0;
    CloseHandle(Process);
    if (!Ended)
        return Fail(L"the process of \"" + std::wstring(Title) + L"\" still runs");
    Print(std::to_wstring(GetTickCount64() - Start));
    return 0;
}

// The program's resources, read as data: nothing of it runs.
struct TResourceFile {
    HMODULE Module;
    explicit TResourceFile(const wchar_t* Path)
        : Module(LoadLibraryExW(Path, nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~TResourceFile() {
        if (Module)
            FreeLibrary(Module);
    }
    TResourceFile(const TResourceFile&) = delete;
    TResourceFile& operator=(const TResourceFile&) = delete;

    // The resource exactly in Language, with its size; no fallback to another language, so a
    // missing translation shows.
    const BYTE* Find(LPCWSTR Type, UINT Id, LANGID Language, DWORD& Size) const {
        HRSRC Info = FindResourceExW(Module, Type, MAKEINTRESOURCEW(Id), Language);
        HGLOBAL Loaded = Info ? LoadResource(Module, Info) : nullptr;
        Size = Info ? SizeofResource(Module, Info) : 0;
        return Loaded ? static_cast<const BYTE*>(LockResource(Loaded)) : nullptr;
    }
};

// Reads the pieces of a resource in order, and notices when one would run past its end.
class TResourceReader {
public:
    TResourceReader(const BYTE* Data, DWORD Size) : Data(Data), Size(Size) {}
    bool Ok() const { return Good; }
    WORD Word() {
        WORD Value = 0;
        if (Take(sizeof Value))
            std::memcpy(&Value, Data + Offset - sizeof Value, sizeof Value);
        return Value;
    }
    DWORD DWord() { return static_cast<DWORD>(Word()) | static_cast<DWORD>(Word()) << 16; }
    void Skip(DWORD Bytes) { Take(Bytes); }
    void AlignToDWord() { Take((4 - Offset % 4) % 4); }
    // A text ended by a NUL.
    std::wstring Text() {
        std::wstring Result;
        while (Good)
            if (WORD Unit = Word())
                Result += static_cast<wchar_t>(Unit);
            else
                break;
        return Result;
    }
    // A name or an ordinal, as templates give classes, menus and control texts: 0 for none,
    // 0xFFFF and a number for an ordinal, else a text.
    std::wstring TextOrOrdinal() {
        const WORD First = Word();
        if (First == 0)
            return {};
        if (First == 0xFFFF)
            return L"#" + std::to_wstring(Word());
        Offset -= sizeof First;
        return Text();
    }

private:
    bool Take(DWORD Bytes) {
        if (!Good || Size - Offset < Bytes)
            return Good = false;
        Offset += Bytes;
        return true;
    }
    const BYTE* Data;
    DWORD Size;
    DWORD Offset = 0;
    bool Good = true;
};

const TLanguage* LanguageNamed(const wchar_t* Tag) {
    const TLanguage* Language = FindLanguage(Tag);
    if (!Language)
        Fail(L"no language \"" + std::wstring(Tag) + L"\"");
    return Language;
}

int StringResource(const wchar_t* Exe, const wchar_t* Tag, UINT Id) {
    const TLanguage* Language = LanguageNamed(Tag);
    if (!Language)
        return 1;
    TResourceFile File(Exe);
    if (!File.Module)
        return Fail(L"cannot read the resources of " + std::wstring(Exe));
    // Strings come in blocks of 16, block N + 1 holding identifiers 16 N to 16 N + 15, each a
    // length in characters followed by its characters.
    DWORD Size = 0;
    const BYTE* Block = File.Find(RT_STRING, Id / 16 + 1, Language->LangId, Size);
    TResourceReader Reader(Block, Block ? Size : 0);
    std::wstring Text;
    for (UINT i = 0; i <= Id % 16 && Reader.Ok(); ++i) {
        const WORD Length = Reader.Word();
        Text.clear();
        for (WORD c = 0; c < Length && Reader.Ok(); ++c)
            Text += static_cast<wchar_t>(Reader.Word());
    }
    if (!Block || !Reader.Ok() || Text.empty())
        return Fail(L"no string " + std::to_wstring(Id) + L" in " + Tag);
    Print(Text);
    return 0;
}

// The caption of a DIALOGEX template, or the text of one of its controls.
int DialogText(const wchar_t* Exe, const wchar_t* Tag, UINT DialogId, const wchar_t* ControlId) {
    const TLanguage* Language = LanguageNamed(Tag);
    if (!Language)
        return 1;
    TResourceFile File(Exe);
    if (!File.Module)
        return Fail(L"cannot read the resources of " + std::wstring(Exe));
    DWORD Size = 0;
    const BYTE* Data = File.Find(RT_DIALOG, DialogId, Language->LangId, Size);
    if (!Data)
        return Fail(L"no dialog " + std::to_wstring(DialogId) + L" in " + Tag);
    TResourceReader Reader(Data, Size);
    if (Reader.Word() != 1 || Reader.Word() != 0xFFFF)
        return Fail(L"dialog " + std::to_wstring(DialogId) + L" is no DIALOGEX template");
    Reader.Skip(8); // help identifier, extended style
    const DWORD Style = Reader.DWord();
    const WORD Items = Reader.Word();
    Reader.Skip(8);         // x, y, cx, cy
    Reader.TextOrOrdinal(); // menu
    Reader.TextOrOrdinal(); // class
    const std::wstring Caption = Reader.Text();
    if (!ControlId) {
        Print(Caption);
        return 0;
    }
    if (Style & (DS_SETFONT | DS_SHELLFONT)) {
        Reader.Skip(6); // point size, weight, italic, character set
        Reader.Text();
    }
    const DWORD Wanted = static_cast<DWORD>(_wtoi(ControlId));
    for (WORD i = 0; i < Items && Reader.Ok(); ++i) {
        Reader.AlignToDWord();
        Reader.Skip(12 + 8); // help identifier, extended style, style; x, y, cx, cy
        const DWORD Id = Reader.DWord();
        Reader.TextOrOrdinal(); // class
        const std::wstring Text = Reader.TextOrOrdinal();
        Reader.Skip(Reader.Word()); // creation data
        if (Reader.Ok() && Id == Wanted) {
            Print(Text);
            return 0;
        }
    }
    return Fail(L"no control " + std::wstring(ControlId) + L" in dialog " +
                std::to_wstring(DialogId) + L" of " + Tag);
}

int Usage() {
    return Fail(L"usage: kestrova_probe wait SECONDS TITLE... | gone|idle SECONDS TITLE | "
                L"texts|message TITLE | control TITLE ID | rows | lists | "
                L"starts SECONDS STAY COMMAND FILE... | progress SECONDS | "
                L"answers SECONDS TITLE | row N | tooltip | grows SECONDS COUNT | crash TITLE | "
                L"queryend TITLE... | endsession SECONDS TITLE | string EXE LANGUAGE ID | "
                L"dialogtext EXE LANGUAGE DIALOG [CONTROL]");
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2)
        return Usage();
    std::wstring Command = argv[1];
    if (Command == L"wait" && argc >= 4) {
        if (const wchar_t* Found = WaitAny(_wtof(argv[2]), argv + 3, argc - 3)) {
            Print(Found);
            return 0;
        }
        return Fail(L"no awaited window appeared");
    }
    if (Command == L"gone" && argc == 4) {
        if (WaitGone(argv[3], _wtof(argv[2])))
            return 0;
        return Fail(std::wstring(L"window \"") + argv[3] + L"\" did not go away");
    }
    if (Command == L"idle" && argc == 4) {
        if (WaitIdle(_wtof(argv[2]), argv[3]))
            return 0;
        return Fail(std::wstring(L"window \"") + argv[3] + L"\" is not ready for input");
    }
    if (Command == L"grows" && argc == 4)
        return Grows(_wtof(argv[2]), _wtoi(argv[3]));
    if (Command == L"texts" && argc == 3)
        return Texts(argv[2]);
    if (Command == L"message" && argc == 3)
        return Message(argv[2]);
    if (Command == L"control" && argc == 4)
        return ControlCentre(argv[2], _wtoi(argv[3]));
    if (Command == L"rows" && argc == 2)
        return Rows();
    if (Command == L"lists" && argc == 2)
        return Lists();
    if (Command == L"starts" && argc >= 6)
        return Starts(_wtof(argv[2]), static_cast<size_t>(_wtoi(argv[3])), argv[4], argc - 5,
                      argv + 5);
    if (Command == L"progress" && argc == 3)
        return Progress(_wtof(argv[2]));
    if (Command == L"answers" && argc == 4)
        return Answers(_wtof(argv[2]), argv[3]);
    if (Command == L"row" && argc == 3)
        return RowCentre(_wtoi(argv[2]));
    if (Command == L"tooltip" && argc == 2)
        return Tooltips();
    if (Command == L"crash" && argc == 3)
        return Crash(argv[2]);
    if (Command == L"queryend" && argc >= 3)
        return QueryEnd(argc - 2, argv + 2);
    if (Command == L"endsession" && argc == 4)
        return EndSession(_wtof(argv[2]), argv[3]);
    if (Command == L"string" && argc == 5)
        return StringResource(argv[2], argv[3], static_cast<UINT>(_wtoi(argv[4])));
    if (Command == L"dialogtext" && (argc == 5 || argc == 6))
        return DialogText(argv[2], argv[3], static_cast<UINT>(_wtoi(argv[4])),
                          argc == 6 ? argv[5] : nullptr);
    return Usage();
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return Run(argc, argv);
    } catch (const ENoAnswer&) {
        return Fail(L"the program did not answer within 5 seconds");
    }
}
