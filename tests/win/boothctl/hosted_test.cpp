// One booth control hosted in the console's container: its layout, calls through every state
// with the real one-second timer, late binding, a complaint, the total, the print request,
// removal; and what keeps the library loaded.
#include <gtest/gtest.h>

#include "core/booth/calls.h"
#include "tests/win/boothctl/host.h"

namespace tlx::test {
namespace {

// The clock text `seconds` after the one given.
std::string Later(const std::string& clock, int seconds) {
    int h = 0, m = 0, s = 0;
    sscanf(clock.c_str(), "%d:%d:%d", &h, &m, &s);
    return booth::FormatSpan(h * 3600 + m * 60 + s + seconds);
}

class Hosted : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(h.cabine && h.list && h.print && h.total && h.group); }
    Host h;
};

TEST_F(Hosted, CallThroughEveryStateDialledByLateBinding) {
    // The site is wider than the layout: the window follows it, the children do not.
    const RECT frame = h.group.RectIn(h.window);
    EXPECT_EQ(win32::Window(h.window).ClientRect().right, 320);
    EXPECT_EQ(std::pair(frame.right - frame.left, frame.bottom - frame.top), std::pair(270L, 225L));
    EXPECT_EQ(h.Shown(), "|No calls|print off");

    auto disp = h.site->QueryControl<IDispatch>(IID_IDispatch);
    LPOLESTR name = const_cast<LPOLESTR>(L"CallDial");
    DISPID id = 0;
    ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 2);
    Bstr texts[3] = {Bstr(L"0.25"), Bstr(L"Germany"), Bstr(L"0049 100%s%d")};  // last first
    VARIANT args[3];
    for (int i = 0; i < 3; ++i) {
        V_VT(&args[i]) = VT_BSTR | VT_BYREF;
        V_BSTRREF(&args[i]) = texts[i].Address();
    }
    DISPPARAMS params{args, nullptr, 3, 0};
    ASSERT_EQ(disp->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(h.Row(0), "1|0049 100%s%d|Connecting|0.00|---|---|Germany|0.25");
    EXPECT_EQ(h.Shown(), "|0.00 $|print on");

    auto clock = [] {
        SYSTEMTIME t;
        GetLocalTime(&t);
        return booth::FormatSpan(t.wHour * 3600 + t.wMinute * 60 + t.wSecond);
    };
    const std::string before = clock();
    ASSERT_EQ(h.cabine->CallConnected(), S_OK);
    const std::string start = h.list.Cell(0, 3), after = clock();
    EXPECT_TRUE(start == before || start == after) << start;
    EXPECT_EQ(h.Row(0), "2|0049 100%s%d|00:00:00|0.00|" + start + "|---|Germany|0.25");
    // The window's one-second timer counts the answered call.
    EXPECT_TRUE(PumpUntil([&] { return h.list.Cell(0, 1) != "00:00:00"; }));
    EXPECT_EQ(h.list.Cell(0, 1).substr(0, 7), "00:00:0");

    h.Finish(65, 1.3);
    EXPECT_EQ(h.Row(0),
              "3|0049 100%s%d|00:01:05|1.30|" + start + "|" + Later(start, 65) + "|Germany|0.25");
    h.Dial(L"2");
    ASSERT_EQ(h.cabine->CallRejected(), S_OK);
    EXPECT_EQ(h.Row(1), "4|2|00:00:00|0.00|---|---||");
}

TEST_F(Hosted, TotalPrintAndRemoval) {
    EXPECT_EQ(h.cabine->CallFinishedEx(Bstr(L"1.5").Address()), S_OK);  // no call to end
    EXPECT_EQ(h.complaints, std::vector<std::string>{"|Failed with getting ststatus."});
    h.cabine->SetCabineName(Bstr(L"B1").Address());
    const std::string s1 = h.Call(L"0123", 125, 2.5, L"1.20");
    h.Dial(L"rejected");
    h.cabine->CallRejected();
    const std::wstring s3 = win32::WideFromAnsi(h.Call(L"\u20AC 100%", 0, 0.5, L"r3"));
    h.Dial(L"open");
    h.cabine->CallConnected();
    h.Release(h.print);  // nothing selected: nothing to print
    // The euro sign, byte 0x80 in code page 1252; shown at the next refresh.
    h.cabine->SetCurrency(Bstr(L"\u20AC").Address());
    EXPECT_EQ(h.total.Text(), "0.00 $");
    h.Select({0, 1, 2, 3});
    EXPECT_EQ(h.total.Text(), "3.00 \x80");
    h.Release(h.print);
    EXPECT_EQ(h.texts, std::vector<std::wstring>{
                           L"B1;\u20AC 100%;" + s3 + L";" + s3 + L";0;0.50;r3|0123;" +
                           win32::WideFromAnsi(s1 + ";" + Later(s1, 125)) + L";125;2.50;1.20|"});
    // Neither keyboard activation, nor a disabled button, nor a release away from it prints.
    SetFocus(h.print);
    h.print.Send(WM_KEYDOWN, VK_SPACE);
    h.print.Send(WM_KEYUP, VK_SPACE);
    h.print.Enable(false);
    h.Release(h.print);
    h.print.Enable(true);
    h.Release(h.print, 500);
    EXPECT_EQ(h.texts.size(), 1u);

    // Removal takes the selected calls that have ended; the connected one stays.
    h.Select({0, 1, 3});
    h.Release(h.total);
    EXPECT_EQ(h.list.Cell(0, 0) + "|" + h.list.Cell(1, 0) + "|" + h.total.Text(),
              "\x80 100%|open|0.00 \x80");
    h.Finish(5, 0.5);
    h.Select({0, 1});
    h.Release(h.total);
    EXPECT_EQ(h.list.Count(), 0);
    EXPECT_EQ(h.Shown(), "B1|No calls|print off");
}

TEST(Lifetime, ReleasedBoothsLetTheLibraryGoAndACopyFindsItsOwnPictures) {
    {
        Host host;
        host.Dial(L"1");
        host.cabine->CallConnected();
        EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE);
    }
    EXPECT_EQ(CallExport("DllCanUnloadNow"), S_OK);
    {
        Host host;  // at exit the page window may go before its booths are released
        DestroyWindow(host.frame);
        PumpUntilIdle();
    }
    EXPECT_EQ(CallExport("DllCanUnloadNow"), S_OK);

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
        Host host;
        EXPECT_EQ(ImageList_GetImageCount(ListView_GetImageList(host.list, LVSIL_SMALL)), 6);
        EXPECT_TRUE(host.complaints.empty());  // no "Problems with bitmap."
    }
    CoRevokeClassObject(cookie);
    factory = nullptr;
    EXPECT_EQ(CallExport("DllCanUnloadNow"), S_OK);  // the original was never asked
    FreeLibrary(renamed);
    DeleteFileW(copy.c_str());
}

}  // namespace
}  // namespace tlx::test
