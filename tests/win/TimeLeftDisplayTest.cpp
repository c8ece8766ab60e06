// The progress window's time left: shown once it means something, in the string table's words,
// hidden during a lasting marquee, placed left of Cancel. The window's clock is replaced by one
// that runs with the overall bar, so the batch converts at an exactly steady rate.
#include "Layouts.h"
#include "MainFormFixture.h"
#include "Progress.h"
#include "TestSupport.h"
#include "TextConversion.h"
#include "WatchedConverter.h"

#include <commctrl.h>

#include <cmath>
#include <cstdio>
#include <functional>

using namespace testing_support;

namespace {

struct TShot {
    int CurPos;
    bool Marquee;
    std::wstring TimeLeft;
};

class TWatchingConverter : public TWatchedConverter {
public:
    std::vector<TShot> Shots;
    std::function<void(HWND Window)> OnReport;

private:
    void Reported(HWND W) override {
        HWND Cur = GetDlgItem(W, IDC_PBCURFILE);
        Shots.push_back({static_cast<int>(SendMessageW(Cur, PBM_GETPOS, 0, 0)),
                         (GetWindowLongPtrW(Cur, GWL_STYLE) & PBS_MARQUEE) != 0,
                         WindowText(GetDlgItem(W, IDC_LBLTIMELEFT))});
        if (OnReport)
            OnReport(W);
    }
};

class TimeLeftDisplayTest : public MainFormTest {
protected:
    std::wstring Script(const std::wstring& Name, const std::string& Text) {
        return Dir.WriteFile(Name, Text).wstring();
    }
    // 1000 seconds for the whole batch, by the overall bar; ten more for every report made while
    // the current bar is a marquee.
    void SteadyClock(TProgressForm& Progress) {
        Progress.Clock = [&Progress, this] {
            HWND W = Progress.Handle();
            HWND All = GetDlgItem(W, IDC_PBOVERALL);
            double Pos = static_cast<double>(SendMessageW(All, PBM_GETPOS, 0, 0));
            double Max = static_cast<double>(SendMessageW(All, PBM_GETRANGE, FALSE, 0));
            if (GetWindowLongPtrW(GetDlgItem(W, IDC_PBCURFILE), GWL_STYLE) & PBS_MARQUEE)
                MarqueeSeconds += 10;
            return (Max > 0 ? 1000 * Pos / Max : 0) + MarqueeSeconds;
        };
    }

    static constexpr const char* Steady =
        "err   Duration: 00:01:40.00, start: 0\\n\nstatus 100000 1000 5\ncreate\nexit 0\n";
    double MarqueeSeconds = 0;
    TempFolder Dir{L"kestrova-timeleft"};
    TWatchingConverter Converter;
};

TEST_F(TimeLeftDisplayTest, ShownOnceMeaningfulInTheStringTablesWords) {
    CreateForm();
    Drop({Script(L"a.webm", Steady)});
    bool Placed = false;
    Converter.OnReport = [&](HWND Window) {
        if (Placed || Converter.Shots.back().TimeLeft.empty())
            return;
        Placed = true;
        // Under the overall bar, above the bottom row, inside the window, the whole text in view.
        HWND Label = GetDlgItem(Window, IDC_LBLTIMELEFT);
        RECT Text, Cancel, Bar, Client;
        GetWindowRect(Label, &Text);
        GetWindowRect(GetDlgItem(Window, IDCANCEL), &Cancel);
        GetWindowRect(GetDlgItem(Window, IDC_PBOVERALL), &Bar);
        MapWindowPoints(nullptr, Window, reinterpret_cast<POINT*>(&Text), 2);
        MapWindowPoints(nullptr, Window, reinterpret_cast<POINT*>(&Cancel), 2);
        MapWindowPoints(nullptr, Window, reinterpret_cast<POINT*>(&Bar), 2);
        GetClientRect(Window, &Client);
        EXPECT_TRUE(IsWindowVisible(Label));
        EXPECT_EQ(Text.left, Bar.left);
        EXPECT_GE(Text.top, Bar.bottom);
        EXPECT_LE(Text.bottom, Cancel.top);
        EXPECT_LE(Text.right, Client.right);
        EXPECT_LE(TextExtent(Label).cx, Text.right - Text.left);
    };
    TProgressForm Progress(*Form, &Converter);
    SteadyClock(Progress);
    Progress.ShowModal();

    ASSERT_FALSE(Converter.Shots.empty());
    EXPECT_EQ(Converter.Shots.front().TimeLeft, L"") << "nothing before anything is converted";
    EXPECT_TRUE(Placed);
    // Reports may merge under load, so no single position is sure to be seen; every one that is
    // seen must read right. Each report is one percent, 10 s of the 1000.
    int Middle = 0;
    for (const TShot& Shot : Converter.Shots) {
        if (Shot.CurPos >= 10 && Shot.CurPos <= 85) {
            ++Middle;
            const double Minutes = (1000 - 10.0 * Shot.CurPos) / 60;
            int Said = 0;
            ASSERT_EQ(swscanf(Shot.TimeLeft.c_str(), L"About %d minutes left", &Said), 1)
                << "at " << Shot.CurPos << "%: \"" << ToUtf8(Shot.TimeLeft) << '"';
            EXPECT_EQ(Shot.TimeLeft, L"About " + std::to_wstring(Said) + L" minutes left");
            EXPECT_LE(std::abs(Said - Minutes), 0.5 + 1e-9) << "at " << Shot.CurPos << '%';
        }
        if (Shot.CurPos == 97) { // 30 s
            EXPECT_EQ(Shot.TimeLeft, L"Less than a minute left");
        }
        if (Shot.CurPos >= 99) {
            EXPECT_EQ(Shot.TimeLeft, L"A few seconds left");
        }
    }
    EXPECT_GE(Middle, 3) << "reports through the middle of the file";
}

TEST_F(TimeLeftDisplayTest, HiddenWhileOnlyAMarqueeCanBeShown) {
    CreateForm();
    Drop({Script(L"a.webm", Steady),
          Script(L"live.webm", "err   Duration: N/A, start: 0\\n\nsleep 20\n"
                               "err frame= 1 time=00:00:01.00 x\\r\nsleep 20\n"
                               "err frame= 2 time=00:00:02.00 x\\r\nsleep 20\n"
                               "err frame= 3 time=00:00:03.00 x\\r\ncreate\nexit 0\n")});
    TProgressForm Progress(*Form, &Converter);
    SteadyClock(Progress);
    Progress.ShowModal();

    int MarqueeReports = 0, InARow = 0;
    bool ShownBefore = false;
    for (const TShot& Shot : Converter.Shots) {
        if (!Shot.Marquee) {
            ShownBefore = ShownBefore || !Shot.TimeLeft.empty();
            InARow = 0;
            continue;
        }
        ++MarqueeReports;
        // The first report of a marquee may keep the estimate: it could be the moment before a
        // duration is read (every file starts so). Ten seconds on, it is gone.
        if (++InARow > 1) {
            EXPECT_EQ(Shot.TimeLeft, L"") << "marquee report " << InARow << " in a row";
        }
    }
    EXPECT_TRUE(ShownBefore);
    EXPECT_GE(MarqueeReports, 3);
}

} // namespace
