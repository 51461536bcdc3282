// The console's working window after login: one tab control with the booth pages, then the
// web, settings and bills pages. It also takes the call events of the session.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "console/booths.h"
#include "console/geometry.h"
#include "dialog.h"
#include "pages.h"
#include "receiver_thread.h"

namespace tellarix {

class MainWindow;

class PageTabs {
  public:
    void Attach(HWND tab, MainWindow* owner);
    HWND hwnd() const { return tab_; }

    // Builds the pages once after each Start, then shows the page of the selected tab.
    bool BuildPages();
    void ClearBuilt() { built_ = false; }
    void ShowSelectedPage(int selected);
    void SetWebAddress(std::string address) { web_address_ = std::move(address); }
    const std::string& web_address() const { return web_address_; }
    CBillsDlg& bills() { return bills_; }
    const tlx::console::PageGrid& grid() const { return grid_; }

  private:
    bool BuildOnce();
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

    HWND tab_ = nullptr;
    MainWindow* owner_ = nullptr;
    bool built_ = false;
    int selected_ = -1;
    tlx::console::PageGrid grid_;
    std::string web_address_;
    SettingsPage settings_;
    WebPage web_;
    CBillsDlg bills_;
};

class MainWindow : public Dialog {
  public:
    bool Create() { return Dialog::Create(102, nullptr); }
    // Sizes the window to the work area, builds the pages and starts receiving. False when
    // the booth controls could not be made.
    bool Start();

    void SetWorkArea(const tlx::console::Rect& area) { work_area_ = area; }
    void SetWebAddress(std::string address) { tabs_.SetWebAddress(std::move(address)); }
    void SetOperatorName(std::string name) { operator_name_ = std::move(name); }
    const std::string& operator_name() const { return operator_name_; }
    void SetFirstMessages(tlx::link::MessageFramer framer) { first_messages_ = std::move(framer); }
    PageTabs& tabs() { return tabs_; }
    bool closing() const { return closing_.load(); }

  protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(NMHDR* header) override;
    LRESULT OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, bool& handled) override;

  private:
    void ApplyEvent(tlx::console::EventKind kind, WPARAM wparam, LPARAM lparam);
    // Closes the connection and waits for the receiving thread, reporting nothing.
    void StopSession();
    void KeepTabMargins();

    tlx::console::Rect work_area_;
    std::string operator_name_;
    HICON icon_ = nullptr;
    PageTabs tabs_;
    std::atomic<bool> closing_{false};
    ReceiverThread receiver_;
    tlx::link::MessageFramer first_messages_{tlx::link::MessageFramer::Mode::kShortMessages};
    RECT tab_margins_{};
    bool margins_known_ = false;
};

}  // namespace tellarix
