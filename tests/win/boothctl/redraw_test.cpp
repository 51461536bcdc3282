// A booth takes a stream of calls without repainting after each one, then redraws once the
// queue runs dry: the screen must then show exactly what a full repaint shows, for a booth in
// view and for one whose page was hidden while the calls came in. Every picture is taken once
// the queue is idle, paints included.
#include <gtest/gtest.h>

#include "host.h"

namespace tlx::test {
namespace {

using Pixels = std::vector<DWORD>;

class Redraw : public ::testing::Test {
  protected:
    void SetUp() override {
        host = std::make_unique<Host>();
        ASSERT_TRUE(host->cabine && host->list);
        SetForegroundWindow(host->frame);
    }
    Pixels Settled() {
        PumpUntilIdle();
        return Capture(host->list);
    }
    // Calls as a flood brings them, few enough to stay in view; the last one still dialling
    // (a connected call's clock would change the picture between two looks).
    void Calls() {
        for (short i = 1; i <= 3; ++i) host->Call(L"0049301234567", i * 61, 0.25 * i, L"0.12");
        host->Dial(L"0033140000000", L"France", L"0.15");
    }
    // What the list shows after it was made to repaint everything.
    Pixels Repainted() {
        RedrawWindow(host->list, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return Settled();
    }
    std::unique_ptr<Host> host;
};

TEST_F(Redraw, BoothInViewShowsEveryChangeOnceTheQueueRunsDry) {
    const Pixels empty = Settled();
    Calls();
    const Pixels four_rows = Settled();
    EXPECT_NE(four_rows, empty) << "the calls never reached the screen";
    EXPECT_EQ(four_rows, Repainted()) << "stale cells after the calls";
    // A later change to a row already on the screen.
    host->cabine->CallRejected();
    const Pixels rejected = Settled();
    EXPECT_NE(rejected, four_rows) << "the rejected call was not redrawn";
    EXPECT_EQ(rejected, Repainted());
}

TEST_F(Redraw, HiddenBoothCatchesUpWhenItsPageIsShown) {
    const Pixels empty = Settled();
    host->site->Hide();
    Calls();
    PumpUntilIdle();
    host->site->Show();
    const Pixels shown = Settled();
    EXPECT_NE(shown, empty) << "the booth showed what it had before it was hidden";
    EXPECT_EQ(shown, Repainted()) << "stale cells after the page was shown";
    EXPECT_EQ(host->list.Cell(3, 1), "Connecting");
}

}  // namespace
}  // namespace tlx::test
