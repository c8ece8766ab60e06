// The progress window's check before a player-safe batch: every file's length, read by the
// converter one file at a time within a time limit while the window answers and Cancel works,
// then the question about files that would pass 2 GB. A file whose length cannot be read in time
// (a stalled network share) is left out of the estimate and named in the closing summary.
#include "Application.h"
#include "FileSystem.h"
#include "Main.h"
#include "PlayerSafe.h"
#include "Progress.h"
#include "TextTemplate.h"
#include "Translation.h"
#include "resource.h"

bool TProgressForm::CheckLengths() {
    const std::wstring Converter =
        LengthConverterPath.empty() ? Form.GetAppPath() + FFmpegExeName : LengthConverterPath;
    const int Count = Form.RowCount();
    const std::wstring Of = std::to_wstring(Count);
    std::wstring LargeFiles;
    for (int Row = 0; Row < Count && !Cancel; ++Row) {
        const std::wstring Name = Form.RowName(Row);
        SetCurFileCaption(FormatTemplate(Application.LoadStr(IDS_READINGLENGTH),
                                         {Name, std::to_wstring(Row + 1), Of}));
        SetCurFileBarPosition(static_cast<int>(MulDivRound(Row, 100, Count)));
        SetCurFilePercentage(PercentText(Row, Count, PercentPattern));
        ProcessMessages();
        const TSourceLength Length = ReadSourceDurationWithin(
            Converter, OpenablePath(Form.GetItemFileName(Row)), LengthLimitMs, [this] {
                ProcessMessages();
                return !Cancel;
            });
        if (Length.End == TLengthReadEnd::TimedOut)
            UnreadLengths.push_back(Name);
        if (Length.End != TLengthReadEnd::Read)
            continue;
        PlayerSafeSize Size = EstimatePlayerSafeSize(Length.DurationMs);
        if (!Size.OverLimit)
            continue;
        std::wstring Gigabytes = FormatOneDecimal(static_cast<double>(Size.Expected) / (1 << 30));
        LargeFiles += FormatTemplate(Application.LoadStr(IDS_OVERTWOGIGABYTESFILE),
                                     {Name, FormatPlayingTime(Length.DurationMs), Gigabytes});
    }
    if (Cancel)
        return false;
    SetCurFileBarPosition(100);
    SetCurFilePercentage(PercentText(Count, Count, PercentPattern));
    if (LargeFiles.empty())
        return true;
    return Application.ShowMessageBox(
               Window, FormatTemplate(Application.LoadStr(IDS_OVERTWOGIGABYTES), {LargeFiles}),
               Application.Title, MB_YESNO | MB_ICONWARNING) == IDYES &&
           !Cancel;
}
