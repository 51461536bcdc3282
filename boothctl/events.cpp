#include "boothctl/events.h"

#include <olectl.h>

#include <new>

#include "Tellarix_h.h"
#include "boothctl/com.h"
#include "win32/com_object.h"
#include "win32/text.h"

namespace tlx::boothctl {
namespace {

// A snapshot enumerator over copies of `Item`; `Copy` adds a reference to what an item holds.
template <class Enum, class Item, const IID& kIid, void (*Copy)(Item&)>
class SnapshotEnum final : public win32::ComObject<Enum> {
  public:
    SnapshotEnum(std::vector<Item> items, std::size_t pos) : items_(std::move(items)), pos_(pos) {
        ModuleAddRef();
    }
    ~SnapshotEnum() {
        for (Item& i : items_) ReleaseItem(i);
        ModuleRelease();
    }
    STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
        if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && pos_ < items_.size(); ++n, ++pos_) {
            out[n] = items_[pos_];
            Copy(out[n]);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const std::size_t left = items_.size() - pos_;
        pos_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        pos_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Enum** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        try {
            auto* e = new SnapshotEnum(items_, pos_);
            for (Item& i : e->items_) Copy(i);  // the clone's own references
            *out = e;
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

  private:
    void* Find(REFIID iid) noexcept override {
        return iid == kIid ? static_cast<Enum*>(this) : nullptr;
    }
    static void ReleaseItem(Item& i);
    std::vector<Item> items_;
    std::size_t pos_;
};

void AddRefPoint(IConnectionPoint*& p) {
    p->AddRef();
}
void AddRefConnection(CONNECTDATA& c) {
    c.pUnk->AddRef();
}

using PointEnum =
    SnapshotEnum<IEnumConnectionPoints, IConnectionPoint*, IID_IEnumConnectionPoints, &AddRefPoint>;
using ConnectionEnum =
    SnapshotEnum<IEnumConnections, CONNECTDATA, IID_IEnumConnections, &AddRefConnection>;

template <>
void PointEnum::ReleaseItem(IConnectionPoint*& p) {
    p->Release();
}
template <>
void ConnectionEnum::ReleaseItem(CONNECTDATA& c) {
    c.pUnk->Release();
}

}  // namespace

HRESULT EventPoint::EnumPoints(IEnumConnectionPoints** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    try {
        std::vector<IConnectionPoint*> items{this};
        auto* e = new PointEnum(std::move(items), 0);
        AddRef();  // held by the enumerator from here on
        *out = e;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP EventPoint::QueryInterface(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP EventPoint::GetConnectionInterface(IID* iid) {
    if (iid == nullptr) return E_POINTER;
    *iid = DIID__ICabineEvents;
    return S_OK;
}

STDMETHODIMP EventPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (out == nullptr) return E_POINTER;
    return owner_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(out));
}

STDMETHODIMP EventPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (cookie == nullptr) return E_POINTER;
    *cookie = 0;
    if (sink == nullptr) return E_POINTER;
    // A sink that names the event interface is preferred; plain IDispatch sinks also hear it.
    win32::ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(DIID__ICabineEvents, dispatch.PutVoid())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, dispatch.PutVoid())))
        return CONNECT_E_CANNOTCONNECT;
    try {
        sinks_.push_back({next_cookie_, dispatch});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = next_cookie_++;
    return S_OK;
}

STDMETHODIMP EventPoint::Unadvise(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->cookie == cookie) {
            sinks_.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP EventPoint::EnumConnections(IEnumConnections** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    std::vector<CONNECTDATA> items;
    try {
        items.reserve(sinks_.size());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    for (const Sink& s : sinks_) {
        s.dispatch->AddRef();
        items.push_back({s.dispatch.Get(), s.cookie});  // reserved: cannot throw
    }
    auto* e = new (std::nothrow) ConnectionEnum(std::move(items), 0);
    if (e == nullptr) {
        for (CONNECTDATA& c : items) c.pUnk->Release();
        return E_OUTOFMEMORY;
    }
    *out = e;
    return S_OK;
}

void EventPoint::FirePrintClick(const std::string& text) {
    // A sink may unadvise while it handles the event; the others still hear it.
    std::vector<win32::ComPtr<IDispatch>> targets;
    for (const Sink& s : sinks_) targets.push_back(s.dispatch);
    const std::wstring wide = win32::WideFromAnsi(text);
    for (const win32::ComPtr<IDispatch>& sink : targets) {
        VARIANT arg;
        VariantInit(&arg);
        V_VT(&arg) = VT_BSTR;
        V_BSTR(&arg) = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        if (V_BSTR(&arg) == nullptr) continue;
        DISPPARAMS params{&arg, nullptr, 1, 0};
        // A failing sink is not reported and does not stop the others.
        sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                     nullptr);
        VariantClear(&arg);
    }
}

}  // namespace tlx::boothctl
