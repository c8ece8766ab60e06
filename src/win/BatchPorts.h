// The adapters between the main window and the batch: its list, output-folder choice and
// converter as the batch sees them. They live with the Convert button (MainConvert.cpp).
#pragma once

#include "Batch.h"

#include <string>

class TMainForm;

// The main window's list, output-folder choice and converter, as the batch sees them.
class TMainFormBatchPorts : public TConversionList, public TOutputFolderChoice, public TConverter {
public:
    explicit TMainFormBatchPorts(TMainForm& Form) : Form(Form) {}

    int RowCount() const override;
    TListRow Row(int Index) const override;
    void DeleteRow(int Index) override;
    void SetRowImage(int Index, int Image) override;
    void SetRowOutcome(int Index, const TConversionOutcome& Outcome) override;
    void UpdateControlsOnListChange() override;
    void PartialReserved(const std::wstring& Path) override;
    void PartialGone(const std::wstring& Path) override;
    bool SameFolderSelected() const override;
    std::wstring OutputFolderText() const override;
    bool ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                     TProgressProc ProgressProc, TConversionOutcome& Outcome) override;
    std::unique_ptr<TFFmpegJob> CreateJob(const std::wstring& Source,
                                          const std::wstring& Destination) override;

protected:
    TMainForm& Form;
};
