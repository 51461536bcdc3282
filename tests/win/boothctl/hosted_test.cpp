// One booth control hosted in the console's container: its window, calls through every state, the
// total, removal, late binding, the print request and the screenshot kept as a test artifact.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host.h"

namespace tlx::test {
namespace {

// The clock text `seconds` after the one given.
std::string Later(const std::string& clock, int seconds) {
    int h = 0, m = 0, s = 0;
    sscanf(clock.c_str(), "%d:%d:%d", &h, &m, &s);
    const int t = (h * 3600 + m * 60 + s + seconds) % 86400;
    char buf[16];
    wsprintfA(buf, "%02d:%02d:%02d", t / 3600, t / 60 % 60, t % 60);
    return buf;
}

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

// Waits on another thread for a message box, reads it and presses OK.
struct MessageBoxWatch {
    std::atomic<bool> stop{false}, seen{false};
    std::string text;
    std::thread thread{[this] {
        for (int i = 0; i < 500 && !stop; ++i, Sleep(10)) {
            HWND box = FindWindowW(L"#32770", nullptr);
            if (box && IsWindowVisible(box)) {
                text = Text(box) + "|" + Text(GetDlgItem(box, 0xFFFF));  // caption|message
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return void(seen = true);
            }
        }
    }};
    ~MessageBoxWatch() { stop = true, thread.join(); }
};

auto CanUnload() {
    return CallExport("DllCanUnloadNow");
}

class Hosted : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(CallExport("DllRegisterServer"), S_OK); }
    void SetUp() override {
        host = std::make_unique<Host>();
        ASSERT_TRUE(host->cabine && host->list && host->print && host->total && host->label &&
                    host->group);
    }
    // Dials, connects and finishes one call; returns its start time text.
    std::string BillableCall(const wchar_t* dest, short seconds, double cost,
                             const wchar_t* rate = L"1.20") {
        host->Dial(dest, L"route", rate);
        EXPECT_EQ(host->cabine->CallConnected(), S_OK);
        host->Finish(seconds, cost);
        return host->Cell(host->Rows() - 1, 3);
    }
    std::unique_ptr<Host> host;
};

TEST_F(Hosted, FreshControlLayout) {
    // The site's rectangle is wider than the layout: the window follows, its children do not.
    RECT client, group;
    GetClientRect(host->window, &client);
    EXPECT_EQ(client.right, 320);
    GetWindowRect(host->group, &group);
    MapWindowPoints(nullptr, host->window, reinterpret_cast<POINT*>(&group), 2);
    EXPECT_EQ(group.right - group.left, 270);
    std::string titles;
    for (int i = 0; i < 8; ++i) {
        char buf[64] = "";
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.pszText = buf;
        col.cchTextMax = 64;
        if (SendMessageA(host->list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&col)))
            titles += std::string(buf) + "/" + std::to_string(col.cx) + ";";
    }
    EXPECT_EQ(titles,
              "Destination/100;Duration/100;Cost/100;Start/100;End/100;Route description/100;"
              "Rate/100;");
    EXPECT_EQ(Text(host->label) + "|" + Text(host->total), "|No calls");
    EXPECT_FALSE(IsWindowEnabled(host->print));
}

TEST_F(Hosted, CallThroughEveryState) {
    host->Dial(L"0049 100%s%d", L"Germany", L"0.25");
    EXPECT_EQ(host->Row(0), (std::vector<std::string>{"0049 100%s%d", "Connecting", "0.00", "---",
                                                      "---", "Germany", "0.25"}));
    EXPECT_EQ(host->Image(0), 1);
    EXPECT_EQ(Text(host->total), "0.00 $");
    EXPECT_TRUE(IsWindowEnabled(host->print));

    SYSTEMTIME before, after;
    GetLocalTime(&before);
    ASSERT_EQ(host->cabine->CallConnected(), S_OK);
    GetLocalTime(&after);
    const std::string start = host->Cell(0, 3);
    char clocks[2][16];
    for (auto [t, buf] : {std::pair{&before, clocks[0]}, std::pair{&after, clocks[1]}})
        wsprintfA(buf, "%02d:%02d:%02d", t->wHour, t->wMinute, t->wSecond);
    EXPECT_TRUE(start == clocks[0] || start == clocks[1]) << start;
    EXPECT_EQ(host->Cell(0, 1) + host->Cell(0, 4), "00:00:00---");
    EXPECT_EQ(host->Image(0), 2);
    host->Dial(L"ignored", L"", L"");  // the booth is busy
    ASSERT_EQ(host->Rows(), 1);
    ASSERT_EQ(host->cabine->CallRejected(), S_OK);
    EXPECT_EQ(host->Image(0), 2);
    // The window's one-second timer counts the answered call.
    for (int i = 0; i < 300 && host->Cell(0, 1) == "00:00:00"; ++i) Pump(20);
    EXPECT_EQ(host->Cell(0, 1).substr(0, 7), "00:00:0");
    EXPECT_NE(host->Cell(0, 1), "00:00:00");

    host->Finish(65, 1.3);
    EXPECT_EQ(host->Row(0), (std::vector<std::string>{"0049 100%s%d", "00:01:05", "1.30", start,
                                                      Later(start, 65), "Germany", "0.25"}));
    EXPECT_EQ(host->Image(0), 3);
    Pump(1200);  // the timer is off
    EXPECT_EQ(host->Cell(0, 1), "00:01:05");

    host->Dial(L"2", L"", L"");
    ASSERT_EQ(host->cabine->CallRejected(), S_OK);
    EXPECT_EQ(host->Row(1),
              (std::vector<std::string>{"2", "00:00:00", "0.00", "---", "---", "", ""}));
    EXPECT_EQ(host->Image(1), 4);
}

TEST_F(Hosted, TotalCurrencyAndRemoval) {
    BillableCall(L"A", 10, 1.25);
    host->Dial(L"B", L"", L"");
    host->cabine->CallRejected();
    BillableCall(L"C", 20, 2.0);
    host->Dial(L"D", L"", L"");
    host->cabine->CallConnected();
    host->SetCurrency(L"\u20AC");            // the euro sign, byte 0x80 in code page 1252
    EXPECT_EQ(Text(host->total), "0.00 $");  // shown at the next refresh
    host->Select({0, 1, 2, 3});
    EXPECT_EQ(Text(host->total), "3.25 \x80");
    host->Select({2});
    EXPECT_EQ(Text(host->total), "2.00 \x80");

    host->Select({0, 1, 3});
    host->Release(host->total);
    ASSERT_EQ(host->Rows(), 2);  // the connected call stays, and is still counted
    EXPECT_EQ(host->Cell(0, 0) + host->Cell(1, 0), "CD");
    EXPECT_EQ(Text(host->total), "0.00 \x80");
    const std::string counted = host->Cell(1, 1);
    for (int i = 0; i < 300 && host->Cell(1, 1) == counted; ++i) Pump(20);
    EXPECT_NE(host->Cell(1, 1), counted);

    host->Finish(5, 0.5);
    host->Select({0, 1});
    host->Release(host->total);
    EXPECT_EQ(host->Rows(), 0);
    EXPECT_EQ(Text(host->total), "No calls");
    EXPECT_FALSE(IsWindowEnabled(host->print));
}

TEST_F(Hosted, LateBinding) {
    auto disp = host->site->QueryControl<IDispatch>(IID_IDispatch);
    LPOLESTR name = const_cast<LPOLESTR>(L"CallDial");
    DISPID id = 0;
    ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, &name, 1, 0x0400, &id), S_OK);
    EXPECT_EQ(id, 2);
    Bstr dest(L"0123"), desc(L"local"), rate(L"0.10");
    VARIANT args[3];  // last parameter first
    BSTR* order[3] = {&rate.b, &desc.b, &dest.b};
    for (int i = 0; i < 3; ++i) {
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
    EXPECT_STREQ(dest.b, L"0123");  // read, never written back
}

TEST_F(Hosted, PrintSendsSelectedFinishedCalls) {
    host->SetName(L"B1");
    const std::string s1 = BillableCall(L"0123", 125, 2.5);
    host->Dial(L"rejected", L"", L"");
    host->cabine->CallRejected();
    const std::wstring s3 = Wide(BillableCall(L"\u20AC 100%", 0, 0.5, L"r3"));
    host->Dial(L"open", L"", L"");
    host->Release(host->print);
    EXPECT_TRUE(host->texts.empty());  // nothing selected

    host->Select({0, 1, 2, 3});
    host->Release(host->print);
    ASSERT_EQ(host->texts.size(), 1u);
    EXPECT_EQ(host->texts[0], L"B1;\u20AC 100%;" + s3 + L";" + s3 + L";0;0.50;r3|0123;" + Wide(s1) +
                                  L";" + Wide(Later(s1, 125)) + L";125;2.50;1.20|");
    EXPECT_EQ(host->bad_calls, 0);
    EXPECT_EQ(host->Rows(), 4);  // printing changes nothing
    host->Select({1, 3});        // only calls without a bill: the name and its semicolon alone
    host->Release(host->print);
    ASSERT_EQ(host->texts.size(), 2u);
    EXPECT_EQ(host->texts[1], L"B1;");

    // Keyboard activation of the focused button prints nothing.
    host->Select({0});
    SetFocus(host->print);
    SendMessageW(host->print, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(host->print, WM_KEYUP, VK_SPACE, 0);
    Pump();
    // Nor does a disabled button, or a release away from the button.
    EnableWindow(host->print, FALSE);
    host->Release(host->print);
    EnableWindow(host->print, TRUE);
    PostMessageW(host->print, WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
    Pump();
    EXPECT_EQ(host->texts.size(), 2u);

    // Every sink hears it, even past a failing one, in the form the console expects.
    PrintSink failing(E_FAIL), later;
    const DWORD a = host->Advise(&failing), b = host->Advise(&later);
    host->Release(host->print);
    EXPECT_EQ(host->texts.size(), 3u);
    EXPECT_EQ(failing.texts.size(), 1u);
    EXPECT_EQ(later.texts, std::vector<std::wstring>{host->texts[2]});
    EXPECT_EQ(failing.bad_calls + later.bad_calls, 0);
    host->Unadvise(a);
    host->Unadvise(b);
    host->Release(host->print);
    EXPECT_EQ(later.texts.size(), 1u);
}

TEST_F(Hosted, CostTextOnAnEmptyListIsReported) {
    MessageBoxWatch watch;
    Bstr cost(L"1.5");
    EXPECT_EQ(host->cabine->CallFinishedEx(&cost.b), S_OK);
    ASSERT_TRUE(watch.seen);
    EXPECT_EQ(watch.text, "|Failed with getting ststatus.");
    EXPECT_EQ(host->Rows(), 0);
}

TEST_F(Hosted, ScreenshotOfEveryState) {
    host->SetName(L"Booth 1");
    host->SetCurrency(L"\u20AC");
    BillableCall(L"0049301234567", 125, 2.5);  // Finished
    host->Dial(L"0033140000000", L"France", L"0.15");
    host->cabine->CallRejected();  // Rejected
    host->Dial(L"0044207000000", L"UK", L"0.12");
    host->Dial(L"0039060000000", L"Italy", L"0.18");  // the first becomes NoCharge
    host->cabine->CallConnected();                    // Connected
    host->Select({0, 1});
    const char* dir = getenv("TLX_ARTIFACTS_WIN");
    if (dir == nullptr) GTEST_SKIP() << "no artifacts folder";
    SetForegroundWindow(host->frame);
    Pump(300);
    EXPECT_TRUE(host->SaveBitmap(Wide(dir) + L"\\booth_states.bmp"));
    // Only the last call can be dialling or connected: a second picture for Dialing.
    host->Finish(61, 0.3);
    host->Dial(L"0012125550100", L"USA", L"0.09");
    host->Select({0, 1, 3});
    Pump(300);
    EXPECT_TRUE(host->SaveBitmap(Wide(dir) + L"\\booth_dialing.bmp"));
}

TEST(HostedLifetime, RenamedCopyKeepsItsPicturesAndTheLibraryUnloadsAfterRelease) {
    ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
    {
        Host host;
        host.Dial(L"1", L"", L"");
        host.cabine->CallConnected();
        EXPECT_EQ(CanUnload(), S_FALSE);
    }
    EXPECT_EQ(CanUnload(), S_OK);
    {
        Host host;  // at exit the page window may go before its booths are released
        DestroyWindow(host.frame);
        Pump();
    }
    EXPECT_EQ(CanUnload(), S_OK);

    // A copy under another name, loaded beside the original, finds its own bitmap.
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring copy = std::wstring(folder) + L"Booth2.dll";
    ASSERT_TRUE(CopyFileW(LibraryPath().c_str(), copy.c_str(), FALSE));
    HMODULE renamed = LoadLibraryW(copy.c_str());
    auto get_factory = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(renamed, "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(get_factory(CLSID_TellarixCabine, IID_IClassFactory, factory.PutVoid()), S_OK);
    DWORD cookie = 0;  // the container creates by class id: this process gets the copy's
    ASSERT_HRESULT_SUCCEEDED(CoRegisterClassObject(
        CLSID_TellarixCabine, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    {
        MessageBoxWatch watch;
        Host host;
        ASSERT_TRUE(host.list);
        EXPECT_EQ(ImageList_GetImageCount(ListView_GetImageList(host.list, LVSIL_SMALL)), 6);
        host.Dial(L"1", L"", L"");
        EXPECT_EQ(host.Image(0), 1);
        EXPECT_FALSE(watch.seen) << watch.text;
    }
    CoRevokeClassObject(cookie);
    factory.Reset();
    EXPECT_EQ(CanUnload(), S_OK);  // the original was never asked
    FreeLibrary(renamed);
    DeleteFileW(copy.c_str());
}

}  // namespace
}  // namespace tlx::test
