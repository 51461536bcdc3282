// A small dialog framework: one static dialog procedure that finds the C++ object of the
// window and routes every message to its virtual handlers. Nothing thrown by a handler
// leaves the procedure.
#pragma once

#include <windows.h>

#include <string>

namespace tellarix {

class Dialog {
  public:
    Dialog() = default;
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the window from a dialog template, modeless. False when it could not.
    bool Create(int template_id, HWND parent);
    void Destroy();
    HWND hwnd() const { return hwnd_; }
    bool exists() const { return hwnd_ != nullptr; }

    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    std::string ItemText(int id) const;
    void SetItemText(int id, std::string_view text) const;

  protected:
    virtual bool OnInitDialog() { return true; }
    virtual void OnCommand(int /*id*/, int /*code*/, HWND /*control*/) {}
    virtual LRESULT OnNotify(NMHDR* /*header*/) { return 0; }
    // Every other message. Set `handled` to claim it; the result goes back to the caller.
    virtual LRESULT OnMessage(UINT /*msg*/, WPARAM, LPARAM, bool& handled) {
        handled = false;
        return 0;
    }

  private:
    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
    INT_PTR Route(UINT msg, WPARAM wparam, LPARAM lparam);

    HWND hwnd_ = nullptr;
};

// The program's instance handle.
HINSTANCE Instance();

// Window text in the ANSI code page.
std::string WindowTextOf(HWND hwnd);

}  // namespace tellarix
