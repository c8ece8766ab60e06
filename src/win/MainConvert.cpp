// The Convert button: one batch over the list in a modal progress window, then the summary.
#include "Application.h"
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
    if (!Text.empty())
        Application.ShowMessageBox(Window, Text, L"Information", MB_OK | MB_ICONINFORMATION);
}
