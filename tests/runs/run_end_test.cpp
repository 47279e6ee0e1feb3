#include "runs/run_end.h"

#include <gtest/gtest.h>
#include <signal.h>

namespace qv::runs {
namespace {

using namespace std::chrono_literals;

TEST(RunEnd, OneTextForEveryWayARunEnds) {
    const struct {
        RunEnd end;
        const char* text;
    } rows[] = {
        {{true, 0, {}, StopReason::none, ""}, "exit status 0"},
        {{true, 7, {}, StopReason::none, ""}, "exit status 7"},
        {{true, {}, SIGSEGV, StopReason::none, ""}, "ended by signal 11 (Segmentation fault)"},
        {{true, {}, SIGTERM, StopReason::user, ""},
         "ended by signal 15 (Terminated), stopped by the user"},
        {{true,
          {},
          SIGTERM,
          StopReason::time_limit,
          "the model ran past the time limit of 5 s and was stopped"},
         "ended by signal 15 (Terminated), stopped at the time limit"},
        {{true, 0, {}, StopReason::none, "the model did not write its message file m"},
         "exit status 0, the model did not write its message file m"},
        {{false, {}, {}, StopReason::none, "the model could not be started (error 53)"},
         "the model could not be started (error 53)"},
        {{}, "not started"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(end_text(row.end), row.text);
}

TEST(RunEnd, StopReasonsKeepTheirRecordWords) {
    for (const auto& [reason, word] : {std::pair{StopReason::none, ""},
                                       {StopReason::user, "user"},
                                       {StopReason::time_limit, "time limit"}}) {
        EXPECT_EQ(stop_reason_word(reason), word);
        EXPECT_EQ(stop_reason_of_word(word), reason);
    }
    EXPECT_EQ(stop_reason_of_word("operator"), std::nullopt);
}

TEST(RunEnd, DurationsAndClocks) {
    const struct {
        std::chrono::milliseconds ms;
        const char* duration;
        const char* clock;
    } rows[] = {{0ms, "0.0 s", "0:00:00"},
                {1ms, "0.0 s", "0:00:01"},
                {400ms, "0.4 s", "0:00:01"},
                {12345ms, "12.3 s", "0:00:13"},
                {185000ms, "3 min 05 s", "0:03:05"},
                {3'725'000ms, "1 h 02 min", "1:02:05"},
                {7'620'000ms, "2 h 07 min", "2:07:00"}};
    for (const auto& r : rows) {
        EXPECT_EQ(duration_text(r.ms), r.duration) << r.ms.count();
        EXPECT_EQ(clock_text(r.ms), r.clock) << r.ms.count();
    }
}

}  // namespace
}  // namespace qv::runs
