#include "host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tlx::test {

STDMETHODIMP PrintSink::QueryInterface(REFIID riid, void** out) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID__ICabineEvents) {
        *out = static_cast<IDispatch*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP PrintSink::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* excep, UINT*) {
    const bool well_formed = id == 1 && riid == IID_NULL && lcid == 0x0400 &&
                             flags == DISPATCH_METHOD && params && params->cArgs == 1 &&
                             params->cNamedArgs == 0 && V_VT(&params->rgvarg[0]) == VT_BSTR &&
                             result == nullptr && excep == nullptr;
    if (!well_formed) {
        ++bad_calls;
        return DISP_E_BADPARAMCOUNT;
    }
    BSTR text = V_BSTR(&params->rgvarg[0]);
    texts.emplace_back(text, SysStringLen(text));
    return answer_;
}

class Host::Site : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
  public:
    explicit Site(HWND frame) : frame_(frame) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IOleClientSite)
            *out = static_cast<IOleClientSite*>(this);
        else if (riid == IID_IOleInPlaceSite || riid == IID_IOleWindow)
            *out = static_cast<IOleInPlaceSite*>(this);
        else if (riid == IID_IOleInPlaceFrame || riid == IID_IOleInPlaceUIWindow)
            *out = static_cast<IOleInPlaceFrame*>(this);
        else
            return *out = nullptr, E_NOINTERFACE;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** c) override {
        *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow
    STDMETHODIMP GetWindow(HWND* h) override {
        *h = frame_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }
    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** f, IOleInPlaceUIWindow** doc, LPRECT pos,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        *f = this;
        *doc = nullptr;
        // Deliberately larger than the layout: the children must not follow.
        *pos = {10, 10, 330, 260};
        *clip = *pos;
        info->fMDIApp = FALSE;
        info->hwndFrame = frame_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return S_OK; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override {
        ++deactivations;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
    // IOleInPlaceUIWindow / IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    int deactivations = 0;

  private:
    HWND frame_;
};

namespace {

BOOL CALLBACK CollectChild(HWND h, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

}  // namespace

Host::Host(IClassFactory* factory) {
    frame = CreateWindowExW(0, L"STATIC", L"booth host",
                            WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 40, 40, 400, 330,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    site_ = std::make_unique<Site>(frame);
    if (factory != nullptr)
        EXPECT_HRESULT_SUCCEEDED(
            factory->CreateInstance(nullptr, IID_IUnknown, control_.PutVoid()));
    else
        EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(
            CLSID_TellarixCabine, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, control_.PutVoid()));
    if (!control_) return;
    Ref<IOleObject> ole;
    Ref<IPersistStreamInit> persist;
    control_->QueryInterface(IID_IOleObject, ole.PutVoid());
    control_->QueryInterface(IID_IPersistStreamInit, persist.PutVoid());
    ole->SetClientSite(site_.get());
    persist->InitNew();
    Ref<IConnectionPointContainer> cpc;
    control_->QueryInterface(IID_IConnectionPointContainer, cpc.PutVoid());
    cpc->FindConnectionPoint(DIID__ICabineEvents, point_.Put());
    EXPECT_EQ(point_->Advise(&sink, &cookie_), S_OK);
    RECT r{10, 10, 330, 260};
    EXPECT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, frame, &r), S_OK);
    control_->QueryInterface(IID_ICabine, cabine_.PutVoid());

    Ref<IOleWindow> w;
    control_->QueryInterface(IID_IOleWindow, w.PutVoid());
    w->GetWindow(&window);
    std::vector<HWND> kids;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&kids));
    wchar_t cls[64];
    for (HWND h : kids) {
        GetClassNameW(h, cls, 64);
        const std::string text = Text(h);
        const LONG style = GetWindowLongW(h, GWL_STYLE);
        if (_wcsicmp(cls, L"SysListView32") == 0)
            list = h;
        else if (_wcsicmp(cls, L"Static") == 0)
            label = h;
        else if ((style & BS_TYPEMASK) == BS_GROUPBOX)
            group = h;
        else if (text == "Print")
            print = h;
        else if (_wcsicmp(cls, L"Button") == 0 && GetParent(h) == window)
            total = h;
    }
    Pump();
}

Host::~Host() {
    if (point_) point_->Unadvise(cookie_);
    cabine_.Reset();
    point_.Reset();
    if (control_) {
        Ref<IOleObject> ole;
        control_->QueryInterface(IID_IOleObject, ole.PutVoid());
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
    }
    control_.Reset();
    DestroyWindow(frame);
    Pump(10);
}

DWORD Host::Advise(IDispatch* extra) {
    DWORD cookie = 0;
    EXPECT_EQ(point_->Advise(extra, &cookie), S_OK);
    return cookie;
}

void Host::Unadvise(DWORD cookie) {
    EXPECT_EQ(point_->Unadvise(cookie), S_OK);
}

void Host::Dial(const wchar_t* dest, const wchar_t* desc, const wchar_t* rate) {
    BSTR a = SysAllocString(dest), b = SysAllocString(desc), c = SysAllocString(rate);
    EXPECT_EQ(cabine_->CallDial(&a, &b, &c), S_OK);
    // The strings stay the caller's and unchanged.
    EXPECT_STREQ(a, dest);
    SysFreeString(a);
    SysFreeString(b);
    SysFreeString(c);
}

void Host::Finish(short seconds, double cost) {
    EXPECT_EQ(cabine_->CallFinished(&seconds, &cost), S_OK);
}

void Host::SetName(const wchar_t* name) {
    BSTR b = SysAllocString(name);
    EXPECT_EQ(cabine_->SetCabineName(&b), S_OK);
    SysFreeString(b);
}

void Host::SetCurrency(const wchar_t* unit) {
    BSTR b = SysAllocString(unit);
    EXPECT_EQ(cabine_->SetCurrency(&b), S_OK);
    SysFreeString(b);
}

int Host::Rows() const {
    return ListView_GetItemCount(list);
}

std::string Host::Cell(int row, int col) const {
    char buf[512] = "";
    LVITEMA item{};
    item.iSubItem = col;
    item.pszText = buf;
    item.cchTextMax = sizeof buf;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buf;
}

std::vector<std::string> Host::Row(int row) const {
    std::vector<std::string> out;
    for (int c = 0; c < 7; ++c) out.push_back(Cell(row, c));
    return out;
}

int Host::Image(int row) const {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

void Host::Select(std::initializer_list<int> rows) const {
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    for (int r : rows) ListView_SetItemState(list, r, LVIS_SELECTED, LVIS_SELECTED);
    Pump(10);
}

std::string Host::Text(HWND h) {
    char buf[512] = "";
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

void Host::Release(HWND button) {
    PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Pump();
}

bool Host::SaveBitmap(const std::wstring& path) const {
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((w * 3 + 3) & ~3), size = stride * h;
    BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader + size), 0, 0,
                        static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader)};
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    out.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
    out.write(static_cast<const char*>(bits), size);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return out.good();
}

}  // namespace tlx::test
