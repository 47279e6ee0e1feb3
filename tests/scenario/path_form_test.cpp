#include <gtest/gtest.h>

#include "platform/fs/path_form.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "support/workspace.h"

namespace qv::test {
namespace {

bool mixes_separators(const std::string& text) {
    return text.find('\\') != std::string::npos && text.find('/') != std::string::npos;
}

// The lines of `bytes` that start with `key`.
std::vector<std::string> lines_starting(const std::string& bytes, const std::string& key) {
    std::vector<std::string> found;
    for (const auto& line : split_lines(bytes))
        if (line.rfind(key, 0) == 0)
            found.push_back(line);
    return found;
}

std::string scenario_file(const std::string& message, const std::string& output) {
    return fixture::runfiles(message, output,
                             {"ALLOC XREF         : data\\allocate\\allocate.xrf"}) +
           fixture::plain_options_period_region() +
           fixture::packet("/ALLOC FILES/", {"Allocation File    : DATA\\ALLOCATE\\CA_POP.ALO"}) +
           fixture::packet("/POP FILES/", {"Population File    : DATA\\POP\\CA.POP"}) +
           fixture::packet("/EMFAC FILES/");
}

struct RunFileCase {
    const char* message;
    const char* output;
};

class NoMixedSeparators : public ::testing::TestWithParam<RunFileCase> {};

// Whatever separators the message and output values hold, the paths the program completes
// from them, writes back and shows never mix the two kinds.
TEST_P(NoMixedSeparators, InResolvedAndWrittenPaths) {
    const RunFileCase c = GetParam();
    Workspace w;
    w.load("model/opts/run.opt", scenario_file(c.message, c.output));
    ASSERT_TRUE(w.ui.messages().empty());
    const Scenario& sc = w.s.sc;
    for (const std::string& path :
         {sc.run_files[rf::message], sc.run_files[rf::output_data], w.s.option_file_path()})
        EXPECT_FALSE(mixes_separators(path)) << path;

    ASSERT_TRUE(update_default_option_file(w.s));
    const std::string saved = w.read("model/opts/run.opt");
    for (const char* key : {"MESSAGE", "OUTPUT DATA"}) {
        const auto lines = lines_starting(saved, key);
        ASSERT_EQ(lines.size(), 1u) << key;
        EXPECT_FALSE(mixes_separators(lines[0])) << lines[0];
    }

    // Save as composes the message, output and by-model-year names beside the new file.
    w.s.sc.bmy_output_on = true;
    ASSERT_TRUE(save_options_as(w.s, w.program("model/opts/copy.opt")));
    const std::string copy = w.read("model/opts/copy.opt");
    for (const std::string& path :
         {w.s.sc.run_files[rf::exhaust_bmy], w.s.sc.run_files[rf::evap_bmy]})
        EXPECT_FALSE(mixes_separators(path)) << path;
    for (const char* key : {"MESSAGE", "OUTPUT DATA"}) {
        const auto lines = lines_starting(copy, key);
        ASSERT_EQ(lines.size(), 1u) << key;
        EXPECT_FALSE(mixes_separators(lines[0])) << lines[0];
        EXPECT_NE(lines[0].find(w.program("model/opts") + "/copy."), std::string::npos) << lines[0];
    }
}

INSTANTIATE_TEST_SUITE_P(Values, NoMixedSeparators,
                         ::testing::Values(RunFileCase{"outputs\\run.msg", "outputs\\run.out"},
                                           RunFileCase{"run.msg", "run.out"},
                                           RunFileCase{"outputs/run.msg", "outputs/run.out"},
                                           RunFileCase{"sub\\outputs/run.msg", "run.out"}));

// A file made on Windows, saved unchanged: every byte stays, its "\\" paths included.
TEST(WindowsMadeFile, RoundTripsByteForByte) {
    Workspace w;
    std::string original =
        crlf({"Written by Quarvel interface at 12/9/2026 1:02:03 PM", "/RUNFILES/",
              "ALLOC XREF         : data\\allocate\\allocate.xrf",
              "ACTIVITY           : data\\activity\\activity.dat",
              "EXH TECHNOLOGY     : data\\tech\\tech-exh.dat",
              "EVP TECHNOLOGY     : data\\tech\\tech-evp.dat",
              "SEASONALITY        : data\\season\\season.dat",
              "REGIONS            : data\\season\\season.dat",
              "MESSAGE            : c:\\qv\\outputs\\run.msg",
              "OUTPUT DATA        : c:\\qv\\outputs\\run.out", "KPZ2 RDL           : ",
              "US COUNTIES FIPS   : data\\allocate\\fips.dat", "RETROFIT           : ", "/END/"});
    std::string rest = scenario_file("x", "y");
    rest = rest.substr(rest.find("/OPTIONS/"));
    original += rest + crlf({"/STAGE II/", "Control Factor     : 0.0", "/END/"});
    w.load("model/run.opt", original);
    ASSERT_TRUE(w.ui.messages().empty());
    ASSERT_TRUE(update_default_option_file(w.s));
    EXPECT_EQ(w.read("model/run.opt"), original);
}

// Save as onto the current file, named with the other separator kind, is a plain save: it
// keeps the message and output names instead of composing new ones beside the file.
TEST(SaveAsCurrentFile, IgnoresTheSeparatorKind) {
    Workspace w;
    w.load("model/run.opt", scenario_file("c:\\qv\\run.msg", "c:\\qv\\run.out"));
    std::string chosen = w.program("model/run.opt");
    for (char& ch : chosen)
        if (ch == '/')
            ch = '\\';
    ASSERT_TRUE(save_options_as(w.s, chosen));
    const std::string saved = w.read("model/run.opt");
    EXPECT_EQ(lines_starting(saved, "MESSAGE"),
              std::vector<std::string>{"MESSAGE            : c:\\qv\\run.msg"});
}

}  // namespace
}  // namespace qv::test
