// The window base and the subclassing helper: who owns what until which message, and that no
// exception leaves a window procedure.
#include "win32/window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>

#include "win32/subclass.h"

using tlx::win32::CreateArgs;
using tlx::win32::Subclass;
using tlx::win32::WindowClass;
using tlx::win32::Wnd;

namespace {

int g_alive = 0;         // Probe objects not yet deleted
std::string g_messages;  // what the probes saw: C create, D destroy, N last message

// Throws from its size and timer hooks; writes down its life.
class Probe : public Wnd {
  public:
    Probe() { ++g_alive; }
    ~Probe() override {
        --g_alive;
        Destroy();
    }
    using Wnd::Create;

  private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_NCDESTROY) g_messages += 'N';
        if (msg == WM_USER) return 42;
        return Wnd::OnMessage(msg, wp, lp);
    }
    bool OnCreate() override {
        g_messages += 'C';
        return true;
    }
    void OnDestroy() override { g_messages += 'D'; }
    void OnSize(int, int) override { throw std::runtime_error("size"); }
    void OnTimer(UINT_PTR) override { throw std::bad_alloc(); }
};

constexpr WindowClass kProbeClass{"TellarixTestProbe"};
constexpr WindowClass kOwnedClass{"TellarixTestOwned", 0, COLOR_WINDOW, true};

CreateArgs TopLevel() {
    CreateArgs args;
    args.style = WS_OVERLAPPEDWINDOW;
    args.rect = {0, 0, 200, 100};
    return args;
}

TEST(Window, HooksRunAndNoExceptionLeavesTheProcedure) {
    g_messages.clear();
    {
        Probe probe;
        ASSERT_TRUE(probe.Create(kProbeClass, TopLevel()));
        const HWND hwnd = probe.hwnd();
        EXPECT_FALSE(IsWindowUnicode(hwnd));  // an ANSI class makes ANSI windows
        EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 42);
        // Both hooks throw: the sender gets DefWindowProc's answer and goes on.
        EXPECT_EQ(SendMessageA(hwnd, WM_SIZE, 0, MAKELPARAM(10, 10)), 0);
        EXPECT_EQ(SendMessageA(hwnd, WM_TIMER, 1, 0), 0);
        EXPECT_EQ(g_messages, "C");
    }
    // The owner's object went first: its destructor ran the destroy hook and the window went.
    EXPECT_EQ(g_messages, "CDN");
    EXPECT_EQ(g_alive, 0);
}

TEST(Window, ObjectMadeByItsWindowLivesUntilTheLastMessage) {
    g_messages.clear();
    const HWND hwnd = Wnd::CreateOwned<Probe>(kOwnedClass, TopLevel());
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(IsWindowUnicode(hwnd));
    EXPECT_EQ(g_alive, 1);
    Probe* probe = Wnd::Of<Probe>(hwnd);
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->hwnd(), hwnd);
    // Neither a window of another class nor one of ours made by its owner is taken for it.
    Probe other;
    ASSERT_TRUE(other.Create(kProbeClass, TopLevel()));
    EXPECT_EQ(Wnd::Of<Probe>(other.hwnd()), nullptr);
    EXPECT_EQ(Wnd::Of<Probe>(GetDesktopWindow()), nullptr);

    g_messages.clear();
    DestroyWindow(hwnd);
    EXPECT_EQ(g_messages, "DN");  // the hooks saw the window out before the object went
    EXPECT_EQ(g_alive, 1);        // `other` only
}

TEST(Window, WindowGoneFirstLeavesTheOwnersObject) {
    Probe parent;
    ASSERT_TRUE(parent.Create(kProbeClass, TopLevel()));
    Probe child;
    CreateArgs args;
    args.parent = parent.hwnd();
    args.rect = {0, 0, 10, 10};
    ASSERT_TRUE(child.Create(kProbeClass, args));
    parent.Destroy();
    EXPECT_EQ(child.hwnd(), nullptr);  // gone with its parent; the object is the owner's
    EXPECT_EQ(g_alive, 2);
}

// A button made with the ANSI functions, as the booths' are.
struct Button {
    HWND hwnd = CreateWindowExA(0, "BUTTON", "Print", WS_OVERLAPPED, 0, 0, 50, 20, nullptr, nullptr,
                                nullptr, nullptr);
    ~Button() {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
    }
};

TEST(Subclass, SeesMessagesUntilRemovedAndKeepsTheWindowsCharacterSet) {
    Button button;
    int seen = 0;
    {
        Subclass sub(button.hwnd, [&](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
            if (msg == WM_USER) ++seen;
            if (msg == WM_USER + 1) throw std::runtime_error("handler");
            return Subclass::Next(h, msg, wp, lp);
        });
        ASSERT_TRUE(sub.installed());
        EXPECT_FALSE(IsWindowUnicode(button.hwnd));
        EXPECT_FALSE(Subclass(button.hwnd, &Subclass::Next).installed());  // one per window
        SendMessageA(button.hwnd, WM_USER, 0, 0);
        EXPECT_EQ(seen, 1);
        // A throwing handler: the button answers as it would have, the sender goes on.
        SendMessageA(button.hwnd, WM_USER + 1, 0, 0);
        char text[16] = {};
        GetWindowTextA(button.hwnd, text, sizeof text);
        EXPECT_STREQ(text, "Print");
    }
    SendMessageA(button.hwnd, WM_USER, 0, 0);
    EXPECT_EQ(seen, 1);  // removed with the helper
}

TEST(Subclass, EndsWithItsWindowAndMovesWithItsOwner) {
    int seen = 0;
    Subclass kept;
    {
        Button button;
        Subclass sub(button.hwnd, [&](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
            if (msg == WM_NCDESTROY) ++seen;
            return Subclass::Next(h, msg, wp, lp);
        });
        kept = std::move(sub);
        EXPECT_FALSE(sub.installed());
        EXPECT_TRUE(kept.installed());
    }
    EXPECT_EQ(seen, 1);  // saw its window's last message, then went with it
    EXPECT_FALSE(kept.installed());
    EXPECT_EQ(kept.window(), nullptr);
}

WNDPROC g_under = nullptr;
LRESULT CALLBACK OnTop(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return CallWindowProcA(g_under, h, msg, wp, lp);
}

TEST(Subclass, LetGoUnderAnotherSubclassPassesMessagesOn) {
    Button button;
    int seen = 0;
    Subclass sub(button.hwnd, [&](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
        if (msg == WM_USER) ++seen;
        return Subclass::Next(h, msg, wp, lp);
    });
    g_under = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(button.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OnTop)));
    sub.Reset();
    // Taking ours out from under the other would cut the other's chain.
    EXPECT_EQ(GetWindowLongPtrA(button.hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&OnTop));
    SendMessageA(button.hwnd, WM_USER, 0, 0);
    EXPECT_EQ(seen, 0);
    char text[16] = {};
    GetWindowTextA(button.hwnd, text, sizeof text);
    EXPECT_STREQ(text, "Print");
}

}  // namespace
