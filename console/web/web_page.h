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

class WebPage : public tlx::win32::Dialog {
  public:
    // After every login: the browser takes the page's size and keeps the server's login page
    // with the operator's user name and password for NavigateNow.
    void Open(std::string_view web_address, std::string_view user, std::string_view password);
    // Opens the page kept by the last Open, once. Called after the booth pages are made: the
    // browser may hold the calling thread while it opens an address.
    void NavigateNow();
    // Before the connection closes when the main window does.
    void CloseBrowser() { browser_.Destroy(); }

  protected:
    bool OnInitDialog() override;

  private:
    CWebBrowser2 browser_;
    std::string address_;  // kept until NavigateNow
};

}  // namespace tlx::console
