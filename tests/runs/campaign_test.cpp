#include "runs/campaign.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <map>

#include "support/temp_dir.h"

namespace qv::runs {
namespace {

TEST(Campaign, ParsesNamesSkippingBlanksAndComments) {
    const std::string text =
        "# states of the region\r\n"
        "\r\n"
        "  NV2020.opt  \r\n"
        "sub/AZ2020.opt\n"
        "   # indented comment\r"
        "/abs/UT2020.opt\n"
        "../up/CO.opt";  // no line end at the end
    const Campaign c = parse_campaign("/w/batch/campaign.txt", text);
    struct Want {
        int line;
        const char* written;
        const char* path;
    };
    const Want want[] = {{3, "NV2020.opt", "/w/batch/NV2020.opt"},
                         {4, "sub/AZ2020.opt", "/w/batch/sub/AZ2020.opt"},
                         {6, "/abs/UT2020.opt", "/abs/UT2020.opt"},
                         {7, "../up/CO.opt", "/w/up/CO.opt"}};
    ASSERT_EQ(c.entries.size(), std::size(want));
    for (std::size_t i = 0; i < std::size(want); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(c.entries[i].line, want[i].line);
        EXPECT_EQ(c.entries[i].written, want[i].written);
        EXPECT_EQ(c.entries[i].path, want[i].path);
    }
}

TEST(Campaign, EmptyListHasNoEntries) {
    EXPECT_TRUE(parse_campaign("/w/l.txt", "").entries.empty());
    EXPECT_TRUE(parse_campaign("/w/l.txt", "#only\n\n  \n").entries.empty());
}

// A list that is missing or not a regular file is refused with its name, and never waited on:
// a FIFO would block the open until a writer came.
TEST(Campaign, AListThatCannotBeReadIsRefusedWithItsName) {
    test::TempDir dir;
    const std::string fifo = (dir.path() / "fifo.txt").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string list, why;
    } rows[] = {
        {"/nonexistent-dir-qv/list.txt", "No such file or directory"},
        {dir.str(), "it is a directory"},
        {"/dev/null", "it is not a regular file"},
        {fifo, "it is not a regular file"},
    };
    for (const auto& row : rows) {
        auto reading = std::async(std::launch::async, [&] {
            try {
                read_campaign(row.list);
            } catch (const CampaignError& e) {
                return std::string(e.what());
            }
            return std::string("no refusal");
        });
        if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << row.list << " is waited on";
            // A writer lets the blocked open go on.
            ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        }
        EXPECT_EQ(reading.get(), row.list + ": cannot read the list file: " + row.why);
    }
}

// Outputs from a table keyed by the entry's path.
OutputsOf table(std::map<std::string, ScenarioOutputs> outputs) {
    return [outputs](const CampaignEntry& e) { return outputs.at(e.path); };
}

TEST(Campaign, DistinctOutputsPass) {
    const Campaign c = parse_campaign("/w/l.txt", "a.opt\nb.opt\n");
    auto all = check_distinct_outputs(c, table({{"/w/a.opt", {"/w/out/a.MSG", "/w/out/a.OUT"}},
                                                {"/w/b.opt", {"/w/out/b.MSG", "/w/out/b.OUT"}}}));
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].output_data, "/w/out/b.OUT");
}

TEST(Campaign, SharedFileIsRefusedNamingBothEntriesAndTheFile) {
    struct Case {
        const char* name;
        ScenarioOutputs second;
        const char* shared;
    };
    const Case cases[] = {
        {"same output", {"/w/out/b.MSG", "/w/out/a.OUT"}, "/w/out/a.OUT"},
        {"same message", {"/w/out/a.MSG", "/w/out/b.OUT"}, "/w/out/a.MSG"},
        {"message over output", {"/w/out/a.OUT", "/w/out/b.OUT"}, "/w/out/a.OUT"},
        {"case and separators differ", {"/w/out/b.MSG", "/w//OUT/./A.out"}, "/w//OUT/./A.out"},
        {"a part climbed out of", {"/w/out/b.MSG", "/w/x/../out/a.OUT"}, "/w/x/../out/a.OUT"},
    };
    const Campaign c = parse_campaign("/w/l.txt", "a.opt\n# x\nb.opt\n");
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        try {
            check_distinct_outputs(
                c, table({{"/w/a.opt", {"/w/out/a.MSG", "/w/out/a.OUT"}}, {"/w/b.opt", k.second}}));
            FAIL() << "no refusal";
        } catch (const CampaignError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("/w/l.txt: line 1 (/w/a.opt) and line 3 "
                                                         "(/w/b.opt) would both write ") +
                                                 k.shared);
        }
    }
}

TEST(Campaign, SameFileListedTwiceIsRefused) {
    const Campaign c = parse_campaign("/w/l.txt", "a.opt\n./a.opt\n");
    EXPECT_THROW(check_distinct_outputs(c,
                                        [](const CampaignEntry&) {
                                            return ScenarioOutputs{"/w/a.MSG", "/w/a.OUT"};
                                        }),
                 CampaignError);
}

}  // namespace
}  // namespace qv::runs
