#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "qvopt_demo.h"

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

using QvoptStatus = test::QvoptDemo;

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

TEST_F(QvoptStatus, WhyListsTheChangedFilesAndWhatChangedInTheScenario) {
    std::string out;
    ASSERT_EQ(qvopt({"run", opt}, &out), 0) << out;
    const std::string demo = test::read_file(opt);
    const std::string record_text = test::read_file(record);
    const fs::path activity = model / "data/ACTIVITY/activity.dat";
    const std::string activity_text = test::read_file(activity);
    auto rvp = [&] {
        std::string text = demo;
        text.replace(text.find("gas   : 8.0"), 11, "gas   : 7.8");
        dir.write("model/demo.opt", text);
    };
    // A record of an older version: no copy of the options text.
    auto old_record = [&] {
        auto doc = nlohmann::ordered_json::parse(record_text);
        doc.erase("options_text");
        dir.write("model/outputs/demo.out.run.json", doc.dump(2));
        rvp();
    };
    const std::string changed_opt = "    options file " + opt + " changed\n";
    const struct {
        const char* name;
        std::function<void()> edit;
        std::string out;
    } rows[] = {
        {"an options edit", rvp,
         opt + ": out of date: options file " + opt + " changed\n  changed files:\n" + changed_opt +
             "  changed in the scenario:\n    /OPTIONS/\n      Fuel RVP for gas: 8.0 -> 7.8\n"},
        {"an input edit", [&] { dir.write("model/data/ACTIVITY/activity.dat", "other\r\n"); },
         opt + ": out of date: input " + activity.string() + " changed\n  changed files:\n" +
             "    input " + activity.string() + " changed\n"},
        {"an old record", old_record,
         opt + ": out of date: options file " + opt + " changed\n  changed files:\n" + changed_opt +
             "  changed in the scenario: not recorded\n"},
    };
    for (const auto& r : rows) {
        r.edit();
        EXPECT_EQ(qvopt({"status", "--why", opt}, &out), 1) << r.name;
        EXPECT_EQ(out, r.out) << r.name;
        dir.write("model/demo.opt", demo);
        dir.write("model/data/ACTIVITY/activity.dat", activity_text);
        dir.write("model/outputs/demo.out.run.json", record_text);
    }

    // The record stands for the scenario as it ran, in --json and in diff.
    rvp();
    ASSERT_EQ(qvopt({"status", "--why", "--json", opt}, &out), 1);
    EXPECT_EQ(nlohmann::json::parse(out)[0]["differences"], nlohmann::json::parse(R"([
        {"packet": "/OPTIONS/", "field": "Fuel RVP for gas", "a": "8.0", "b": "7.8"}])"));
    EXPECT_EQ(qvopt({"diff", record.string(), opt}, &out), 1);
    EXPECT_EQ(out, "/OPTIONS/\n  Fuel RVP for gas: 8.0 -> 7.8\n");
    old_record();
    EXPECT_EQ(qvopt({"diff", record.string(), opt}, &out), 2);
    EXPECT_EQ(out,
              "qvopt diff: " + record.string() + ": the scenario of the run is not recorded\n");
}

}  // namespace
}  // namespace qv::cli
