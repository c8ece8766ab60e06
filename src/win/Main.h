// The main window: the conversion list, the output-folder choice, About, the web site and the
// start counter kept in the registry.
#pragma once

#include "Form.h"
#include "Registry.h"
#include "Selection.h"
#include "Shell.h"

#include "Batch.h"
#include "Conversion.h"
#include "FFmpeg.h"
#include "FolderScan.h"
#include "ImageIndex.h"
#include "SavedList.h"
#include "win32/UiOwners.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// The main window's timers, each with an id of its own (the files that use them are several).
enum TMainTimer : UINT_PTR {
    SelectionTimerId = 1,
    AddTimerId,
    SaveTimerId,
    ConvertWaitTimerId,
};

class TMainForm final : public TForm {
public:
    TMainForm();
    ~TMainForm() override;

    // Creates the window (FormCreate runs); it stays hidden until Show.
    void Create();
    void Show();

    // Converts one file with the converter beside the program; true on success.
    bool ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                     TProgressProc ProgressProc, TConversionOutcome& Outcome);
    // The same conversion, as a job the batch drives beside others.
    std::unique_ptr<TFFmpegJob> CreateJob(const std::wstring& Source,
                                          const std::wstring& Destination);
    // How many files a batch converts at once: the hidden "ConversionsAtOnce" setting when it
    // holds 1 to MaxSideBySide, otherwise chosen from the machine's logical processors.
    int ConversionsAtOnce() const;
    // Kestrova's settings, read and written where they are kept.
    const TSettings& Settings() const { return KeptSettings; }

    // Adds files, and the WebM files in folders and their subfolders (in natural name order), by
    // the list's rules; the failures are reported together once all were tried. For paths that
    // come from outside: the command line and drops. The rows come in short slices between the
    // window's messages, after those of any add still under way; this returns at once.
    void AddPaths(const std::vector<std::wstring>& Paths);
    // Whether an add is still under way.
    bool Adding() const { return !AddQueue.empty(); }
    // At most this many files a slice, besides the slice's time (tests: an add in many slices
    // however fast the machine lists).
    size_t AddSliceFileLimit = SIZE_MAX;
    // Files of a selection in Explorer (this start's own, or handed over by another start): listed
    // with the others that come within a short quiet time, in natural name order.
    void QueueSelection(const std::vector<std::wstring>& Paths);
    // The batch that has started and not ended yet (its progress window, ProgressForm), or none:
    // the one answer to "is a batch running?".
    TBatch* RunningBatch() const;
    // Whether files handed over by another start are taken now: not during a batch, nor while a
    // modal window waits for the user.
    bool TakesHandover() const;
    // Whether files of a selection are still on their way: taken but not listed yet, or
    // announced by starts that have not handed them over yet (SelectionStartsUnderWay). Convert
    // waits for them, but for announced ones no longer than HandoverWaitLimitMs after it was
    // pressed: by then such a start has given up handing its files over (SelectionWaitMs), so it
    // is stuck or opens its own window anyway.
    bool SelectionArriving() const;
    ULONGLONG HandoverWaitLimitMs = SelectionWaitMs + HandoverAnswerMs;

    // The end of the session (both windows ask these, so they answer alike). While a batch
    // converts the end is held back, with the reason Windows shows the user; otherwise it may
    // end.
    bool QueryEndSession();
    // The session ends all the same: the list is saved, the converters are ended and their
    // partial files deleted before this returns (Windows may end the process right after); the
    // window then closes without a word as the batch's loops unwind.
    void EndSession();
    // Saves the list at once, for its next start (the end of the session leaves no time).
    void SaveListForSessionEnd();

    // The conversion list as the batch sees it. Rows are numbered from 0 in list order.
    int RowCount() const;
    std::wstring RowName(int Row) const;
    std::wstring RowLocation(int Row) const;
    int64_t RowFileSize(int Row) const;
    // The row's full path: Location followed by Name.
    std::wstring GetItemFileName(int Row) const;
    void DeleteRow(int Row);
    void SetRowImage(int Row, int ImageIndex);
    // Keeps why a conversion of the row failed, for its tooltip and its Details window.
    void SetRowFailure(int Row, const std::wstring& Reason, const std::wstring& Details);
    std::wstring RowFailureReason(int Row) const;
    int RowImage(int Row) const;
    void UpdateControlsOnListChange();

    // The output-folder choice as the batch sees it.
    bool SameFolderChecked() const;
    std::wstring OutputFolderText() const;

    // The saved list (MainSavedList.cpp). Writes the list as it is now and waits until it is on
    // the disk: for the session's end, when no second may be lost.
    void SaveListNow();
    // Writes the list on the saving thread without waiting; the window goes on at once.
    void SaveListSoon();
    // Lists again the files of the newest window that ended without closing (its partial files
    // removed, its save taken over) and says so once the window shows. ResumeId: the window this
    // start restarts (ResumeSwitch), whose list is taken first and converted at once.
    void TakeOverLeftList(const std::wstring& ResumeId = L"");
    // The batch's partial files, recorded before the converter writes into them.
    void PartialReserved(const std::wstring& Path);
    void PartialGone(const std::wstring& Path);
    // The line that said what was listed again (empty when nothing was); tests read it.
    const std::wstring& TakeOverNote() const { return LeftListNote; }
    const std::wstring& SavedListId() const { return SaveId; }

    // State the tests read back.
    int GetUseCount() const { return UseCount; }
    const std::wstring& GetAppPath() const { return AppPath; }
    std::wstring GetRegistryKey() const { return SettingsKeyPath; }
    const TOpenDialog& GetOpenDialog() const { return OpenDialog; }
    HMENU GetPopupMenu() const { return PopupMenu; }
    HWND Control(int Id) const { return GetDlgItem(Window, Id); }

private:
    // What the list keeps per row besides its texts: the size stays 64-bit for the batch.
    struct TRowData {
        int64_t FileSize;
        // Why the row's last conversion failed, and what the converter said last; none until a
        // conversion fails (most rows never do, and a big list has tens of thousands).
        struct TFailure {
            std::wstring Reason, Details;
        };
        std::unique_ptr<TFailure> Failure;
        // The full path as the duplicate check compares it: the key of the row's entry in
        // RowStore, kept once for both.
        const std::wstring* FoldedPath = nullptr;
        // Its texts as listed, so that saving the list reads no text back from the list view.
        std::wstring Name{}, Location{};
    };
    using TAddFailures = std::vector<std::pair<std::wstring, std::exception_ptr>>;
    // Paths given together (a drop, the command line, the Add dialog, a selection), listed in the
    // order given, a slice at a time.
    struct TAddRequest {
        std::vector<std::wstring> Paths;
        size_t NextPath = 0;
        bool FilesOnly = false;    // the Add dialog's files: no folder is looked into
        bool Selection = false;    // sorted into its selection's group once listed
        ULONGLONG ArrivalTime = 0; // when a selection's files were taken
        bool Started = false;
        std::unique_ptr<TFolderWalk> Walk; // the folder being looked into
        TFolderScan Found;                 // its files not listed yet, from NextFound on
        size_t NextFound = 0;
        TAddFailures Failures;
    };

    HWND lstFilesToConvert = nullptr;
    HWND lblAddFiles = nullptr;
    HWND btnRemove = nullptr;
    HWND btnConvert = nullptr;
    HWND rbSameFolder = nullptr;
    HWND rbOtherFolder = nullptr;
    HWND edOutputFolder = nullptr;
    HWND btnBrowse = nullptr;
    HWND cbPlayerSafe = nullptr;
    // Each row's data by its folded path, so that a file already listed is found without reading
    // the list. A row keeps its data's address, which stays put while others come and go; the
    // entry goes when the row is deleted.
    std::unordered_map<std::wstring, TRowData> RowStore;
    // Adds under way, the first being worked on.
    std::deque<TAddRequest> AddQueue;
    bool AddSliceScheduled = false;
    ULONGLONG ListDrawnAt = 0; // when the list was last let draw during an add
    // Convert was pressed during an add, or while a selection was arriving: the batch starts once
    // every file is listed. When Convert was first pressed for it (0: not waiting).
    bool ConvertAfterAdd = false;
    ULONGLONG ConvertWaitStart = 0;
    UniqueMenu PopupMenuResource;
    HMENU PopupMenu = nullptr; // the first submenu of PopupMenuResource
    TOpenDialog OpenDialog;

    std::wstring AppPath;
    TRegistrySettingsStore SettingsStore;
    TSettings KeptSettings{SettingsStore};
    int32_t UseCount = 0;
    // How "UseCount" was stored, so text stays text.
    TValueKind UseCountKind = TValueKind::Missing;

    // The saved list: where, under which id, its lock, the thread that writes it, the partial
    // files recorded, and whether a change waits for the save timer.
    std::unique_ptr<TSavedListFolder> Saves;
    std::wstring SaveId;
    TFileLock SaveLock;
    std::unique_ptr<TBackgroundWriter<TSavedList>> ListWriter;
    std::vector<TSavedPartial> Partials;
    bool ListDirty = false;
    bool PartialsChanged = false;
    // When the last save was handed over and what it cost in all, so that saving stays cheap.
    ULONGLONG LastSaveAt = 0, LastSaveMs = 0;
    std::atomic<ULONGLONG> WriterMs{0};
    // Kestrova closes itself after a batch ("When done"): the failed rows stay saved.
    bool KeepListOnClose = false;
    std::wstring LeftListNote;
    bool ResumeAfterTakeOver = false;
    void StartSavedList();
    void EndSavedList();
    // A change to the list or the output choice: saved within a second.
    void ListChanged();
    bool SavedListMessage(UINT Msg, WPARAM WParam);
    TSavedList CurrentList() const;
    void RestoreList(const TSavedList& List);
    void SavePartials();
    // RegisterApplicationRestart while a batch runs.
    void BatchStarted();
    void BatchEnded();

    // The converter options of the batch that runs, fixed when it starts.
    const wchar_t* BatchOptions = FFmpegOptions;
    // A close request came during a batch: the window closes once the batch has stopped.
    bool CloseAfterBatch = false;
    // The session is ending: the window closes as soon as its loops have unwound.
    bool SessionEnded = false;

    // Files of a selection waiting for the quiet time to end; the first row of the current
    // selection's group and when its last files came.
    std::vector<std::wstring> PendingSelection;
    int SelectionGroupStart = 0;
    ULONGLONG SelectionGroupTime = 0;

    UniqueImageList ImageList;
    UniqueImageList ButtonImages[3];
    UniqueIcon Icons[2]; // the window's big and small icon

    // The list's own window procedure, which ListWindowProc hands on to. Not SetWindowSubclass:
    // under Wine its bookkeeping costs two round trips to the server on every message the list
    // gets, which made adding a row several times dearer than the row itself.
    WNDPROC ListClassProc = nullptr;
    static LRESULT CALLBACK ListWindowProc(HWND List, UINT Msg, WPARAM WParam, LPARAM LParam);
    INT_PTR DialogProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;
    bool Command(int Id, int Code);
    INT_PTR Notify(const NMHDR& Header);
    INT_PTR ControlColor(HDC Dc, HWND Control, bool Editable);

    // Sets Cancel on the batch that runs; false when none does.
    bool CancelRunningBatch();

    void FormCreate();
    void FormShow();
    void FormDestroy();
    void LoadSettings();
    void SaveSettings();
    // The list's columns, the hint's width, the images and the window's icons.
    void ScaleOwnParts(UINT OldDpi) override;
    void FitToTexts(TFittedLayout& Layout, HFONT Font) override {
        FitMainLayout(Window, Layout, Font, Dpi);
    }
    void BuildImageLists();

    void btnAddFilesClick();
    void btnRemoveClick();
    void btnWebSiteClick();
    void btnAboutClick();
    void btnConvertClick();
    void btnBrowseClick();
    void rbOutputFolderClick();
    void cbPlayerSafeClick();
    // Whether the player-safe choice is ticked; the converter options of the next batch.
    bool PlayerSafeChecked() const;
    void lstFilesToConvertSelectItem();
    void lstFilesToConvertDblClick();
    void lstFilesToConvertKeyDown(WORD Key);
    void lstFilesToConvertContextMenu(LPARAM ScreenPoint);
    void mniPlayClick();
    void mniOpenFolderClick();
    void mniDetailsClick();
    void lstFilesToConvertInfoTip(NMLVGETINFOTIPW& Tip);
    void WMDropFiles(HDROP Drop);
    INT_PTR WMCopyData(const COPYDATASTRUCT& Data);
    bool SelectionTimer(UINT_PTR Id);
    // Convert waits for a selection still arriving: looks again shortly.
    void WaitForSelectionThenConvert();
    void FlushSelection();
    void SortSelectionGroup();

    // Adds one file by the list's rules; throws EInOutError when its size cannot be read.
    // ListedSize: the size a folder listing gave, when it gave one (-1: read it from the file).
    void AddFile(const std::wstring& FileName, int64_t ListedSize = -1);
    // Adds the Add dialog's files, as AddPaths does its paths.
    void AddFiles(const std::vector<std::wstring>& FileNames);
    void QueueAdd(TAddRequest Request);
    // Lists files of the adds under way for about SliceMs, then lets the messages in between.
    void AddSlice();
    void ScheduleAddSlice();
    bool AddSliceMessage(UINT Msg, WPARAM WParam);
    // The label above the list counts the rows while an add is under way.
    void ShowAddProgress();
    // A request whose every path was tried: its selection sorted, its failures reported.
    void FinishAddRequest(TAddRequest& Request);
    void StartSelectionGroup(ULONGLONG ArrivalTime);
    // Throws what the failures of one Add come to: the one failure itself, or all of them listed.
    static void ThrowAddFailures(const TAddFailures& Failures);
    int SelectedRow() const;
    TRowData* RowData(int Row) const;
    bool HintShown() const;
    void EnableControl(HWND Control, bool Enabled);
    bool MenuItemEnabled(UINT Id) const;
    std::wstring RowText(int Row, int Column) const;
};

// The command-line switch a restart registered while a batch runs starts Kestrova with, followed
// by the id of the window to take the list of.
inline constexpr wchar_t ResumeSwitch[] = L"/resume";
// The id after ResumeSwitch when the command line's Arguments (SplitCommandLine) begin with it
// (case ignored), else empty; only the characters an id is made of are taken.
std::wstring ReadResumeId(const std::vector<std::wstring>& Arguments);

// The one main window, while it exists.
extern TMainForm* MainForm;

// Lower-cases with the user's locale rules, for comparing paths.
std::wstring LocaleLowerCase(const std::wstring& Text);
