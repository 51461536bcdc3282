#include "console/web/web_page.h"

#include "console/resource.h"
#include "core/console/texts.h"
#include "core/console/web_login.h"
#include "win32/text.h"

namespace tlx::console {

namespace {

// {8856F961-340A-11D0-A96B-00C04FD705A2}
constexpr CLSID kWebBrowserClass = {
    0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
constexpr DISPID kDispidNavigate = 104;
constexpr DISPID kDispidWidth = 208;
constexpr DISPID kDispidHeight = 209;

HRESULT PutLong(IDispatch* control, DISPID id, LONG value) {
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_I4;
    arg.lVal = value;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &put, 1, 1};
    return control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                           nullptr, nullptr, nullptr);
}

}  // namespace

bool CWebBrowser2::Create(HWND parent, const RECT& rect, int id) {
    SiteOptions options;
    options.visible = true;  // inside its page, which is shown and hidden with its tab
    site_ = ControlSite::Create(parent, kWebBrowserClass, rect, id, nullptr, options);
    if (site_) dispatch_ = site_->QueryControl<IDispatch>(IID_IDispatch);
    if (!dispatch_) site_.reset();
    return exists();
}

void CWebBrowser2::Resize(int width, int height) {
    if (!exists()) return;
    site_->Move({0, 0, width, height});
    PutLong(dispatch_.Get(), kDispidWidth, width);
    PutLong(dispatch_.Get(), kDispidHeight, height);
}

void CWebBrowser2::Navigate(const std::string& url) {
    if (!exists()) return;
    auto address = tlx::win32::Bstr::FromAnsi(url);
    // Arguments go last to first: headers, post data, target frame and flags are all left out
    // (null), then the address.
    VARIANT args[5];
    for (VARIANT& a : args) {
        VariantInit(&a);
        a.vt = VT_BYREF | VT_VARIANT;
        a.pvarVal = nullptr;
    }
    args[4].vt = VT_BSTR;
    args[4].bstrVal = address.Get();
    DISPPARAMS params{args, nullptr, 5, 0};
    dispatch_->Invoke(kDispidNavigate, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                      nullptr, nullptr, nullptr);
}

bool WebPage::OnInitDialog() {
    // The template holds the browser's place (and the words for a system without one).
    tlx::win32::Window(Item(IDC_BROWSER)).Show(false);
    return true;
}

bool WebPage::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    if (msg == WM_SHOWWINDOW && wparam) OnShown();
    return Dialog::OnMessage(msg, wparam, lparam, result);
}

void WebPage::OnShown() {
    if (!browser_tried_) {
        browser_tried_ = true;
        const tlx::win32::Window place(Item(IDC_BROWSER));
        if (browser_.Create(hwnd(), place.RectIn(hwnd()), IDC_BROWSER)) {
            DestroyWindow(place);
        } else {
            place.SetText(tlx::console::texts::kNoWebBrowser);
            place.Show(true);
        }
    }
    RECT page{};
    GetWindowRect(hwnd(), &page);
    browser_.Resize(page.right - page.left, page.bottom - page.top);
    if (address_.empty()) return;
    browser_.Navigate(address_);
    address_.clear();
}

void WebPage::Open(std::string_view web_address, std::string_view user, std::string_view password) {
    address_ = tlx::console::WebLoginAddress(web_address, user, password);
}

}  // namespace tlx::console
