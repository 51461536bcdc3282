#include "console/login_flow.h"

#include "link/message.h"

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
            return kStatusIncorrect;
        case LoginOutcome::kAlreadyIn:
            return kStatusAlreadyIn;
        case LoginOutcome::kNoAnswer:
            return kStatusNoAnswer;
        case LoginOutcome::kLost:
            return kStatusLost;
        case LoginOutcome::kGoOn:
        case LoginOutcome::kAccepted:
            break;
    }
    return {};
}

}  // namespace tlx::console
