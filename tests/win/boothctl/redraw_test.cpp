// A booth takes a stream of calls without repainting after each one, then redraws once the
// queue runs dry: the screen must then show exactly what a full repaint shows, for a booth in
// view and for one whose page was hidden while the calls came in.
#include <gtest/gtest.h>

#include "tests/win/boothctl/host.h"

namespace tlx::test {
namespace {

using Pixels = std::vector<DWORD>;

class Redraw : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(h.cabine && h.list);
        SetForegroundWindow(h.frame);
    }
    Pixels Settled() {
        PumpUntilIdle();
        return Capture(h.list);
    }
    // Few enough calls to stay in view; the last one still dialling (a connected call's clock
    // would change the picture between two looks).
    void Calls() {
        for (short i = 1; i <= 3; ++i) h.Call(L"0049301234567", i * 61, 0.25 * i, L"0.12");
        h.Dial(L"0033140000000", L"France", L"0.15");
    }
    Pixels Repainted() {
        RedrawWindow(h.list, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return Settled();
    }
    Host h;
};

TEST_F(Redraw, BoothInViewShowsEveryChangeOnceTheQueueRunsDry) {
    const Pixels empty = Settled();
    Calls();
    const Pixels four_rows = Settled();
    EXPECT_NE(four_rows, empty) << "the calls never reached the screen";
    EXPECT_EQ(four_rows, Repainted()) << "stale cells after the calls";
    h.cabine->CallRejected();  // a later change to a row already on the screen
    const Pixels rejected = Settled();
    EXPECT_NE(rejected, four_rows) << "the rejected call was not redrawn";
    EXPECT_EQ(rejected, Repainted());
}

TEST_F(Redraw, HiddenBoothCatchesUpWhenItsPageIsShown) {
    const Pixels empty = Settled();
    h.site->Hide();
    Calls();
    PumpUntilIdle();
    h.site->Show();
    const Pixels shown = Settled();
    EXPECT_NE(shown, empty) << "the booth showed what it had before it was hidden";
    EXPECT_EQ(shown, Repainted()) << "stale cells after the page was shown";
}

TEST_F(Redraw, TalkingBoothsSecondsReachTheScreenAndWhoeverReadsTheRows) {
    h.Dial(L"0049301234567", L"Germany", L"0.25");
    ASSERT_EQ(h.cabine->CallConnected(), S_OK);
    Settled();
    auto second = [&] { SendMessageW(h.window, WM_TIMER, 1, 0); };
    // The screen after `step` against a full repaint; the booth's own timer may tick during a
    // look as well, and such a look is taken again.
    auto steady = [&](const std::function<void()>& step) {
        for (int look = 0; look < 3; ++look) {
            step();
            const Pixels settled = Settled();
            const std::string clock = h.list.Cell(0, 1);
            const Pixels repainted = Repainted();
            if (h.list.Cell(0, 1) == clock) return settled == repainted;
        }
        return false;
    };
    EXPECT_TRUE(steady(second)) << "a second in view was not drawn";
    h.site->Hide();
    const std::string hidden = h.list.Cell(0, 1);
    second();
    EXPECT_NE(h.list.Cell(0, 1), hidden) << "a hidden booth's rows read an old duration";
    EXPECT_TRUE(steady([&] {
        h.site->Hide();
        second();
        h.site->Show();
    })) << "a second that passed while hidden was not drawn when shown";
}

}  // namespace
}  // namespace tlx::test
