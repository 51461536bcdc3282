// One booth control hosted in a container: its window, calls through every state, the total,
// removal, late binding, the print request and the screenshot kept as a test artifact.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host.h"

namespace tlx::test {
namespace {

std::string Clock(const SYSTEMTIME& t) {
    char buf[16];
    wsprintfA(buf, "%02d:%02d:%02d", t.wHour, t.wMinute, t.wSecond);
    return buf;
}

// The clock text `seconds` after the one given.
std::string Later(const std::string& clock, int seconds) {
    int h = 0, m = 0, s = 0;
    sscanf(clock.c_str(), "%d:%d:%d", &h, &m, &s);
    int t = (h * 3600 + m * 60 + s + seconds) % 86400;
    char buf[16];
    wsprintfA(buf, "%02d:%02d:%02d", t / 3600, t / 60 % 60, t % 60);
    return buf;
}

RECT ChildRect(HWND child, HWND parent) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Waits on another thread for the control's message box, reads it and presses OK.
class MessageBoxWatch {
  public:
    MessageBoxWatch() {
        thread_ = std::thread([this] {
            for (int i = 0; i < 500 && !stop_; ++i) {
                HWND box = FindWindowW(L"#32770", nullptr);
                if (box != nullptr && IsWindowVisible(box)) {
                    caption = Host::Text(box);
                    text = Host::Text(GetDlgItem(box, 0xFFFF));
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                    seen = true;
                    return;
                }
                Sleep(10);
            }
        });
    }
    ~MessageBoxWatch() {
        stop_ = true;
        thread_.join();
    }
    std::atomic<bool> seen{false};
    std::string caption = "?", text;

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class Hosted : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(CallExport("DllRegisterServer"), S_OK); }
    void SetUp() override {
        host = std::make_unique<Host>();
        ASSERT_TRUE(host->cabine() && host->window && host->list && host->print && host->total &&
                    host->label && host->group);
    }
    void TearDown() override { host.reset(); }

    // Dials, connects and finishes one call; returns its start time text.
    std::string BillableCall(const wchar_t* dest, short seconds, double cost,
                             const wchar_t* rate = L"1.20") {
        host->Dial(dest, L"route", rate);
        EXPECT_EQ(host->cabine()->CallConnected(), S_OK);
        host->Finish(seconds, cost);
        return host->Cell(host->Rows() - 1, 3);
    }
    std::unique_ptr<Host> host;
};

TEST_F(Hosted, FreshControlLayout) {
    const struct {
        HWND h;
        RECT r;
    } layout[] = {{host->total, {6, 170, 186, 220}},
                  {host->print, {190, 170, 263, 220}},
                  {host->label, {6, 13, 263, 42}},
                  {host->list, {6, 44, 263, 164}},
                  {host->group, {0, 0, 270, 225}}};
    for (const auto& c : layout) EXPECT_TRUE(SameRect(ChildRect(c.h, host->window), c.r));
    RECT client;
    GetClientRect(host->window, &client);
    EXPECT_EQ(client.right, 320);  // the site's rectangle; the children stay where they are

    EXPECT_EQ(GetDlgCtrlID(host->list), 117);
    const LONG style = GetWindowLongW(host->list, GWL_STYLE);
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_TRUE(style & LVS_NOSORTHEADER);
    EXPECT_TRUE(ListView_GetExtendedListViewStyle(host->list) & LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(GetWindowLongW(host->print, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    HWND header = ListView_GetHeader(host->list);
    ASSERT_EQ(Header_GetItemCount(header), 7);
    const char* titles[] = {"Destination", "Duration",          "Cost", "Start",
                            "End",         "Route description", "Rate"};
    for (int i = 0; i < 7; ++i) {
        char buf[64] = "";
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.pszText = buf;
        col.cchTextMax = 64;
        SendMessageA(host->list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
        EXPECT_STREQ(buf, titles[i]);
        EXPECT_EQ(col.cx, 100);
    }
    EXPECT_EQ(Host::Text(host->label), "");
    EXPECT_EQ(Host::Text(host->total), "No calls");
    EXPECT_FALSE(IsWindowEnabled(host->print));

    HFONT font = reinterpret_cast<HFONT>(SendMessageW(host->print, WM_GETFONT, 0, 0));
    LOGFONTA lf{};
    ASSERT_TRUE(GetObjectA(font, sizeof lf, &lf));
    EXPECT_EQ(lf.lfHeight, 20);
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif");

    // The state pictures came from the library's bitmap.
    HIMAGELIST images = ListView_GetImageList(host->list, LVSIL_SMALL);
    EXPECT_EQ(ImageList_GetImageCount(images), 6);
}

TEST_F(Hosted, CallThroughEveryState) {
    host->Dial(L"0049 100%s%d", L"Germany", L"0.25");
    EXPECT_EQ(host->Row(0), (std::vector<std::string>{"0049 100%s%d", "Connecting", "0.00", "---",
                                                      "---", "Germany", "0.25"}));
    EXPECT_EQ(host->Image(0), 1);
    EXPECT_EQ(Host::Text(host->total), "0.00 $");
    EXPECT_TRUE(IsWindowEnabled(host->print));

    SYSTEMTIME before, after;
    GetLocalTime(&before);
    ASSERT_EQ(host->cabine()->CallConnected(), S_OK);
    GetLocalTime(&after);
    const std::string start = host->Cell(0, 3);
    EXPECT_TRUE(start == Clock(before) || start == Clock(after)) << start;
    EXPECT_EQ(host->Cell(0, 1), "00:00:00");
    EXPECT_EQ(host->Cell(0, 4), "---");
    EXPECT_EQ(host->Image(0), 2);
    host->Dial(L"ignored", L"", L"");  // the booth is busy
    ASSERT_EQ(host->Rows(), 1);
    ASSERT_EQ(host->cabine()->CallRejected(), S_OK);
    EXPECT_EQ(host->Image(0), 2);

    // The window's one-second timer counts the answered call.
    for (int i = 0; i < 300 && host->Cell(0, 1) == "00:00:00"; ++i) Pump(20);
    EXPECT_EQ(host->Cell(0, 1).substr(0, 7), "00:00:0");
    EXPECT_NE(host->Cell(0, 1), "00:00:00");

    host->Finish(65, 1.3);
    EXPECT_EQ(host->Row(0), (std::vector<std::string>{"0049 100%s%d", "00:01:05", "1.30", start,
                                                      Later(start, 65), "Germany", "0.25"}));
    EXPECT_EQ(host->Image(0), 3);
    const std::string settled = host->Cell(0, 1);
    Pump(1200);  // the timer is off
    EXPECT_EQ(host->Cell(0, 1), settled);

    host->Dial(L"2", L"", L"");
    ASSERT_EQ(host->cabine()->CallRejected(), S_OK);
    EXPECT_EQ(host->Row(1),
              (std::vector<std::string>{"2", "00:00:00", "0.00", "---", "---", "", ""}));
    EXPECT_EQ(host->Image(1), 4);
}

TEST_F(Hosted, TotalCurrencyAndRemoval) {
    BillableCall(L"A", 10, 1.25);
    host->Dial(L"B", L"", L"");
    host->cabine()->CallRejected();
    BillableCall(L"C", 20, 2.0);
    host->Dial(L"D", L"", L"");
    host->cabine()->CallConnected();
    host->SetCurrency(L"\u20AC");                  // the euro sign, byte 0x80 in code page 1252
    EXPECT_EQ(Host::Text(host->total), "0.00 $");  // shown at the next refresh
    host->Select({0, 1, 2, 3});
    EXPECT_EQ(Host::Text(host->total), "3.25 \x80");
    host->Select({2});
    EXPECT_EQ(Host::Text(host->total), "2.00 \x80");

    host->Select({0, 1, 3});
    host->Release(host->total);
    ASSERT_EQ(host->Rows(), 2);  // the connected call stays
    EXPECT_EQ(host->Cell(0, 0), "C");
    EXPECT_EQ(host->Cell(1, 0), "D");
    EXPECT_EQ(Host::Text(host->total), "0.00 \x80");
    const std::string counted = host->Cell(1, 1);
    for (int i = 0; i < 300 && host->Cell(1, 1) == counted; ++i) Pump(20);
    EXPECT_NE(host->Cell(1, 1), counted);  // and is still counted

    host->Finish(5, 0.5);
    host->Select({0, 1});
    host->Release(host->total);
    EXPECT_EQ(host->Rows(), 0);
    EXPECT_EQ(Host::Text(host->total), "No calls");
    EXPECT_FALSE(IsWindowEnabled(host->print));
}

TEST_F(Hosted, LateBinding) {
    Ref<IDispatch> disp;
    ASSERT_EQ(host->control()->QueryInterface(IID_IDispatch, disp.PutVoid()), S_OK);
    LPOLESTR name = const_cast<LPOLESTR>(L"CallDial");
    DISPID id = 0;
    ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, &name, 1, 0x0400, &id), S_OK);
    EXPECT_EQ(id, 2);

    BSTR dest = SysAllocString(L"0123"), desc = SysAllocString(L"local"),
         rate = SysAllocString(L"0.10");
    VARIANT args[3];  // last parameter first
    BSTR* order[3] = {&rate, &desc, &dest};
    for (int i = 0; i < 3; ++i) {
        VariantInit(&args[i]);
        V_VT(&args[i]) = VT_BSTR | VT_BYREF;
        V_BSTRREF(&args[i]) = order[i];
    }
    DISPPARAMS params{args, nullptr, 3, 0};
    EXPECT_EQ(
        disp->Invoke(2, IID_NULL, 0x0400, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
        S_OK);
    ASSERT_EQ(host->Rows(), 1);
    EXPECT_EQ(host->Row(0), (std::vector<std::string>{"0123", "Connecting", "0.00", "---", "---",
                                                      "local", "0.10"}));
    EXPECT_STREQ(dest, L"0123");  // read, never written back
    SysFreeString(dest);
    SysFreeString(desc);
    SysFreeString(rate);
}

TEST_F(Hosted, PrintSendsSelectedFinishedCalls) {
    host->SetName(L"B1");
    const std::string s1 = BillableCall(L"0123", 125, 2.5);
    host->Dial(L"rejected", L"", L"");
    host->cabine()->CallRejected();
    const std::string s3 = BillableCall(L"\u20AC 100%", 0, 0.5, L"r3");
    host->Dial(L"open", L"", L"");

    host->Release(host->print);
    EXPECT_TRUE(host->sink.texts.empty());  // nothing selected

    host->Select({0, 1, 2, 3});
    host->Release(host->print);
    ASSERT_EQ(host->sink.texts.size(), 1u);
    const std::string line3 = "\x80 100%;" + s3 + ";" + s3 + ";0;0.50;r3|";
    const std::string line1 = "0123;" + s1 + ";" + Later(s1, 125) + ";125;2.50;1.20|";
    const std::string expected = "B1;" + line3 + line1;
    EXPECT_EQ(host->sink.texts[0], std::wstring(L"B1;\u20AC 100%;") +
                                       std::wstring(s3.begin(), s3.end()) + L";" +
                                       std::wstring(s3.begin(), s3.end()) + L";0;0.50;r3|" +
                                       std::wstring(line1.begin(), line1.end()));
    EXPECT_EQ(host->sink.bad_calls, 0);
    EXPECT_EQ(host->Rows(), 4);  // printing changes nothing

    // Only calls without a bill: the name and its semicolon alone.
    host->Select({1, 3});
    host->Release(host->print);
    ASSERT_EQ(host->sink.texts.size(), 2u);
    EXPECT_EQ(host->sink.texts[1], L"B1;");

    // Keyboard activation of the focused button prints nothing.
    host->Select({0});
    SetFocus(host->print);
    SendMessageW(host->print, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(host->print, WM_KEYUP, VK_SPACE, 0);
    Pump();
    EXPECT_EQ(host->sink.texts.size(), 2u);

    // A disabled button never prints, even when a release is posted to it.
    EnableWindow(host->print, FALSE);
    host->Release(host->print);
    EXPECT_EQ(host->sink.texts.size(), 2u);
    EnableWindow(host->print, TRUE);

    // A release away from the button is no press of it.
    PostMessageW(host->print, WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
    Pump();
    EXPECT_EQ(host->sink.texts.size(), 2u);
}

TEST_F(Hosted, EverySinkHearsEvenPastAFailingOne) {
    PrintSink failing(E_FAIL), later;
    // The host's own sink comes first; put a failing one between it and the last.
    const DWORD a = host->Advise(&failing);
    const DWORD b = host->Advise(&later);
    host->SetName(L"X");
    BillableCall(L"9", 1, 0.1);
    host->Select({0});
    host->Release(host->print);
    EXPECT_EQ(host->sink.texts.size(), 1u);
    EXPECT_EQ(failing.texts.size(), 1u);
    ASSERT_EQ(later.texts.size(), 1u);
    EXPECT_EQ(later.texts[0], host->sink.texts[0]);
    host->Unadvise(a);
    host->Unadvise(b);
    host->Release(host->print);
    EXPECT_EQ(later.texts.size(), 1u);
    EXPECT_EQ(host->sink.texts.size(), 2u);
}

TEST_F(Hosted, CostTextOnAnEmptyListIsReported) {
    MessageBoxWatch watch;
    BSTR cost = SysAllocString(L"1.5");
    EXPECT_EQ(host->cabine()->CallFinishedEx(&cost), S_OK);
    SysFreeString(cost);
    ASSERT_TRUE(watch.seen);
    EXPECT_EQ(watch.caption, "");
    EXPECT_EQ(watch.text, "Failed with getting ststatus.");
    EXPECT_EQ(host->Rows(), 0);
}

TEST_F(Hosted, ScreenshotOfEveryState) {
    host->SetName(L"Booth 1");
    host->SetCurrency(L"\u20AC");
    BillableCall(L"0049301234567", 125, 2.5);  // Finished
    host->Dial(L"0033140000000", L"France", L"0.15");
    host->cabine()->CallRejected();  // Rejected
    host->Dial(L"0044207000000", L"UK", L"0.12");
    host->Dial(L"0039060000000", L"Italy", L"0.18");  // the first becomes NoCharge
    host->cabine()->CallConnected();                  // Connected
    host->Select({0, 1});
    const char* dir = getenv("TLX_ARTIFACTS_WIN");
    if (dir == nullptr) GTEST_SKIP() << "no artifacts folder";
    SetForegroundWindow(host->frame);
    Pump(300);
    const std::wstring folder(dir, dir + strlen(dir));
    EXPECT_TRUE(host->SaveBitmap(folder + L"\\booth_states.bmp"));
    // Only the last call can be dialling or connected: a second picture for Dialing.
    host->Finish(61, 0.3);
    host->Dial(L"0012125550100", L"USA", L"0.09");
    host->Select({0, 1, 3});
    Pump(300);
    EXPECT_TRUE(host->SaveBitmap(folder + L"\\booth_dialing.bmp"));
}

TEST(HostedRenamed, RenamedLibraryKeepsItsPictures) {
    // A copy under another name, loaded beside the original: each finds its own bitmap.
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring copy = std::wstring(folder) + L"Booth2.dll";
    ASSERT_TRUE(CopyFileW(LibraryPath().c_str(), copy.c_str(), FALSE));
    HMODULE renamed = LoadLibraryW(copy.c_str());
    ASSERT_NE(renamed, nullptr);
    auto get_factory = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(renamed, "DllGetClassObject")));
    Ref<IClassFactory> factory;
    ASSERT_EQ(get_factory(CLSID_TellarixCabine, IID_IClassFactory, factory.PutVoid()), S_OK);
    {
        MessageBoxWatch watch;
        Host host(factory.Get());
        ASSERT_TRUE(host.list);
        EXPECT_EQ(ImageList_GetImageCount(ListView_GetImageList(host.list, LVSIL_SMALL)), 6);
        host.Dial(L"1", L"", L"");
        EXPECT_EQ(host.Image(0), 1);
        EXPECT_FALSE(watch.seen) << watch.text;
    }
    factory.Reset();
    FreeLibrary(renamed);
    DeleteFileW(copy.c_str());
}

TEST(HostedLifetime, LibraryCanUnloadAfterRelease) {
    ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
    auto can_unload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(Library(), "DllCanUnloadNow")));
    {
        Host host;
        host.Dial(L"1", L"", L"");
        host.cabine()->CallConnected();
        EXPECT_EQ(can_unload(), S_FALSE);
    }
    EXPECT_EQ(can_unload(), S_OK);
}

}  // namespace
}  // namespace tlx::test
