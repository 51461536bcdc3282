// The container hosting the system's web browser control, as the console's web page does: the
// browser, once in place, asks a loopback server for the page it was told to open.
#include <winsock2.h>
// after winsock2.h
#include <windows.h>
// after windows.h
#include <exdisp.h>
#include <gtest/gtest.h>

#include <string>

#include "axhost/control_site.h"

using tellarix::ControlSite;

namespace {

// {8856F961-340A-11D0-A96B-00C04FD705A2}
const CLSID kWebBrowser = {
    0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

struct Socket {
    SOCKET s = INVALID_SOCKET;
    ~Socket() {
        if (s != INVALID_SOCKET) closesocket(s);
    }
};

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Waits (pumping messages, as the console's loop would) until the socket is readable.
bool ReadableWithin(SOCKET s, DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        Pump();
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval tv{0, 50000};
        if (select(0, &set, nullptr, nullptr, &tv) == 1) return true;
    }
    return false;
}

TEST(WebBrowserHostTest, NavigatesToTheAddressItIsGiven) {
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    {
        Socket server;
        server.s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(bind(server.s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ASSERT_EQ(listen(server.s, 1), 0);
        int len = sizeof addr;
        getsockname(server.s, reinterpret_cast<sockaddr*>(&addr), &len);
        const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(ntohs(addr.sin_port)) +
                                 L"/Login.aspx?login=op&password=a&b";

        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TellarixWebHostTest";
        RegisterClassW(&wc);
        HWND parent = CreateWindowExW(0, wc.lpszClassName, L"web page",
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 640,
                                      480, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(parent, nullptr);
        tellarix::SiteOptions options;
        options.visible = true;
        HRESULT hr = E_FAIL;
        auto site = ControlSite::Create(parent, kWebBrowser, RECT{5, 5, 405, 305}, 1022, nullptr,
                                        options, &hr);
        ASSERT_NE(site, nullptr) << std::hex << hr;

        auto browser = site->QueryControl<IWebBrowser2>(IID_IWebBrowser2);
        ASSERT_TRUE(browser);
        EXPECT_EQ(browser->put_Width(400), S_OK);
        EXPECT_EQ(browser->put_Height(300), S_OK);
        BSTR target = SysAllocString(url.c_str());
        EXPECT_EQ(browser->Navigate(target, nullptr, nullptr, nullptr, nullptr), S_OK);
        SysFreeString(target);

        ASSERT_TRUE(ReadableWithin(server.s, 20000)) << "the browser never connected";
        Socket client;
        client.s = accept(server.s, nullptr, nullptr);
        ASSERT_NE(client.s, INVALID_SOCKET);
        std::string request;
        char buf[2048];
        while (request.find("\r\n") == std::string::npos && ReadableWithin(client.s, 10000)) {
            int n = recv(client.s, buf, sizeof buf, 0);
            if (n <= 0) break;
            request.append(buf, static_cast<size_t>(n));
        }
        EXPECT_EQ(request.rfind("GET /Login.aspx?login=op&password=a&b HTTP/1.", 0), 0u) << request;
        const char reply[] =
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n"
            "Connection: close\r\n\r\nok";
        send(client.s, reply, sizeof reply - 1, 0);
        Pump();

        browser.Reset();
        site.reset();  // must come down cleanly with a page loading or loaded
        EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
        DestroyWindow(parent);
        Pump();
    }
    OleUninitialize();
    WSACleanup();
}

}  // namespace
