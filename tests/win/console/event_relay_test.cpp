#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "console/connection/receiver_thread.h"
#include "console/messages.h"

namespace tlx::console {
namespace {

// The main window's stand-in: what reached it, in order ("msg:text" or "lost").
std::vector<std::string> g_seen;

LRESULT CALLBACK Target(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SERVER_LOST) g_seen.push_back("lost");
    if (msg >= WM_CALL_DIAL && msg <= WM_CALL_REJECTED) {
        auto first = TakeText(wp), rest = TakeText(static_cast<WPARAM>(lp));
        g_seen.push_back(std::to_string(msg - WM_CALL_DIAL) + ":" + *first + (rest ? *rest : ""));
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// Events pushed from another thread arrive all, in order, before the loss that follows them,
// however many slices the delivery takes.
TEST(EventRelay, DeliversInOrderThenTheLoss) {
    WNDCLASSA wc{0, Target, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "RelayTestTarget"};
    RegisterClassA(&wc);
    HWND target = CreateWindowA("RelayTestTarget", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(target, nullptr);
    constexpr int kEvents = 20000;
    int refused = 0;
    {
        EventRelay relay;
        ASSERT_TRUE(relay.Open(target));
        std::thread worker([&] {
            for (int n = 0; n < kEvents; ++n) {
                const UINT msg = WM_CALL_DIAL + static_cast<UINT>(n % 4);
                auto rest = msg == WM_CALL_DIAL ? std::make_unique<std::string>(";r") : nullptr;
                refused += !relay.Push(msg, std::make_unique<std::string>(std::to_string(n)),
                                       std::move(rest));
            }
            refused += !relay.Push(WM_SERVER_LOST, nullptr);
        });
        const ULONGLONG deadline = GetTickCount64() + 60000;
        for (MSG msg; (g_seen.empty() || g_seen.back() != "lost") && GetTickCount64() < deadline;) {
            if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0)
                while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        }
        worker.join();
    }
    DestroyWindow(target);
    ASSERT_EQ(refused, 0);
    ASSERT_EQ(g_seen.size(), kEvents + 1u);
    for (int n = 0; n < kEvents; ++n) {
        const std::string want =
            std::to_string(n % 4) + ":" + std::to_string(n) + (n % 4 == 0 ? ";r" : "");
        ASSERT_EQ(g_seen[static_cast<std::size_t>(n)], want);
    }
}

}  // namespace
}  // namespace tlx::console
