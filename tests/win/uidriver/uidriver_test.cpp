// tlx-uidriver.exe, as its own process, against a window of this process (this thread pumps
// meanwhile), for what the console's end-to-end runs do not reach yet: an owner-data list read
// across processes, a row selected and double-clicked, a key, a text from a file, and a click
// the operator could not have made.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "win32/handles.h"

namespace {

using tlx::win32::UniqueHandle;
std::wstring g_driver;  // Windows path of tlx-uidriver.exe
enum : int { kList = 101, kDisabled, kEdit };
const wchar_t* const kCells[3][2] = {
    {L"Z\u00FCrich", L"1.50 \u20AC"}, {L"Lagos", L""}, {L"Lima", L"3"}};
int g_doubleClicked = -1, g_key = 0, g_disabledClicks = 0;

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && LOWORD(wp) == kDisabled) ++g_disabledClicks;
    if (msg != WM_NOTIFY) return DefWindowProcW(hwnd, msg, wp, lp);
    const auto* header = reinterpret_cast<NMHDR*>(lp);
    if (header->code == LVN_GETDISPINFOW) {  // the list holds no texts: they are asked for
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(lp)->item;
        if (item.mask & LVIF_TEXT)
            lstrcpynW(item.pszText, kCells[item.iItem][item.iSubItem], item.cchTextMax);
        if (item.mask & LVIF_IMAGE) item.iImage = item.iItem + 1;
    }
    if (header->code == NM_DBLCLK) g_doubleClicked = reinterpret_cast<NMITEMACTIVATE*>(lp)->iItem;
    if (header->code == LVN_KEYDOWN) g_key = reinterpret_cast<NMLVKEYDOWN*>(lp)->wVKey;
    return 0;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

struct Result {
    DWORD code = 99;
    std::string out;
};

// Runs the driver, pumping this thread's messages until it has ended, then what it posted.
Result Drive(const std::wstring& args) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE pipe[2] = {};
    CreatePipe(&pipe[0], &pipe[1], &sa, 1 << 16);  // the answers are short: the pipe holds them
    UniqueHandle read(pipe[0]), write(pipe[1]);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = write.Get();
    std::wstring line = L"\"" + g_driver + L"\" " + args;
    PROCESS_INFORMATION pi{};
    EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &si, &pi));
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    for (int i = 0; i < 600 && MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 100,
                                                         QS_ALLINPUT) != WAIT_OBJECT_0;
         ++i)
        Pump();
    TerminateProcess(pi.hProcess, 98);  // does nothing once it has ended
    WaitForSingleObject(pi.hProcess, INFINITE);
    Result r;
    GetExitCodeProcess(pi.hProcess, &r.code);
    write.Reset();
    char buf[4096];
    for (DWORD n; ReadFile(read.Get(), buf, sizeof buf, &n, nullptr) && n > 0;)
        r.out.append(buf, n);
    Pump();
    return r;
}

class UiDriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSW wc{0, MainProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"TlxDrvTest"};
        RegisterClassW(&wc);
        main_.Reset(CreateWindowExW(0, L"TlxDrvTest", L"Driver test",
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 500, 400, nullptr,
                                    nullptr, nullptr, nullptr));
        auto child = [&](const wchar_t* cls, DWORD style, int id, int y) {
            return CreateWindowExW(
                0, cls, L"", WS_CHILD | WS_VISIBLE | style, 10, y, 400, y ? 30 : 150, main_.Get(),
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        };
        list_ = child(WC_LISTVIEWW, LVS_REPORT | LVS_OWNERDATA, kList, 0);
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH;
        column.cx = 100;
        for (int i : {0, 1})
            SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
        SendMessageW(list_, LVM_SETITEMCOUNT, 3, 0);
        EnableWindow(child(L"BUTTON", BS_PUSHBUTTON, kDisabled, 200), FALSE);
        child(L"EDIT", WS_BORDER, kEdit, 250);
        Pump();
    }
    void TearDown() override { main_.Reset(), Pump(); }
    static std::wstring On(int id) {
        return L"--title \"Driver test\" --id " + std::to_wstring(id);
    }

    tlx::win32::UniqueWindow main_;
    HWND list_ = nullptr;
};

TEST_F(UiDriverTest, WorksAnOwnerDataListAcrossProcesses) {
    // Row, selected, picture, then the columns, in UTF-8.
    Result r = Drive(L"list-select " + On(kList) + L" 2 :: list " + On(kList));
    EXPECT_EQ(r.code, 0u) << r.out;
    EXPECT_EQ(r.out,
              "0\t0\t1\tZ\xC3\xBCrich\t1.50 \xE2\x82\xAC\n1\t0\t2\tLagos\t\n2\t1\t3\tLima\t3\n");
    EXPECT_EQ(ListView_GetSelectedCount(list_), 1u);
    EXPECT_EQ(Drive(L"dblclick " + On(kList) + L" --row 1 :: key " + On(kList) + L" 46").code, 0u);
    EXPECT_EQ(g_doubleClicked, 1);
    EXPECT_EQ(g_key, VK_DELETE);
}

TEST_F(UiDriverTest, ClicksOnlyWhatTheOperatorCouldAndTakesTextsFromFiles) {
    Result r = Drive(L"click " + On(kDisabled));
    EXPECT_EQ(r.code, 1u);
    EXPECT_NE(r.out.find("disabled"), std::string::npos) << r.out;
    EXPECT_EQ(g_disabledClicks, 0);

    wchar_t folder[MAX_PATH], file[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"tlx", 0, file);
    // The line break is not part of the text.
    std::ofstream(file, std::ios::binary) << "Z\xC3\xBCrich \xE2\x82\xAC\r\n";
    EXPECT_EQ(Drive(L"set-text " + On(kEdit) + L" --value-file \"" + file + L"\"").code, 0u);
    wchar_t text[64] = {};
    GetDlgItemTextW(main_.Get(), kEdit, text, 64);
    EXPECT_STREQ(text, L"Z\u00FCrich \u20AC");
    DeleteFileW(file);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) return std::fprintf(stderr, "usage: uidriver_test <tlx-uidriver.exe>\n"), 2;
    g_driver = argv[1];
    if (g_driver[0] == L'/') g_driver = L"Z:" + g_driver;  // a Unix path under Wine
    std::replace(g_driver.begin(), g_driver.end(), L'/', L'\\');
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    return RUN_ALL_TESTS();
}
