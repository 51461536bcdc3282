// The booth control's window: name label, call list, total and Print buttons in a frame. It
// mirrors the booth's call model into the list view and turns the operator's mouse releases
// into removal and print requests.
#pragma once

// windows.h first: the other system headers need its types.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "core/booth/calls.h"
#include "win32/controls.h"
#include "win32/handles.h"
#include "win32/subclass.h"
#include "win32/window.h"

namespace tlx::boothctl {

class BoothWindow : public win32::Wnd {
  public:
    using PrintHandler = std::function<void(const std::string& text)>;

    explicit BoothWindow(PrintHandler on_print) : on_print_(std::move(on_print)) {}
    BoothWindow(const BoothWindow&) = delete;
    BoothWindow& operator=(const BoothWindow&) = delete;
    ~BoothWindow() override;

    // Creates the window as a child of `parent` at `where`; false when Windows refuses.
    bool Create(HWND parent, const RECT& where);

    void SetName(const std::string& name);
    void SetCurrency(std::string unit) { currency_ = std::move(unit); }
    void Dial(std::string destination, std::string description, std::string rate);
    void Connected();
    void Finished(std::int16_t duration, double cost);
    void FinishedWithCostText(const std::string& cost);
    void Rejected();

    // Owner for the control's message boxes while it has no window of its own.
    void SetFallbackOwner(HWND owner) { fallback_owner_ = owner; }

  private:
    friend class SecondsClock;  // ticks the call's seconds
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnCreate() override;
    void OnDestroy() override;
    void OnTimer(UINT_PTR id) override;
    LRESULT OnNotify(NMHDR* header) override;
    void Repaint();
    // Whether the booth looks like any other booth without calls, but for its name.
    bool LooksFresh() const;
    bool PaintedWhole() const;  // nothing of it waits to be painted
    bool TakePicture(SIZE size, std::uint64_t colours) const;
    // Draws a fresh booth due to be drawn whole (`due`, a plain rectangle) from the picture of
    // another; false when not.
    bool PaintFromPicture(const RECT& due);
    LRESULT ButtonMessage(HWND button, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT ListMessage(HWND list, UINT msg, WPARAM wp, LPARAM lp);
    void CatchUpDuration();

    void Mirror(const booth::Effect& effect);
    void ShowRow(std::size_t row);
    booth::Selection Selected() const;
    void RefreshTotal();
    void FreezeList();
    void ThawList();
    void RemoveEndedCalls();
    void RequestPrint();
    void Complain(const char* text) const;

    PrintHandler on_print_;
    HWND fallback_owner_ = nullptr;
    win32::Button total_;
    win32::Button print_;
    win32::Window label_;
    win32::ListView list_;
    win32::Window frame_;
    win32::Subclass total_clicks_, print_clicks_, list_reads_;
    win32::GdiObject<HBRUSH> label_brush_;
    bool look_ = false;  // this window counts as a user of the shared font and pictures
    booth::CallList calls_;
    std::string currency_ = "$";
    std::string total_shown_;       // the total button's text as last written
    bool list_frozen_ = false;      // calls came in: the list redraws at the booth's next paint
    bool mirroring_ = false;        // rows and model differ for a moment: no total refresh
    bool duration_behind_ = false;  // the current call's duration cell lags its seconds
};

}  // namespace tlx::boothctl
