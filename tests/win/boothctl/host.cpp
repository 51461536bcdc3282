#include "tests/win/boothctl/host.h"

#include <gtest/gtest.h>

#include "win32/handles.h"
#include "win32/module.h"

namespace tlx::test {

std::wstring LibraryPath() {
    const std::wstring exe = win32::ThisModulePath();
    return exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"Tellarix.dll";
}

HRESULT CallExport(const char* name) {
    static const HMODULE library = LoadLibraryW(LibraryPath().c_str());  // kept for the run
    auto fn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(library, name)));
    return fn ? fn() : E_NOTIMPL;
}

void PumpUntilIdle() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

bool PumpUntil(const std::function<bool()>& done) {
    for (const ULONGLONG deadline = GetTickCount64() + 5000; GetTickCount64() < deadline;) {
        PumpUntilIdle();
        if (done()) return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);  // the next message
    }
    return false;
}

std::vector<DWORD> Capture(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    const win32::WindowDc screen(nullptr);
    const win32::MemoryDc mem(CreateCompatibleDC(screen.Get()));
    const win32::GdiObject<HBITMAP> bmp(CreateCompatibleBitmap(screen.Get(), width, height));
    {
        const win32::Selection selected(mem.Get(), bmp.Get());
        BitBlt(mem.Get(), 0, 0, width, height, screen.Get(), r.left, r.top, SRCCOPY);
    }
    BITMAPINFOHEADER info{sizeof info, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> pixels(static_cast<std::size_t>(width) * height);
    GetDIBits(mem.Get(), bmp.Get(), 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    return pixels;
}

namespace {
// Every test finds the control registered; the registration test puts it back when done.
struct Environment : ::testing::Environment {
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr));
        ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
    }
    void TearDown() override { OleUninitialize(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

std::vector<std::string>* g_complaints = nullptr;  // the live host's

LRESULT CALLBACK AnswerMessageBox(int code, WPARAM w, LPARAM l) {
    const auto box = reinterpret_cast<HWND>(w);
    if (code == HCBT_ACTIVATE && g_complaints && GetDlgItem(box, 0xFFFF)) {  // a box's text
        g_complaints->push_back(win32::Window(box).Text() + "|" +
                                win32::Window(GetDlgItem(box, 0xFFFF)).Text());
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, w, l);
}
}  // namespace

Host::Host() : boxes_(SetWindowsHookExW(WH_CBT, &AnswerMessageBox, nullptr, GetCurrentThreadId())) {
    g_complaints = &complaints;
    frame = CreateWindowExW(0, L"STATIC", L"booth host",
                            WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 40, 40, 400, 330,
                            nullptr, nullptr, nullptr, nullptr);
    tlx::console::SiteOptions options;
    options.visible = true;
    HRESULT hr = E_FAIL;
    // Wider than the control's layout: the children must not follow the site's rectangle.
    site = tlx::console::ControlSite::Create(
        frame, CLSID_TellarixCabine, RECT{10, 10, 330, 260}, 0,
        [this](DISPID id, DISPPARAMS* p) {
            // Only the one form the console understands: DISPID 1, one positional BSTR.
            const bool request =
                id == 1 && p->cArgs == 1 && p->cNamedArgs == 0 && V_VT(&p->rgvarg[0]) == VT_BSTR;
            texts.push_back(request ? V_BSTR(&p->rgvarg[0]) : L"<bad call>");
            return S_OK;
        },
        options, &hr);
    EXPECT_NE(site, nullptr) << std::hex << hr;
    if (!site) return;
    EXPECT_TRUE(site->EventsConnected());  // found through the control's class information
    cabine = site->QueryControl<ICabine>(IID_ICabine);
    window = site->ControlWindow();
    list = FindWindowExW(window, nullptr, L"SysListView32", nullptr);
    label = FindWindowExW(window, nullptr, L"Static", nullptr);
    total = FindWindowExW(window, nullptr, L"Button", L"No calls");
    print = FindWindowExW(window, nullptr, L"Button", L"Print");
    group = FindWindowExW(window, nullptr, L"Button", L"");
    PumpUntilIdle();
}

Host::~Host() {
    cabine = nullptr;
    site.reset();
    DestroyWindow(frame);
    PumpUntilIdle();
    g_complaints = nullptr;
    UnhookWindowsHookEx(boxes_);
}

void Host::Dial(const wchar_t* dest, const wchar_t* desc, const wchar_t* rate) {
    Bstr a(dest), b(desc), c(rate);
    EXPECT_EQ(cabine->CallDial(a.Address(), b.Address(), c.Address()), S_OK);
    EXPECT_STREQ(a.Get(), dest);  // the strings stay the caller's and unchanged
}

std::string Host::Call(const wchar_t* dest, short seconds, double cost, const wchar_t* rate) {
    Dial(dest, L"", rate);
    EXPECT_EQ(cabine->CallConnected(), S_OK);
    Finish(seconds, cost);
    return list.Cell(list.Count() - 1, 3);
}

void Host::Finish(short seconds, double cost) {
    EXPECT_EQ(cabine->CallFinished(&seconds, &cost), S_OK);
}

std::string Host::Row(int row) const {
    std::string out = std::to_string(list.Image(row));
    for (int c = 0; c < 7; ++c) out.append("|").append(list.Cell(row, c));
    return out;
}

std::string Host::Shown() const {
    return label.Text() + "|" + total.Text() + (print.Enabled() ? "|print on" : "|print off");
}

void Host::Select(std::initializer_list<int> rows) const {
    list.SetState(-1, 0, LVIS_SELECTED);
    for (int r : rows) list.SetState(r, LVIS_SELECTED, LVIS_SELECTED);
}

void Host::Release(HWND button, int x) {
    PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(x, 5));
    PumpUntilIdle();
}

}  // namespace tlx::test
