#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/qvopt.h"
#include "support/temp_dir.h"

namespace qv::cli {
namespace {

namespace fs = std::filesystem;

// qvopt run on a copy of the demo workspace with the real stand-in model, which opens the paths
// it is given as written: under a folder whose name has capitals the paths written for it must
// keep them.
TEST(QvoptRun, RunsTheDemoModelAndReportsItsFiles) {
    const fs::path start_dir = fs::current_path();
    for (const char* folder : {"model", "Upper Case WS/Model"}) {
        SCOPED_TRACE(folder);
        test::TempDir dir;
        const fs::path model = dir.path() / folder;
        test::copy_demo_model(model, {.no_results = true, .model_program = true});
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
                {"qvopt", "--model-dir", model.string(), "--model-exe", row.exe, "run", opt}, out,
                err);
            fs::current_path(start_dir);
            EXPECT_EQ(status, row.status) << out.str() << err.str();
            for (const auto& text : row.expected_out)
                EXPECT_NE(out.str().find(text), std::string::npos) << text << "\n" << out.str();
            EXPECT_TRUE(fs::exists(model / "quarvel.bat"));
        }
        const std::string saved = test::read_file(model / "demo.opt");
        EXPECT_NE(
            saved.find("MESSAGE            : " + (model / "outputs/demo.msg").string() + "\r\n"),
            std::string::npos)
            << saved;
        EXPECT_NE(
            saved.find("OUTPUT DATA        : " + (model / "outputs/demo.out").string() + "\r\n"),
            std::string::npos)
            << saved;
        const std::string message = test::read_file(model / "outputs/demo.msg");
        const std::string output = test::read_file(model / "outputs/demo.out");
        for (const auto* text : {"Regions: 06000 32000 41000\r\n", "Run completed\r\n"}) {
            EXPECT_NE(message.find(text), std::string::npos) << message;
            EXPECT_NE(output.find(text), std::string::npos) << output;
        }
        EXPECT_NE(message.find("Demo scenario"), std::string::npos);
    }
}

}  // namespace
}  // namespace qv::cli
