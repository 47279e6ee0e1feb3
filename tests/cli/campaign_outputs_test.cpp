#include "cli/campaign_outputs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace qv::cli {
namespace {

namespace fs = std::filesystem;

// The quick reader of result names must agree with a full read of the options file, whatever
// form the names take and whether the files exist in another letter case.
TEST(CampaignOutputs, AgreeWithAFullReadOfTheOptionsFile) {
    const fs::path start = fs::current_path();
    test::TempDir dir;
    const fs::path model = dir.path() / "model";
    test::copy_demo_model(model);
    fs::create_directories(model / "outputs");
    fs::create_directories(dir.path() / "elsewhere");
    dir.write("model/outputs/Mixed.Out", "");
    dir.write("model/outputs/mixed.out", "");
    dir.write("model/outputs/lower.msg", "");
    const std::string demo = test::read_file(model / "demo.opt");

    const struct {
        std::string message, output;
    } rows[] = {
        {"outputs\\lower.msg", "outputs\\MIXED.OUT"},
        {"plain.msg", "plain.out"},  // no directory: the options file's
        {(dir.path() / "elsewhere/abs.msg").string(), (dir.path() / "elsewhere/ABS.out").string()},
        {"..\\elsewhere\\up.msg", "outputs\\new.out"},
    };
    const CommonOptions common{"", model.string(), "qv-demo-model", ""};
    const auto quick = run_files_reader(common);
    int line = 0;
    for (const auto& row : rows) {
        std::string text = demo;
        for (const auto& [from, to] : {std::pair{std::string("outputs\\demo.msg"), row.message},
                                       {std::string("outputs\\demo.out"), row.output}})
            text.replace(text.find(from), from.size(), to);
        const std::string opt = dir.write("model/s" + std::to_string(++line) + ".opt", text);

        HeadlessSession full(common, nullptr);
        ASSERT_TRUE(full.open(opt));
        const auto expected = runs::scenario_outputs(full.s);
        fs::current_path(start);
        const auto got = quick({line, opt, opt});
        EXPECT_EQ(got.message, expected.message) << row.message;
        EXPECT_EQ(got.output_data, expected.output_data) << row.output;
    }

    EXPECT_THROW(quick({9, "x.opt", (dir.path() / "missing.opt").string()}), runs::CampaignError);
    const std::string bare = dir.write("model/bare.opt", "/OPTIONS/\r\nTitle 1 : t\r\n/END/\r\n");
    EXPECT_THROW(quick({10, "bare.opt", bare}), runs::CampaignError);
}

}  // namespace
}  // namespace qv::cli
