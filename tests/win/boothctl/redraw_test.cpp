// A booth takes a stream of calls without repainting after each one, then redraws once the
// queue runs dry: the screen must then show exactly what a full repaint shows, for a booth in
// view and for one whose page was hidden while the calls came in.
#include <gtest/gtest.h>

#include <vector>

#include "host.h"

namespace tlx::test {
namespace {

// The window's pixels as the screen shows them.
std::vector<DWORD> Pixels(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* first = static_cast<const DWORD*>(bits);
    std::vector<DWORD> out(first, first + static_cast<std::size_t>(w) * h);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return out;
}

class Redraw : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(CallExport("DllRegisterServer"), S_OK); }
    void SetUp() override {
        host = std::make_unique<Host>();
        ASSERT_TRUE(host->cabine && host->list);
        SetForegroundWindow(host->frame);
        Pump(200);
    }
    // Calls as a flood brings them, few enough to stay in view; the last one still dialling
    // (a connected call's clock would change the picture between two looks).
    void Calls() {
        for (short i = 1; i <= 3; ++i) {
            host->Dial(L"0049301234567", L"route", L"0.12");
            host->cabine->CallConnected();
            host->Finish(i * 61, 0.25 * i);
        }
        host->Dial(L"0033140000000", L"France", L"0.15");
    }
    // What the list shows after it was made to repaint everything.
    std::vector<DWORD> Repainted() {
        RedrawWindow(host->list, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump(100);
        return Pixels(host->list);
    }
    std::unique_ptr<Host> host;
};

TEST_F(Redraw, BoothInViewShowsEveryChangeOnceTheQueueRunsDry) {
    const auto empty = Pixels(host->list);
    Calls();
    Pump(200);
    const auto four_rows = Pixels(host->list);
    EXPECT_NE(four_rows, empty) << "the calls never reached the screen";
    EXPECT_EQ(four_rows, Repainted()) << "stale cells after the calls";
    EXPECT_TRUE(IsWindowVisible(host->list));

    // A later change to a row already on the screen.
    host->cabine->CallRejected();
    Pump(200);
    const auto rejected = Pixels(host->list);
    EXPECT_NE(rejected, four_rows) << "the rejected call was not redrawn";
    EXPECT_EQ(rejected, Repainted());
}

TEST_F(Redraw, HiddenBoothCatchesUpWhenItsPageIsShown) {
    const auto empty = Pixels(host->list);
    host->site->Hide();
    Calls();
    Pump(100);
    host->site->Show();
    Pump(200);
    EXPECT_EQ(host->Rows(), 4);
    const auto shown = Pixels(host->list);
    EXPECT_NE(shown, empty) << "the booth showed what it had before it was hidden";
    EXPECT_EQ(shown, Repainted()) << "stale cells after the page was shown";
    EXPECT_EQ(host->Cell(3, 1), "Connecting");
}

}  // namespace
}  // namespace tlx::test
