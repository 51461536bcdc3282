#include "host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tlx::test {

std::wstring LibraryPath() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path = exe;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"Tellarix.dll";
}

HMODULE Library() {
    static HMODULE module = LoadLibraryW(LibraryPath().c_str());
    return module;
}

HRESULT CallExport(const char* name) {
    auto fn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(Library(), name)));
    return fn ? fn() : E_NOTIMPL;
}

void Pump(DWORD ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(5);
    } while (GetTickCount64() < until);
}

std::string Text(HWND h) {
    char buf[512] = "";
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

namespace {
class OleEnvironment : public ::testing::Environment {
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new OleEnvironment);

// The one form of print request the console understands: one positional text for DISPID 1.
bool PrintRequest(DISPID id, const DISPPARAMS* p) {
    return id == 1 && p && p->cArgs == 1 && p->cNamedArgs == 0 && V_VT(&p->rgvarg[0]) == VT_BSTR;
}
}  // namespace

STDMETHODIMP PrintSink::QueryInterface(REFIID riid, void** out) {
    const bool mine = riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID__ICabineEvents;
    *out = mine ? static_cast<IDispatch*>(this) : nullptr;
    return mine ? S_OK : E_NOINTERFACE;
}

STDMETHODIMP PrintSink::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* excep, UINT*) {
    if (!PrintRequest(id, params) || riid != IID_NULL || lcid != 0x0400 ||
        flags != DISPATCH_METHOD || result || excep)
        return ++bad_calls, DISP_E_BADPARAMCOUNT;
    BSTR text = V_BSTR(&params->rgvarg[0]);
    texts.emplace_back(text, SysStringLen(text));
    return answer_;
}

Host::Host() {
    frame = CreateWindowExW(0, L"STATIC", L"booth host",
                            WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 40, 40, 400, 330,
                            nullptr, nullptr, nullptr, nullptr);
    tellarix::SiteOptions options;
    options.visible = true;
    HRESULT hr = E_FAIL;
    // Wider than the control's layout: the children must not follow the site's rectangle.
    site = tellarix::ControlSite::Create(
        frame, CLSID_TellarixCabine, RECT{10, 10, 330, 260}, 0,
        [this](DISPID id, DISPPARAMS* params) {
            if (!PrintRequest(id, params)) return ++bad_calls, DISP_E_BADPARAMCOUNT;
            BSTR text = V_BSTR(&params->rgvarg[0]);
            texts.emplace_back(text, SysStringLen(text));
            return S_OK;
        },
        options, &hr);
    EXPECT_NE(site, nullptr) << std::hex << hr;
    if (!site) return;
    EXPECT_TRUE(site->EventsConnected());  // found through the control's class information
    cabine = site->QueryControl<ICabine>(IID_ICabine);
    if (auto cpc = site->QueryControl<IConnectionPointContainer>(IID_IConnectionPointContainer))
        cpc->FindConnectionPoint(DIID__ICabineEvents, point_.Put());
    window = site->ControlWindow();
    for (HWND h = GetWindow(window, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        wchar_t cls[64];
        GetClassNameW(h, cls, 64);
        if (_wcsicmp(cls, L"SysListView32") == 0)
            list = h;
        else if (_wcsicmp(cls, L"Static") == 0)
            label = h;
        else if ((GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX)
            group = h;
        else
            (Text(h) == "Print" ? print : total) = h;
    }
    Pump();
}

Host::~Host() {
    cabine.Reset();
    point_.Reset();
    site.reset();
    DestroyWindow(frame);
    Pump(10);
}

DWORD Host::Advise(IDispatch* sink) {
    DWORD cookie = 0;
    EXPECT_EQ(point_->Advise(sink, &cookie), S_OK);
    return cookie;
}

void Host::Unadvise(DWORD cookie) {
    EXPECT_EQ(point_->Unadvise(cookie), S_OK);
}

void Host::Dial(const wchar_t* dest, const wchar_t* desc, const wchar_t* rate) {
    Bstr a(dest), b(desc), c(rate);
    EXPECT_EQ(cabine->CallDial(&a.b, &b.b, &c.b), S_OK);
    EXPECT_STREQ(a.b, dest);  // the strings stay the caller's and unchanged
}

void Host::Finish(short seconds, double cost) {
    EXPECT_EQ(cabine->CallFinished(&seconds, &cost), S_OK);
}

void Host::SetName(const wchar_t* name) {
    Bstr b(name);
    EXPECT_EQ(cabine->SetCabineName(&b.b), S_OK);
}

void Host::SetCurrency(const wchar_t* unit) {
    Bstr b(unit);
    EXPECT_EQ(cabine->SetCurrency(&b.b), S_OK);
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

void Host::Release(HWND button) {
    PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Pump();
}

bool Host::SaveBitmap(const std::wstring& path) const {
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD size = ((w * 3 + 3) & ~3) * h,
                head = sizeof(BITMAPFILEHEADER) + sizeof bi.bmiHeader;
    BITMAPFILEHEADER fh{0x4D42, head + size, 0, 0, head};
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
