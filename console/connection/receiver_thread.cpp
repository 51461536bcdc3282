#include "console/connection/receiver_thread.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "console/connection/server_socket.h"
#include "console/messages.h"
#include "core/console/login_flow.h"
#include "core/console/session.h"
#include "core/link/message.h"

namespace tlx::console {
namespace {

class SocketLink : public tlx::console::SessionLink {
  public:
    // The socket is read in large pieces and handed out a record at a time: under Wine every
    // wait and every read is a trip to the window server, and a flood of call events arrives
    // hundreds of records at once. The bytes and their order are the same either way.
    tlx::console::ReadResult Read(std::span<std::uint8_t> buffer, int seconds) override {
        if (next_ == filled_) {
            const auto r = TheServerSocket().ReceiveSession(
                pending_.data(), static_cast<int>(pending_.size()), seconds);
            if (r.kind != tlx::console::ReadResult::Kind::kData) return r;
            next_ = 0;
            filled_ = r.bytes;
        }
        const std::size_t n = std::min(buffer.size(), filled_ - next_);
        std::memcpy(buffer.data(), pending_.data() + next_, n);
        next_ += n;
        return {tlx::console::ReadResult::Kind::kData, n};
    }
    void SendKeepAlive() override {
        tlx::link::ServerMessage keep_alive;
        keep_alive.type = tlx::link::kKeepAlive;
        const auto bytes = keep_alive.EncodeShort();
        TheServerSocket().SendAll(bytes.data(), static_cast<int>(bytes.size()),
                                  tlx::console::kLoginTimeoutSeconds);
    }

  private:
    std::vector<std::uint8_t> pending_ = std::vector<std::uint8_t>(64 * 1024);
    std::size_t next_ = 0;    // first byte not yet handed out
    std::size_t filled_ = 0;  // bytes read into pending_
};

class PostingSink : public tlx::console::SessionSink {
  public:
    PostingSink(HWND window, EventRelay* relay, const std::atomic<bool>* closing)
        : window_(window), relay_(relay), closing_(closing) {}

    bool Deliver(const tlx::console::SessionEvent& event) override {
        using tlx::console::EventKind;
        auto first = std::make_unique<std::string>(event.first);
        switch (event.kind) {
            case EventKind::kDial:
                return Pass(WM_CALL_DIAL, std::move(first),
                            std::make_unique<std::string>(event.rest));
            case EventKind::kConnected:
                return Pass(WM_CALL_CONNECTED, std::move(first));
            case EventKind::kFinished:
                return Pass(WM_CALL_FINISHED, std::move(first));
            case EventKind::kRejected:
                return Pass(WM_CALL_REJECTED, std::move(first));
        }
        return true;
    }
    void ConnectionLost() override {
        // The main window must hear of the loss; wait for room.
        while (!Pass(WM_SERVER_LOST, nullptr) && !Closing()) Sleep(10);
    }
    bool Closing() const override { return closing_->load(); }

  private:
    bool Pass(UINT msg, std::unique_ptr<std::string> first,
              std::unique_ptr<std::string> second = nullptr) {
        if (relay_) return relay_->Push(msg, std::move(first), std::move(second));
        return PostTexts(window_, msg, std::move(first), std::move(second));
    }

    HWND window_;
    EventRelay* relay_;  // null: no relay could be made, each event is posted on its own
    const std::atomic<bool>* closing_;
};

constexpr UINT kWakeUp = WM_APP + 1;
// Long enough to apply a few hundred events at once, short enough that a click or a paint
// waiting behind them is not noticed.
constexpr DWORD kSliceMs = 15;

}  // namespace

EventRelay::~EventRelay() {
    if (window_) DestroyWindow(window_);
}

bool EventRelay::Open(HWND target) {
    target_ = target;
    if (window_) return true;
    static const ATOM kClass = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &EventRelay::Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TellarixEventRelay";
        return RegisterClassA(&wc);
    }();
    if (!kClass) return false;
    window_ = CreateWindowExA(0, MAKEINTATOM(kClass), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    if (!window_) return false;
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

bool EventRelay::Push(UINT msg, std::unique_ptr<std::string> first,
                      std::unique_ptr<std::string> second) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pushed_.size() >= kLimit) return false;
    pushed_.push_back({msg, std::move(first), std::move(second)});
    if (wake_posted_) return true;
    if (!PostMessageA(window_, kWakeUp, 0, 0)) {
        // Nobody would look: taken back, the caller tries again.
        pushed_.pop_back();
        return false;
    }
    wake_posted_ = true;
    return true;
}

void EventRelay::Deliver(DWORD slice_ms) {
    const ULONGLONG start = GetTickCount64();
    for (unsigned handed = 1;; ++handed) {
        if (taken_.empty()) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (pushed_.empty()) {
                wake_posted_ = false;
                return;
            }
            taken_.swap(pushed_);
        }
        // Taken off first: a handler that runs a message loop (a message box) may deliver the
        // rest itself, in order.
        Item item = std::move(taken_.front());
        taken_.pop_front();
        HandOn(std::move(item));
        if (handed % 32 == 0 && GetTickCount64() - start >= slice_ms) {
            // The rest after the messages that came meanwhile; the wake-up stays counted.
            if (!PostMessageA(window_, kWakeUp, 0, 0)) continue;
            return;
        }
    }
}

void EventRelay::HandOn(Item item) const {
    if (!IsWindow(target_)) return;  // the strings go with the item
    const auto first = reinterpret_cast<WPARAM>(item.first.get());
    const auto second = reinterpret_cast<LPARAM>(item.second.get());
    if (item.msg == WM_SERVER_LOST) {
        // Posted, as ever: the main window ends the session from its own queue.
        if (!PostMessageA(target_, item.msg, first, second)) return;
    } else {
        SendMessageA(target_, item.msg, first, second);
    }
    item.first.release();
    item.second.release();
}

LRESULT CALLBACK EventRelay::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != kWakeUp) return DefWindowProcA(hwnd, msg, wp, lp);
    auto* relay = reinterpret_cast<EventRelay*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    try {
        if (relay) relay->Deliver(kSliceMs);
    } catch (...) {
        // Out of memory while applying: what is left is applied at the next wake-up.
    }
    return 0;
}

void ReceiverThread::Start(HWND main_window, const std::atomic<bool>* closing,
                           tlx::link::MessageFramer framer) {
    Join();
    if (!relay_) relay_ = std::make_unique<EventRelay>();
    EventRelay* relay = relay_->Open(main_window) ? relay_.get() : nullptr;
    thread_ = std::thread([main_window, relay, closing, framer = std::move(framer)]() mutable {
        PostingSink sink(main_window, relay, closing);
        try {
            SocketLink link;
            tlx::console::SessionClock clock{
                [] { return static_cast<std::int64_t>(std::time(nullptr)); },
                [](int ms) { Sleep(static_cast<DWORD>(ms)); }};
            tlx::console::RunSession(link, framer, sink, clock);
        } catch (...) {
            // Out of memory or similar: the session cannot go on, so it ends like a loss.
            if (!sink.Closing()) sink.ConnectionLost();
        }
    });
}

void ReceiverThread::Join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace tlx::console
