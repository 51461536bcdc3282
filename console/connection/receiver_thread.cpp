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
    PostingSink(HWND window, const std::atomic<bool>* closing)
        : window_(window), closing_(closing) {}

    bool Deliver(const tlx::console::SessionEvent& event) override {
        using tlx::console::EventKind;
        auto first = std::make_unique<std::string>(event.first);
        switch (event.kind) {
            case EventKind::kDial:
                return PostTexts(window_, WM_CALL_DIAL, std::move(first),
                                 std::make_unique<std::string>(event.rest));
            case EventKind::kConnected:
                return PostTexts(window_, WM_CALL_CONNECTED, std::move(first));
            case EventKind::kFinished:
                return PostTexts(window_, WM_CALL_FINISHED, std::move(first));
            case EventKind::kRejected:
                return PostTexts(window_, WM_CALL_REJECTED, std::move(first));
        }
        return true;
    }
    void ConnectionLost() override {
        // The main window must hear of the loss; wait for room in its queue.
        while (!PostMessageA(window_, WM_SERVER_LOST, 0, 0) && !Closing()) Sleep(10);
    }
    bool Closing() const override { return closing_->load(); }

  private:
    HWND window_;
    const std::atomic<bool>* closing_;
};

}  // namespace

void ReceiverThread::Start(HWND main_window, const std::atomic<bool>* closing,
                           tlx::link::MessageFramer framer) {
    Join();
    thread_ = std::thread([main_window, closing, framer = std::move(framer)]() mutable {
        PostingSink sink(main_window, closing);
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
