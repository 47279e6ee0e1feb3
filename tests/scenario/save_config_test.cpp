#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/program_end.h"
#include "scenario/config.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/state_table.h"
#include "support/workspace.h"

namespace qv::test {
namespace {

const std::string minimal =
    fixture::runfiles("outputs\\old.msg", "outputs\\old.out") +
    fixture::options({.title1 = "t", .title2 = "", .rvp = "9", .oxygen = "0"}) + fixture::period() +
    fixture::region("US TOTAL") + fixture::empty_file_lists() +
    fixture::packet("/MODELYEAR OUT/", {"EXHAUST BMY OUT    : x.bmx", "EVAP BMY OUT       :"});

class SaveAs : public ::testing::Test {
  protected:
    void SetUp() override {
        w.load("model/run.opt", minimal);
        ASSERT_TRUE(w.ui.messages().empty()) << w.ui.messages()[0];
        w.ui.clear();
    }
    Workspace w;
};

TEST_F(SaveAs, NewNameRenamesMessageOutputAndModelYearFiles) {
    std::filesystem::create_directories(w.dir.path() / "other/outputs");
    w.ui.choose(w.program("other/RUN2.OPT"));
    file_save_as(w.s);
    const Scenario& sc = w.s.sc;
    std::string results = w.program("other") + "/outputs";
    EXPECT_EQ(sc.run_files[rf::message], results + "/RUN2.MSG");
    EXPECT_EQ(sc.run_files[rf::output_data], results + "/RUN2.OUT");
    EXPECT_EQ(sc.run_files[rf::exhaust_bmy], results + "/RUN2.BMX");
    EXPECT_EQ(sc.option_file_name, "RUN2.OPT");
    EXPECT_EQ(sc.prev_option_file_name, "run.opt");
    EXPECT_EQ(w.view.caption, "US KQT QUARVEL MODEL (run2.opt)");
    std::string saved = w.read("other/RUN2.OPT");
    EXPECT_NE(saved.find("MESSAGE            : " + results + "/run2.msg\r\n"), std::string::npos);
    EXPECT_EQ(w.read("model/run.opt"), minimal);
    auto& req = w.ui.calls()[0].request;
    EXPECT_EQ(req.title, "Save option file as ");
    EXPECT_EQ(req.filter, "Option files (*.opt)|*.opt|All files (*.*)|*.*");
    EXPECT_TRUE(req.overwrite_prompt);
}

TEST_F(SaveAs, WithoutOutputsDirectoryResultsGoBesideTheFile) {
    std::filesystem::create_directories(w.dir.path() / "other");
    w.ui.choose(w.program("other/b.opt"));
    file_save_as(w.s);
    EXPECT_EQ(w.s.sc.run_files[rf::message], w.program("other") + "/b.MSG");
}

TEST_F(SaveAs, LongNameIsRefusedAndAskedAgain) {
    w.ui.choose(w.program("model/ABCDEFGHI.OPT"));
    w.ui.choose(w.program("model/my.longname.opt"));
    file_save_as(w.s);
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{
                                   "ABCDEFGHI\nFilename too long: Must be 8 characters max before "
                                   "period"});
    EXPECT_EQ(w.ui.calls()[1].icon, Icon::Exclamation);
    EXPECT_EQ(w.s.sc.option_file_name, "my.longname.opt");
}

TEST_F(SaveAs, CancelAndMissingPeriodChangeNothing) {
    for (bool cancel : {true, false}) {
        if (cancel)
            w.ui.cancel_chooser();
        else
            w.ui.choose(w.program("model/RUN2"));
        file_save_as(w.s);
        EXPECT_EQ(w.ui.messages().back(), cancel ? "Error: Cannot save file: Error 32755"
                                                 : "Error: Cannot save file: Error 5");
        EXPECT_EQ(w.ui.calls().back().title, std::nullopt);
        EXPECT_EQ(w.s.log.lines().back(), "Cancelled error  2 ");
        EXPECT_EQ(w.s.sc.option_file_name, "run.opt");
        EXPECT_EQ(w.s.sc.run_files[rf::message], w.program("model") + "/OUTPUTS/OLD.MSG");
    }
}

TEST_F(SaveAs, TheCurrentFileInAnotherCaseIsAPlainSave) {
    w.s.sc.title1str = "CHANGED";
    w.s.sc.options_changed = true;
    w.ui.choose(w.program("model/RUN.OPT"));
    file_save_as(w.s);
    EXPECT_EQ(w.s.sc.option_file_name, "run.opt");
    EXPECT_NE(w.read("model/run.opt").find("Title 1            : CHANGED"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(w.dir.path() / "model/RUN.OPT"));
    EXPECT_EQ(w.s.sc.run_files[rf::message], w.program("model") + "/OUTPUTS/OLD.MSG");
}

TEST(Name83, OnlyTheCharactersBeforeTheFirstPeriodCount) {
    Workspace w;
    struct Row {
        const char* path;
        Name83 outcome;
    } rows[] = {
        {"c:\\x\\abcdefgh.dat", Name83::Accepted},
        {"abcdefgh.data", Name83::Accepted},
        {"my.longname.dat", Name83::Accepted},
        {".hidden", Name83::Accepted},
        {"c:\\x\\abcdefghi.dat", Name83::TooLong},
        {"c:\\x.y\\noperiod", Name83::NoPeriod},
        // Characters, not bytes: eight two-byte letters pass, nine do not; Latin-1
        // bytes (not UTF-8) count one each.
        {"\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f\xc3\xa9.opt", Name83::Accepted},
        {"\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4.opt", Name83::Accepted},
        {"\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4.opt",
         Name83::TooLong},
        {"caf\xe9\xe9\xe9\xe9\xe9.opt", Name83::Accepted}};
    for (const auto& r : rows)
        EXPECT_EQ(check_83_name(w.s, r.path), r.outcome) << r.path;
    EXPECT_EQ(w.ui.messages().size(), 2u);
}

TEST(StateTable, FiftyThreeRowsInTheFixedOrder) {
    StateTable t;
    build_state_table(t);
    ASSERT_EQ(t.size(), 53u);
    EXPECT_EQ(t.find("72")->statename, "Puerto Rico");
    EXPECT_EQ(t.find("72")->abbr, "PR");
    EXPECT_EQ(t.find("11")->statename, "Washington DC");
    EXPECT_EQ(t.find("03"), nullptr);
    EXPECT_EQ(t[38]->code, "72");
    EXPECT_EQ(t[49]->code, "11");
    EXPECT_EQ(t[52]->abbr, "WY");
}

class Config : public ::testing::Test {
  protected:
    void SetUp() override {
        w.s.log.close();
        w.s.log.open_in_memory();
        w.write("model/quarvel.exe", "");
        w.write("model/a.opt", "");
        w.write("model/b.opt", "");
        w.write("data/x.me", "");
        w.s.settings.config_path = w.program("qv-gui.ini");
    }
    std::string ini(const std::string& line4, const std::string& line6) {
        return crlf({w.program("model") + "\t:model directory", "quarvel.exe\t:model executable",
                     "a.opt\t:input option file", line4 + "\t:output option file",
                     w.program("data") + "\t:Data dir", line6 + "\t:ACCESS executable"});
    }
    Workspace w;
};

TEST_F(Config, ValuesAreTakenByPositionAndChecked) {
    EXPECT_EQ(config_value("abc\tkey\tmore"), "abc");
    EXPECT_EQ(config_value("no tab"), "no tab");
    w.write("qv-gui.ini", ini("b.opt", ""));
    ConfigOutcome outcome = read_config_file(w.s);
    EXPECT_FALSE(outcome.reports_enabled);
    EXPECT_TRUE(outcome.run_enabled);
    EXPECT_EQ(w.s.settings.data_dir, w.program("data"));
    EXPECT_EQ(w.s.sc.save_file_name, "b.opt");
    EXPECT_TRUE(w.ui.messages().empty());

    w.s.settings.app_dir = w.program("out");
    std::filesystem::create_directories(w.dir.path() / "out");
    write_config_file(w.s);
    EXPECT_EQ(w.read("out/qv-gui.ini"), ini("b.opt", ""));
}

// An ini written with "\\" separators is read into the host's form and written back so.
TEST_F(Config, BackslashPathsTakeTheHostForm) {
    std::string backslashed = ini("b.opt", "");
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    w.write("qv-gui.ini", backslashed);
    read_config_file(w.s);
    EXPECT_TRUE(w.ui.messages().empty());
    EXPECT_EQ(w.s.settings.model_dir, w.program("model"));
    EXPECT_EQ(w.s.settings.data_dir, w.program("data"));
    write_config_file(w.s);
    EXPECT_EQ(w.read("qv-gui.ini"), ini("b.opt", ""));
}

TEST_F(Config, MissingPathEndsThroughFini) {
    w.write("qv-gui.ini", ini("nosuch.opt", ""));
    try {
        read_config_file(w.s);
        FAIL() << "did not end";
    } catch (const ProgramEnd& end) {
        EXPECT_TRUE(end.fini);
    }
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{
                                   w.program("model") +
                                   "/nosuch.opt does not exist. Correct qv-gui.ini and retry."});
    auto lines = w.s.log.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Ending run");
    EXPECT_EQ(lines.back(), "****************************");
    EXPECT_FALSE(w.s.log.is_open());
}

TEST_F(Config, ShortFileLeavesEmptyValuesThatAreStillChecked) {
    w.write("qv-gui.ini", crlf({w.program("model") + "\t:model directory", "quarvel.exe"}));
    EXPECT_THROW(read_config_file(w.s), ProgramEnd);
    // The empty file names list the model directory itself and pass; the empty data
    // directory does not.
    EXPECT_EQ(w.ui.messages(),
              std::vector<std::string>{" does not exist. Correct qv-gui.ini and retry."});
}

}  // namespace
}  // namespace qv::test
