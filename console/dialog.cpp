#include "dialog.h"

namespace tellarix {

HINSTANCE Instance() {
    return GetModuleHandleA(nullptr);
}

std::string WindowTextOf(HWND hwnd) {
    const int length = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    const int got = GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

Dialog::~Dialog() {
    Destroy();
}

bool Dialog::Create(int template_id, HWND parent) {
    if (hwnd_) return true;
    HWND made = CreateDialogParamA(Instance(), MAKEINTRESOURCEA(template_id), parent,
                                   &Dialog::Procedure, reinterpret_cast<LPARAM>(this));
    if (!made) return false;
    hwnd_ = made;
    return true;
}

void Dialog::Destroy() {
    if (HWND h = hwnd_) {
        SetWindowLongPtrA(h, DWLP_USER, 0);
        hwnd_ = nullptr;
        DestroyWindow(h);
    }
}

std::string Dialog::ItemText(int id) const {
    return WindowTextOf(Item(id));
}

void Dialog::SetItemText(int id, std::string_view text) const {
    SetDlgItemTextA(hwnd_, id, std::string(text).c_str());
}

INT_PTR CALLBACK Dialog::Procedure(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    Dialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lparam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lparam);
        self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    try {
        return self->Route(msg, wparam, lparam);
    } catch (...) {
        // A failing handler leaves the window as it was; the console goes on.
        return FALSE;
    }
}

INT_PTR Dialog::Route(UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_INITDIALOG:
            return OnInitDialog() ? TRUE : FALSE;
        case WM_COMMAND:
            OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            return TRUE;
        case WM_NOTIFY: {
            const LRESULT r = OnNotify(reinterpret_cast<NMHDR*>(lparam));
            SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, r);
            return TRUE;
        }
        case WM_NCDESTROY:
            hwnd_ = nullptr;
            return FALSE;
        default: {
            bool handled = false;
            const LRESULT r = OnMessage(msg, wparam, lparam, handled);
            if (!handled) return FALSE;
            // These few answer through the procedure's own result.
            if (msg == WM_QUERYDRAGICON || (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC)) {
                return static_cast<INT_PTR>(r);
            }
            SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, r);
            return TRUE;
        }
    }
}

}  // namespace tellarix
