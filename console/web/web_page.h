// The "Web Page" tab: the call shop server's web interface, logged in as the operator, in the
// platform's web browser control hosted in the console's own container.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "console/axhost/control_site.h"
#include "win32/dialog.h"

namespace tlx::console {

// The browser control, called by dispatch identifier only.
class CWebBrowser2 {
  public:
    // False when the system has no browser control.
    bool Create(HWND parent, const RECT& rect, int id);
    bool exists() const { return site_ != nullptr; }
    // The control's window and its size, in pixels.
    void Resize(int width, int height);
    // Opens the address; whether the page loads is not waited for.
    void Navigate(const std::string& url);
    // Takes the control and its window down.
    void Destroy() {
        dispatch_.Reset();
        site_.reset();
    }

  private:
    std::unique_ptr<ControlSite> site_;
    ComPtr<IDispatch> dispatch_;
};

// The browser is made the first time the page is shown: until the operator looks at the
// server's pages it would only hold memory (its libraries and their heap).
class WebPage : public tlx::win32::Dialog {
  public:
    // After every login: keeps the server's login page with the operator's user name and
    // password, opened once the page is in view.
    void Open(std::string_view web_address, std::string_view user, std::string_view password);
    // Before the connection closes when the main window does.
    void CloseBrowser() { browser_.Destroy(); }

  protected:
    bool OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

  private:
    // The page coming into view: the browser made if need be, sized, the kept page opened.
    void OnShown();

    CWebBrowser2 browser_;
    bool browser_tried_ = false;  // made, or the system has none: not tried again
    std::string address_;         // kept until opened
};

}  // namespace tlx::console
