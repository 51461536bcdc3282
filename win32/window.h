// A window of our own (win32::Window in controls.h is a view of anyone's): a class derives from
// Wnd, overrides the OnXxx hooks it needs, and the base does the rest. The base registers each
// window class once, keeps the object in GWLP_USERDATA from WM_NCCREATE to WM_NCDESTROY, and
// lets no exception out of the window procedure (a throwing hook gets DefWindowProc's answer).
//
// Two ways to own the object: the owner makes it and calls Create (the window refers to it
// until WM_NCDESTROY; destroying the object destroys the window), or a class registered with
// Register<T> makes a T for each of its windows however made (dialog templates name the class)
// and deletes it after the window's last message. UI thread only.
#pragma once

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

namespace tlx::win32 {

struct WindowClass {
    const char* name;     // kept exactly: dialog templates, tests and peers find windows by it
    UINT style = 0;       // CS_ flags
    int background = -1;  // COLOR_ index of the background brush; -1 for none
    bool wide = false;    // a Unicode window (W functions and messages); else ANSI
};

struct CreateArgs {
    HWND parent = nullptr;
    RECT rect{};  // in the parent's client coordinates
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD ex_style = 0;
    int id = 0;              // control identifier of a child window
    const char* title = "";  // ASCII
    void* param = nullptr;   // lpCreateParams, for CreateOwned (Create passes the object)
};

class Wnd {
  public:
    Wnd() = default;
    Wnd(const Wnd&) = delete;
    Wnd& operator=(const Wnd&) = delete;
    // Destroys a window still there without calling hooks: a class whose OnDestroy must run
    // calls Destroy in its own destructor.
    virtual ~Wnd();

    // Makes a window of cls (registered on first use) for this object; false when refused.
    bool Create(const WindowClass& cls, const CreateArgs& args);
    void Destroy();
    HWND hwnd() const { return hwnd_; }

    // Registers cls so that each of its windows owns a new T (default-constructed) from its
    // first message to its last. Once is enough; more calls do nothing.
    template <class T>
    static bool Register(const WindowClass& cls) {
        return RegisterOnce(cls, &OwnedProc<T>);
    }
    // A window of a class registered with Register<T> (done here if not yet); null when refused.
    template <class T>
    static HWND CreateOwned(const WindowClass& cls, const CreateArgs& args) {
        return Register<T>(cls) ? Make(cls, args, args.param) : nullptr;
    }
    // The T behind a window of a class registered with Register<T>; null for any other window.
    template <class T>
    static T* Of(HWND hwnd) {
        return IsOfClassProc(hwnd, &OwnedProc<T>) ? static_cast<T*>(FromHwnd(hwnd)) : nullptr;
    }

  protected:
    // Sees every message from WM_NCCREATE on. The base's routes the ones below to their hooks
    // and the rest to Default; an override handles what it wants and calls Wnd::OnMessage.
    virtual LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    // DefWindowProc in the window's character set.
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) const;

    virtual bool OnCreate() { return true; }  // false: the window is not made
    virtual void OnDestroy() {}
    // Between BeginPaint and EndPaint.
    virtual void OnPaint(HDC, const PAINTSTRUCT&) {}
    virtual void OnSize(int /*width*/, int /*height*/) {}
    // Timers set without a procedure of their own.
    virtual void OnTimer(UINT_PTR /*id*/) {}
    virtual void OnCommand(int /*id*/, int /*code*/, HWND /*control*/) {}
    virtual LRESULT OnNotify(NMHDR* /*header*/) { return 0; }

  private:
    using Factory = Wnd* (*)();
    template <class T>
    static Wnd* New() {
        return new T();
    }
    template <class T>
    static LRESULT CALLBACK OwnedProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        return Route(hwnd, msg, wp, lp, &New<T>);
    }
    static LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT Route(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, Factory make);
    static bool RegisterOnce(const WindowClass& cls, WNDPROC proc);
    static HWND Make(const WindowClass& cls, const CreateArgs& args, void* param);
    static bool IsOfClassProc(HWND hwnd, WNDPROC proc);
    static Wnd* FromHwnd(HWND hwnd);

    HWND hwnd_ = nullptr;
    bool wide_ = false;
    bool owned_by_window_ = false;
};

}  // namespace tlx::win32
