#include "console/login_flow.h"

#include <gtest/gtest.h>

#include "link/message.h"

namespace tlx::console {
namespace {

TEST(LoginReply, AnswerToTheLoginRequest) {
    const auto step = LoginStep::kChallenge;
    EXPECT_EQ(ClassifyLoginReply(step, 259, link::kLoginChallenge), LoginOutcome::kGoOn);
    EXPECT_EQ(ClassifyLoginReply(step, 20, link::kLoginChallenge), LoginOutcome::kGoOn);
    EXPECT_EQ(ClassifyLoginReply(step, 4, link::kLoginIncorrect), LoginOutcome::kIncorrect);
    EXPECT_EQ(ClassifyLoginReply(step, 259, link::kAlreadyLoggedIn), LoginOutcome::kAlreadyIn);
    EXPECT_EQ(ClassifyLoginReply(step, 4, link::kLoginAccepted), LoginOutcome::kLost);
    EXPECT_EQ(ClassifyLoginReply(step, 259, link::kBoothList), LoginOutcome::kLost);
    EXPECT_EQ(ClassifyLoginReply(step, 0, link::kLoginChallenge), LoginOutcome::kNoAnswer);
    EXPECT_EQ(ClassifyLoginReply(step, -1, link::kLoginChallenge), LoginOutcome::kNoAnswer);
    // Fewer bytes than a type: the type bytes would be stale, so nothing was answered.
    EXPECT_EQ(ClassifyLoginReply(step, 3, link::kLoginChallenge), LoginOutcome::kNoAnswer);
}

TEST(LoginReply, AnswerToTheChallengeResponse) {
    const auto step = LoginStep::kVerdict;
    EXPECT_EQ(ClassifyLoginReply(step, 4, link::kLoginAccepted), LoginOutcome::kAccepted);
    EXPECT_EQ(ClassifyLoginReply(step, 4, link::kLoginIncorrect), LoginOutcome::kIncorrect);
    EXPECT_EQ(ClassifyLoginReply(step, 4, link::kAlreadyLoggedIn), LoginOutcome::kAlreadyIn);
    EXPECT_EQ(ClassifyLoginReply(step, 4, link::kLoginChallenge), LoginOutcome::kLost);
    EXPECT_EQ(ClassifyLoginReply(step, 4, 999), LoginOutcome::kLost);
    EXPECT_EQ(ClassifyLoginReply(step, 0, link::kLoginAccepted), LoginOutcome::kLost);
    EXPECT_EQ(ClassifyLoginReply(step, -1, link::kLoginAccepted), LoginOutcome::kLost);
}

}  // namespace
}  // namespace tlx::console
