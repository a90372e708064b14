// A transfer broken off is made again a few times, and only while it is broken off.
#include <vector>

#include <gtest/gtest.h>

#include "snapshot/TransferRetry.h"

namespace {

using Result = ISnapshotLink::Result;

TEST(TransferRetryTest, TriesAgainOnlyWhileBrokenOffAndAtMostThreeTimes) {
    struct Case {
        const char* what;
        std::vector<Result> answers; // what each try gives, in turn
        Result expected;
        std::vector<int> heard; // the tries announced before they were made
    };
    const Case cases[] = {
        {"done at once", {Result::Ok}, Result::Ok, {}},
        {"a refusal is final", {Result::Refused, Result::Ok}, Result::Refused, {}},
        {"silence is final", {Result::NoResponse, Result::Ok}, Result::NoResponse, {}},
        {"broken off once", {Result::Cancelled, Result::Ok}, Result::Ok, {2}},
        {"refused after a break", {Result::Cancelled, Result::Refused}, Result::Refused, {2}},
        {"the fourth try takes",
         {Result::Cancelled, Result::Cancelled, Result::Cancelled, Result::Ok},
         Result::Ok,
         {2, 3, 4}},
        {"no fifth try",
         {Result::Cancelled, Result::Cancelled, Result::Cancelled, Result::Cancelled, Result::Ok},
         Result::Cancelled,
         {2, 3, 4}},
    };
    for (const Case& c : cases) {
        std::size_t made = 0;
        std::vector<int> heard;
        const Result result =
            TransferRetry::Run([&] { return c.answers.at(made++); },
                               [&](int attempt) {
                                   heard.push_back(attempt);
                                   EXPECT_EQ(static_cast<std::size_t>(attempt), made + 1) << c.what;
                               });
        EXPECT_EQ(result, c.expected) << c.what;
        EXPECT_EQ(made, c.heard.size() + 1) << c.what;
        EXPECT_EQ(heard, c.heard) << c.what;
    }
    // Without anyone listening the tries are the same.
    std::size_t made = 0;
    EXPECT_EQ(TransferRetry::Run([&] { return made++ < 2 ? Result::Cancelled : Result::Ok; }),
              Result::Ok);
    EXPECT_EQ(made, 3u);
}

} // namespace
