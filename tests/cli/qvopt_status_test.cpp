#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/qvopt.h"
#include "support/temp_dir.h"

namespace qv::cli {
namespace {

namespace fs = std::filesystem;

std::string sha256sum(const fs::path& path) {
    const std::string command = "sha256sum '" + path.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[128] = {};
    std::string text = pipe && fgets(buffer, sizeof buffer, pipe) ? buffer : "";
    if (pipe)
        pclose(pipe);
    return text.substr(0, 64);
}

// qvopt run, status and verify on a copy of the demo workspace with the stand-in model.
struct QvoptStatus : ::testing::Test {
    const fs::path start_dir = fs::current_path();
    test::TempDir dir;
    fs::path model = dir.path() / "model";
    std::string opt = (model / "demo.opt").string();
    fs::path record = model / "outputs/demo.out.run.json";

    void SetUp() override {
        test::copy_demo_model(model, {.model_program = true});
        fs::create_directories(model / "outputs");
    }
    void TearDown() override { fs::current_path(start_dir); }

    int qvopt(std::vector<std::string> args, std::string* output = nullptr) {
        args.insert(args.begin(),
                    {"qvopt", "--model-dir", model.string(), "--model-exe", "qv-demo-model"});
        std::ostringstream out, err;
        const int status = run_qvopt(args, out, err);
        fs::current_path(start_dir);
        if (output)
            *output = out.str() + err.str();
        return status;
    }
};

TEST_F(QvoptStatus, ARunLeavesARecordThatStatusAndVerifyRead) {
    std::string out;
    ASSERT_EQ(qvopt({"status", opt}, &out), 1);
    EXPECT_EQ(out, opt + ": never run\n");

    ASSERT_EQ(qvopt({"run", opt}, &out), 0) << out;
    ASSERT_TRUE(fs::exists(record)) << out;
    const auto doc = nlohmann::json::parse(test::read_file(record));
    EXPECT_EQ(doc["format"], "qv-run-record/1");
    EXPECT_EQ(doc["program"]["name"], "qvopt");
    EXPECT_EQ(doc["exit"]["status"], 0);
    EXPECT_EQ(doc["title"], "DEMO SCENARIO");
    EXPECT_EQ(doc["options_file"]["sha256"], sha256sum(opt));
    EXPECT_EQ(doc["model"]["sha256"], sha256sum(model / "qv-demo-model"));
    // The demo names 7 run files, 3 population, 3 allocation, 1 growth and 15 + 4 factor files.
    ASSERT_EQ(doc["inputs"].size(), 33u);
    for (const auto& f : doc["inputs"]) {
        ASSERT_TRUE(f["exists"].get<bool>()) << f.dump();
        EXPECT_EQ(f["sha256"], sha256sum(f["path"].get<std::string>())) << f.dump();
    }
    for (const auto& f : doc["results"]) {
        EXPECT_TRUE(f["written_by_this_run"].get<bool>()) << f.dump();
        EXPECT_EQ(f["sha256"], sha256sum(f["path"].get<std::string>())) << f.dump();
    }
    EXPECT_FALSE(doc["console_tail"].empty());

    EXPECT_EQ(qvopt({"status", opt}, &out), 0);
    EXPECT_EQ(out, opt + ": up to date\n");
    EXPECT_EQ(qvopt({"verify", record.string()}, &out), 0);
    EXPECT_EQ(out, record.string() + ": holds\n");

    // The same size, the same time, another content: only verify sees it.
    const fs::path activity = model / "data/ACTIVITY/activity.dat";
    const auto time = fs::last_write_time(activity);
    std::string bytes = test::read_file(activity);
    bytes[0] = bytes[0] == 'X' ? 'Y' : 'X';
    dir.write("model/data/ACTIVITY/activity.dat", bytes);
    fs::last_write_time(activity, time);
    EXPECT_EQ(qvopt({"status", opt}, &out), 0) << out;
    EXPECT_EQ(qvopt({"verify", record.string()}, &out), 1);
    EXPECT_NE(out.find("does not hold: input " + activity.string() + " changed"), std::string::npos)
        << out;

    // A new time as well: status sees it too, and names the file.
    fs::last_write_time(activity, time + std::chrono::seconds(3));
    EXPECT_EQ(qvopt({"status", opt}, &out), 1);
    EXPECT_EQ(out, opt + ": out of date: input " + activity.string() + " changed\n");
}

TEST_F(QvoptStatus, AnUnreadableRecordNeverStopsTheOtherFiles) {
    std::string out;
    ASSERT_EQ(qvopt({"run", opt}, &out), 0) << out;
    // A second scenario with an output of its own, and a broken record.
    std::string text = test::read_file(opt);
    const auto at = text.find("outputs/demo.out");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 16, "outputs/other.out");
    const std::string other = dir.write("model/other.opt", text);
    dir.write("model/outputs/other.out.run.json", "{\"format\": \"qv-run-record/9\"}");

    const std::string missing = (model / "missing.opt").string();
    EXPECT_EQ(qvopt({"status", other, missing, opt}, &out), 1);
    EXPECT_EQ(out, other + ": record unreadable: format qv-run-record/9, not qv-run-record/1\n" +
                       missing + ": record unreadable: the options file could not be read\n" + opt +
                       ": up to date\n");
    EXPECT_EQ(qvopt({"status", "--json", other, opt}, &out), 1);
    const auto doc = nlohmann::json::parse(out);
    ASSERT_EQ(doc.size(), 2u);
    EXPECT_EQ(doc[0]["status"], "record unreadable");
    EXPECT_EQ(doc[1]["status"], "up to date");
    EXPECT_EQ(doc[1]["record"], record.string());

    EXPECT_EQ(qvopt({"verify", (model / "outputs/other.out.run.json").string()}, &out), 1);
    EXPECT_NE(out.find("record unreadable"), std::string::npos);
}

}  // namespace
}  // namespace qv::cli
