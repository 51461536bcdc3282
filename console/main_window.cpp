#include "main_window.h"

#include <commctrl.h>

#include "app.h"
#include "axhost/control_site.h"
#include "messages.h"
#include "resource.h"
#include "server_socket.h"
#include "text.h"

namespace tellarix {

using tlx::console::kBoothCellHeight;
using tlx::console::kBoothCellWidth;

namespace {

void AppendTab(HWND tab, const std::string& title) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(title.c_str());
    TabCtrl_InsertItem(tab, TabCtrl_GetItemCount(tab), &item);
}

void PlaceHidden(Dialog& page, HWND parent, int template_id, int x, int y, int w, int h) {
    if (!page.exists() && !page.Create(template_id, parent)) return;
    const UINT flags = SWP_NOZORDER | SWP_HIDEWINDOW | (w < 0 ? SWP_NOSIZE : 0);
    SetWindowPos(page.hwnd(), nullptr, x, y, w < 0 ? 0 : w, h < 0 ? 0 : h, flags);
}

}  // namespace

// ---- PageTabs ----

void PageTabs::Attach(HWND tab, MainWindow* owner) {
    tab_ = tab;
    owner_ = owner;
    SetWindowSubclass(tab_, &PageTabs::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK PageTabs::SubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                        DWORD_PTR) {
    // Keys typed on the tabs go to them, not to the dialog's keyboard navigation.
    if (msg == WM_GETDLGCODE) return DLGC_WANTALLKEYS;
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &PageTabs::SubclassProc, 1);
    return DefSubclassProc(hwnd, msg, wparam, lparam);
}

bool PageTabs::BuildPages() {
    selected_ = TabCtrl_GetCurSel(tab_);
    if (!built_) {
        if (!BuildOnce()) return false;
        // The first booth page is shown at once rather than an empty tab control.
        if (selected_ < 0) {
            TabCtrl_SetCurSel(tab_, 0);
            selected_ = 0;
        }
    }
    ShowSelectedPage(selected_);
    return true;
}

bool PageTabs::BuildOnce() {
    AppendTab(tab_, "Booths #1");
    RECT display{};
    GetClientRect(tab_, &display);
    TabCtrl_AdjustRect(tab_, FALSE, &display);
    RECT tab_window{};
    GetWindowRect(tab_, &tab_window);
    MapWindowPoints(nullptr, owner_->hwnd(), reinterpret_cast<POINT*>(&tab_window), 2);

    grid_ = tlx::console::PageGrid::ForDisplay(display.right - display.left,
                                               display.bottom - display.top);
    auto& app = App();
    const int pages = grid_.PageCount(app.booths.booth_count());
    const auto titles = tlx::console::TabTitles(pages);
    for (int page = 1; page < pages; ++page) AppendTab(tab_, titles[page]);

    const std::string currency = app.settings.ReadString("MISC", "CURRENCY");
    HWND main = owner_->hwnd();
    int index = 0;
    for (const auto& [key, booth] : app.booths.booths()) {
        if (!booth->has_control()) {
            RECT cell{0, 0, kBoothCellWidth, kBoothCellHeight};
            const HRESULT hr =
                booth->CreateControl(tab_, cell, [main](DISPID id, DISPPARAMS* params) -> HRESULT {
                    if (id != kDispidOnPrintClick) return S_OK;
                    auto text = EventArgText(params, 0);
                    auto calls = std::make_unique<std::string>(AnsiFromWide(text.value_or(L"")));
                    PostTexts(main, WM_PRINT_BILL, std::move(calls));
                    return S_OK;
                });
            if (FAILED(hr)) {
                MessageBoxA(tab_,
                            "Cannot create cabines!!! Probably Tellarix.dll is not properly "
                            "registered!",
                            "Error", MB_OK | MB_ICONERROR);
                return false;
            }
        }
        const auto [x, y] = grid_.CellOrigin(display.left, display.top, index);
        SetWindowPos(booth->window(), HWND_TOP, x, y, kBoothCellWidth, kBoothCellHeight,
                     SWP_HIDEWINDOW);
        booth->ApplyCurrency(currency);
        booth->ApplyDisplayName(booth->display_name());
        ++index;
    }

    const int inset_x = display.left + tlx::console::kPageInset;
    const int inset_y = display.top + tlx::console::kPageInset;
    PlaceHidden(web_, main, IDD_WEB_PAGE, inset_x, inset_y,
                (tab_window.right - tab_window.left) - tlx::console::kWebPageNarrower,
                (tab_window.bottom - tab_window.top) - tlx::console::kWebPageLower);
    PlaceHidden(settings_, main, IDD_SETTINGS_PAGE, inset_x, inset_y, -1, -1);
    PlaceHidden(bills_, main, IDD_BILLS_PAGE, inset_x, inset_y, -1, -1);

    built_ = true;
    for (auto it = titles.end() - 3; it != titles.end(); ++it) AppendTab(tab_, *it);
    return true;
}

void PageTabs::ShowSelectedPage(int selected) {
    for (Dialog* page : {static_cast<Dialog*>(&bills_), static_cast<Dialog*>(&settings_),
                         static_cast<Dialog*>(&web_)}) {
        if (page->exists()) ShowWindow(page->hwnd(), SW_HIDE);
    }
    int index = 0;
    for (const auto& [key, booth] : App().booths.booths()) {
        booth->Show(grid_.ShownOn(index++, selected));
    }
    switch (tlx::console::PageForTab(selected, TabCtrl_GetItemCount(tab_))) {
        case tlx::console::PageKind::kBills:
            if (bills_.exists()) ShowWindow(bills_.hwnd(), SW_SHOW);
            break;
        case tlx::console::PageKind::kSettings:
            if (settings_.exists()) ShowWindow(settings_.hwnd(), SW_SHOW);
            break;
        case tlx::console::PageKind::kWeb:
            if (web_.exists()) ShowWindow(web_.hwnd(), SW_SHOW);
            break;
        default:
            break;
    }
}

// ---- MainWindow ----

bool MainWindow::OnInitDialog() {
    tabs_.Attach(Item(IDC_PAGE_TABS), this);
    return true;
}

bool MainWindow::Start() {
    if (!icon_) icon_ = LoadIconA(Instance(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    margins_known_ = false;
    SetWindowPos(hwnd(), nullptr, 0, 0, work_area_.width(), work_area_.height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    HWND tab = tabs_.hwnd();
    TabCtrl_DeleteAllItems(tab);
    SetWindowPos(tab, HWND_TOP, 0, 0, work_area_.width(),
                 work_area_.height() - tlx::console::kTabsShorterThanWorkArea, SWP_SHOWWINDOW);
    KeepTabMargins();
    tabs_.ClearBuilt();
    if (!tabs_.BuildPages()) return false;
    closing_ = false;
    receiver_.Start(hwnd(), &closing_, std::move(first_messages_));
    first_messages_ = tlx::link::MessageFramer(tlx::link::MessageFramer::Mode::kShortMessages);
    ShowWindow(hwnd(), SW_SHOW);
    return true;
}

void MainWindow::KeepTabMargins() {
    RECT client{}, tab{};
    GetClientRect(hwnd(), &client);
    GetWindowRect(tabs_.hwnd(), &tab);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&tab), 2);
    tab_margins_ = {tab.left - client.left, tab.top - client.top, client.right - tab.right,
                    client.bottom - tab.bottom};
    margins_known_ = true;
}

void MainWindow::OnCommand(int, int, HWND) {
    // Enter and Escape do nothing here: the window only closes through its close box.
}

LRESULT MainWindow::OnNotify(NMHDR* header) {
    if (header->idFrom == IDC_PAGE_TABS && header->code == TCN_SELCHANGE) tabs_.BuildPages();
    return 0;
}

void MainWindow::StopSession() {
    closing_ = true;
    TheServerSocket().Close();
    receiver_.Join();
    closing_ = false;
}

void MainWindow::ApplyEvent(tlx::console::EventKind kind, WPARAM wparam, LPARAM lparam) {
    auto first = TakeText(wparam);
    auto rest = TakeText(static_cast<WPARAM>(lparam));
    auto call = tlx::console::DecodeBoothCall(kind, first ? std::move(*first) : std::string(),
                                              rest ? std::move(*rest) : std::string());
    App().booths.Apply(call);
}

LRESULT MainWindow::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, bool& handled) {
    handled = true;
    switch (msg) {
        case WM_CALL_DIAL:
            ApplyEvent(tlx::console::EventKind::kDial, wparam, lparam);
            return 0;
        case WM_CALL_CONNECTED:
            ApplyEvent(tlx::console::EventKind::kConnected, wparam, 0);
            return 0;
        case WM_CALL_FINISHED:
            ApplyEvent(tlx::console::EventKind::kFinished, wparam, 0);
            return 0;
        case WM_CALL_REJECTED:
            ApplyEvent(tlx::console::EventKind::kRejected, wparam, 0);
            return 0;
        case WM_PRINT_BILL: {
            auto text = TakeText(wparam);
            if (text) tabs_.bills().NewBill(std::move(*text));
            return 1;
        }
        case WM_SERVER_LOST:
            ShowWindow(hwnd(), SW_HIDE);
            StopSession();
            App().ShowLogin();
            return 0;
        case WM_CLOSE:
            StopSession();
            PostQuitMessage(0);
            return 0;
        case WM_SIZE:
            if (margins_known_ && wparam != SIZE_MINIMIZED) {
                const int w = LOWORD(lparam), h = HIWORD(lparam);
                SetWindowPos(tabs_.hwnd(), nullptr, tab_margins_.left, tab_margins_.top,
                             w - tab_margins_.left - tab_margins_.right,
                             h - tab_margins_.top - tab_margins_.bottom,
                             SWP_NOZORDER | SWP_NOCOPYBITS);
            }
            handled = false;
            return 0;
        case WM_PAINT:
            if (IsIconic(hwnd()) && icon_) {
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(hwnd(), &ps);
                SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
                RECT rc;
                GetClientRect(hwnd(), &rc);
                const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
                DrawIcon(dc, (rc.right - cx + 1) / 2, (rc.bottom - cy + 1) / 2, icon_);
                EndPaint(hwnd(), &ps);
                return 0;
            }
            handled = false;
            return 0;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(icon_);
        default:
            handled = false;
            return 0;
    }
}

}  // namespace tellarix
