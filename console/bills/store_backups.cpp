#include "console/bills/store_backups.h"

#include <memory>

#include "win32/dialog.h"
#include "win32/text.h"

namespace tlx::console {

namespace billing = tlx::billing;

namespace {

constexpr UINT WM_BACKUP_DONE = WM_APP + 20;  // lParam: a heap BackupOutcome the window takes

std::unique_ptr<billing::BackupOutcome> TakeOutcome(LPARAM lp) {
    return std::unique_ptr<billing::BackupOutcome>(reinterpret_cast<billing::BackupOutcome*>(lp));
}

}  // namespace

billing::LocalTime LocalNow() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

StoreBackups::~StoreBackups() {
    Stop();
}

void StoreBackups::Start(const std::string& store_path, const std::string& folder) {
    if (worker_.joinable()) return;
    store_path_ = store_path;
    default_folder_ = folder.empty();
    folder_ = default_folder_ ? billing::DefaultBackupFolder(store_path) : folder;
    if (!Create({"TellarixBackups"}, {.parent = HWND_MESSAGE, .style = 0})) return;
    target_ = hwnd();
    try {
        worker_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        // No thread, no backups: billing goes on; the notice says so once.
        billing::BackupOutcome failed;
        failed.message = "No backup was made: the console could not start its backup worker.";
        if (auto text = notices_.Tell(failed)) {
            tlx::win32::MessageBox(nullptr, *text, kBackupCaption, MB_OK | MB_ICONWARNING);
        }
        return;
    }
    Ask(Request::kAtStart);
}

void StoreBackups::BackUpAfterDayClose() {
    Ask(Request::kAfterDayClose);
}

void StoreBackups::Ask(Request request) {
    if (!worker_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    wake_.notify_one();
}

void StoreBackups::Stop() {
    if (worker_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            requests_.clear();
        }
        wake_.notify_one();
        worker_.join();
    }
    // Outcomes posted but not yet read are freed here.
    MSG msg;
    while (hwnd() && PeekMessageA(&msg, hwnd(), WM_BACKUP_DONE, WM_BACKUP_DONE, PM_REMOVE)) {
        TakeOutcome(msg.lParam);
    }
    Destroy();
}

billing::BackupOutcome StoreBackups::Run(Request request) const {
    if (default_folder_) billing::MakeDefaultBackupFolder(store_path_);
    if (request == Request::kAtStart) billing::RemoveLeftovers(folder_);
    return billing::BackUpAndRotate(store_path_, folder_, LocalNow(), request == Request::kAtStart);
}

void StoreBackups::Work() noexcept {
    for (;;) {
        Request request;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !requests_.empty(); });
            if (stopping_) return;
            request = requests_.front();
            requests_.pop_front();
        }
        try {
            auto outcome = std::make_unique<billing::BackupOutcome>(Run(request));
            if (PostMessageA(target_, WM_BACKUP_DONE, 0, reinterpret_cast<LPARAM>(outcome.get())))
                outcome.release();
        } catch (...) {
            // Out of memory at worst: this backup is lost, billing is not.
        }
    }
}

LRESULT StoreBackups::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_BACKUP_DONE) return Wnd::OnMessage(msg, wp, lp);
    const auto outcome = TakeOutcome(lp);
    if (auto text = notices_.Tell(*outcome)) {
        // Core texts hold paths in UTF-8; the operator's box speaks the console's code page.
        const std::string ansi = tlx::win32::AnsiFromWide(tlx::win32::WideFromUtf8(*text));
        // No owner: the box keeps no window of the console from billing.
        tlx::win32::MessageBox(nullptr, ansi, kBackupCaption,
                               MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    }
    return 0;
}

}  // namespace tlx::console
