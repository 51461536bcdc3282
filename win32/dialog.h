// The dialog base: one static dialog procedure finds the C++ object of the window and routes
// every message to its virtual handlers. Nothing a handler throws leaves the procedure.
// Dialogs come from templates of the module this code is linked into.
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
    // True when the command was handled. A modal dialog not handling IDOK or IDCANCEL ends
    // with that result; a modeless one ignores them.
    virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    // True when handled; `result` is the notification's answer.
    virtual bool OnNotify(const NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
    // Every other message: true when handled, with its result.
    virtual bool OnMessage(UINT /*msg*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }
    bool modal() const { return modal_; }

  private:
    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
    INT_PTR Route(UINT msg, WPARAM wparam, LPARAM lparam);

    HWND hwnd_ = nullptr;
    bool modal_ = false;
};

}  // namespace tlx::win32
