// One login attempt without a window or a socket: the exchange with the server over any
// connection, what each answer means and what the status line then says. The console plugs in
// its socket, the tests a scripted server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "core/console/texts.h"
#include "core/link/events.h"
#include "core/link/framer.h"

namespace tlx::console {

// The login window refuses longer input as it is typed: the user name has to fit the
// attempt's copy (103 characters, well inside the request's 254), the password is capped
// so a pasted text cannot grow without bound (the key derivation takes any length).
inline constexpr std::size_t kMaxUserNameChars = 103;
inline constexpr std::size_t kMaxPasswordChars = 64;

inline constexpr int kLoginTimeoutSeconds = 300;
inline constexpr std::uint16_t kDefaultServerPort = 1804;
// Written into an empty SERVER_IP: the usual address of the shop's server on its own LAN.
inline constexpr std::string_view kDefaultServerAddress = "192.168.0.1";

enum class LoginStep {
    kChallenge,  // the answer to the login request
    kVerdict,    // the answer to the challenge response
};

enum class LoginOutcome {
    kCannotConnect,  // no connection to the server
    kGoOn,           // challenge received: answer it
    kAccepted,       // run the post-login step
    kIncorrect,
    kAlreadyIn,
    kNoAnswer,  // nothing came back to the login request
    kLost,      // nothing came back to the response, or a type that does not belong
};

// read_result is what the read returned (-1, 0 or the bytes delivered); type is only looked
// at when bytes arrived. A reply shorter than the 4 type bytes counts as no answer.
LoginOutcome ClassifyLoginReply(LoginStep step, int read_result, std::int32_t type);

// The status line for an outcome that ends the attempt; empty for kGoOn and kAccepted.
std::string_view StatusFor(LoginOutcome outcome);

// The attempt's connection to the server.
class LoginConnection {
  public:
    virtual ~LoginConnection() = default;
    // A new connection; false when the server cannot be reached.
    virtual bool Open() = 0;
    // Bytes accepted (all of them unless the connection failed).
    virtual int Send(std::span<const std::uint8_t> bytes) = 0;
    // -1 failed, 0 nothing arrived in time (or the server closed), else the bytes read.
    virtual int Receive(std::span<std::uint8_t> buffer, int seconds) = 0;
    virtual void Close() = 0;
};

// Opens the connection and proves the password: login request, the server's challenge, the
// response, its verdict. `status` hears the verifying step. Any outcome but kAccepted has
// closed the connection again.
LoginOutcome RunLogin(LoginConnection& connection, std::string_view user_name,
                      std::string_view password,
                      const std::function<void(std::string_view)>& status);

// After the server accepted: the first read of the session. Its size shows how the server
// frames its messages; what came along with the booth list stays in the framer.
struct SessionStart {
    link::MessageFramer framer{link::MessageFramer::Mode::kShortMessages};
    std::optional<link::BoothListPayload> booth_list;
};
SessionStart ReadSessionStart(LoginConnection& connection);

}  // namespace tlx::console
