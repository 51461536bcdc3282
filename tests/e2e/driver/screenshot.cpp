#include "screenshot.h"

#include <cstdio>
#include <vector>

#include "options.h"

namespace uidriver {

namespace {

// Device contexts and bitmaps released on every path.
struct ScreenDc {
    HDC dc = GetDC(nullptr);
    ~ScreenDc() {
        if (dc) ReleaseDC(nullptr, dc);
    }
};
struct MemoryDc {
    HDC dc;
    explicit MemoryDc(HDC like) : dc(CreateCompatibleDC(like)) {}
    ~MemoryDc() {
        if (dc) DeleteDC(dc);
    }
};
struct Bitmap {
    HBITMAP bmp;
    Bitmap(HDC like, int w, int h) : bmp(CreateCompatibleBitmap(like, w, h)) {}
    ~Bitmap() {
        if (bmp) DeleteObject(bmp);
    }
};
struct File {
    FILE* f;
    explicit File(const std::wstring& name) : f(_wfopen(name.c_str(), L"wb")) {}
    ~File() {
        if (f) fclose(f);
    }
};

}  // namespace

void SaveScreenshot(HWND window, bool printWindow, const std::wstring& file) {
    RECT r{0, 0, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    if (window) GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) throw Failure("nothing to capture: the window has no area");

    ScreenDc screen;
    MemoryDc mem(screen.dc);
    Bitmap bitmap(screen.dc, w, h);
    if (!screen.dc || !mem.dc || !bitmap.bmp) throw Failure("cannot prepare the capture");
    HGDIOBJ old = SelectObject(mem.dc, bitmap.bmp);
    BOOL ok = printWindow && window
                  ? PrintWindow(window, mem.dc, 0)
                  : BitBlt(mem.dc, 0, 0, w, h, screen.dc, r.left, r.top, SRCCOPY | CAPTUREBLT);
    SelectObject(mem.dc, old);
    if (!ok) throw Failure("capture failed");

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = w;
    info.biHeight = h;  // bottom-up, as .bmp files store rows
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    std::vector<unsigned char> pixels(stride * static_cast<size_t>(h));
    if (GetDIBits(mem.dc, bitmap.bmp, 0, static_cast<UINT>(h), pixels.data(),
                  reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) != h)
        throw Failure("cannot read the captured pixels");

    BITMAPFILEHEADER head{};
    head.bfType = 0x4D42;  // "BM"
    head.bfOffBits = sizeof head + sizeof info;
    head.bfSize = static_cast<DWORD>(head.bfOffBits + pixels.size());
    info.biSizeImage = static_cast<DWORD>(pixels.size());
    File out(file);
    if (!out.f || fwrite(&head, sizeof head, 1, out.f) != 1 ||
        fwrite(&info, sizeof info, 1, out.f) != 1 ||
        fwrite(pixels.data(), 1, pixels.size(), out.f) != pixels.size())
        throw Failure("cannot write " + Utf8(file));
}

}  // namespace uidriver
