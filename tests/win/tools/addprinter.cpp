// Test-machine set-up: a default printer on Wine's PostScript driver whose port is a Unix
// file, so a test can read what the console printed.
//   tlx-addprinter /unix/path/out.ps [printer name]
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kDriver[] = L"Wine PostScript Driver";

int Fail(const char* what) {
    std::fprintf(stderr, "tlx-addprinter: %s failed (error %lu)\n", what, GetLastError());
    return 1;
}

// The generic PPD travels inside winspool.drv; the driver wants it in its own folder.
bool WritePpd(const std::wstring& path) {
    HMODULE spool = LoadLibraryExW(L"winspool.drv", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!spool) return false;
    bool ok = false;
    if (HRSRC res = FindResourceW(spool, MAKEINTRESOURCEW(1), L"PPDFILE")) {
        HGLOBAL mem = LoadResource(spool, res);
        const void* data = mem ? LockResource(mem) : nullptr;
        DWORD size = SizeofResource(spool, res);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (data && file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ok = WriteFile(file, data, size, &written, nullptr) && written == size;
        }
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    FreeLibrary(spool);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tlx-addprinter /unix/path/out.ps [printer name]\n");
        return 2;
    }
    std::wstring port = argv[1];
    std::wstring name = argc > 2 ? argv[2] : L"Tellarix Test Printer";

    wchar_t dir[MAX_PATH];
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir),
                                    sizeof dir, &needed))
        return Fail("GetPrinterDriverDirectory");
    std::wstring ppd = std::wstring(dir) + L"\\tellarix-generic.ppd";
    if (!WritePpd(ppd)) return Fail("writing the PPD");

    DRIVER_INFO_3W driver{};
    driver.cVersion = 3;
    driver.pName = const_cast<wchar_t*>(kDriver);
    driver.pDriverPath = const_cast<wchar_t*>(L"wineps.drv");
    driver.pDataFile = ppd.data();
    driver.pConfigFile = const_cast<wchar_t*>(L"wineps.drv");
    if (!AddPrinterDriverW(nullptr, 3, reinterpret_cast<BYTE*>(&driver)) &&
        GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED)
        return Fail("AddPrinterDriver");

    // Wine's local spooler treats a port that is an absolute Unix path as a file.
    HKEY ports;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                        L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports", 0, nullptr,
                        0, KEY_SET_VALUE, nullptr, &ports, nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(ports, port.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(L""),
                       sizeof(wchar_t));
        RegCloseKey(ports);
    }

    PRINTER_INFO_2W info{};
    info.pPrinterName = name.data();
    info.pPortName = port.data();
    info.pDriverName = const_cast<wchar_t*>(kDriver);
    info.pPrintProcessor = const_cast<wchar_t*>(L"winprint");
    info.pDatatype = const_cast<wchar_t*>(L"RAW");
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE printer = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!printer) return Fail("AddPrinter");
    ClosePrinter(printer);
    if (!SetDefaultPrinterW(name.c_str())) return Fail("SetDefaultPrinter");
    std::printf("printer ready\n");
    return 0;
}
