#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "shell/summary.h"
#include "support/workspace.h"

namespace qv {
namespace {

using test::Workspace;

// A file of `size` bytes below the workspace, without writing its bytes.
std::int64_t sized_file(Workspace& w, const std::string& relative, std::uintmax_t size) {
    std::filesystem::path p = w.dir.path() / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p).close();
    std::filesystem::resize_file(p, size);
    return w.fs.facts(w.program(relative))->mtime;
}

struct SummaryTest : ::testing::Test {
    SummaryTest() {
        w.s.sc.title1str = "DEMO RUN";
        w.s.sc.output_dir = w.s.settings.model_dir + "\\outputs";
        w.s.sc.message_dir = w.s.settings.model_dir + "\\outputs";
        w.s.sc.output_file_name = "TEST.OUT";
        w.s.sc.message_file_name = "TEST.MSG";
        std::filesystem::create_directories(w.dir.path() / "model" / "outputs");
    }
    ~SummaryTest() override { std::filesystem::current_path(cwd); }
    std::filesystem::path cwd = std::filesystem::current_path();
    Workspace w;
};

TEST(FileFacts, PadsLineUpTheSizeAndDropWhatDoesNotFit) {
    const std::string date = file_date_text(0);
    struct Row {
        std::string name;
        std::uint64_t size;
        int field;
        std::string expected;  // before the date; "-" when the facts are left off
    } rows[] = {
        {"test.out", 12345, 15, std::string(7, ' ') + "  12345 bytes "},
        {"test.msg", 12345, 13, std::string(5, ' ') + "  12345 bytes "},
        {"", 1, 15, std::string(12, ' ') + "      1 bytes "},  // pad 1 is cut at 12
        {"abcdefghijklmno", 0, 15, "      0 bytes "},
        {"abcdefghijklmnop", 0, 15, "-"},
        {"abcdefghijklm", 9999999, 13, "9999999 bytes "},
        {"a", 10000000, 15, "-"},
    };
    for (const auto& r : rows) {
        std::string want = r.expected == "-" ? "" : r.expected + date;
        EXPECT_EQ(file_facts(r.name, r.size, 0, r.field), want) << r.name << " " << r.size;
    }
}

TEST_F(SummaryTest, LinesWithoutFilesOnDisk) {
    SummaryLines r = summary_lines(w.s);
    EXPECT_EQ(r.title, "Simulation Run Title       : DEMO RUN");
    EXPECT_EQ(r.message, "Current Message File     : test.msg");
    EXPECT_EQ(r.output, "Current Output Data File : test.out");
    EXPECT_FALSE(r.message_found);
    EXPECT_EQ(r.text(), r.title + "\n" + r.message + "\n" + r.output);
}

TEST_F(SummaryTest, OutputsDirectoryRuleIgnoresCaseAndOtherDirectoriesShowTheWholePath) {
    struct Row {
        std::string dir;
        std::string shown;
    } rows[] = {
        {w.s.settings.model_dir + "\\OUTPUTS", "test.out"},
        {w.s.settings.model_dir + "\\Outputs", "test.out"},
        {w.s.settings.model_dir + "/outputs", "test.out"},
        {w.s.settings.model_dir, w.s.settings.model_dir + "/test.out"},
        {w.s.settings.model_dir + "\\outputs\\old",
         w.s.settings.model_dir + "/outputs/old/test.out"},
    };
    for (const auto& r : rows) {
        w.s.sc.output_dir = r.dir;
        EXPECT_EQ(summary_lines(w.s).output, "Current Output Data File : " + lower(r.shown))
            << r.dir;
    }
}

TEST_F(SummaryTest, FilesOnDiskAddSizeAndDate) {
    auto out_time = sized_file(w, "model/outputs/TEST.OUT", 12345);
    auto msg_time = sized_file(w, "model/outputs/TEST.MSG", 678);
    SummaryLines r = summary_lines(w.s);
    EXPECT_EQ(r.output, "Current Output Data File : test.out" + std::string(9, ' ') +
                            "12345 bytes " + file_date_text(out_time));
    EXPECT_EQ(r.message, "Current Message File     : test.msg" + std::string(9, ' ') +
                             "678 bytes " + file_date_text(msg_time));
    EXPECT_TRUE(r.message_found);
}

TEST_F(SummaryTest, TooLargeOutputAndTooLongMessageNameShowThePathOnly) {
    sized_file(w, "model/outputs/TEST.OUT", 10000000);
    w.s.sc.message_file_name = "ABCDEFGHIJ.MSG";  // 14 characters
    sized_file(w, "model/outputs/ABCDEFGHIJ.MSG", 10);
    SummaryLines r = summary_lines(w.s);
    EXPECT_EQ(r.output, "Current Output Data File : test.out");
    EXPECT_EQ(r.message, "Current Message File     : abcdefghij.msg");
    // The file is there, so its button shows even though its facts do not fit.
    EXPECT_TRUE(r.message_found);
}

TEST_F(SummaryTest, EndsInTheModelDirectoryAlsoWhenADirectoryIsMissing) {
    w.fs.set_current_dir(w.s.settings.app_dir);
    summary_lines(w.s);
    EXPECT_EQ(w.fs.current_dir(), w.s.settings.model_dir);

    w.fs.set_current_dir(w.s.settings.app_dir);
    w.s.sc.output_dir = w.s.settings.model_dir + "\\nowhere";
    w.s.sc.message_dir = w.s.settings.model_dir + "\\nowhere";
    SummaryLines r = summary_lines(w.s);
    EXPECT_FALSE(r.message_found);
    EXPECT_EQ(w.fs.current_dir(), w.s.settings.model_dir);
}

TEST(RunCaption, AmpersandGivesCurrentFileAndOtherNamesAreLowerCased) {
    EXPECT_EQ(run_caption("RUN1.OPT"), "&Run with run1.opt");
    EXPECT_EQ(run_caption("A&B.OPT"), "&Run with Current file");
    EXPECT_EQ(run_caption(""), "&Run with ");
}

}  // namespace
}  // namespace qv
