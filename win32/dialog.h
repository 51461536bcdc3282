// The dialog base: one static dialog procedure finds the C++ object of the window and routes
// every message down a ladder of virtual handlers, each rung handing on what it does not take:
// message -> command (id, code) -> button clicked (id) -> OK / Cancel, beside the notify, size,
// timer and close hooks. Nothing a handler throws leaves the procedure. Dialogs come from
// templates of the module this code is linked into.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "win32/controls.h"

namespace tlx::win32 {

class Dialog {
  public:
    Dialog() = default;
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Modeless: creates the window and returns; false when it could not be made.
    bool Create(int template_id, HWND parent);
    // Modal: runs until End; returns End's result, or -1 when the window could not be made.
    INT_PTR RunModal(int template_id, HWND parent);
    void End(INT_PTR result) const { EndDialog(hwnd_, result); }
    void Destroy();

    HWND hwnd() const { return hwnd_; }
    bool exists() const { return hwnd_ != nullptr; }
    Window window() const { return Window(hwnd_); }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    template <class Control = Window>
    Control Get(int id) const {
        return Control(Item(id));
    }
    std::string ItemText(int id) const { return Window(Item(id)).Text(); }
    void SetItemText(int id, std::string_view text) const { Window(Item(id)).SetText(text); }

  protected:
    virtual bool OnInitDialog() { return true; }
    // Every message but the first and the last: true when handled, with its result. The base
    // hands commands, notifications, sizes, timers and closing to the hooks below; an override
    // taking its own messages calls it for the rest.
    virtual bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result);
    // True when handled. The base hands a click on to OnButtonClicked.
    virtual bool OnCommand(int id, int code, HWND control);
    // True when handled. The base takes IDOK and IDCANCEL to OnOK and OnCancel.
    virtual bool OnButtonClicked(int id, HWND control);
    // A modal dialog ends with IDOK / IDCANCEL; a modeless one has nothing to end, so Enter
    // and Escape do nothing there.
    virtual void OnOK();
    virtual void OnCancel();
    // True when handled; `result` is the notification's answer.
    virtual bool OnNotify(const NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
    // `type` as WM_SIZE gives it (SIZE_MINIMIZED, ...); the client area's new size.
    virtual bool OnSize(UINT /*type*/, int /*width*/, int /*height*/) { return false; }
    virtual bool OnTimer(UINT_PTR /*id*/) { return false; }
    // Not handled, a dialog's close box works as Cancel.
    virtual bool OnClose() { return false; }
    bool modal() const { return modal_; }

  private:
    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
    INT_PTR Route(UINT msg, WPARAM wparam, LPARAM lparam);

    HWND hwnd_ = nullptr;
    bool modal_ = false;
};

// A message box with the console's 8-bit texts; returns the button pressed (IDOK, IDYES, ...).
// <windows.h> spells this name MessageBoxA; being ours, in this namespace, it stays apart
// from the system's.
int MessageBox(HWND owner, std::string_view text, std::string_view caption, UINT flags);

}  // namespace tlx::win32
