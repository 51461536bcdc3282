// The console's working window after login: one tab control with the booth pages, then the
// web, settings and bills pages. It also takes the call events of the session.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "console/bills/bills_page.h"
#include "console/booth_pages.h"
#include "console/connection/login_dialog.h"
#include "console/connection/receiver_thread.h"
#include "console/settings/settings_page.h"
#include "console/settings_store.h"
#include "console/web/web_page.h"
#include "core/console/geometry.h"
#include "win32/dialog.h"
#include "win32/subclass.h"

namespace tlx::console {

// The tab control and the pages it switches between.
class PageTabs {
  public:
    PageTabs(BoothRegistry& booths, SettingsStore& settings, BillsDatabase& database,
             const std::string& operator_name, const LoginDialog& login)
        : booths_(booths),
          settings_store_(settings),
          login_(login),
          booth_pages_(booths),
          settings_(settings, booths),
          bills_(database, settings, operator_name) {}
    void Attach(HWND tab, HWND main_window);
    HWND hwnd() const { return tab_.hwnd(); }

    // Builds the pages once after each Start, then shows the page of the selected tab.
    bool BuildPages();
    void ClearBuilt() { built_ = false; }
    void ShowSelectedPage(int selected);
    // Makes more booth controls between messages, then the web page (which then opens its
    // address) and the bills page, one step per call; false once nothing is left to make.
    bool ContinueBuild();
    const BoothPages& booth_pages() const { return booth_pages_; }
    // Spare booth controls for the next login's first page, a few per call; false once the
    // page's worth is there (or one could not be made).
    bool MakeSpares();
    void DropSpares() { booth_pages_.DropSpares(); }
    void SetWebAddress(std::string address) { web_address_ = std::move(address); }
    // The bills page, made first if need be (a bill can come before the page is made).
    CBillsDlg& bills();
    SettingsPage& settings() { return settings_; }
    WebPage& web() { return web_; }
    const tlx::console::PageGrid& grid() const { return grid_; }

  private:
    bool BuildOnce();
    // With `make`, makes the web, settings or bills page if it is not made yet; without, moves
    // one made in an earlier login. Either way the page lies hidden in its place.
    void PlacePage(tlx::console::PageKind kind, bool make);
    // Makes the web, settings or bills page if it is not made yet.
    void MakePage(tlx::console::PageKind kind);
    void OpenWeb();

    BoothRegistry& booths_;
    SettingsStore& settings_store_;
    const LoginDialog& login_;  // the user name and password the web page logs in with
    tlx::win32::TabControl tab_;
    tlx::win32::Subclass claim_keys_;
    HWND main_ = nullptr;
    bool built_ = false;
    POINT page_origin_{};  // where the web, settings and bills pages lie
    SIZE web_size_{};
    tlx::console::PageGrid grid_;
    BoothPages booth_pages_;
    std::string web_address_;
    SettingsPage settings_;
    WebPage web_;
    CBillsDlg bills_;
};

class MainWindow : public tlx::win32::Dialog {
  public:
    MainWindow(BoothRegistry& booths, SettingsStore& settings, BillsDatabase& database,
               const LoginDialog& login)
        : tabs_(booths, settings, database, operator_name_, login), booths_(booths) {}
    bool Create();
    // Before Log In: the window made and sized, hidden, and the booth controls of a first page
    // made ahead, so Log In only places them; `at_once` before the login window shows, else
    // between the operator's messages.
    void Prepare(bool at_once);
    // Sizes the window to the work area, builds the pages and starts receiving. False when
    // the booth controls could not be made.
    bool Start();
    // Shows the started window and goes on building its pages between messages.
    void Open();
    // Started and not lost or closed since.
    bool running() const { return !closing_; }

    void SetWorkArea(const tlx::console::Rect& area) { work_area_ = area; }
    void SetWebAddress(std::string address) { tabs_.SetWebAddress(std::move(address)); }
    void SetOperatorName(std::string name) { operator_name_ = std::move(name); }
    const std::string& operator_name() const { return operator_name_; }
    void SetFirstMessages(tlx::link::MessageFramer framer) { first_messages_ = std::move(framer); }
    // Called after a lost connection, once the window is hidden and the session has ended.
    void OnSessionLost(std::function<void()> handler) { on_session_lost_ = std::move(handler); }
    PageTabs& tabs() { return tabs_; }

  protected:
    bool OnInitDialog() override;
    // The session's private messages and the minimised icon; the rest goes down the ladder.
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;
    bool OnSize(UINT type, int width, int height) override;
    bool OnClose() override;

  private:
    // A booth's call event: the texts (heap strings) are taken over and freed here.
    void ApplyEvent(tlx::console::EventKind kind, WPARAM wparam, LPARAM lparam);
    // A booth's print request: the calls text (a heap string) is taken over and freed here.
    void PrintBill(WPARAM wparam);
    void OnServerLost();
    // Closes the connection and waits for the receiving thread, reporting nothing.
    void StopSession();
    void FitWorkArea();
    void KeepTabMargins();
    bool PaintIcon();
    void StopBuild();

    tlx::console::Rect work_area_;
    std::string operator_name_;
    HICON icon_ = nullptr;
    PageTabs tabs_;
    BoothRegistry& booths_;
    std::atomic<bool> closing_{false};
    ReceiverThread receiver_;
    tlx::link::MessageFramer first_messages_{tlx::link::MessageFramer::Mode::kShortMessages};
    std::function<void()> on_session_lost_;
    RECT tab_margins_{};
    bool margins_known_ = false;
    bool building_ = false;  // the build timer runs
};

}  // namespace tlx::console
