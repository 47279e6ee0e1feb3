#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

struct Ran {
    int status = -1;
    std::string output;  // stdout and stderr
};

// Runs the stand-in model on OPT with QV_DEMO_MODEL_SECONDS set to SECONDS (unset when null).
Ran run_demo_model(const std::string& opt, const char* seconds) {
    const std::string model = std::string(QV_BINARY_DIR) + "/tools/demo-model/qv-demo-model";
    std::string command = seconds ? "QV_DEMO_MODEL_SECONDS='" + std::string(seconds) + "' "
                                  : std::string("unset QV_DEMO_MODEL_SECONDS; ");
    command += "'" + model + "' '" + opt + "' 2>&1";
    Ran ran;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, p))
            ran.output += buf;
        const int status = pclose(p);
        ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return ran;
}

std::string scenario(const std::string& year, const std::string& out) {
    return "/RUNFILES/\r\nMESSAGE            : " + out + ".msg\r\nOUTPUT DATA        : " + out +
           ".out\r\n/END/\r\n/OPTIONS/\r\nTitle 1            : T\r\n/END/\r\n/PERIOD/\r\n"
           "Year of episode    : " +
           year +
           "\r\n/END/\r\n/REGION/\r\nRegion Level       : STATE\r\nA : 06000\r\n"
           "B : 32000\r\n/END/\r\n";
}

TEST(DemoModel, RunLengthComesFromTheEnvironmentAndBadValuesAreRefused) {
    test::TempDir dir;
    const std::string opt = dir.write("a.opt", scenario("2025", dir.str() + "/a"));
    const struct {
        const char* seconds;
        int status;
    } rows[] = {{"0", 0}, {"0.2", 0}, {"abc", 2}, {"-1", 2}, {"1e9", 2}, {"nan", 2}, {"", 2}};
    for (const auto& row : rows) {
        const Ran ran = run_demo_model(opt, row.seconds);
        EXPECT_EQ(ran.status, row.status) << row.seconds << ": " << ran.output;
        if (row.status == 2) {
            EXPECT_NE(ran.output.find("is not a number of seconds from 0 to 86400"),
                      std::string::npos)
                << ran.output;
        }
    }
}

// As a model does, the stand-in opens names as written: letter case counts.
TEST(DemoModel, OpensPathsLiterally) {
    test::TempDir dir;
    dir.write("Upper Case WS/keep", "");
    const struct {
        std::string out;
        int status;
    } rows[] = {{dir.str() + "/Upper Case WS/a", 0}, {dir.str() + "/upper case ws/a", 3}};
    for (const auto& row : rows) {
        const std::string opt = dir.write("a.opt", scenario("2025", row.out));
        const Ran ran = run_demo_model(opt, "0");
        EXPECT_EQ(ran.status, row.status) << row.out << ": " << ran.output;
        EXPECT_EQ(fs::exists(row.out + ".msg"), row.status == 0) << row.out;
    }
    const Ran missing = run_demo_model(dir.str() + "/A.OPT", "0");
    EXPECT_EQ(missing.status, 2) << missing.output;
}

TEST(DemoModel, OutputEndsInATableWithARowPerRegionThatDiffersBetweenVariants) {
    test::TempDir dir;
    std::string tables[2];
    const char* years[] = {"2025", "2030"};
    for (int i = 0; i < 2; ++i) {
        const std::string out = dir.str() + "/v" + std::to_string(i);
        const std::string opt =
            dir.write("v" + std::to_string(i) + ".opt", scenario(years[i], out));
        ASSERT_EQ(run_demo_model(opt, "0").status, 0);
        const std::string text = test::read_file(out + ".out");
        const auto at = text.find("Region,Units,Hours,HC tons,NOx tons,CO tons\r\n");
        ASSERT_NE(at, std::string::npos) << text;
        tables[i] = text.substr(at);
        const std::regex row("\r\n(06000|32000),[0-9]+,[0-9]+,[0-9.]+,[0-9.]+,[0-9.]+");
        EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), row),
                                std::sregex_iterator()),
                  2)
            << text;
    }
    EXPECT_NE(tables[0], tables[1]);
}

}  // namespace
}  // namespace qv
