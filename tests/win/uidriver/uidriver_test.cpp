// tlx-uidriver.exe, as its own process, against a window of this process with the console's kinds
// of controls (this thread pumps meanwhile), for the commands the end-to-end scripts use.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::wstring g_driver;  // Windows path of tlx-uidriver.exe
enum : int { kEdit = 101, kPress, kDisabled, kCheck, kCombo, kList, kTabs, kStatus, kCell };
int g_clicks = 0, g_disabledClicks = 0;

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

std::string HwndText(HWND h) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    return buf;
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && LOWORD(wp) == kPress) ++g_clicks;
    if (msg == WM_COMMAND && LOWORD(wp) == kDisabled) ++g_disabledClicks;
    if (msg == WM_TIMER) {
        KillTimer(hwnd, wp);
        if (wp == 1) SetDlgItemTextW(hwnd, kStatus, L"Logged in");
        if (wp == 2) DestroyWindow(GetDlgItem(hwnd, kCell));
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

struct Result {
    DWORD code = 99;
    std::string out, err;
};

class UiDriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_clicks = g_disabledClicks = 0;
        WNDCLASSW wc{0, MainProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"TlxDrvTest"};
        RegisterClassW(&wc);
        main_ = CreateWindowExW(0, L"TlxDrvTest", L"Driver test", WS_OVERLAPPEDWINDOW, 20, 20, 700,
                                500, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(main_, nullptr);
        int y = 0;
        auto child = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
            y += 40;
            return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 10, y, 400, 36,
                                   main_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   nullptr, nullptr);
        };
        child(L"EDIT", L"start", WS_BORDER, kEdit);
        child(L"BUTTON", L"Press", BS_PUSHBUTTON, kPress);
        EnableWindow(child(L"BUTTON", L"Disabled", BS_PUSHBUTTON, kDisabled), FALSE);
        child(L"BUTTON", L"Save password", BS_AUTOCHECKBOX, kCheck);
        HWND combo = child(L"COMBOBOX", L"", CBS_DROPDOWNLIST, kCombo);
        for (const wchar_t* item : {L"Alpha", L"Beta \u20AC"})
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        SendMessageW(combo, CB_SETCURSEL, 1, 0);
        child(L"STATIC", L"Connecting...", 0, kStatus);
        child(L"STATIC", L"cell B", 0, kCell);
        HWND list = child(WC_LISTVIEWW, L"", LVS_REPORT, kList);
        LVCOLUMNW col{};  // two columns
        SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&col));
        SendMessageW(list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&col));
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        for (const wchar_t* row : {L"Z\u00FCrich", L"Lagos"}) {
            item.pszText = const_cast<LPWSTR>(row);
            item.iImage = item.iItem + 1;
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            ++item.iItem;
        }
        item.iSubItem = 1;
        item.pszText = const_cast<LPWSTR>(L"1.50");
        SendMessageW(list, LVM_SETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
        ListView_SetItemState(list, 1, LVIS_SELECTED, LVIS_SELECTED);
        HWND tabs = child(WC_TABCONTROLW, L"", 0, kTabs);
        TCITEMW tab{};
        tab.mask = TCIF_TEXT;
        for (const wchar_t* text : {L"Booths #1", L"Web Page"}) {
            tab.pszText = const_cast<LPWSTR>(text);
            SendMessageW(tabs, TCM_INSERTITEMW, 9, reinterpret_cast<LPARAM>(&tab));
        }
        ShowWindow(main_, SW_SHOW);
        Pump();
    }
    void TearDown() override { DestroyWindow(main_), Pump(); }
    HWND Item(int id) const { return GetDlgItem(main_, id); }

    // Runs the driver with a command line, pumping this thread's messages until it ends. Its
    // answers are short: the pipes hold them until it has ended.
    Result Drive(const std::wstring& args) {
        Result r;
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE pipes[2][2];  // [out, err][read, write]
        for (auto& p : pipes) CreatePipe(&p[0], &p[1], &sa, 1 << 16);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = pipes[0][1];
        si.hStdError = pipes[1][1];
        std::wstring line = L"\"" + g_driver + L"\" " + args;
        PROCESS_INFORMATION pi{};
        EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                   nullptr, &si, &pi));
        for (int i = 0; i < 600 && MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 100,
                                                             QS_ALLINPUT) != WAIT_OBJECT_0;
             ++i)
            Pump();
        TerminateProcess(pi.hProcess, 98);  // no-op once it has ended
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, &r.code);
        std::string* into[2] = {&r.out, &r.err};
        for (int k = 0; k < 2; ++k) {
            CloseHandle(pipes[k][1]);
            char buf[4096];
            DWORD n;
            while (ReadFile(pipes[k][0], buf, sizeof buf, &n, nullptr) && n > 0)
                into[k]->append(buf, n);
            CloseHandle(pipes[k][0]);
        }
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        Pump();  // what the driver posted
        return r;
    }
    static std::wstring On(int id) {
        return L"--title \"Driver test\" --id " + std::to_wstring(id);
    }

    HWND main_ = nullptr;
};

TEST_F(UiDriverTest, FindsWindowsAndChildren) {
    Result r = Drive(
        L"wait-window --title \"Driver test\" --class TlxDrvTest --child-class "
        L"SysTabControl32 --timeout 5");
    EXPECT_EQ(r.code, 0u) << r.err;
    EXPECT_EQ(r.out, HwndText(Item(kTabs)) + "\n");  // the window inside the one named
    r = Drive(L"wait-window --title \"No such window\" --timeout 0.5");
    EXPECT_EQ(r.code, 1u);
    EXPECT_NE(r.err.find("no such window"), std::string::npos) << r.err;
    ShowWindow(main_, SW_HIDE);  // hidden windows count only when asked for
    EXPECT_EQ(Drive(L"wait-window --title \"Driver test\" --timeout 0.3").code, 1u);
    EXPECT_EQ(Drive(L"wait-window --title \"Driver test\" --any --timeout 0.3").code, 0u);
    ShowWindow(main_, SW_SHOW);

    // One line per match, the rectangle in the named window's client coordinates.
    r = Drive(L"find --title \"Driver test\" --child-text \"cell B\"");
    EXPECT_EQ(r.code, 0u) << r.err;
    EXPECT_EQ(r.out, HwndText(Item(kCell)) + "\t" + std::to_string(kCell) +
                         "\tStatic\t10,280,410,316\tcell B\n");  // where it was put
    r = Drive(L"find --title \"Driver test\" --child-text \"no such child\" --timeout 0.3");
    EXPECT_EQ(r.code, 1u);  // like grep: nothing found is a failure
    EXPECT_EQ(r.out, "");
}

TEST_F(UiDriverTest, ReadsAndWritesControls) {
    Result r = Drive(L"text " + On(kEdit) + L" :: set-text " + On(kEdit) +
                     L" --value \"Z\u00FCrich \u20AC 1.50\" :: text " + On(kEdit));
    EXPECT_EQ(r.code, 0u) << r.err;
    EXPECT_EQ(r.out, "start\nZ\xC3\xBCrich \xE2\x82\xAC 1.50\n");  // UTF-8 out

    r = Drive(L"set-check " + On(kCheck) + L" 1 :: combo-selected " + On(kCombo) + L" :: tabs " +
              On(kTabs) + L" :: list " + On(kList));
    EXPECT_EQ(r.code, 0u) << r.err;
    EXPECT_EQ(SendMessageW(Item(kCheck), BM_GETCHECK, 0, 0), BST_CHECKED);
    // The list is read across processes: row, selected, image, then the columns.
    EXPECT_EQ(r.out,
              "1\tBeta \xE2\x82\xAC\nBooths #1\nWeb Page\n"
              "0\t0\t1\tZ\xC3\xBCrich\t1.50\n1\t1\t2\tLagos\t\n");
}

TEST_F(UiDriverTest, ClicksOnlyWhatTheOperatorCouldAndStopsAtAFailure) {
    EXPECT_EQ(Drive(L"click " + On(kPress)).code, 0u);
    EXPECT_EQ(g_clicks, 1);
    Result r = Drive(L"click " + On(kDisabled));  // fails, saying why
    EXPECT_EQ(r.code, 1u);
    EXPECT_NE(r.err.find("disabled"), std::string::npos) << r.err;
    EXPECT_EQ(g_disabledClicks, 0);
    // A run stops at its first failing command.
    r = Drive(L"text " + On(kEdit) + L" :: frobnicate :: text " + On(kEdit));
    EXPECT_EQ(r.code, 1u);
    EXPECT_EQ(r.out, "start\n");
    EXPECT_NE(r.err.find("frobnicate"), std::string::npos) << r.err;
    r = Drive(L"text --title \"Driver test\" --bogus 1");
    EXPECT_EQ(r.code, 1u);
    EXPECT_NE(r.err.find("--bogus"), std::string::npos) << r.err;
}

TEST_F(UiDriverTest, WaitsForTextsAndForWindowsToGo) {
    SetTimer(main_, 1, 300, nullptr);
    Result r = Drive(L"wait-text " + On(kStatus) + L" --equals \"Logged in\" --timeout 10");
    EXPECT_EQ(r.code, 0u) << r.err;
    r = Drive(L"wait-text " + On(kStatus) + L" --contains Failed --timeout 0.5");
    EXPECT_EQ(r.code, 1u);
    EXPECT_NE(r.err.find("Logged in"), std::string::npos) << r.err;

    SetTimer(main_, 2, 300, nullptr);
    EXPECT_EQ(Drive(L"wait-gone " + On(kCell) + L" --timeout 10").code, 0u);
    EXPECT_EQ(Item(kCell), nullptr);
    EXPECT_EQ(Drive(L"wait-gone " + On(kEdit) + L" --timeout 0.3").code, 1u);
    EXPECT_EQ(Drive(L"wait-gone --exe no-such-program.exe --timeout 1").code, 0u);
    EXPECT_EQ(Drive(L"close --title \"Driver test\"").code, 0u);
    EXPECT_FALSE(IsWindow(main_));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) return std::fprintf(stderr, "usage: uidriver_test <tlx-uidriver.exe>\n"), 2;
    g_driver = argv[1];
    if (g_driver[0] == L'/') {  // a Unix path under Wine
        for (auto& ch : g_driver)
            if (ch == L'/') ch = L'\\';
        g_driver = L"Z:" + g_driver;
    }
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    return RUN_ALL_TESTS();
}
