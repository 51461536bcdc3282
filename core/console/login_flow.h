// The steps of one login attempt that do not need a window or a socket: what each answer
// of the server means and what the status line then says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tlx::console {

inline constexpr std::string_view kStatusPrompt = "Please enter your Login and Password...";
inline constexpr std::string_view kStatusConnecting = "Please wait while connecting to server...";
inline constexpr std::string_view kStatusVerifying = "Veryfiying username and password...";
inline constexpr std::string_view kStatusCannotConnect = "Can't connect to server !!!";
inline constexpr std::string_view kStatusNoAnswer = "Can't connect to the server!";
inline constexpr std::string_view kStatusIncorrect = "Login incorrect !!!";
inline constexpr std::string_view kStatusAlreadyIn = "User already logged in!!!";
inline constexpr std::string_view kStatusLost = "Communication with server lost!";

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
    kGoOn,      // challenge received: answer it
    kAccepted,  // run the post-login step
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

}  // namespace tlx::console
