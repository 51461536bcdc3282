#include "boothctl/booth_window.h"

#include <oleauto.h>
#include <windowsx.h>

#include <cstdint>
#include <mutex>
#include <string_view>

#include "boothctl/resource.h"
#include "core/booth/seconds.h"
#include "core/booth/size.h"
#include "win32/module.h"

namespace tlx::boothctl {
namespace {

using win32::ThisModule;

constexpr win32::WindowClass kWindowClass{"CCabineWindow", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS,
                                          COLOR_WINDOW};
constexpr int kCallListId = 117;
constexpr COLORREF kLabelColour = RGB(97, 120, 173);
constexpr int kColumnWidth = 100;
constexpr const char* kNoCalls = "No calls";

// The pixel invalidated to have the booth's paint let a frozen list redraw.
constexpr RECT kWakeUp{0, 0, 1, 1};

// The label font, the state pictures and their image list are the same for every booth: made for
// the first booth window, shared while any exists, released with the last (an image list each
// held a hundred booths' copies of the pictures). Booths may live on several threads.
class SharedLook {
  public:
    static SharedLook& Get() {
        static SharedLook look;
        return look;
    }
    // Counts a window in; returns the pictures (null when they cannot be loaded).
    HBITMAP Acquire() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++users_;
        if (!font_) {
            LOGFONTA lf{};
            lf.lfHeight = 20;
            lf.lfWeight = FW_BOLD;
            lstrcpynA(lf.lfFaceName, "MS Sans Serif", LF_FACESIZE);
            font_.Reset(CreateFontIndirectA(&lf));
        }
        // From this library's own module, whatever its file is called.
        if (!pictures_)
            pictures_.Reset(LoadBitmapA(ThisModule(), MAKEINTRESOURCEA(IDB_CALL_STATES)));
        if (!images_) {
            images_.Reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1));
            if (pictures_) ImageList_Add(images_.Get(), pictures_.Get(), nullptr);
        }
        return pictures_.Get();
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (users_ == 0 || --users_ > 0) return;
        font_.Reset();
        images_.Reset();
        pictures_.Reset();
        picture_.Reset();
        source_ = nullptr;
    }
    HFONT font() {
        std::lock_guard<std::mutex> lock(mutex_);
        return font_.Get();
    }
    HIMAGELIST images() {
        std::lock_guard<std::mutex> lock(mutex_);
        return images_.Get();
    }

    // The look of a booth without calls, but for its name: copied from the first such booth
    // once it is whole on the screen, for every next one to be drawn with one copy. Drawing a
    // booth's six windows one by one cost some 20 ms a booth under Wine after Log In.
    // The booth that may be copied: one whose paint was its own, on this thread.
    void Offer(const BoothWindow* booth) {
        std::lock_guard<std::mutex> lock(mutex_);
        source_ = booth;
        source_thread_ = GetCurrentThreadId();
    }
    void Withdraw(const BoothWindow* booth) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (source_ == booth) source_ = nullptr;
    }
    const BoothWindow* Source() {
        std::lock_guard<std::mutex> lock(mutex_);
        return source_thread_ == GetCurrentThreadId() ? source_ : nullptr;
    }
    bool HasPicture(SIZE size, std::uint64_t colours) {
        std::lock_guard<std::mutex> lock(mutex_);
        return picture_ && Matches(size, colours);
    }
    // Copies `size` from `from` (a booth's window DC) as the picture for these colours.
    bool Keep(HDC from, SIZE size, std::uint64_t colours) {
        win32::MemoryDc mem(CreateCompatibleDC(from));
        win32::GdiObject<HBITMAP> picture(CreateCompatibleBitmap(from, size.cx, size.cy));
        if (!mem || !picture) return false;
        {
            const win32::Selection selected(mem.Get(), picture.Get());
            if (!BitBlt(mem.Get(), 0, 0, size.cx, size.cy, from, 0, 0, SRCCOPY)) return false;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        picture_ = std::move(picture);
        picture_size_ = size;
        picture_colours_ = colours;
        return true;
    }
    bool Draw(HDC to, SIZE size, std::uint64_t colours) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!picture_ || !Matches(size, colours)) return false;
        win32::MemoryDc mem(CreateCompatibleDC(to));
        if (!mem) return false;
        const win32::Selection selected(mem.Get(), picture_.Get());
        return BitBlt(to, 0, 0, size.cx, size.cy, mem.Get(), 0, 0, SRCCOPY) != FALSE;
    }
    // The theme or the system's colours changed: the picture shows the old ones.
    void Forget() {
        std::lock_guard<std::mutex> lock(mutex_);
        picture_.Reset();
        source_ = nullptr;
    }

  private:
    bool Matches(SIZE size, std::uint64_t colours) const {
        return size.cx == picture_size_.cx && size.cy == picture_size_.cy &&
               colours == picture_colours_;
    }

    std::mutex mutex_;
    int users_ = 0;
    win32::GdiObject<HFONT> font_;
    win32::GdiObject<HBITMAP> pictures_;
    win32::UniqueImageList images_;
    win32::GdiObject<HBITMAP> picture_;
    SIZE picture_size_{};
    std::uint64_t picture_colours_ = 0;
    const BoothWindow* source_ = nullptr;
    DWORD source_thread_ = 0;
};

// The system's colours, folded into one number: a picture is drawn only in the colours it was
// copied in.
std::uint64_t SystemColours() {
    std::uint64_t folded = 14695981039346656037ULL;
    for (int i = 0; i <= COLOR_MENUBAR; ++i) folded = (folded ^ GetSysColor(i)) * 1099511628211ULL;
    return folded;
}

bool Contains(HWND outer, HWND w) {
    return w != nullptr && (w == outer || IsChild(outer, w));
}

booth::LocalSeconds LocalNow() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    double date = 0;
    st.wMilliseconds = 0;
    if (!SystemTimeToVariantTime(&st, &date)) return 0;
    // Whole days plus the time of day, counted from the same origin as OLE dates.
    const auto days = static_cast<std::int64_t>(date);
    return days * 86400 + st.wHour * 3600 + st.wMinute * 60 + st.wSecond;
}

}  // namespace

// The seconds of the talking booths of a thread, on one timer: a shop of a hundred talking
// booths with a timer each woke the console (and the window server) a hundred times a second.
// Each booth keeps its own second, counted from its call's answer; the timer looks every
// kLookMs which are due, so a second shows at most that much late.
class SecondsClock {
  public:
    static SecondsClock& ThisThread() {
        static thread_local SecondsClock clock;
        return clock;
    }
    ~SecondsClock() {
        if (timer_) KillTimer(nullptr, timer_);
    }
    void Start(BoothWindow& booth) {
        schedule_.Start(&booth, GetTickCount64());
        if (!timer_) timer_ = SetTimer(nullptr, 0, kLookMs, &Look);
    }
    void Stop(BoothWindow& booth) {
        schedule_.Stop(&booth);
        if (schedule_.empty() && timer_) {
            KillTimer(nullptr, timer_);
            timer_ = 0;
        }
    }

  private:
    static constexpr UINT kLookMs = 200;

    static void CALLBACK Look(HWND, UINT, UINT_PTR, DWORD) {
        SecondsClock& clock = ThisThread();
        try {
            // A booth whose call ended leaves the clock during its tick; the others are due
            // still.
            for (const void* booth : clock.schedule_.Due(GetTickCount64()))
                static_cast<BoothWindow*>(const_cast<void*>(booth))->OnTimer(0);
        } catch (...) {
            // Out of memory at worst: the seconds catch up at a later look.
        }
    }

    booth::SecondsSchedule schedule_;
    UINT_PTR timer_ = 0;
};

BoothWindow::~BoothWindow() {
    Destroy();
}

bool BoothWindow::Create(HWND parent, const RECT& where) {
    win32::CreateArgs args;
    args.parent = parent;
    args.rect = where;
    args.style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    return Wnd::Create(kWindowClass, args);
}

LRESULT BoothWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            // Not the base's paint hook: the list is brought back before the booth's own
            // painting, which DefWindowProc does. What is due is read as a region: a rectangle
            // is read through a device context under Wine, ten requests to its window server.
            win32::GdiObject<HRGN> due(CreateRectRgn(0, 0, 0, 0));
            RECT update{};
            const int shape = due ? GetUpdateRgn(hwnd(), due.Get(), FALSE) : ERROR;
            if (shape != ERROR) GetRgnBox(due.Get(), &update);
            if (EqualRect(&update, &kWakeUp)) {
                // Only the list's own wake-up: it redraws what changed by itself. Validated
                // first: validating this window also validates the children it does not clip.
                ValidateRect(hwnd(), nullptr);
                CatchUpDuration();
                ThawList();
                return 0;
            }
            if (shape == SIMPLEREGION && PaintFromPicture(update)) return 0;
            Repaint();
            const LRESULT painted = Default(msg, wp, lp);
            // Its children paint after it: the picture is copied at the next booth's paint.
            if (LooksFresh()) SharedLook::Get().Offer(this);
            return painted;
        }
        case WM_THEMECHANGED:
        case WM_SYSCOLORCHANGE:
            SharedLook::Get().Forget();
            return Default(msg, wp, lp);
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lp) == label_) {
                auto dc = reinterpret_cast<HDC>(wp);
                SetTextColor(dc, RGB(255, 255, 255));
                SetBkMode(dc, TRANSPARENT);
                if (!label_brush_) label_brush_.Reset(CreateSolidBrush(kLabelColour));
                return reinterpret_cast<LRESULT>(label_brush_.Get());
            }
            // The frame and anything else keep the system's colours.
            return Default(msg, wp, lp);
        default:
            return Wnd::OnMessage(msg, wp, lp);
    }
}

LRESULT BoothWindow::OnNotify(NMHDR* header) {
    if (header->idFrom == kCallListId && header->code == LVN_ITEMCHANGED && !mirroring_)
        RefreshTotal();
    return 0;
}

void BoothWindow::OnTimer(UINT_PTR) {
    const booth::Effect effect = calls_.Tick();
    // The end of a call leaves the timer to its next tick (a busy booth connects the next call
    // before then, and setting the timer anew starts its second afresh): stopped here.
    if (effect.rows.empty()) {
        SecondsClock::ThisThread().Stop(*this);
        return;
    }
    // A second of the call changes its duration cell alone. A shop of talking booths did this
    // a hundred times a second: rewritten in place, without freezing and redrawing the whole
    // list, and for a booth on a hidden page only once it is shown or its list is read.
    duration_behind_ = true;
    if (IsWindowVisible(hwnd())) CatchUpDuration();
}

void BoothWindow::CatchUpDuration() {
    if (!duration_behind_ || !list_) return;
    duration_behind_ = false;
    if (calls_.empty()) return;
    const bool was_mirroring = std::exchange(mirroring_, true);
    list_.SetCell(static_cast<int>(calls_.size() - 1), booth::kDurationColumn,
                  booth::DurationTextOf(calls_.calls().back()));
    mirroring_ = was_mirroring;
}

LRESULT BoothWindow::ListMessage(HWND list, UINT msg, WPARAM wp, LPARAM lp) {
    // Whoever reads the rows (the operator's tools, a test) gets the running duration.
    if (msg == LVM_GETITEMTEXTA || msg == LVM_GETITEMTEXTW || msg == LVM_GETITEMA ||
        msg == LVM_GETITEMW)
        CatchUpDuration();
    return win32::Subclass::Next(list, msg, wp, lp);
}

bool BoothWindow::OnCreate() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);

    auto child = [&](DWORD ex, const char* cls, const char* text, DWORD style, RECT r) {
        return CreateWindowExA(ex, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, hwnd(), nullptr, ThisModule(),
                               nullptr);
    };
    total_ =
        child(WS_EX_CLIENTEDGE, "BUTTON", kNoCalls, WS_TABSTOP | BS_PUSHBUTTON, {6, 170, 186, 220});
    print_ = child(WS_EX_CLIENTEDGE, "BUTTON", "Print", WS_TABSTOP | BS_PUSHBUTTON,
                   {190, 170, 263, 220});
    label_ = child(0, "STATIC", "", SS_CENTER | SS_CENTERIMAGE, {6, 13, 263, 42});
    list_ = child(0, WC_LISTVIEWA, "",
                  WS_TABSTOP | LVS_REPORT | LVS_NOSORTHEADER | LVS_ALIGNLEFT | LVS_SHAREIMAGELISTS,
                  {6, 44, 263, 164});
    frame_ = child(0, "BUTTON", "", BS_GROUPBOX | BS_LEFTTEXT,
                   {0, 0, booth::kBoothWidth, booth::kBoothHeight});
    if (list_) SetWindowLongPtrA(list_, GWLP_ID, kCallListId);
    if (total_) total_shown_ = kNoCalls;
    // Columns, pictures and styles go in without the list laying itself out after each one;
    // it catches up once they are in, while its page is still hidden (at the first paint it
    // held up every booth of the page shown after Log In).
    FreezeList();

    // The buttons act on the mouse release themselves; the other children need nothing added.
    total_clicks_ = win32::Subclass(total_, this, &BoothWindow::ButtonMessage);
    print_clicks_ = win32::Subclass(print_, this, &BoothWindow::ButtonMessage);
    list_reads_ = win32::Subclass(list_, this, &BoothWindow::ListMessage);

    look_ = true;
    if (SharedLook::Get().Acquire() == nullptr) Complain("Problems with bitmap.");

    for (int i = 0; i < static_cast<int>(booth::kColumnCount); ++i)
        if (!list_.InsertColumn(i, booth::kColumnTitles[i], kColumnWidth))
            Complain("Problem with creating.");
    list_.SetImageList(SharedLook::Get().images());
    list_.AddExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_FLATSB);

    // Shared by every booth; not this window's to delete.
    const HFONT font = SharedLook::Get().font();
    label_.SetFont(font);
    total_.SetFont(font);
    print_.SetFont(font);

    RefreshTotal();
    ThawList();
    return true;
}

void BoothWindow::OnDestroy() {
    SharedLook::Get().Withdraw(this);
    SecondsClock::ThisThread().Stop(*this);
    calls_ = booth::CallList();
    mirroring_ = true;
    if (list_) list_.Clear();
    mirroring_ = false;
    total_clicks_.Reset();
    print_clicks_.Reset();
    list_reads_.Reset();
    duration_behind_ = false;
    // The shared image list may go with this window's release, before the list itself.
    if (list_) list_.SetImageList(nullptr);
    label_brush_.Reset();
    if (look_) SharedLook::Get().Release();
    look_ = false;
    total_ = print_ = nullptr;
    label_ = frame_ = nullptr;
    list_ = nullptr;
    total_shown_.clear();  // a new window starts from its own button text
    list_frozen_ = false;
}

void BoothWindow::Repaint() {
    // The list catches up with the events and seconds that came since the last paint.
    CatchUpDuration();
    ThawList();
    // Brings the list's rows and headers back after the container has drawn over them. A list
    // at its top left (every booth's first paint) scrolls there and back only to repaint, which
    // cost a page of booths the better part of a second after Log In: redrawn in one go instead.
    if (ListView_GetTopIndex(list_) == 0 && FlatSB_GetScrollPos(list_, SB_HORZ) == 0) {
        RedrawWindow(list_, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return;
    }
    InvalidateRect(list_, nullptr, TRUE);
    UpdateWindow(list_);
    list_.Scroll(1, 1);
    list_.Scroll(-1, -1);
}

bool BoothWindow::LooksFresh() const {
    // No calls, nothing scrolled, resized or disabled, and nothing of the booth under the
    // pointer, holding the mouse or the keyboard (a hot or focused part looks different).
    if (!list_ || !calls_.empty() || list_frozen_ || duration_behind_ || list_.Count() != 0 ||
        total_shown_ != kNoCalls || print_.Enabled() || !total_.Enabled() || !list_.Enabled() ||
        ListView_GetTopIndex(list_) != 0 || FlatSB_GetScrollPos(list_, SB_HORZ) != 0)
        return false;
    for (int i = 0; i < static_cast<int>(booth::kColumnCount); ++i)
        if (ListView_GetColumnWidth(list_, i) != kColumnWidth) return false;
    if (Contains(hwnd(), GetFocus()) || Contains(hwnd(), GetCapture())) return false;
    POINT pointer{};
    RECT where{};
    GetCursorPos(&pointer);
    GetWindowRect(hwnd(), &where);
    return !PtInRect(&where, pointer);
}

bool BoothWindow::PaintedWhole() const {
    if (GetUpdateRect(hwnd(), nullptr, FALSE)) return false;
    for (HWND w : {static_cast<HWND>(total_), static_cast<HWND>(print_), static_cast<HWND>(label_),
                   static_cast<HWND>(list_), ListView_GetHeader(list_), static_cast<HWND>(frame_)})
        if (w && GetUpdateRect(w, nullptr, FALSE)) return false;
    return true;
}

bool BoothWindow::TakePicture(SIZE size, std::uint64_t colours) const {
    const BoothWindow* source = SharedLook::Get().Source();
    if (source == nullptr || source == this || !IsWindowVisible(source->hwnd()) ||
        !source->LooksFresh() || !source->PaintedWhole())
        return false;
    RECT client{};
    GetClientRect(source->hwnd(), &client);
    if (client.right != size.cx || client.bottom != size.cy) return false;
    // Copied only while nothing covers any of it: what lies over a booth is not its look.
    const win32::WindowDc dc(source->hwnd());
    win32::GdiObject<HRGN> seen(CreateRectRgn(0, 0, 0, 0));
    RECT box{}, window{};
    GetWindowRect(source->hwnd(), &window);
    if (!dc.Get() || !seen || GetRandomRgn(dc.Get(), seen.Get(), SYSRGN) != 1 ||
        GetRgnBox(seen.Get(), &box) != SIMPLEREGION || !EqualRect(&box, &window))
        return false;
    return SharedLook::Get().Keep(dc.Get(), size, colours);
}

bool BoothWindow::PaintFromPicture(const RECT& due) {
    // Only a booth due to be drawn whole (shown, or uncovered at once): its children are then
    // all due to be drawn as well, and the picture draws them.
    RECT client{};
    GetClientRect(hwnd(), &client);
    if (!EqualRect(&due, &client) || !LooksFresh()) return false;
    const SIZE size{client.right, client.bottom};
    const std::uint64_t colours = SystemColours();
    auto& look = SharedLook::Get();
    if (!look.HasPicture(size, colours) && !TakePicture(size, colours)) return false;

    bool drawn = false;
    {
        // Without BeginPaint: it would first ask for the erase, through a device context of its
        // own. The whole booth is due, and validated below.
        const win32::WindowDc dc(hwnd());
        // The name is this booth's own: its label draws it.
        const RECT name = label_.RectIn(hwnd());
        drawn = dc.Get() != nullptr &&
                ExcludeClipRect(dc.Get(), name.left, name.top, name.right, name.bottom) != ERROR &&
                look.Draw(dc.Get(), size, colours);
    }
    if (!drawn) {
        // Drawn the long way, and copied anew from the next booth that is.
        look.Forget();
        RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return true;
    }
    RedrawWindow(hwnd(), nullptr, nullptr,
                 RDW_VALIDATE | RDW_NOFRAME | RDW_NOERASE | RDW_ALLCHILDREN);
    InvalidateRect(label_, nullptr, TRUE);
    return true;
}

LRESULT BoothWindow::ButtonMessage(HWND button, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_LBUTTONUP) {
        // A posted release still reaches a disabled button; only an enabled one acts, and
        // only when the mouse is over it. Should acting throw (out of memory), the release
        // still gets the button's own handling and the operator can press again.
        RECT r;
        GetClientRect(button, &r);
        const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        if (IsWindowEnabled(button) && PtInRect(&r, pt)) {
            if (button == total_)
                RemoveEndedCalls();
            else
                RequestPrint();
        }
    }
    return win32::Subclass::Next(button, msg, wp, lp);
}

void BoothWindow::Complain(const char* text) const {
    HWND owner = hwnd() != nullptr ? hwnd() : fallback_owner_;
    MessageBoxA(owner, text, "", MB_OK);
}

void BoothWindow::SetName(const std::string& name) {
    if (label_) label_.SetText(name);
}

void BoothWindow::ShowRow(std::size_t row) {
    // Only what differs from the list is written: every write invalidates the row again, and
    // most events change two or three cells.
    const booth::CallRecord& call = calls_.calls()[row];
    const booth::RowTexts texts = booth::RowTextsOf(call);
    const int image = booth::RowImageOf(call.state);
    const int at = static_cast<int>(row);
    if (list_.Image(at) != image) list_.SetImage(at, image);
    for (int col = 0; col < static_cast<int>(texts.size()); ++col)
        if (list_.Cell(at, col) != texts[col]) list_.SetCell(at, col, texts[col]);
}

void BoothWindow::Mirror(const booth::Effect& effect) {
    if (effect.no_current_call) Complain("Failed with getting ststatus.");
    if (!effect.rows.empty() || effect.appended) {
        // The list does not redraw while events come in: every written cell would ask the
        // window server to repaint its row, and a new row to rework the scroll bars. The
        // booth's paint, which comes once the queue runs dry (asked for with one pixel under the
        // frame's corner) or when a hidden booth's page is shown, lets the list redraw at once.
        if (!list_frozen_) {
            FreezeList();
            if (IsWindowVisible(hwnd())) InvalidateRect(hwnd(), &kWakeUp, FALSE);
        }
        mirroring_ = true;
        for (std::size_t row : effect.rows) ShowRow(row);
        bool not_inserted = false;
        if (effect.appended) {
            const std::size_t row = calls_.size() - 1;
            // The new row comes with its first cell and picture; the rest follow.
            const booth::CallRecord& call = calls_.calls()[row];
            const std::string_view destination =
                std::string_view(call.destination).substr(0, booth::kDestinationShown);
            not_inserted = list_.InsertRow(static_cast<int>(row), destination,
                                           booth::RowImageOf(call.state)) != static_cast<int>(row);
            if (not_inserted)
                calls_.DropLast();
            else
                ShowRow(row);
        }
        mirroring_ = false;
        if (not_inserted) Complain("Problems with inserting.");
    }
    if (effect.start_timer && hwnd()) SecondsClock::ThisThread().Start(*this);
    if (effect.refresh_total) RefreshTotal();
}

void BoothWindow::FreezeList() {
    if (list_frozen_ || !list_) return;
    list_.SetRedraw(false);
    list_frozen_ = true;
}

void BoothWindow::ThawList() {
    if (!list_frozen_) return;
    list_frozen_ = false;
    list_.SetRedraw(true);
    InvalidateRect(list_, nullptr, TRUE);
}

booth::Selection BoothWindow::Selected() const {
    // Visits the selected rows only: mostly there are none while calls come in.
    booth::Selection selected;
    if (list_.SelectedCount() <= 0) return selected;
    const int count = list_.Count();
    selected.assign(static_cast<std::size_t>(count > 0 ? count : 0), false);
    for (int i = -1; (i = list_.Next(i, LVNI_SELECTED)) >= 0;) {
        if (i >= count) break;
        selected[static_cast<std::size_t>(i)] = true;
    }
    return selected;
}

void BoothWindow::RefreshTotal() {
    if (hwnd() == nullptr) return;
    // A button redraws itself at once on every new text: only a changed total is written.
    std::string text = calls_.TotalText(Selected(), currency_);
    if (text != total_shown_) {
        total_.SetText(text);
        total_shown_ = std::move(text);
    }
    const bool can_print = calls_.CanPrint();
    if (can_print != print_.Enabled()) print_.Enable(can_print);
}

void BoothWindow::RemoveEndedCalls() {
    const std::vector<std::size_t> removed = calls_.RemoveEnded(Selected());
    mirroring_ = true;
    for (std::size_t row : removed) list_.DeleteRow(static_cast<int>(row));
    mirroring_ = false;
    RefreshTotal();
}

void BoothWindow::RequestPrint() {
    const std::optional<std::string> text = calls_.PrintText(label_.Text(), Selected());
    if (text && on_print_) on_print_(*text);
}

void BoothWindow::Dial(std::string destination, std::string description, std::string rate) {
    if (hwnd() == nullptr) return;
    Mirror(calls_.Dial(std::move(destination), std::move(description), std::move(rate)));
}

void BoothWindow::Connected() {
    if (hwnd() != nullptr) Mirror(calls_.Connect(LocalNow()));
}

void BoothWindow::Finished(std::int16_t duration, double cost) {
    if (hwnd() != nullptr) Mirror(calls_.Finish(duration, cost));
}

void BoothWindow::FinishedWithCostText(const std::string& cost) {
    if (hwnd() != nullptr) Mirror(calls_.FinishWithCostText(cost));
}

void BoothWindow::Rejected() {
    if (hwnd() != nullptr) Mirror(calls_.Reject());
}

}  // namespace tlx::boothctl
