// tlx-uidriver.exe against a window of this process with the controls the console uses. The
// driver runs as its own process, as in the end-to-end scripts; this thread keeps pumping
// messages meanwhile so the window answers.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring g_driver;  // Windows path of tlx-uidriver.exe

enum : int {
    kEdit = 101,
    kPress,
    kDisabled,
    kCheck,
    kCombo,
    kList,
    kTabs,
    kStatus,
    kCellA,
    kCellB
};

struct Seen {
    int clicks = 0;
    int disabledClicks = 0;
    int comboChanges = 0;
    int tabChanges = 0;
    int listChanges = 0;
    POINT cellClick{-1, -1};
    HWND cellClicked = nullptr;
};
Seen g_seen;

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::string Utf8(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

std::string HwndText(HWND h) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    return buf;
}

LRESULT CALLBACK CellProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_LBUTTONUP) {
        g_seen.cellClick = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        g_seen.cellClicked = hwnd;
        return 0;
    }
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, red);
        DeleteObject(red);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) {
        if (LOWORD(wp) == kPress && HIWORD(wp) == BN_CLICKED) ++g_seen.clicks;
        if (LOWORD(wp) == kDisabled && HIWORD(wp) == BN_CLICKED) ++g_seen.disabledClicks;
        if (LOWORD(wp) == kCombo && HIWORD(wp) == CBN_SELCHANGE) ++g_seen.comboChanges;
        return 0;
    }
    if (msg == WM_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(lp);
        if (hdr->idFrom == kTabs && hdr->code == TCN_SELCHANGE) ++g_seen.tabChanges;
        if (hdr->idFrom == kList && hdr->code == LVN_ITEMCHANGED) ++g_seen.listChanges;
        return 0;
    }
    if (msg == WM_TIMER) {
        KillTimer(hwnd, wp);
        if (wp == 1) SetDlgItemTextW(hwnd, kStatus, L"Logged in");
        if (wp == 2) DestroyWindow(GetDlgItem(hwnd, kCellB));
        return 0;
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
        g_seen = Seen{};
        HINSTANCE inst = GetModuleHandleW(nullptr);
        WNDCLASSW wc{};
        wc.lpfnWndProc = MainProc;
        wc.hInstance = inst;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = L"TellarixDriverTest";
        RegisterClassW(&wc);
        wc.lpfnWndProc = CellProc;
        wc.lpszClassName = L"TellarixTestCell";
        RegisterClassW(&wc);

        main_ = CreateWindowExW(0, L"TellarixDriverTest", L"Driver test", WS_OVERLAPPEDWINDOW, 20,
                                20, 760, 560, nullptr, nullptr, inst, nullptr);
        ASSERT_NE(main_, nullptr);
        auto child = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w,
                         int h, int id) {
            return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, main_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst,
                                   nullptr);
        };
        child(L"EDIT", L"start", WS_BORDER, 10, 10, 200, 24, kEdit);
        child(L"BUTTON", L"Press", BS_PUSHBUTTON, 220, 10, 80, 24, kPress);
        EnableWindow(child(L"BUTTON", L"Disabled", BS_PUSHBUTTON, 310, 10, 80, 24, kDisabled),
                     FALSE);
        child(L"BUTTON", L"Save password", BS_AUTOCHECKBOX, 400, 10, 150, 24, kCheck);
        HWND combo = child(L"COMBOBOX", L"", CBS_DROPDOWNLIST, 10, 44, 200, 120, kCombo);
        for (const wchar_t* item : {L"Alpha", L"Beta", L"Gamma \u20AC"})
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        SendMessageW(combo, CB_SETCURSEL, 1, 0);
        child(L"STATIC", L"Connecting...", 0, 220, 44, 200, 20, kStatus);

        HWND list =
            child(WC_LISTVIEWW, L"", LVS_REPORT | LVS_SHOWSELALWAYS, 10, 80, 500, 150, kList);
        images_ = ImageList_Create(16, 16, ILC_COLOR24, 3, 0);
        for (int i = 0; i < 3; ++i)
            ImageList_AddIcon(images_,
                              LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION)));
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));
        const wchar_t* headers[] = {L"Destination", L"Duration", L"Cost"};
        for (int c = 0; c < 3; ++c) {
            LVCOLUMNW col{};
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.cx = 120;
            col.pszText = const_cast<LPWSTR>(headers[c]);
            SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&col));
        }
        const wchar_t* rows[][3] = {{L"Z\u00FCrich", L"00:01:15", L"1.50"},
                                    {L"Lagos", L"00:00:00", L""},
                                    {L"Quito", L"00:10:00", L"12.00"}};
        const int images[] = {0, 2, 1};
        for (int r = 0; r < 3; ++r) {
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.iItem = r;
            item.iImage = images[r];
            item.pszText = const_cast<LPWSTR>(rows[r][0]);
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            for (int c = 1; c < 3; ++c) {
                item.mask = LVIF_TEXT;
                item.iSubItem = c;
                item.pszText = const_cast<LPWSTR>(rows[r][c]);
                SendMessageW(list, LVM_SETITEMTEXTW, r, reinterpret_cast<LPARAM>(&item));
            }
        }

        HWND tabs = child(WC_TABCONTROLW, L"", 0, 10, 240, 500, 60, kTabs);
        const wchar_t* tabTexts[] = {L"Booths #1", L"Booths #2", L"Settings"};
        for (int t = 0; t < 3; ++t) {
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<LPWSTR>(tabTexts[t]);
            SendMessageW(tabs, TCM_INSERTITEMW, t, reinterpret_cast<LPARAM>(&item));
        }
        child(L"TellarixTestCell", L"cell A", 0, 10, 310, 270, 100, kCellA);
        child(L"TellarixTestCell", L"cell B", 0, 290, 310, 270, 100, kCellB);
        ShowWindow(main_, SW_SHOW);
        UpdateWindow(main_);
        Pump();
    }
    void TearDown() override {
        if (IsWindow(main_)) DestroyWindow(main_);
        ImageList_Destroy(images_);
        Pump();
    }

    HWND Item(int id) const { return GetDlgItem(main_, id); }

    // Runs the driver with a command line, pumping this thread's messages until it ends.
    Result Drive(const std::wstring& args) {
        Result r;
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE outRead, outWrite, errRead, errWrite;
        CreatePipe(&outRead, &outWrite, &sa, 0);
        CreatePipe(&errRead, &errWrite, &sa, 0);
        SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = outWrite;
        si.hStdError = errWrite;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::wstring line = L"\"" + g_driver + L"\" " + args;
        PROCESS_INFORMATION pi{};
        BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &si, &pi);
        CloseHandle(outWrite);
        CloseHandle(errWrite);
        auto drain = [](HANDLE h, std::string* into) {
            char buf[4096];
            DWORD n;
            while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) into->append(buf, n);
        };
        std::thread outReader(drain, outRead, &r.out), errReader(drain, errRead, &r.err);
        if (started) {
            const ULONGLONG deadline = GetTickCount64() + 60000;
            while (MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 100, QS_ALLINPUT) !=
                       WAIT_OBJECT_0 &&
                   GetTickCount64() < deadline)
                Pump();
            if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0)
                TerminateProcess(pi.hProcess, 98);
            GetExitCodeProcess(pi.hProcess, &r.code);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
        outReader.join();
        errReader.join();
        CloseHandle(outRead);
        CloseHandle(errRead);
        Pump();  // what the driver posted
        EXPECT_TRUE(started) << "cannot start " << Utf8(g_driver);
        return r;
    }
    std::wstring On(int id) const { return L"--title \"Driver test\" --id " + std::to_wstring(id); }

    HWND main_ = nullptr;
    HIMAGELIST images_ = nullptr;
};

TEST_F(UiDriverTest, FindsWindowsAndFailsWithinItsTimeLimit) {
    Result r = Drive(L"wait-window --title \"Driver test\" --timeout 5");
    EXPECT_EQ(r.code, 0u) << r.err;
    EXPECT_EQ(r.out, HwndText(main_) + "\n");

    const ULONGLONG start = GetTickCount64();
    r = Drive(L"wait-window --title \"No such window\" --timeout 0.5");
    EXPECT_EQ(r.code, 1u);
    EXPECT_NE(r.err.find("no such window"), std::string::npos) << r.err;
    EXPECT_LT(GetTickCount64() - start, 20000u);

    // Hidden windows count only when asked for.
    ShowWindow(main_, SW_HIDE);
    EXPECT_EQ(Drive(L"wait-window --title \"Driver test\" --timeout 0.3").code, 1u);
    EXPECT_EQ(Drive(L"wait-window --title \"Driver test\" --any --timeout 0.3").code, 0u);

    // Children of a window, by class, with their places relative to it.
    ShowWindow(main_, SW_SHOW);
    r = Drive(L"find --title \"Driver test\" --child-class TellarixTestCell --visible");
    EXPECT_EQ(r.code, 0u) << r.err;
    RECT client{};
    GetClientRect(main_, &client);
    POINT origin{0, 0};
    ClientToScreen(main_, &origin);
    RECT cell{};
    GetWindowRect(Item(kCellB), &cell);
    const std::string expectB = HwndText(Item(kCellB)) + "\t" + std::to_string(kCellB) +
                                "\tTellarixTestCell\t" + std::to_string(cell.left - origin.x) +
                                "," + std::to_string(cell.top - origin.y) + "," +
                                std::to_string(cell.right - origin.x) + "," +
                                std::to_string(cell.bottom - origin.y) + "\tcell B\n";
    EXPECT_NE(r.out.find(expectB), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tcell A\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("EDIT"), std::string::npos);

    // Nothing found is a failure, after the wait.
    r = Drive(L"find --title \"Driver test\" --child-text \"no such child\" --timeout 0.3");
    EXPECT_EQ(r.code, 1u);
    EXPECT_EQ(r.out, "");
}

TEST_F(UiDriverTest, ReadsAndWritesTextsIncludingNonAscii) {
    Result r = Drive(L"text " + On(kEdit));
    EXPECT_EQ(r.out, "start\n");

    // Texts beyond ASCII come through a UTF-8 file and go back out as UTF-8.
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring file = std::wstring(dir) + L"tlx-uidriver-value.txt";
    const std::string bytes = "Z\xC3\xBCrich \xE2\x82\xAC 1.50\n";
    FILE* f = _wfopen(file.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    r = Drive(L"set-text " + On(kEdit) + L" --value-file \"" + file + L"\" :: text " + On(kEdit));
    DeleteFileW(file.c_str());
    EXPECT_EQ(r.code, 0u) << r.err;
    wchar_t got[64];
    GetWindowTextW(Item(kEdit), got, 64);
    EXPECT_STREQ(got, L"Z\u00FCrich \u20AC 1.50");
    EXPECT_EQ(r.out, bytes);

    // A handle works as a plain first word; the value follows it.
    const std::string handle = HwndText(Item(kEdit));
    r = Drive(L"set-text " + std::wstring(handle.begin(), handle.end()) + L" operator1");
    EXPECT_EQ(r.code, 0u) << r.err;
    GetWindowTextW(Item(kEdit), got, 64);
    EXPECT_STREQ(got, L"operator1");
}

TEST_F(UiDriverTest, ClicksOnlyWhatTheOperatorCouldClick) {
    EXPECT_EQ(Drive(L"click " + On(kPress)).code, 0u);
    EXPECT_EQ(g_seen.clicks, 1);

    Result r = Drive(L"click " + On(kDisabled));
    EXPECT_EQ(r.code, 1u);
    EXPECT_NE(r.err.find("disabled"), std::string::npos) << r.err;
    EXPECT_EQ(g_seen.disabledClicks, 0);
    EXPECT_EQ(Drive(L"click --force " + On(kDisabled)).code, 0u);
    EXPECT_EQ(g_seen.disabledClicks, 1);

    r = Drive(L"check " + On(kCheck) + L" :: set-check " + On(kCheck) + L" 1 :: check " +
              On(kCheck));
    EXPECT_EQ(r.code, 0u) << r.err;
    EXPECT_EQ(r.out, "unchecked\nchecked\n");
    EXPECT_EQ(SendMessageW(Item(kCheck), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(UiDriverTest, ReadsAndChoosesComboItems) {
    Result r = Drive(L"combo " + On(kCombo) + L" :: combo-selected " + On(kCombo));
    EXPECT_EQ(r.code, 0u) << r.err;
    EXPECT_EQ(r.out, "Alpha\nBeta\nGamma \xE2\x82\xAC\n1\tBeta\n");

    EXPECT_EQ(Drive(L"combo-select " + On(kCombo) + L" --text Alpha").code, 0u);
    EXPECT_EQ(SendMessageW(Item(kCombo), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(g_seen.comboChanges, 1);
    r = Drive(L"combo-select " + On(kCombo) + L" 7");
    EXPECT_EQ(r.code, 1u);
    EXPECT_EQ(SendMessageW(Item(kCombo), CB_GETCURSEL, 0, 0), 0);
}

TEST_F(UiDriverTest, ReadsListRowsAcrossProcessesAndSelectsThem) {
    ListView_SetItemState(Item(kList), 2, LVIS_SELECTED, LVIS_SELECTED);
    Result r = Drive(L"list-columns " + On(kList) + L" :: list " + On(kList));
    EXPECT_EQ(r.code, 0u) << r.err;
    EXPECT_EQ(r.out,
              "Destination\nDuration\nCost\n"
              "0\t0\t0\tZ\xC3\xBCrich\t00:01:15\t1.50\n"
              "1\t0\t2\tLagos\t00:00:00\t\n"
              "2\t1\t1\tQuito\t00:10:00\t12.00\n");

    g_seen.listChanges = 0;
    EXPECT_EQ(Drive(L"list-select " + On(kList) + L" 0 --only").code, 0u);
    EXPECT_EQ(ListView_GetItemState(Item(kList), 0, LVIS_SELECTED), LVIS_SELECTED);
    EXPECT_EQ(ListView_GetItemState(Item(kList), 2, LVIS_SELECTED), 0u);
    EXPECT_GT(g_seen.listChanges, 0);
    EXPECT_EQ(Drive(L"list-select " + On(kList) + L" 1").code, 0u);
    EXPECT_EQ(Drive(L"list-select " + On(kList) + L" 0 --deselect").code, 0u);
    EXPECT_EQ(ListView_GetSelectedCount(Item(kList)), 1u);
    EXPECT_EQ(ListView_GetItemState(Item(kList), 1, LVIS_SELECTED), LVIS_SELECTED);
    EXPECT_EQ(Drive(L"list-select " + On(kList) + L" 3").code, 1u);
}

TEST_F(UiDriverTest, SwitchesTabsSoTheParentHears) {
    Result r = Drive(L"tabs " + On(kTabs) + L" :: tab-current " + On(kTabs));
    EXPECT_EQ(r.code, 0u) << r.err;
    EXPECT_EQ(r.out, "Booths #1\nBooths #2\nSettings\n0\n");

    for (int tab : {2, 1}) {
        r = Drive(L"tab-select " + On(kTabs) + L" " + std::to_wstring(tab));
        EXPECT_EQ(r.code, 0u) << r.err;
        EXPECT_EQ(SendMessageW(Item(kTabs), TCM_GETCURSEL, 0, 0), tab);
    }
    EXPECT_EQ(g_seen.tabChanges, 2);
    EXPECT_EQ(Drive(L"tab-select " + On(kTabs) + L" 3").code, 1u);

    // Tabs rebuilt from nothing (as after a second login): no selection, no focus yet.
    SendMessageW(Item(kTabs), TCM_DELETEALLITEMS, 0, 0);
    for (const wchar_t* text : {L"Booths #1", L"Web Page"}) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<LPWSTR>(text);
        SendMessageW(Item(kTabs), TCM_INSERTITEMW, 9, reinterpret_cast<LPARAM>(&item));
    }
    g_seen.tabChanges = 0;
    r = Drive(L"tab-select " + On(kTabs) + L" 1");
    EXPECT_EQ(r.code, 0u) << r.err;
    EXPECT_EQ(SendMessageW(Item(kTabs), TCM_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(g_seen.tabChanges, 1);
    // Choosing the current tab changes nothing, unless the parent is to hear it anyway.
    EXPECT_EQ(Drive(L"tab-select " + On(kTabs) + L" 1").code, 0u);
    EXPECT_EQ(g_seen.tabChanges, 1);
    EXPECT_EQ(Drive(L"tab-select " + On(kTabs) + L" 1 --notify").code, 0u);
    EXPECT_EQ(g_seen.tabChanges, 2);
}

TEST_F(UiDriverTest, PostsMouseClicksToTheWindowUnderThePoint) {
    // Client coordinates of the main window; the cell under them gets its own coordinates.
    RECT cell{};
    GetWindowRect(Item(kCellB), &cell);
    MapWindowPoints(HWND_DESKTOP, main_, reinterpret_cast<POINT*>(&cell), 2);
    Result r = Drive(L"mouse --title \"Driver test\" --x " + std::to_wstring(cell.left + 30) +
                     L" --y " + std::to_wstring(cell.top + 40));
    EXPECT_EQ(r.code, 0u) << r.err;
    EXPECT_EQ(g_seen.cellClicked, Item(kCellB));
    EXPECT_EQ(g_seen.cellClick.x, 30);
    EXPECT_EQ(g_seen.cellClick.y, 40);
    EXPECT_EQ(r.out, HwndText(Item(kCellB)) + "\t30,40\n");
}

TEST_F(UiDriverTest, WaitsForTextsAndForWindowsToGo) {
    SetTimer(main_, 1, 300, nullptr);
    Result r = Drive(L"wait-text " + On(kStatus) + L" --equals \"Logged in\" --timeout 10");
    EXPECT_EQ(r.code, 0u) << r.err;
    r = Drive(L"wait-text " + On(kStatus) + L" --contains Failed --timeout 0.5");
    EXPECT_EQ(r.code, 1u);
    EXPECT_NE(r.err.find("Logged in"), std::string::npos) << r.err;

    SetTimer(main_, 2, 300, nullptr);
    EXPECT_EQ(Drive(L"wait-gone " + On(kCellB) + L" --timeout 10").code, 0u);
    EXPECT_EQ(GetDlgItem(main_, kCellB), nullptr);
    EXPECT_EQ(Drive(L"wait-gone " + On(kCellA) + L" --timeout 0.3").code, 1u);
    EXPECT_EQ(Drive(L"wait-gone --exe no-such-program.exe --timeout 1").code, 0u);
}

TEST_F(UiDriverTest, SavesScreenshotsThatShowTheWindow) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring file = std::wstring(dir) + L"tlx-uidriver-shot.bmp";
    Result r = Drive(L"screenshot " + On(kCellA) + L" --out \"" + file + L"\"");
    ASSERT_EQ(r.code, 0u) << r.err;
    FILE* f = _wfopen(file.c_str(), L"rb");
    ASSERT_NE(f, nullptr);
    BITMAPFILEHEADER head{};
    BITMAPINFOHEADER info{};
    fread(&head, sizeof head, 1, f);
    fread(&info, sizeof info, 1, f);
    std::vector<unsigned char> pixels(info.biSizeImage);
    size_t got = fread(pixels.data(), 1, pixels.size(), f);
    fclose(f);
    DeleteFileW(file.c_str());
    EXPECT_EQ(head.bfType, 0x4D42);
    EXPECT_EQ(info.biWidth, 270);
    EXPECT_EQ(info.biHeight, 100);
    EXPECT_EQ(info.biBitCount, 24);
    ASSERT_EQ(got, pixels.size());
    ASSERT_GE(got, 3u * 270 * 100);
    // The cell paints itself red: blue, green, red bytes in the middle.
    const size_t stride = (270 * 3 + 3) & ~3u;
    const unsigned char* mid = &pixels[50 * stride + 135 * 3];
    EXPECT_EQ(mid[0], 0);
    EXPECT_EQ(mid[1], 0);
    EXPECT_EQ(mid[2], 255);
}

TEST_F(UiDriverTest, StopsAtTheFirstFailingCommand) {
    Result r = Drive(L"text " + On(kEdit) + L" :: frobnicate :: text " + On(kEdit));
    EXPECT_EQ(r.code, 1u);
    EXPECT_EQ(r.out, "start\n");
    EXPECT_NE(r.err.find("frobnicate"), std::string::npos) << r.err;
    r = Drive(L"text --title \"Driver test\" --bogus 1");
    EXPECT_EQ(r.code, 1u);
    EXPECT_NE(r.err.find("--bogus"), std::string::npos) << r.err;
    EXPECT_EQ(Drive(L"text --id 5").code, 1u);  // no window named
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: uidriver_test <path of tlx-uidriver.exe>\n");
        return 2;
    }
    g_driver = argv[1];
    if (!g_driver.empty() && g_driver[0] == L'/') {  // a Unix path under Wine
        for (auto& ch : g_driver)
            if (ch == L'/') ch = L'\\';
        g_driver = L"Z:" + g_driver;
    }
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    return RUN_ALL_TESTS();
}
