#include "runs/run_facts.h"

#include <csignal>

#include <gtest/gtest.h>

namespace qv::runs {
namespace {

RunFacts ended_with(std::optional<int> status, std::optional<int> sig = std::nullopt) {
    RunFacts f;
    f.was_started = true;
    f.exit_status = status;
    f.signal = sig;
    f.results = {{"message", "/w/a.msg", true, true}, {"output", "/w/a.out", true, true}};
    return f;
}

TEST(RunFacts, ExitDescriptionsSayHowTheModelEnded) {
    EXPECT_EQ(exit_description(ended_with(0)), "exit status 0");
    EXPECT_EQ(exit_description(ended_with(std::nullopt, SIGSEGV)),
              "ended by signal 11 (Segmentation fault)");
    EXPECT_EQ(exit_description(RunFacts{}), "not started");
}

TEST(RunFacts, SuccessNeedsStatusZeroAndFreshResults) {
    EXPECT_TRUE(ended_with(0).succeeded());
    EXPECT_FALSE(ended_with(1).succeeded());
    EXPECT_FALSE(ended_with(std::nullopt, SIGKILL).succeeded());
    auto stopped = ended_with(0);
    stopped.stopped = StopReason::user;
    EXPECT_FALSE(stopped.succeeded());
    auto stale = ended_with(0);
    stale.results[1].written_by_this_run = false;  // an output file left by an earlier run
    EXPECT_FALSE(stale.succeeded());
}

}  // namespace
}  // namespace qv::runs
