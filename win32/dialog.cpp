#include "win32/dialog.h"

#include "win32/module.h"

namespace tlx::win32 {

Dialog::~Dialog() {
    Destroy();
}

bool Dialog::Create(int template_id, HWND parent) {
    if (hwnd_) return true;
    modal_ = false;
    return CreateDialogParamA(ThisModule(), MAKEINTRESOURCEA(template_id), parent,
                              &Dialog::Procedure, reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR Dialog::RunModal(int template_id, HWND parent) {
    if (hwnd_) return -1;
    modal_ = true;
    const INT_PTR result = DialogBoxParamA(ThisModule(), MAKEINTRESOURCEA(template_id), parent,
                                           &Dialog::Procedure, reinterpret_cast<LPARAM>(this));
    modal_ = false;
    return result;
}

void Dialog::Destroy() {
    if (HWND h = hwnd_) {
        if (modal_) {
            EndDialog(h, IDCANCEL);
            return;
        }
        SetWindowLongPtrA(h, DWLP_USER, 0);
        hwnd_ = nullptr;
        DestroyWindow(h);
    }
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
    LRESULT result = 0;
    switch (msg) {
        case WM_INITDIALOG:
            return OnInitDialog() ? TRUE : FALSE;
        case WM_NCDESTROY:
            SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
            hwnd_ = nullptr;
            return FALSE;
        default:
            break;
    }
    if (!OnMessage(msg, wparam, lparam, result)) return FALSE;
    // These few answer through the procedure's own result.
    if (msg == WM_QUERYDRAGICON || msg == WM_COMPAREITEM || msg == WM_VKEYTOITEM ||
        msg == WM_CHARTOITEM || (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC)) {
        return static_cast<INT_PTR>(result);
    }
    if (hwnd_) SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
}

bool Dialog::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    result = 0;
    switch (msg) {
        case WM_COMMAND:
            return OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lparam), result);
        case WM_SIZE:
            return OnSize(static_cast<UINT>(wparam), LOWORD(lparam), HIWORD(lparam));
        case WM_TIMER:
            return OnTimer(static_cast<UINT_PTR>(wparam));
        case WM_CLOSE:
            return OnClose();
        default:
            return false;
    }
}

bool Dialog::OnCommand(int id, int code, HWND control) {
    return code == BN_CLICKED && OnButtonClicked(id, control);
}

bool Dialog::OnButtonClicked(int id, HWND) {
    switch (id) {
        case IDOK:
            OnOK();
            return true;
        case IDCANCEL:
            OnCancel();
            return true;
        default:
            return false;
    }
}

void Dialog::OnOK() {
    if (modal_) End(IDOK);
}

void Dialog::OnCancel() {
    if (modal_) End(IDCANCEL);
}

int MessageBox(HWND owner, std::string_view text, std::string_view caption, UINT flags) {
    return ::MessageBoxA(owner, std::string(text).c_str(), std::string(caption).c_str(), flags);
}

}  // namespace tlx::win32
