#include "console/connection/login_dialog.h"

#include "console/connection/server_socket.h"
#include "console/main_window.h"
#include "console/resource.h"
#include "console/step_log.h"
#include "core/console/booths.h"
#include "core/console/login_flow.h"
#include "win32/clock.h"

namespace tlx::console {

namespace cc = tlx::console;
namespace texts = tlx::console::texts;
namespace cs = tlx::console::settings;

namespace {

// The attempt's connection is the program's one server socket.
class SocketLogin : public cc::LoginConnection {
  public:
    explicit SocketLogin(std::string address_text) : address_text_(std::move(address_text)) {}

    bool Open() override {
        ServerAddress address;
        address.SetFromText(address_text_, 0);
        auto& socket = TheServerSocket();
        return socket.Create(SOCK_STREAM) && socket.Connect(address) == 0;
    }
    int Send(std::span<const std::uint8_t> bytes) override {
        return TheServerSocket().SendAll(bytes.data(), static_cast<int>(bytes.size()),
                                         cc::kLoginTimeoutSeconds);
    }
    int Receive(std::span<std::uint8_t> buffer, int seconds) override {
        return TheServerSocket().Receive(buffer.data(), static_cast<int>(buffer.size()), seconds);
    }
    void Close() override { TheServerSocket().Close(); }

  private:
    std::string address_text_;
};

}  // namespace

bool LoginDialog::Create() {
    return Dialog::Create(IDD_LOGIN, nullptr);
}

bool LoginDialog::OnInitDialog() {
    server_text_ = settings_.Read(cs::kServerAddress);
    if (server_text_.empty()) {
        settings_.Write(cs::kServerAddress, cc::kDefaultServerAddress);
        settings_.Write(cs::kServerPort, std::to_string(cc::kDefaultServerPort));
        server_text_ = settings_.Read(cs::kServerAddress);
    }
    port_text_ = settings_.Read(cs::kServerPort);
    password_ = settings_.Read(cs::kPassword);
    user_name_ = settings_.Read(cs::kUserName);

    const auto operators = Get<tlx::win32::ComboBox>(IDC_OPERATORS);
    for (const auto& name : settings_.ReadSection(cs::kOperatorsSection)) operators.Add(name);
    if (operators.Count() > 0) operators.Select(0);

    Get<tlx::win32::Edit>(IDC_USER_NAME).LimitText(cc::kMaxUserNameChars);
    Get<tlx::win32::Edit>(IDC_PASSWORD).LimitText(cc::kMaxPasswordChars);
    // Saved values longer than the boxes take are cut to what the boxes hold.
    SetItemText(IDC_USER_NAME, user_name_.substr(0, cc::kMaxUserNameChars));
    SetItemText(IDC_PASSWORD, password_.substr(0, cc::kMaxPasswordChars));
    Get<tlx::win32::Button>(IDC_SAVE_PASSWORD).SetChecked(false);
    return true;
}

void LoginDialog::SetStatus(std::string_view text) {
    SetItemText(IDC_STATUS, text);
    // The attempt blocks the window's thread; show the words now.
    UpdateWindow(Item(IDC_STATUS));
}

bool LoginDialog::OnButtonClicked(int id, HWND control) {
    switch (id) {
        case IDC_LOGIN:
            // A click queued while an attempt blocked the window, or one reaching the hidden
            // window during a session, must not start another attempt (it would drop the
            // running session's booths and connection).
            if (attempting_ || !window().Visible()) return true;
            attempting_ = true;
            try {
                Attempt();
            } catch (...) {
                attempting_ = false;
                throw;
            }
            // Still attempting while the main window's opening waits for its message.
            attempting_ = session_pending_;
            return true;
        case IDC_EXIT:
            PostQuitMessage(0);
            return true;
        default:
            return Dialog::OnButtonClicked(id, control);  // Escape has no action of its own here
    }
}

bool LoginDialog::OnClose() {
    PostQuitMessage(0);
    return true;
}

void LoginDialog::Attempt() {
    user_name_ = ItemText(IDC_USER_NAME);
    password_ = ItemText(IDC_PASSWORD);
    if (Get<tlx::win32::Button>(IDC_SAVE_PASSWORD).Checked()) {
        settings_.Write(cs::kUserName, user_name_);
        settings_.Write(cs::kPassword, password_);
    }
    SetStatus(texts::kStatusConnecting);
    {
        StepTimer step("clear booths");
        booths_.ClearBooths();
    }

    SocketLogin connection(server_text_ + ":" + port_text_);
    const double exchange = StepTimer::on() ? tlx::win32::CounterSeconds() : 0.0;
    const auto outcome = cc::RunLogin(connection, user_name_, password_,
                                      [this](std::string_view status) { SetStatus(status); });
    StepTimer::Log("login exchange", exchange);
    if (outcome != cc::LoginOutcome::kAccepted) {
        SetStatus(cc::StatusFor(outcome));
        return;
    }
    if (!PostLogin()) PostQuitMessage(0);
}

bool LoginDialog::PostLogin() {
    SocketLogin connection(server_text_ + ":" + port_text_);
    const double session = StepTimer::on() ? tlx::win32::CounterSeconds() : 0.0;
    auto start = cc::ReadSessionStart(connection);
    std::string web_address;
    if (start.booth_list) {
        web_address = std::move(start.booth_list->web_address);
        const auto entries = cc::BoothEntries(start.booth_list->keys, [&](const std::string& key) {
            return settings_.ReadString(cs::kAliasesSection, key);
        });
        for (const auto& entry : entries) {
            booths_.AddBooth(entry.key,
                             entry.display_name == entry.key ? std::string() : entry.display_name);
        }
    }
    StepTimer::Log("booth list", session);
    main_window_.SetWebAddress(std::move(web_address));
    main_window_.SetOperatorName(
        Get<tlx::win32::ComboBox>(IDC_OPERATORS)
            .ItemText(Get<tlx::win32::ComboBox>(IDC_OPERATORS).Selected()));
    main_window_.SetFirstMessages(std::move(start.framer));
    // The main window opens on a message of its own, so the window's thread answers between
    // the server's answer and the booths' first page.
    session_pending_ = true;
    if (PostMessageA(hwnd(), kWmOpenSession, static_cast<WPARAM>(SessionStep::kStart), 0))
        return true;
    return OpenSession(SessionStep::kStart);
}

bool LoginDialog::OpenSession(SessionStep step) {
    // The next step on its own message; should posting fail, at once.
    auto then = [&](SessionStep next) {
        return PostMessageA(hwnd(), kWmOpenSession, static_cast<WPARAM>(next), 0) ||
               OpenSession(next);
    };
    // The connection lost between two steps: the login window is back, nothing more to do.
    if (step != SessionStep::kStart && !main_window_.running()) {
        session_pending_ = attempting_ = false;
        return true;
    }
    switch (step) {
        case SessionStep::kStart:
            if (!main_window_.exists() && !main_window_.Create()) break;
            if (!main_window_.Start()) break;
            return then(SessionStep::kShow);
        case SessionStep::kShow:
            main_window_.Open();
            return then(SessionStep::kHide);
        case SessionStep::kHide:
            window().Show(false);
            session_pending_ = false;
            attempting_ = false;
            return true;
    }
    session_pending_ = false;
    return false;
}

bool LoginDialog::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    if (msg != kWmOpenSession) return Dialog::OnMessage(msg, wparam, lparam, result);
    result = 0;
    if (!session_pending_) return true;
    try {
        if (!OpenSession(static_cast<SessionStep>(wparam))) PostQuitMessage(0);
    } catch (...) {
        session_pending_ = attempting_ = false;
        throw;
    }
    return true;
}

}  // namespace tlx::console
