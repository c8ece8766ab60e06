// Converts with the fake converter through the progress window's own progress routine; after
// every report, once the window has been updated, the test looks at it (and may act on it).
#pragma once

#include "FFmpeg.h"
#include "Progress.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

class TWatchedConverter : public TConverter {
public:
    bool ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                     TProgressProc ProgressProc, TConversionOutcome& Outcome) override {
        EXPECT_EQ(ProgressProc, &UpdateProgress);
        Watched = this;
        Outcome = ConvertWithFFmpeg(testing_support::FakeConverterPath(), Source, Destination,
                                    FFmpegOptions, &Report);
        return Outcome.Converted;
    }

protected:
    // Window is the progress window, just updated by this report.
    virtual void Reported(HWND Window) = 0;

private:
    // The progress routine is a plain function, so the converter at work is found here.
    static inline TWatchedConverter* Watched = nullptr;

    static void Report(int64_t Position, int64_t Size, bool& Cancel) {
        UpdateProgress(Position, Size, Cancel);
        Watched->Reported(static_cast<TProgressForm*>(ProgressForm)->Handle());
    }
};
