#include "login_dialog.h"

#include <array>

#include "app.h"
#include "console/booths.h"
#include "console/login_flow.h"
#include "link/events.h"
#include "link/framer.h"
#include "link/login.h"
#include "link/message.h"
#include "resource.h"

namespace tellarix {

namespace cc = tlx::console;
namespace lk = tlx::link;

bool LoginDialog::OnInitDialog() {
    auto& settings = App().settings;
    server_text_ = settings.ReadString("NETWORK", "SERVER_IP");
    if (server_text_.empty()) {
        settings.WriteString("NETWORK", "SERVER_IP", cc::kDefaultServerAddress);
        settings.WriteString("NETWORK", "SERVER_PORT", std::to_string(cc::kDefaultServerPort));
        server_text_ = settings.ReadString("NETWORK", "SERVER_IP");
    }
    port_text_ = settings.ReadString("NETWORK", "SERVER_PORT");
    password_ = settings.ReadString("NETWORK", "PASSWORD");
    user_name_ = settings.ReadString("NETWORK", "USERNAME");

    HWND operators = Item(IDC_OPERATORS);
    for (const auto& name : settings.ReadSection("OPERATORS")) {
        SendMessageA(operators, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    if (SendMessageA(operators, CB_GETCOUNT, 0, 0) > 0) SendMessageA(operators, CB_SETCURSEL, 0, 0);

    SendDlgItemMessageA(hwnd(), IDC_USER_NAME, EM_LIMITTEXT, cc::kMaxUserNameChars, 0);
    SendDlgItemMessageA(hwnd(), IDC_PASSWORD, EM_LIMITTEXT, cc::kMaxPasswordChars, 0);
    // Saved values longer than the boxes take are cut to what the boxes hold.
    SetItemText(IDC_USER_NAME, user_name_.substr(0, cc::kMaxUserNameChars));
    SetItemText(IDC_PASSWORD, password_.substr(0, cc::kMaxPasswordChars));
    CheckDlgButton(hwnd(), IDC_SAVE_PASSWORD, BST_UNCHECKED);
    return true;
}

void LoginDialog::SetStatus(std::string_view text) {
    SetItemText(IDC_STATUS, text);
    // The attempt blocks the window's thread; show the words now.
    UpdateWindow(Item(IDC_STATUS));
}

void LoginDialog::OnCommand(int id, int, HWND) {
    switch (id) {
        case IDC_LOGIN:
            // A click queued while an attempt blocked the window, or one reaching the hidden
            // window during a session, must not start another attempt (it would drop the
            // running session's booths and connection).
            if (attempting_ || !IsWindowVisible(hwnd())) break;
            attempting_ = true;
            try {
                Attempt();
            } catch (...) {
                attempting_ = false;
                throw;
            }
            attempting_ = false;
            break;
        case IDC_EXIT:
            PostQuitMessage(0);
            break;
        default:
            break;  // Escape has no action of its own here
    }
}

LRESULT LoginDialog::OnMessage(UINT msg, WPARAM, LPARAM, bool& handled) {
    handled = msg == WM_CLOSE;
    if (handled) PostQuitMessage(0);
    return 0;
}

std::string LoginDialog::SelectedOperator() const {
    HWND operators = Item(IDC_OPERATORS);
    const LRESULT selected = SendMessageA(operators, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR) return {};
    const LRESULT length = SendMessageA(operators, CB_GETLBTEXTLEN, selected, 0);
    if (length == CB_ERR) return {};
    std::string name(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(operators, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(name.data()));
    name.resize(static_cast<std::size_t>(length));
    return name;
}

void LoginDialog::Fail(std::string_view status) {
    SetStatus(status);
    TheServerSocket().Close();
}

void LoginDialog::Attempt() {
    auto& app = App();
    user_name_ = ItemText(IDC_USER_NAME);
    password_ = ItemText(IDC_PASSWORD);
    if (IsDlgButtonChecked(hwnd(), IDC_SAVE_PASSWORD) == BST_CHECKED) {
        app.settings.WriteString("NETWORK", "USERNAME", user_name_);
        app.settings.WriteString("NETWORK", "PASSWORD", password_);
    }
    SetStatus(cc::kStatusConnecting);
    app.booths.ClearBooths();

    auto& socket = TheServerSocket();
    server_address_.SetFromText(server_text_ + ":" + port_text_, 0);
    if (!socket.Create(SOCK_STREAM) || socket.Connect(server_address_) != 0) {
        Fail(cc::kStatusCannotConnect);
        return;
    }
    const auto request = lk::MakeLoginRequest(user_name_).Encode();
    socket.SendAll(request.data(), static_cast<int>(request.size()), cc::kLoginTimeoutSeconds);

    const lk::Block key = lk::PasswordKey(password_);
    const std::array<std::uint8_t, lk::kBlockSize> chain{};
    cipher_.SetKey(key.data(), chain.data(), 16, 16);

    std::array<std::uint8_t, lk::kRecordSize> buffer{};
    int got =
        socket.Receive(buffer.data(), static_cast<int>(buffer.size()), cc::kLoginTimeoutSeconds);
    auto reply = got > 0
                     ? lk::DecodeMessage(std::span(buffer.data(), static_cast<std::size_t>(got)))
                     : std::nullopt;
    auto outcome =
        cc::ClassifyLoginReply(cc::LoginStep::kChallenge, reply ? got : 0, reply ? reply->type : 0);
    if (outcome != cc::LoginOutcome::kGoOn) {
        Fail(cc::StatusFor(outcome));
        return;
    }
    SetStatus(cc::kStatusVerifying);

    lk::Block challenge{}, transformed{}, response{};
    cipher_.DecipherBlock(reply->data.data(), challenge.data());
    transformed = lk::TransformChallenge(challenge);
    cipher_.EncipherBlock(transformed.data(), response.data());
    lk::ServerMessage answer;
    answer.type = lk::kChallengeResponse;
    std::copy(response.begin(), response.end(), answer.data.begin());
    const auto answer_bytes = answer.Encode();
    socket.SendAll(answer_bytes.data(), static_cast<int>(answer_bytes.size()),
                   cc::kLoginTimeoutSeconds);

    got = socket.Receive(buffer.data(), static_cast<int>(lk::kShortSize), cc::kLoginTimeoutSeconds);
    reply = got > 0 ? lk::DecodeMessage(std::span(buffer.data(), static_cast<std::size_t>(got)))
                    : std::nullopt;
    outcome =
        cc::ClassifyLoginReply(cc::LoginStep::kVerdict, reply ? got : 0, reply ? reply->type : 0);
    if (outcome != cc::LoginOutcome::kAccepted) {
        Fail(cc::StatusFor(outcome));
        return;
    }
    if (!PostLogin()) PostQuitMessage(0);
}

bool LoginDialog::PostLogin() {
    auto& app = App();
    auto& socket = TheServerSocket();
    std::array<std::uint8_t, lk::kRecordSize> buffer{};
    const int got =
        socket.Receive(buffer.data(), static_cast<int>(buffer.size()), cc::kLoginTimeoutSeconds);

    // The booth list shows how the server writes: full records, or messages cut after their
    // text. The session keeps reading the same way, with whatever came along in this read.
    lk::MessageFramer framer(
        lk::MessageFramer::ModeFromFirstRead(got > 0 ? static_cast<std::size_t>(got) : 0));
    std::string web_address;
    if (got > 0) {
        framer.Feed(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got)));
        if (auto first = framer.Next(); first && first->type == lk::kBoothList) {
            auto list = lk::ParseBoothList(first->Text());
            web_address = std::move(list.web_address);
            const auto entries = cc::BoothEntries(list.keys, [&](const std::string& key) {
                return app.settings.ReadString("ALIASES", key);
            });
            for (const auto& entry : entries) {
                app.booths.AddBooth(entry.key, entry.display_name == entry.key
                                                   ? std::string()
                                                   : entry.display_name);
            }
        }
    }

    auto& main = app.main_window;
    if (!main.exists() && !main.Create()) return false;
    main.SetWebAddress(std::move(web_address));
    main.SetOperatorName(SelectedOperator());
    main.SetFirstMessages(std::move(framer));
    if (!main.Start()) return false;
    ShowWindow(hwnd(), SW_HIDE);
    return true;
}

}  // namespace tellarix
