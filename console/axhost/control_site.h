// The console's own ActiveX container: hosts one control (a booth, the web browser) in a small
// wrapper window, answers the control's questions about its site and ambient properties, and
// routes the control's events to a handler. Wine's atl.dll drops the event sink, so the console
// does not rely on it.
//
// UI thread only: create, call and destroy a ControlSite on the thread that owns the parent
// window; COM must be initialised there as a single-threaded apartment.
#pragma once

#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "win32/com_ptr.h"

namespace tlx::console {

using tlx::win32::ComPtr;

// Called for every event the control fires. Arguments arrive as the control packed them
// (positional arguments in reverse order). The control owns them; copy what you keep.
using EventHandler = std::function<HRESULT(DISPID, DISPPARAMS*)>;

// What the control learns about its container when it asks.
struct AmbientProperties {
    bool userMode = true;             // run mode, never design mode
    COLORREF backColor = 0x00C0C0C0;  // dialog grey
    COLORREF foreColor = 0x00000000;
    LCID locale = LOCALE_USER_DEFAULT;
    std::wstring displayName = L"Tellarix";
    std::wstring fontName = L"MS Sans Serif";
    int fontPoints = 8;
};

struct SiteOptions {
    // The wrapper and the control's window claim all keys (WM_GETDLGCODE), so the dialog's
    // keyboard navigation leaves keys typed into a booth to the booth.
    bool wantAllKeys = false;
    bool visible = false;
    // The outgoing interface to listen on; when empty the control's default source interface
    // is asked from IProvideClassInfo2 (or its class type information).
    std::optional<IID> eventIid;
    AmbientProperties ambient;
};

class SiteObject;
class EventSink;

class ControlSite {
  public:
    // Creates the control by class identifier inside a new child window of parent at rect
    // (parent's client coordinates) with control identifier id, and activates it in place.
    // Returns nullptr on failure; *result (when given) receives the reason.
    static std::unique_ptr<ControlSite> Create(HWND parent, const CLSID& clsid, const RECT& rect,
                                               int id, EventHandler onEvent,
                                               const SiteOptions& options = {},
                                               HRESULT* result = nullptr) noexcept;

    ~ControlSite();
    ControlSite(const ControlSite&) = delete;
    ControlSite& operator=(const ControlSite&) = delete;

    // The wrapper window: a child of the parent, holds the control's window.
    HWND Window() const noexcept { return wrapper_; }
    // The control's own window (null if it never made one).
    HWND ControlWindow() const noexcept { return controlWindow_; }
    // Whether the wrapper claims all keys for the control (SiteOptions::wantAllKeys).
    bool WantsAllKeys() const noexcept { return wantAllKeys_; }
    // Whether an event sink is connected to the control.
    bool EventsConnected() const noexcept { return adviseCookie_ != 0; }

    template <class T>
    ComPtr<T> QueryControl(REFIID iid = __uuidof(T)) const noexcept {
        ComPtr<T> out;
        if (object_) object_->QueryInterface(iid, out.PutVoid());
        return out;
    }

    void Show() noexcept;
    void Hide() noexcept;
    // rect in the parent's client coordinates.
    void Move(const RECT& rect) noexcept;

    // Gives the control's in-place active object a chance at a keyboard message. True when the
    // control consumed it.
    bool TranslateAccelerator(MSG* msg) noexcept;
    // What a container does with every keyboard message (WM_KEYFIRST..WM_KEYLAST) before the
    // dialog manager sees it: the control the message is addressed to (the focused window, or
    // one inside it) gets it first, so a web page keeps Tab, the arrows, Enter and Ctrl+C.
    // True when that control consumed it; then the message is done with.
    static bool TranslateKey(MSG* msg) noexcept;

  private:
    ControlSite() = default;
    HRESULT Init(HWND parent, const CLSID& clsid, const RECT& rect, int id, EventHandler onEvent,
                 const SiteOptions& options);
    HRESULT ConnectEvents(EventHandler onEvent, const std::optional<IID>& eventIid);
    void TearDown() noexcept;

    HWND wrapper_ = nullptr;
    HWND controlWindow_ = nullptr;
    bool wantAllKeys_ = false;
    std::optional<CLSID> clsid_;  // the class whose cached factory made the control
    ComPtr<SiteObject> site_;
    ComPtr<IOleObject> object_;
    ComPtr<IOleInPlaceObject> inPlace_;
    ComPtr<IOleInPlaceActiveObject> activeObject_;  // the control's own, when it has one
    ComPtr<IConnectionPoint> eventPoint_;
    ComPtr<EventSink> sink_;
    DWORD adviseCookie_ = 0;
};

// Reads positional argument index (0 = first as the event declares it) as text; accepts VT_BSTR
// and references to BSTR or VARIANT. Empty when absent or of another type.
std::optional<std::wstring> EventArgText(const DISPPARAMS* params, unsigned index);

}  // namespace tlx::console
