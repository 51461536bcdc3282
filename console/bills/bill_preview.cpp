#include "console/bills/bill_preview.h"

#include <windowsx.h>
#include <winspool.h>

#include <algorithm>
#include <array>

#include "console/bills/gdi_printer.h"
#include "core/billing/layout.h"
#include "core/billing/pdf_printer.h"
#include "win32/text.h"

namespace tlx::console {
namespace {

constexpr int kUnitsPerInch = 100;
constexpr int kGap = 20;  // units between the pages and around them
constexpr std::array<int, 8> kZooms = {50, 75, 100, 125, 150, 200, 300, 400};

// A hundredth of an inch a unit, as the bill is printed.
void MapUnits(HDC dc, int pixels_per_inch_x, int pixels_per_inch_y) {
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, kUnitsPerInch, kUnitsPerInch, nullptr);
    SetViewportExtEx(dc, pixels_per_inch_x, pixels_per_inch_y, nullptr);
}

std::wstring DefaultPrinter() {
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    std::wstring name(size, L'\0');
    if (size == 0 || !GetDefaultPrinterW(name.data(), &size)) return {};
    name.resize(size > 0 ? size - 1 : 0);
    return name;
}

}  // namespace

void PreviewPrinter::BeginDocument() {
    items_.clear();
    // The printer's own device when there is one: its widths and its printable area.
    printer_name_ = DefaultPrinter();
    dc_.Reset(printer_name_.empty()
                  ? nullptr
                  : CreateICW(L"WINSPOOL", printer_name_.c_str(), nullptr, nullptr));
    if (dc_) {
        page_width_ = MulDiv(GetDeviceCaps(dc_.Get(), HORZRES), kUnitsPerInch,
                             GetDeviceCaps(dc_.Get(), LOGPIXELSX));
        page_height_ = MulDiv(GetDeviceCaps(dc_.Get(), VERTRES), kUnitsPerInch,
                              GetDeviceCaps(dc_.Get(), LOGPIXELSY));
    } else {
        printer_name_.clear();
        dc_.Reset(CreateCompatibleDC(nullptr));
        page_width_ = tlx::billing::kA4Width;
        page_height_ = tlx::billing::kA4Height;
    }
    if (!dc_) throw tlx::billing::PrintFailure{"the screen cannot be drawn on"};
    MapUnits(dc_.Get(), GetDeviceCaps(dc_.Get(), LOGPIXELSX), GetDeviceCaps(dc_.Get(), LOGPIXELSY));
    font_.Reset(CreateBillFont(font_spec_));
    if (font_) SelectObject(dc_.Get(), font_.Get());
    flow_ = tlx::billing::PageFlow(page_height_);
}

int PreviewPrinter::MeasureText(std::string_view text, int width, int format) {
    if (!dc_) return 0;
    const std::wstring wide = tlx::win32::WideFromAnsi(text);
    RECT r{0, 0, width, 0};
    DrawTextW(dc_.Get(), wide.c_str(), static_cast<int>(wide.size()), &r,
              static_cast<UINT>(format) | DT_CALCRECT | DT_NOPREFIX);
    return r.bottom - r.top;
}

int PreviewPrinter::TextWidth(std::string_view text) {
    if (!dc_) return 0;
    const std::wstring wide = tlx::win32::WideFromAnsi(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_.Get(), wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
}

void PreviewPrinter::PrintText(int left, int top, int right, int bottom, std::string_view text,
                               int format) {
    flow_.Place(top, bottom, tlx::billing::kMargin);
    items_.push_back({flow_.page(), RECT{left, flow_.OnPage(top), right, flow_.OnPage(bottom)},
                      tlx::win32::WideFromAnsi(text), format});
}

bool PreviewWindow::Show(HWND owner, const std::string& title, PreviewPrinter pages) {
    pages_ = std::move(pages);
    title_ = title;
    tlx::win32::WindowDc screen(nullptr);
    dpi_ = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
    tlx::win32::CreateArgs args;
    args.parent = owner;
    args.style = WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL;
    // A sheet wide (with its scroll bar), as high as the screen allows.
    const int width = Pixels(pages_.PageWidth() + 2 * kGap) + GetSystemMetrics(SM_CXVSCROLL) +
                      2 * GetSystemMetrics(SM_CXSIZEFRAME) + 8;
    const int height = std::min(Pixels(pages_.page_height()), GetSystemMetrics(SM_CYSCREEN) - 120);
    args.rect = {40, 40, 40 + width, 40 + height};
    if (!Create({"TellarixBillPreview", CS_HREDRAW | CS_VREDRAW, COLOR_APPWORKSPACE, true}, args))
        return false;
    Zoom(0);
    ShowWindow(hwnd(), SW_SHOW);
    return true;
}

int PreviewWindow::Pixels(int units) const {
    return MulDiv(units, dpi_ * zoom_, kUnitsPerInch * 100);
}

void PreviewWindow::Zoom(int step) {
    auto at = std::find(kZooms.begin(), kZooms.end(), zoom_);
    const auto index = std::clamp<std::ptrdiff_t>(at - kZooms.begin() + step, 0, kZooms.size() - 1);
    zoom_ = kZooms[static_cast<std::size_t>(index)];
    const std::wstring text =
        tlx::win32::WideFromAnsi(title_) + L" - Preview (" + std::to_wstring(zoom_) + L"%)";
    SetWindowTextW(hwnd(), text.c_str());
    UpdateScrollBars();
    InvalidateRect(hwnd(), nullptr, TRUE);
}

void PreviewWindow::UpdateScrollBars() {
    RECT client{};
    GetClientRect(hwnd(), &client);
    const int width = Pixels(pages_.PageWidth() + 2 * kGap);
    const int height = Pixels(pages_.pages() * (pages_.page_height() + kGap) + kGap);
    for (const auto& [bar, size, page] : {std::array<int, 3>{SB_HORZ, width, client.right},
                                          std::array<int, 3>{SB_VERT, height, client.bottom}}) {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_PAGE;
        si.nMax = size - 1;
        si.nPage = static_cast<UINT>(page);
        SetScrollInfo(hwnd(), bar, &si, TRUE);
        Scroll(bar, bar == SB_HORZ ? scroll_.x : scroll_.y);
    }
}

void PreviewWindow::Scroll(int bar, int to) {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_POS;
    si.nPos = to;
    SetScrollInfo(hwnd(), bar, &si, TRUE);
    si.fMask = SIF_POS;
    GetScrollInfo(hwnd(), bar, &si);  // kept inside the range
    (bar == SB_HORZ ? scroll_.x : scroll_.y) = si.nPos;
    InvalidateRect(hwnd(), nullptr, TRUE);
}

void PreviewWindow::OnSize(int, int) {
    UpdateScrollBars();
}

LRESULT PreviewWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    const int line = Pixels(40);
    switch (msg) {
        case WM_VSCROLL:
        case WM_HSCROLL: {
            const int bar = msg == WM_VSCROLL ? SB_VERT : SB_HORZ;
            SCROLLINFO si{};
            si.cbSize = sizeof si;
            si.fMask = SIF_ALL;
            GetScrollInfo(hwnd(), bar, &si);
            int to = si.nPos;
            switch (LOWORD(wp)) {
                case SB_LINEUP:
                    to -= line;
                    break;
                case SB_LINEDOWN:
                    to += line;
                    break;
                case SB_PAGEUP:
                    to -= static_cast<int>(si.nPage);
                    break;
                case SB_PAGEDOWN:
                    to += static_cast<int>(si.nPage);
                    break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION:
                    to = si.nTrackPos;
                    break;
                case SB_TOP:
                    to = 0;
                    break;
                case SB_BOTTOM:
                    to = si.nMax;
                    break;
                default:
                    break;
            }
            Scroll(bar, to);
            return 0;
        }
        case WM_MOUSEWHEEL: {
            const int notches = GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA;
            if (GET_KEYSTATE_WPARAM(wp) & MK_CONTROL) {
                Zoom(notches);
            } else {
                Scroll(SB_VERT, scroll_.y - notches * 3 * line);
            }
            return 0;
        }
        case WM_KEYDOWN:
            switch (wp) {
                case VK_ADD:
                case VK_OEM_PLUS:
                    Zoom(1);
                    return 0;
                case VK_SUBTRACT:
                case VK_OEM_MINUS:
                    Zoom(-1);
                    return 0;
                case VK_UP:
                    Scroll(SB_VERT, scroll_.y - line);
                    return 0;
                case VK_DOWN:
                    Scroll(SB_VERT, scroll_.y + line);
                    return 0;
                case VK_PRIOR:
                    Scroll(SB_VERT, scroll_.y - Pixels(pages_.page_height()));
                    return 0;
                case VK_NEXT:
                    Scroll(SB_VERT, scroll_.y + Pixels(pages_.page_height()));
                    return 0;
                case VK_HOME:
                    Scroll(SB_VERT, 0);
                    return 0;
                case VK_END:
                    Scroll(SB_VERT, 1 << 30);
                    return 0;
                case VK_ESCAPE:
                    DestroyWindow(hwnd());
                    return 0;
                default:
                    break;
            }
            break;
        default:
            break;
    }
    return Wnd::OnMessage(msg, wp, lp);
}

void PreviewWindow::OnPaint(HDC dc, const PAINTSTRUCT&) {
    const int scale = dpi_ * zoom_ / 100;
    MapUnits(dc, scale, scale);
    SetViewportOrgEx(dc, -scroll_.x, -scroll_.y, nullptr);
    tlx::win32::GdiObject<HFONT> font(CreateBillFont(pages_.font()));
    tlx::win32::Selection with_font(dc, font.Get());
    SetBkMode(dc, TRANSPARENT);
    const int width = pages_.PageWidth(), height = pages_.page_height();
    // Each page a white sheet; the gap between two sheets is where the paper is cut.
    for (int page = 0; page < pages_.pages(); ++page) {
        const int top = kGap + page * (height + kGap);
        Rectangle(dc, kGap, top, kGap + width, top + height);
    }
    // Unclipped: the zoom's pixel rounding must not shave the descenders off a line.
    for (const auto& item : pages_.items()) {
        RECT r = item.rect;
        OffsetRect(&r, kGap, kGap + item.page * (height + kGap));
        DrawTextW(dc, item.text.c_str(), static_cast<int>(item.text.size()), &r,
                  static_cast<UINT>(item.format) | DT_NOPREFIX | DT_NOCLIP);
    }
}

}  // namespace tlx::console
