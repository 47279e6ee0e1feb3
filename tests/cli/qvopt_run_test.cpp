#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/qvopt.h"
#include "support/temp_dir.h"

namespace qv::cli {
namespace {

namespace fs = std::filesystem;

// qvopt run on a copy of the demo workspace with the real stand-in model.
TEST(QvoptRun, RunsTheDemoModelAndReportsItsFiles) {
    const fs::path start_dir = fs::current_path();
    test::TempDir dir;
    const fs::path model = dir.path() / "model";
    test::copy_demo_model(model, {.no_results = true});
    fs::copy_file(fs::path(QV_BINARY_DIR) / "tools/demo-model/qv-demo-model",
                  model / "qv-demo-model");
    const std::string opt = (model / "demo.opt").string();

    const struct {
        std::string exe;
        int status;
        std::vector<std::string> expected_out;
    } rows[] = {
        {"qv-demo-model",
         0,
         {"Run completed", "exit status 0",
          "message file " + (model / "outputs/demo.msg").string() + ": ",
          "output file " + (model / "outputs/demo.out").string() + ": "}},
        {"no-such-model", 6, {"Problem starting Core Model"}},
    };
    for (const auto& row : rows) {
        std::ostringstream out, err;
        int status = run_qvopt(
            {"qvopt", "--model-dir", model.string(), "--model-exe", row.exe, "run", opt}, out, err);
        fs::current_path(start_dir);
        EXPECT_EQ(status, row.status) << out.str() << err.str();
        for (const auto& text : row.expected_out)
            EXPECT_NE(out.str().find(text), std::string::npos) << text << "\n" << out.str();
        EXPECT_TRUE(fs::exists(model / "quarvel.bat"));
    }
    const std::string message = test::read_file(model / "outputs/demo.msg");
    const std::string output = test::read_file(model / "outputs/demo.out");
    for (const auto* text : {"Regions: 06000 32000 41000\r\n", "Run completed\r\n"}) {
        EXPECT_NE(message.find(text), std::string::npos) << message;
        EXPECT_NE(output.find(text), std::string::npos) << output;
    }
    EXPECT_NE(message.find("Demo scenario"), std::string::npos);
}

}  // namespace
}  // namespace qv::cli
