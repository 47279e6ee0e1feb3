#include "platform/fs/path_form.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

struct JoinCase {
    const char* dir;
    const char* name;
    const char* joined;
};

class JoinPath : public ::testing::TestWithParam<JoinCase> {};

// Joined paths take the host's separator throughout, whatever form their parts came in.
TEST_P(JoinPath, UsesTheHostSeparatorOnly) {
    const JoinCase c = GetParam();
    EXPECT_EQ(join_path(c.dir, c.name), c.joined);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, JoinPath,
    ::testing::Values(JoinCase{"/home/me/model", "run.msg", "/home/me/model/run.msg"},
                      JoinCase{"/home/me/model\\outputs", "run.msg",
                               "/home/me/model/outputs/run.msg"},
                      JoinCase{"C:\\QV", "out\\run.msg", "C:/QV/out/run.msg"},
                      JoinCase{"/data/", "TECH", "/data/TECH"},
                      JoinCase{"/data", "\\TECH", "/data/TECH"},
                      JoinCase{"C:\\", "x.opt", "C:/x.opt"}, JoinCase{"", "x.opt", "/x.opt"}));

struct SameCase {
    const char* a;
    const char* b;
    bool same;
};

class SamePathText : public ::testing::TestWithParam<SameCase> {};

TEST_P(SamePathText, IgnoresOnlyTheSeparatorKind) {
    const SameCase c = GetParam();
    EXPECT_EQ(same_path_text(c.a, c.b), c.same);
    EXPECT_EQ(same_path_text(c.b, c.a), c.same);
}

INSTANTIATE_TEST_SUITE_P(Texts, SamePathText,
                         ::testing::Values(SameCase{"/m/run.opt", "/m/run.opt", true},
                                           SameCase{"\\m\\run.opt", "/m/run.opt", true},
                                           SameCase{"/m\\run.opt", "\\m/run.opt", true},
                                           SameCase{"/m/run.opt", "/m/Run.opt", false},
                                           SameCase{"/m/run.opt", "/m/run.opt2", false},
                                           SameCase{"/m/run.opt", "/mXrun.opt", false}));

}  // namespace
}  // namespace qv::test
