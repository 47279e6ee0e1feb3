#include <gtest/gtest.h>

#include <filesystem>

#include "platform/reference/sqlite_reference_engine.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/state_table.h"
#include "support/workspace.h"

namespace qv::test {
namespace {

// The demo scenario, read against the demo reference database and saved unchanged: only the
// packets that are always rewritten may differ, and those only in letter case and spacing.
TEST(DemoRoundTrip, SavingUnchangedKeepsTheFile) {
    TempDir dir;
    copy_demo_model(dir.path() / "model");
    ASSERT_TRUE(std::filesystem::exists(dir.path() / "model/reports/reports.mdb"));
    HostFileSystem fs;
    ScriptedUi ui;
    auto ref = make_reference_engine();
    Session s(ui, fs, *ref);
    prepare_session(s);
    s.settings.model_dir = fs.program_path((dir.path() / "model").string());
    read_demo_scenario(s);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(s.sc.region_list.size(), 3u);
    EXPECT_EQ(s.sc.source_list.size(), 4u);
    EXPECT_EQ(s.sc.region_list[0]->statename, "California");

    const std::string before = dir.read("model/demo.opt");
    ASSERT_TRUE(update_default_option_file(s));
    const std::string after = dir.read("model/demo.opt");
    auto old_lines = split_lines(before), new_lines = split_lines(after);
    ASSERT_EQ(new_lines.size(), old_lines.size() + 1);  // the new "Written by" line
    EXPECT_EQ(new_lines[0], "Written by Quarvel interface at 12/9/2026 1:02:03 PM");
    // Message and output names are kept as full paths once read.
    const std::string outputs = lower(s.settings.model_dir) + "/outputs/";
    for (std::size_t i = 0; i < old_lines.size(); ++i) {
        std::string expected = lower(old_lines[i]);
        if (expected.rfind("message", 0) == 0 || expected.rfind("output data", 0) == 0)
            expected = expected.substr(0, 21) + outputs + split_file_name(expected);
        EXPECT_EQ(lower(new_lines[i + 1]), expected) << "line " << i + 1;
    }

    // Read again: the same scenario.
    Scenario first = s.sc;
    read_options_file(s);
    for (int i = 0; i < run_file_count; ++i)
        EXPECT_EQ(lower(s.sc.run_files[i]), lower(first.run_files[i]));
    EXPECT_EQ(s.sc.title2str, first.title2str);
    EXPECT_EQ(s.sc.source_list.size(), first.source_list.size());
}

}  // namespace
}  // namespace qv::test
