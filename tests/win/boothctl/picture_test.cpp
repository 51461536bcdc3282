// Booths without calls are drawn from a copy of the first one drawn: every booth must still look
// exactly as when drawn window by window, with its own name and its own calls.
#include <gtest/gtest.h>

#include "tests/win/boothctl/host.h"

namespace tlx::test {
namespace {

HWND g_frame = nullptr;  // the window whose own paints are counted
int g_frame_paints = 0;

LRESULT CALLBACK CountPaints(int code, WPARAM w, LPARAM l) {
    const auto* msg = reinterpret_cast<const MSG*>(l);
    if (code == HC_ACTION && w == PM_REMOVE && msg->message == WM_PAINT && msg->hwnd == g_frame)
        ++g_frame_paints;
    return CallNextHookEx(nullptr, code, w, l);
}

TEST(Picture, EveryBoothLooksAsDrawnOnItsOwn) {
    Host first;
    Host second;
    ASSERT_TRUE(first.cabine && second.cabine);
    // Side by side: a booth is copied only while nothing covers it.
    SetWindowPos(second.frame, nullptr, 460, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    first.cabine->SetCabineName(Bstr(L"B1").Address());
    second.cabine->SetCabineName(Bstr(L"B2").Address());
    PumpUntilIdle();

    const HHOOK hook =
        SetWindowsHookExW(WH_GETMESSAGE, &CountPaints, nullptr, GetCurrentThreadId());
    g_frame = second.group;  // drawn from the copy, it does not paint
    const struct {
        const char* what;
        std::function<void()> before_shown;
        bool copied;
    } cases[] = {
        {"a booth without calls", [] {}, true},
        {"a booth with a call", [&] { second.Dial(L"0049301234567", L"Germany", L"0.25"); }, false},
        {"a booth whose calls were taken off",
         [&] {
             second.cabine->CallRejected();
             second.site->Show();  // taken off in view
             PumpUntilIdle();
             second.Select({0});
             second.Release(second.total);
             second.site->Hide();
         },
         true},
    };
    for (const auto& c : cases) {
        second.site->Hide();
        c.before_shown();
        PumpUntilIdle();
        g_frame_paints = 0;
        second.site->Show();
        PumpUntilIdle();
        const std::vector<DWORD> shown = Capture(second.window);
        // Drawn again the long way: all but its top row due, so not a whole booth to copy.
        RECT most{};
        GetClientRect(second.window, &most);
        most.top = 1;
        RedrawWindow(second.window, &most, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        PumpUntilIdle();
        EXPECT_TRUE(shown == Capture(second.window)) << c.what;
        EXPECT_EQ(g_frame_paints == 0, c.copied) << c.what;
    }
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(second.Shown(), "B2|No calls|print off");
}

}  // namespace
}  // namespace tlx::test
