// The Convert button: one batch over the list in a modal progress window, then the summary; the
// adapters through which the batch reaches the main window; and the conversion of one file.
#include "Application.h"
#include "LongPath.h"
#include "Main.h"
#include "Progress.h"
#include "resource.h"

#include <memory>

void TMainForm::btnConvertClick() {
    // A new window, with fresh state, for every batch; destroyed however the run ends.
    auto Form = std::make_unique<TProgressForm>(*this);
    Form->ShowModal();
    std::wstring Text =
        ComposeSummaryText(Form->Summary(), Application.LoadStr(IDS_CONVERSIONFINISHED),
                           Application.LoadStr(IDS_SOMENOTCONVERTED));
    Form.reset();
    if (CloseAfterBatch) {
        PostMessageW(Window, WM_CLOSE, 0, 0);
        return;
    }
    if (!Text.empty())
        Application.ShowMessageBox(Window, Text, Application.LoadStr(IDS_INFORMATION),
                                   MB_OK | MB_ICONINFORMATION);
}

bool TMainForm::ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                            TProgressProc ProgressProc) {
    std::wstring Output;
    // Long paths only in the form the converter's file functions can open.
    return ExecuteFFmpeg(AppPath + FFmpegExeName, ExtendedLengthPath(Source),
                         ExtendedLengthPath(Destination), FFmpegOptions, Output, ProgressProc);
}

int TMainFormBatchPorts::RowCount() const {
    return Form.RowCount();
}

TListRow TMainFormBatchPorts::Row(int Index) const {
    return {Form.RowName(Index), Form.RowLocation(Index), Form.RowFileSize(Index)};
}

void TMainFormBatchPorts::DeleteRow(int Index) {
    Form.DeleteRow(Index);
}

void TMainFormBatchPorts::SetRowImage(int Index, int Image) {
    Form.SetRowImage(Index, Image);
}

void TMainFormBatchPorts::UpdateControlsOnListChange() {
    Form.UpdateControlsOnListChange();
}

bool TMainFormBatchPorts::SameFolderSelected() const {
    return Form.SameFolderChecked();
}

std::wstring TMainFormBatchPorts::OutputFolderText() const {
    return Form.OutputFolderText();
}

bool TMainFormBatchPorts::ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                                      TProgressProc ProgressProc) {
    return Form.ConvertFile(Source, Destination, ProgressProc);
}
