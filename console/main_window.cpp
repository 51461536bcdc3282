#include "console/main_window.h"

#include <commctrl.h>

#include "console/connection/server_socket.h"
#include "console/messages.h"
#include "console/resource.h"
#include "console/step_log.h"
#include "win32/module.h"
#include "win32/subclass.h"

namespace tlx::console {

namespace console = tlx::console;

namespace {

// The booth controls not made at Start are made on this timer: its messages come after the
// operator's input and the painting, so the page in view paints first.
constexpr UINT_PTR kBuildTimer = 1;
// After a lost connection the old booth controls are taken down on this one.
constexpr UINT_PTR kTeardownTimer = 2;
constexpr double kTeardownSliceSeconds = 0.015;
// Spare booth controls are made on this one while the login window waits.
constexpr UINT_PTR kSpareTimer = 3;

}  // namespace

// ---- PageTabs ----

namespace {

// A page window made from its template once, placed at (x, y) hidden; a negative width keeps
// the template's size. Pages lie above the tab control, which leaves them out of its own
// painting (WS_CLIPSIBLINGS): its page area is not always of the pages' colour.
void PlaceHidden(tlx::win32::Dialog& page, HWND parent, int template_id, int x, int y, int w,
                 int h) {
    if (!page.exists() && !page.Create(template_id, parent)) return;
    const UINT flags = SWP_HIDEWINDOW | (w < 0 ? SWP_NOSIZE : 0);
    SetWindowPos(page.hwnd(), HWND_TOP, x, y, w < 0 ? 0 : w, h < 0 ? 0 : h, flags);
}

}  // namespace

void PageTabs::Attach(HWND tab, HWND main_window) {
    tab_ = tlx::win32::TabControl(tab);
    main_ = main_window;
    // The booths cover most of the page area: the tab control paints only around them.
    SetWindowLongPtrA(tab, GWL_STYLE, GetWindowLongPtrA(tab, GWL_STYLE) | WS_CLIPCHILDREN);
    // Keys typed on the tabs go to them, not to the dialog's keyboard navigation.
    claim_keys_ = tlx::win32::Subclass(tab, [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        return m == WM_GETDLGCODE ? DLGC_WANTALLKEYS : tlx::win32::Subclass::Next(h, m, w, l);
    });
}

bool PageTabs::BuildPages() {
    int selected = tab_.Selected();
    if (!built_) {
        if (!BuildOnce()) return false;
        // The first booth page is shown at once rather than an empty tab control.
        if (selected < 0) {
            tab_.Select(0);
            selected = 0;
        }
    }
    ShowSelectedPage(selected);
    return true;
}

bool PageTabs::BuildOnce() {
    const auto titles0 = console::TabTitles(1);
    tab_.Append(titles0.front());
    const RECT display = tab_.DisplayArea();
    const RECT tab_window = tab_.RectIn(main_);

    grid_ =
        console::PageGrid::ForDisplay(display.right - display.left, display.bottom - display.top);
    const int pages = grid_.PageCount(booths_.booth_count());
    const auto titles = console::TabTitles(pages);
    for (int page = 1; page < pages; ++page) tab_.Append(titles[page]);

    {
        StepTimer step("first booth");
        if (!booth_pages_.Begin(tab_, display, grid_,
                                settings_store_.Read(console::settings::kCurrency), main_)) {
            return false;
        }
    }

    // The other pages are made after the booths (or when their tab is chosen first): making
    // them here kept the operator waiting up to a second after Log In.
    page_origin_ = {display.left + console::kPageInset, display.top + console::kPageInset};
    web_size_ = {(tab_window.right - tab_window.left) - console::kWebPageNarrower,
                 (tab_window.bottom - tab_window.top) - console::kWebPageLower};
    // Pages made in an earlier login take this one's place, as they are.
    PlacePage(console::PageKind::kWeb, false);
    if (web_.exists()) OpenWeb();
    PlacePage(console::PageKind::kSettings, false);
    PlacePage(console::PageKind::kBills, false);

    built_ = true;
    for (auto it = titles.end() - 3; it != titles.end(); ++it) tab_.Append(*it);
    return true;
}

void PageTabs::OpenWeb() {
    StepTimer step("web open");
    web_.Open(web_address_, login_.user_name(), login_.password());
}

void PageTabs::PlacePage(console::PageKind kind, bool make) {
    tlx::win32::Dialog* page = nullptr;
    int template_id = 0;
    SIZE size{-1, -1};
    switch (kind) {
        case console::PageKind::kWeb:
            page = &web_;
            template_id = IDD_WEB_PAGE;
            size = web_size_;
            break;
        case console::PageKind::kSettings:
            page = &settings_;
            template_id = IDD_SETTINGS_PAGE;
            break;
        case console::PageKind::kBills:
            page = &bills_;
            template_id = IDD_BILLS_PAGE;
            break;
        default:
            return;
    }
    if (make == page->exists()) return;
    StepTimer step(make ? "page made" : "page placed");
    PlaceHidden(*page, main_, template_id, page_origin_.x, page_origin_.y, size.cx, size.cy);
    // A browser made now takes this login's address at once; one made earlier takes it in
    // BuildOnce.
    if (make && page == &web_ && web_.exists()) OpenWeb();
}

void PageTabs::MakePage(console::PageKind kind) {
    PlacePage(kind, true);
}

CBillsDlg& PageTabs::bills() {
    if (built_) MakePage(console::PageKind::kBills);
    return bills_;
}

bool PageTabs::ContinueBuild() {
    StepTimer step("booth slice");
    if (!booth_pages_.done()) {
        // Even the slice that makes the last booth ends here: a page it made whole paints
        // before the web page is made.
        booth_pages_.Continue(tab_.Selected(), settings_store_.Read(console::settings::kCurrency));
        return true;
    }
    // One page per turn once the booths are made.
    if (!web_.exists()) {
        MakePage(console::PageKind::kWeb);
        return web_.exists();
    }
    if (!bills_.exists()) {
        MakePage(console::PageKind::kBills);
        return bills_.exists();
    }
    // The settings page lists the booths of the login it is made in: the first, as always.
    MakePage(console::PageKind::kSettings);
    return false;
}

bool PageTabs::MakeSpares() {
    StepTimer step("spare booths");
    tab_.Clear();
    tab_.Append(console::TabTitles(1).front());
    const RECT display = tab_.DisplayArea();
    tab_.Clear();
    const auto grid =
        console::PageGrid::ForDisplay(display.right - display.left, display.bottom - display.top);
    return booth_pages_.MakeSpares(tab_.hwnd(), main_, grid.booths_per_page);
}

void PageTabs::ShowSelectedPage(int selected) {
    const auto kind = console::PageForTab(selected, tab_.Count());
    MakePage(kind);
    for (tlx::win32::Dialog* page :
         {static_cast<tlx::win32::Dialog*>(&bills_), static_cast<tlx::win32::Dialog*>(&settings_),
          static_cast<tlx::win32::Dialog*>(&web_)}) {
        if (page->exists()) page->window().Show(false);
    }
    booth_pages_.ShowPage(selected);
    tlx::win32::Dialog* shown = nullptr;
    switch (kind) {
        case console::PageKind::kBills:
            shown = &bills_;
            break;
        case console::PageKind::kSettings:
            shown = &settings_;
            break;
        case console::PageKind::kWeb:
            shown = &web_;
            break;
        default:
            break;
    }
    if (shown && shown->exists()) shown->window().Show(true);
}

// ---- MainWindow ----

bool MainWindow::Create() {
    return Dialog::Create(IDD_MAIN_WINDOW, nullptr);
}

bool MainWindow::OnInitDialog() {
    tabs_.Attach(Item(IDC_PAGE_TABS), hwnd());
    return true;
}

void MainWindow::Prepare(bool at_once) {
    if (!exists() && !Create()) return;  // Log In tries again and tells the operator
    FitWorkArea();
    if (!at_once) {
        SetTimer(hwnd(), kSpareTimer, USER_TIMER_MINIMUM, nullptr);
        return;
    }
    // Between the spares, whatever another program sent is answered.
    for (MSG sent; tabs_.MakeSpares();)
        PeekMessageA(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void MainWindow::FitWorkArea() {
    margins_known_ = false;
    SetWindowPos(hwnd(), nullptr, 0, 0, work_area_.width(), work_area_.height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    tlx::win32::TabControl tab(tabs_.hwnd());
    tab.Clear();
    tab.Place(HWND_TOP, 0, 0, work_area_.width(),
              work_area_.height() - console::kTabsShorterThanWorkArea, SWP_SHOWWINDOW);
    KeepTabMargins();
}

bool MainWindow::Start() {
    StepTimer step("start");
    KillTimer(hwnd(), kSpareTimer);
    if (!icon_) icon_ = LoadIconA(tlx::win32::ThisModule(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    window().Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    window().Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    FitWorkArea();
    tabs_.ClearBuilt();
    if (!tabs_.BuildPages()) return false;
    closing_ = false;
    {
        StepTimer receiver("receiver start");
        receiver_.Start(hwnd(), &closing_, std::move(first_messages_));
    }
    first_messages_ = tlx::link::MessageFramer(tlx::link::MessageFramer::Mode::kShortMessages);
    return true;
}

void MainWindow::Open() {
    StepTimer show("show main");
    window().Show(true);
    tabs_.booth_pages().SkipHolderPaints(tlx::win32::TabControl(tabs_.hwnd()).Selected());
    building_ = SetTimer(hwnd(), kBuildTimer, USER_TIMER_MINIMUM, nullptr) != 0;
}

void MainWindow::StopBuild() {
    KillTimer(hwnd(), kBuildTimer);
    building_ = false;
}

void MainWindow::KeepTabMargins() {
    const RECT client = window().ClientRect();
    const RECT tab = tlx::win32::Window(tabs_.hwnd()).RectIn(hwnd());
    tab_margins_ = {tab.left - client.left, tab.top - client.top, client.right - tab.right,
                    client.bottom - tab.bottom};
    margins_known_ = true;
}

bool MainWindow::OnNotify(const NMHDR& header, LRESULT& result) {
    if (header.idFrom != IDC_PAGE_TABS || header.code != TCN_SELCHANGE) return false;
    tabs_.BuildPages();
    result = 0;
    return true;
}

void MainWindow::StopSession() {
    StepTimer step("session stop");
    closing_ = true;
    TheServerSocket().Close();
    receiver_.Join();
    closing_ = false;
}

void MainWindow::ApplyEvent(console::EventKind kind, WPARAM wparam, LPARAM lparam) {
    auto first = TakeText(wparam);
    auto rest = TakeText(static_cast<WPARAM>(lparam));
    booths_.Apply(console::DecodeBoothCall(kind, first ? std::move(*first) : std::string(),
                                           rest ? std::move(*rest) : std::string()));
}

bool MainWindow::PaintIcon() {
    if (!IsIconic(hwnd()) || !icon_) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd(), &ps);
    window().Send(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc));
    const RECT rc = window().ClientRect();
    const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    DrawIcon(dc, (rc.right - cx + 1) / 2, (rc.bottom - cy + 1) / 2, icon_);
    EndPaint(hwnd(), &ps);
    return true;
}

void MainWindow::PrintBill(WPARAM wparam) {
    if (auto text = TakeText(wparam)) tabs_.bills().NewBill(*text);
}

void MainWindow::OnServerLost() {
    StopBuild();
    window().Show(false);
    StopSession();
    booths_.RetireControls();
    SetTimer(hwnd(), kTeardownTimer, USER_TIMER_MINIMUM, nullptr);
    if (on_session_lost_) on_session_lost_();
}

// Enter and Escape do nothing here (the base's OK and Cancel of a modeless window): the
// window only closes through its close box.
bool MainWindow::OnClose() {
    StopBuild();
    tabs_.web().CloseBrowser();
    StopSession();
    PostQuitMessage(0);
    return true;
}

bool MainWindow::OnSize(UINT type, int width, int height) {
    if (margins_known_ && type != SIZE_MINIMIZED) {
        tlx::win32::Window(tabs_.hwnd())
            .Place(nullptr, tab_margins_.left, tab_margins_.top,
                   width - tab_margins_.left - tab_margins_.right,
                   height - tab_margins_.top - tab_margins_.bottom, SWP_NOZORDER | SWP_NOCOPYBITS);
    }
    return false;
}

bool MainWindow::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    result = 0;
    switch (msg) {
        case WM_CALL_DIAL:
            ApplyEvent(console::EventKind::kDial, wparam, lparam);
            return true;
        case WM_CALL_CONNECTED:
            ApplyEvent(console::EventKind::kConnected, wparam, 0);
            return true;
        case WM_CALL_FINISHED:
            ApplyEvent(console::EventKind::kFinished, wparam, 0);
            return true;
        case WM_CALL_REJECTED:
            ApplyEvent(console::EventKind::kRejected, wparam, 0);
            return true;
        case WM_PRINT_BILL:
            PrintBill(wparam);
            result = 1;
            return true;
        case WM_SERVER_LOST:
            OnServerLost();
            return true;
        case WM_TIMER:
            if (wparam == kBuildTimer) {
                if (!tabs_.ContinueBuild()) StopBuild();
            } else if (wparam == kSpareTimer) {
                if (!tabs_.MakeSpares()) KillTimer(hwnd(), kSpareTimer);
            } else if (wparam == kTeardownTimer) {
                // The last login's booths wait until this login's first page is whole: dropped
                // between its slices, they kept the operator waiting twice as long after a
                // re-login.
                if (building_ && !tabs_.booth_pages().PageBuilt(
                                     tlx::win32::TabControl(tabs_.hwnd()).Selected())) {
                    return true;
                }
                StepTimer step("teardown slice");
                if (!booths_.DropRetired(kTeardownSliceSeconds)) KillTimer(hwnd(), kTeardownTimer);
            } else {
                return Dialog::OnMessage(msg, wparam, lparam, result);
            }
            return true;
        case WM_PAINT:
            return PaintIcon();
        case WM_QUERYDRAGICON:
            result = reinterpret_cast<LRESULT>(icon_);
            return true;
        default:
            return Dialog::OnMessage(msg, wparam, lparam, result);
    }
}

}  // namespace tlx::console
