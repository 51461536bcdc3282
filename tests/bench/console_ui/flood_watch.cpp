// Watches one booth of a running console until its list shows ROWS rows and the last row has
// picture IMAGE, reading the list from this process every few milliseconds, and prints the
// wall-clock moment it saw that as Unix seconds. The flood benchmark uses it for the booth of
// the flood's last event: a UI driver run per look costs about a second under Wine, far
// coarser than what is measured.
//   tlx-floodwatch.exe NAME ROWS IMAGE TIMEOUT_SECONDS
// windows.h first: the other system headers need its types.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Search {
    const char* cls;
    const char* text;  // null: any
    HWND found;
};

BOOL CALLBACK Match(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    char cls[64] = {}, text[256] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, s->cls) != 0) return TRUE;
    if (s->text != nullptr) {
        GetWindowTextA(hwnd, text, sizeof text);
        if (std::strcmp(text, s->text) != 0) return TRUE;
    }
    s->found = hwnd;
    return FALSE;
}

HWND FindIn(HWND parent, const char* cls, const char* text) {
    Search s{cls, text, nullptr};
    EnumChildWindows(parent, Match, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// The console's main window: the top-level "Tellarix" dialog holding the tab control.
BOOL CALLBACK MainWindow(HWND hwnd, LPARAM param) {
    char text[64] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    if (std::strcmp(text, "Tellarix") != 0 || !FindIn(hwnd, WC_TABCONTROLA, nullptr)) return TRUE;
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
}

double UnixNow() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    const ULONGLONG t = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<double>(t - 116444736000000000ULL) / 1e7;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: tlx-floodwatch NAME ROWS IMAGE TIMEOUT_SECONDS\n");
        return 2;
    }
    const int rows = std::atoi(argv[2]), image = std::atoi(argv[3]);
    const ULONGLONG end = GetTickCount64() + 1000ULL * std::strtoul(argv[4], nullptr, 10);
    HWND main = nullptr;
    EnumWindows(MainWindow, reinterpret_cast<LPARAM>(&main));
    HWND booth = main ? FindIn(main, "TellarixControlHost", argv[1]) : nullptr;
    HWND list = booth ? FindIn(booth, WC_LISTVIEWA, nullptr) : nullptr;
    if (list == nullptr) {
        std::fprintf(stderr, "no booth [%s]\n", argv[1]);
        return 1;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    void* remote = process ? VirtualAllocEx(process, nullptr, sizeof(LVITEMA),
                                            MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                           : nullptr;
    if (remote == nullptr) {
        std::fprintf(stderr, "cannot reach the console's memory\n");
        return 1;
    }
    int looks = 0, status = 1;
    while (GetTickCount64() < end) {
        ++looks;
        const auto count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        if (count == rows) {
            LVITEMA item{};
            item.mask = LVIF_IMAGE;
            item.iItem = count - 1;
            SIZE_T moved = 0;
            if (WriteProcessMemory(process, remote, &item, sizeof item, &moved) &&
                SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote)) &&
                ReadProcessMemory(process, remote, &item, sizeof item, &moved) &&
                item.iImage == image) {
                std::printf("%.3f %d\n", UnixNow(), looks);
                status = 0;
                break;
            }
        }
        Sleep(5);
    }
    if (status != 0) std::fprintf(stderr, "booth [%s] never showed its last call\n", argv[1]);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return status;
}
