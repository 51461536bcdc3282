// Prints one known line on the default printer; the harness check reads it back.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    const wchar_t* text = argc > 1 ? argv[1] : L"Tellarix harness print check";
    wchar_t name[256];
    DWORD size = 256;
    if (!GetDefaultPrinterW(name, &size)) {
        std::fprintf(stderr, "no default printer\n");
        return 1;
    }
    HDC dc = CreateDCW(L"WINSPOOL", name, nullptr, nullptr);
    if (!dc) {
        std::fprintf(stderr, "CreateDC failed\n");
        return 1;
    }
    DOCINFOW doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = L"harness check";
    int rc = 1;
    if (StartDocW(dc, &doc) > 0 && StartPage(dc) > 0) {
        TextOutW(dc, 300, 300, text, lstrlenW(text));
        if (EndPage(dc) > 0 && EndDoc(dc) > 0) rc = 0;
    }
    DeleteDC(dc);
    if (rc) std::fprintf(stderr, "printing failed\n");
    return rc;
}
