// The bills page over the store in its working folder, timed with the performance counter:
//   tlx-billsbench.exe   (run where bills.mdb is)
// A new bill and the refresh after it, a bill's calls shown, the jump to the last row, each
// until the page has painted, and the process's memory afterwards. Figures only.
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <vector>

#include "console/bills/bills_page.h"
#include "console/resource.h"
#include "tests/unit/billing/recording_printer.h"
#include "win32/clock.h"

namespace {

void Drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// Median milliseconds of `runs` runs of `what`, each until the queue is drained (`before`
// runs untimed ahead of each).
template <class F, class G = void (*)(int)>
double Median(
    int runs, F what, G before = [](int) {}) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        before(i);
        Drain();
        const double t = tlx::win32::CounterSeconds();
        what(i);
        Drain();
        ms.push_back((tlx::win32::CounterSeconds() - t) * 1000);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace

int main() {
    tlx::console::BillsDatabase database;
    tlx::console::SettingsStore settings;
    const std::string operator_name = "Anna";
    tlx::console::CBillsDlg page(database, settings, operator_name);
    if (!database.is_open()) return 1;
    page.SetPrinter(std::make_unique<tlx::billing::RecordingPrinter>());
    HWND frame = CreateWindowExA(0, "STATIC", "bills", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1000,
                                 500, nullptr, nullptr, nullptr, nullptr);
    if (!page.Create(IDD_BILLS_PAGE, frame)) return 1;
    ShowWindow(page.hwnd(), SW_SHOW);
    Drain();

    auto& bills = database.store().bills();
    const auto count = bills.RecordCount();
    const double started = tlx::win32::CounterSeconds();
    const double refresh_after_new = Median(15, [&](int) {
        page.NewBill(
            "Booth 1;0123;10:00:00;10:01:00;60;1.00;1.20|0456;10:02:00;10:03:00;60;1.00;1.20|");
    });
    const double printed = tlx::win32::CounterSeconds();
    const double calls =
        Median(15, [&](int i) { page.ShowCalls(static_cast<std::uint32_t>(count / 2 + i)); });
    tlx::win32::ListView grid(GetDlgItem(page.hwnd(), IDC_BILLS_GRID));
    const double last = Median(
        15, [&](int) { grid.SelectOnly(grid.Count() - 1); }, [&](int) { grid.SelectOnly(0); });
    // For the stall probe: the new bills, then all three operations.
    std::printf("counters %.6f %.6f %.6f\n", started, printed, tlx::win32::CounterSeconds());
    PROCESS_MEMORY_COUNTERS memory{};
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    double megabytes = static_cast<double>(memory.WorkingSetSize) / (1024 * 1024);
    if (megabytes == 0) {
        // Wine leaves the counters empty; its process is a Linux one, which keeps its own.
        if (FILE* status = std::fopen("Z:\\proc\\self\\status", "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, status)) {
                long kb = 0;
                if (std::sscanf(line, "VmRSS: %ld", &kb) == 1) megabytes = kb / 1024.0;
            }
            std::fclose(status);
        }
    }
    std::printf(
        "bills %lld: refresh after a new bill %.2f ms, a bill's calls %.2f ms, "
        "jump to the last row %.2f ms, memory (working set) %.1f MB\n",
        static_cast<long long>(count), refresh_after_new, calls, last, megabytes);
    page.Destroy();
    DestroyWindow(frame);
    return 0;
}
