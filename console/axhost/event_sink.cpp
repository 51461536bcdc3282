#include "console/axhost/event_sink.h"

#include <new>

namespace tlx::console {

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                          UINT*) {
    if (!handler_) return S_OK;
    // The handler may tear its own site down, which unadvises and releases this sink:
    // keep both alive until the call returns.
    ComPtr<EventSink> self(this);
    try {
        EventHandler handler = handler_;
        return handler(id, params);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

std::optional<std::wstring> EventArgText(const DISPPARAMS* params, unsigned index) {
    if (!params || !params->rgvarg || index >= params->cArgs) return std::nullopt;
    const VARIANT* v = &params->rgvarg[params->cArgs - 1 - index];
    while (v->vt == (VT_VARIANT | VT_BYREF)) {
        v = v->pvarVal;
        if (!v) return std::nullopt;
    }
    BSTR text = nullptr;
    if (v->vt == VT_BSTR)
        text = v->bstrVal;
    else if (v->vt == (VT_BSTR | VT_BYREF) && v->pbstrVal)
        text = *v->pbstrVal;
    else
        return std::nullopt;
    if (!text) return std::wstring();
    return std::wstring(text, SysStringLen(text));
}

}  // namespace tlx::console
