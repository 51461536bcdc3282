#include "core/console/login_flow.h"

#include <algorithm>
#include <array>

#include "core/link/login.h"
#include "core/link/message.h"

namespace tlx::console {

LoginOutcome ClassifyLoginReply(LoginStep step, int read_result, std::int32_t type) {
    const bool answered = read_result >= static_cast<int>(link::kShortSize);
    if (!answered) {
        return step == LoginStep::kChallenge ? LoginOutcome::kNoAnswer : LoginOutcome::kLost;
    }
    switch (type) {
        case link::kLoginIncorrect:
            return LoginOutcome::kIncorrect;
        case link::kAlreadyLoggedIn:
            return LoginOutcome::kAlreadyIn;
        case link::kLoginChallenge:
            return step == LoginStep::kChallenge ? LoginOutcome::kGoOn : LoginOutcome::kLost;
        case link::kLoginAccepted:
            return step == LoginStep::kVerdict ? LoginOutcome::kAccepted : LoginOutcome::kLost;
        default:
            return LoginOutcome::kLost;
    }
}

std::string_view StatusFor(LoginOutcome outcome) {
    switch (outcome) {
        case LoginOutcome::kIncorrect:
            return texts::kStatusIncorrect;
        case LoginOutcome::kAlreadyIn:
            return texts::kStatusAlreadyIn;
        case LoginOutcome::kNoAnswer:
            return texts::kStatusNoAnswer;
        case LoginOutcome::kLost:
            return texts::kStatusLost;
        case LoginOutcome::kCannotConnect:
            return texts::kStatusCannotConnect;
        case LoginOutcome::kGoOn:
        case LoginOutcome::kAccepted:
            break;
    }
    return {};
}

namespace {

// One answer of the server: the outcome for this step, and the message when one arrived.
LoginOutcome Await(LoginConnection& connection, LoginStep step, std::size_t size,
                   std::optional<link::ServerMessage>& reply) {
    std::array<std::uint8_t, link::kRecordSize> buffer{};
    const int got = connection.Receive(std::span(buffer.data(), size), kLoginTimeoutSeconds);
    reply = got > 0 ? link::DecodeMessage(std::span(buffer.data(), static_cast<std::size_t>(got)))
                    : std::nullopt;
    return ClassifyLoginReply(step, reply ? got : 0, reply ? reply->type : 0);
}

}  // namespace

LoginOutcome RunLogin(LoginConnection& connection, std::string_view user_name,
                      std::string_view password,
                      const std::function<void(std::string_view)>& status) {
    if (!connection.Open()) {
        connection.Close();
        return LoginOutcome::kCannotConnect;
    }
    connection.Send(link::MakeLoginRequest(user_name).Encode());

    std::optional<link::ServerMessage> reply;
    LoginOutcome outcome = Await(connection, LoginStep::kChallenge, link::kRecordSize, reply);
    if (outcome != LoginOutcome::kGoOn) {
        connection.Close();
        return outcome;
    }
    if (status) status(texts::kStatusVerifying);

    link::Block challenge{};
    std::copy_n(reply->data.begin(), challenge.size(), challenge.begin());
    const link::Block response = link::ComputeChallengeResponse(password, challenge);
    link::ServerMessage answer;
    answer.type = link::kChallengeResponse;
    std::copy(response.begin(), response.end(), answer.data.begin());
    connection.Send(answer.Encode());

    outcome = Await(connection, LoginStep::kVerdict, link::kShortSize, reply);
    if (outcome != LoginOutcome::kAccepted) connection.Close();
    return outcome;
}

SessionStart ReadSessionStart(LoginConnection& connection) {
    std::array<std::uint8_t, link::kRecordSize> buffer{};
    const int got = connection.Receive(buffer, kLoginTimeoutSeconds);
    const std::size_t bytes = got > 0 ? static_cast<std::size_t>(got) : 0;
    SessionStart start;
    start.framer = link::MessageFramer(link::MessageFramer::ModeFromFirstRead(bytes));
    start.framer.Feed(std::span(buffer.data(), bytes));
    if (auto first = start.framer.Next(); first && first->type == link::kBoothList) {
        start.booth_list = link::ParseBoothList(first->Text());
    }
    return start;
}

}  // namespace tlx::console
