// The progress window's estimate of the time the batch has left: measured from the overall bar,
// which advances with the bytes converted, and told in the string table's words. The main
// window's taskbar button carries it in its tooltip too.
#include "AppError.h"
#include "Application.h"
#include "Layouts.h"
#include "Progress.h"
#include "TextTemplate.h"
#include "resource.h"

namespace {

// A template with its numbers, in the forms the user's language gives them.
std::wstring Counted(UINT Id, const std::vector<std::wstring>& Numbers) {
    std::wstring Text =
        ResolvePlurals(Application.LoadStr(Id), Application.Language->Plural, Numbers);
    return FormatTemplate(Text, {Numbers[0], Numbers.size() > 1 ? Numbers[1] : L""});
}

std::wstring TimeLeftText(const TTimeLeftWords& Words) {
    auto Text = [](UINT Id) { return Application.LoadStr(Id); };
    auto Number = [](int N) { return std::to_wstring(N); };
    switch (Words.Phrase) {
    case TTimeLeftPhrase::FewSeconds:
        return Text(IDS_TIMELEFTFEWSECONDS);
    case TTimeLeftPhrase::UnderAMinute:
        return Text(IDS_TIMELEFTUNDERAMINUTE);
    case TTimeLeftPhrase::AboutAMinute:
        return Text(IDS_TIMELEFTAMINUTE);
    case TTimeLeftPhrase::Minutes:
        return Counted(IDS_TIMELEFTMINUTES, {Number(Words.Minutes)});
    case TTimeLeftPhrase::AboutAnHour:
        return Text(IDS_TIMELEFTANHOUR);
    case TTimeLeftPhrase::OneHourMinutes:
        return Counted(IDS_TIMELEFTHOURMINUTES, {Number(Words.Minutes)});
    case TTimeLeftPhrase::Hours:
        return Counted(IDS_TIMELEFTHOURS, {Number(Words.Hours)});
    case TTimeLeftPhrase::HoursMinutes:
        return Counted(IDS_TIMELEFTHOURSMINUTES, {Number(Words.Hours), Number(Words.Minutes)});
    }
    return {};
}

} // namespace

void TProgressForm::UpdateTimeLeft() {
    if (!Window)
        return;
    // The read-back positions: they are what the bar shows, in whatever units it counts.
    TimeLeft.Update(Clock(), OverallBarPosition(), OverallBarMax(),
                    CurFileStyle == TBarStyle::Normal);
    std::optional<double> Seconds = TimeLeft.Remaining();
    std::wstring Text = Seconds ? TimeLeftText(DescribeTimeLeft(*Seconds)) : std::wstring();
    HWND Label = GetDlgItem(Window, IDC_LBLTIMELEFT);
    // Unchanged text is left alone, as with the percentages: repainting flickers.
    if (WindowText(Label) == Text)
        return;
    SetWindowTextW(Label, Text.c_str());
    if (Taskbar)
        Taskbar->SetThumbnailTooltip(
            Owner, Text.empty() ? nullptr
                                : FormatTemplate(Application.LoadStr(IDS_TASKBARTIMELEFT),
                                                 {Application.Title, Text})
                                      .c_str());
}
