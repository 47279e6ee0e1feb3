#include <gtest/gtest.h>

#include "platform/program_end.h"
#include "scenario/options_file.h"
#include "support/workspace.h"

namespace qv::test {
namespace {

// A complete scenario: every required packet, one state at level STATE.
std::string full_file(const std::string& extra = "", const std::string& growth = "") {
    return crlf({"* comment before the first packet"}) +
           fixture::runfiles("outputs\\run.msg", "c:\\results\\run.out") +
           fixture::options({.title1 = "first title", .title2 = "second"}) + fixture::period() +
           fixture::region("STATE", {"California         : 06000"}) +
           fixture::california_file_lists() + growth + extra;
}

const std::string growth_packet =
    fixture::packet("/GROWTH FILES/", {"Growth FILE        : c:\\data\\growth\\nation.grw"});

class OptionsReader : public ::testing::Test {
  protected:
    void SetUp() override { w.county("06000", "The State of California"); }
    Workspace w;
};

TEST_F(OptionsReader, ReadsAFullFileWithoutMessages) {
    w.load("model/TEST.OPT", full_file("", growth_packet));
    const Scenario& sc = w.s.sc;
    EXPECT_TRUE(w.ui.messages().empty());
    EXPECT_EQ(sc.title1str, "FIRST TITLE");
    EXPECT_EQ(sc.run_files[rf::message], w.s.settings.model_dir + "/OUTPUTS/RUN.MSG");
    EXPECT_EQ(sc.run_files[rf::output_data], "C:\\RESULTS\\RUN.OUT");
    ASSERT_EQ(sc.region_list.size(), 1u);
    EXPECT_TRUE(sc.region_list[0]->isState);
    EXPECT_EQ(sc.growth_files, (std::vector<std::string>{"C:\\DATA\\GROWTH\\NATION.GRW", ""}));
    EXPECT_EQ(sc.stage2str, "0.0");
    EXPECT_FALSE(sc.source_subset);
    EXPECT_EQ(w.view.caption, "US KQT QUARVEL MODEL (test.opt)");
    EXPECT_EQ(w.view.summaries, 1);
    EXPECT_EQ(w.ref.opens, w.ref.closes);
}

TEST_F(OptionsReader, HeadersMatchInAnyCaseWithBlanksBeforeAndTextAfter) {
    std::string text = full_file("", growth_packet);
    for (auto [from, to] : {std::pair{"/REGION/", "   /region/ trailing words"},
                            std::pair{"/GROWTH FILES/", "/Growth Files/x"}}) {
        text.replace(text.find(from), std::string(from).size(), to);
    }
    w.load("model/a.opt", text);
    EXPECT_TRUE(w.ui.messages().empty());
    EXPECT_TRUE(w.s.sc.region_found);
    EXPECT_TRUE(w.s.sc.growth_found);
    EXPECT_EQ(w.s.sc.growth_files.size(), 2u);
}

TEST_F(OptionsReader, MissingGrowthPacketKeepsThePreviousListAndStageTwoResets) {
    w.load("model/a.opt",
           full_file(crlf({"/STAGE II/", "Control Factor     : 0.5", "/END/"}), growth_packet));
    EXPECT_EQ(w.s.sc.stage2str, "0.5");
    EXPECT_TRUE(w.s.sc.stage2_present);
    w.load("model/b.opt", full_file());
    EXPECT_TRUE(w.ui.messages().empty());
    EXPECT_EQ(w.s.sc.growth_files.size(), 2u);
    EXPECT_EQ(w.s.sc.stage2str, "0.0");
    EXPECT_FALSE(w.s.sc.stage2_present);
}

TEST_F(OptionsReader, FileWithoutMainPacketsWarnsAndAsksForAnother) {
    w.write("model/good.opt", full_file());
    w.ui.choose(w.program("model/good.opt"));
    w.load("model/stage.opt", crlf({"/STAGE II/", "Control Factor     : 0.5", "/END/"}));
    ASSERT_EQ(w.ui.calls().size(), 2u);
    EXPECT_EQ(w.ui.calls()[0].text,
              "No packets found in the file: " + w.program("model/stage.opt") +
                  "\nIt appears that this file is not a QUARVEL options file.");
    EXPECT_EQ(w.ui.calls()[0].icon, Icon::Exclamation);
    EXPECT_EQ(w.ui.calls()[0].title, std::optional<std::string>("US KQT QUARVEL MODEL"));
    EXPECT_EQ(w.ui.calls()[1].kind, "open_file");
    EXPECT_EQ(w.ui.calls()[1].request.title, "Select new option file ");
    EXPECT_EQ(w.ui.calls()[1].request.initial_name, "stage.opt");
    EXPECT_EQ(w.s.sc.option_file_name, "good.opt");
    EXPECT_EQ(w.s.sc.title1str, "FIRST TITLE");
}

TEST_F(OptionsReader, EachMissingRequiredPacketIsReportedThenAnotherFileRead) {
    for (const char* header : {"/REGION/", "/ALLOC FILES/", "/EMFAC FILES/", "/POP FILES/",
                               "/OPTIONS/", "/PERIOD/", "/RUNFILES/"}) {
        Workspace ws;
        ws.county("06000", "The State of California");
        std::string text = full_file();
        std::size_t at = text.find(header);
        text.replace(at, std::string(header).size(), "/UNKNOWN/");
        ws.write("model/good.opt", full_file());
        ws.ui.choose(ws.program("model/good.opt"));
        ws.load("model/bad.opt", text);
        ASSERT_FALSE(ws.ui.messages().empty()) << header;
        EXPECT_EQ(ws.ui.messages()[0], std::string("Cannot find the ") + header +
                                           " packet in the options file.\nThe options file is "
                                           "corrupted.");
        EXPECT_EQ(ws.ui.messages().size(), 1u) << header;
        EXPECT_EQ(ws.s.sc.option_file_name, "good.opt");
    }
}

TEST_F(OptionsReader, CancelledChooserGoesBackToThePreviousFile) {
    w.s.sc.prev_option_file_name = "prev.opt";
    w.s.sc.prev_option_file_dir = w.program("model");
    w.ui.cancel_chooser();
    w.load("model/empty.opt", crlf({"nothing here"}));
    EXPECT_EQ(w.s.sc.option_file_name, "prev.opt");
    EXPECT_EQ(w.view.summaries, 1);
    EXPECT_TRUE(w.ui.all_answers_used());
}

TEST_F(OptionsReader, CancelWithoutPreviousFileAsksAgainOrStopsWhenNobodyCanAnswer) {
    w.write("model/good.opt", full_file());
    w.ui.cancel_chooser();
    w.ui.choose(w.program("model/good.opt"));
    w.load("model/empty.opt", crlf({"nothing here"}));
    EXPECT_EQ(w.s.sc.option_file_name, "good.opt");
    EXPECT_TRUE(w.ui.all_answers_used());

    // Shown once more, not again and again: a second cancel ends the read.
    Workspace twice;
    twice.ui.cancel_chooser();
    twice.ui.cancel_chooser();
    twice.load("model/empty.opt", crlf({"nothing here"}));
    EXPECT_TRUE(twice.ui.all_answers_used());
    EXPECT_EQ(twice.s.sc.option_file_name, "");
    EXPECT_EQ(twice.view.summaries, 1);
    EXPECT_TRUE(twice.s.read_incomplete);

    Workspace quiet;
    quiet.ui.may_ask_again_ = false;
    quiet.ui.cancel_chooser();
    EXPECT_THROW(quiet.load("model/empty.opt", crlf({"nothing here"})), ChooserStop);
}

TEST_F(OptionsReader, MissingFileAndBrokenPacketsGiveTheirMessages) {
    w.set_current("model/NoSuch.OPT");
    read_options_file(w.s);
    EXPECT_EQ(w.ui.messages().back(),
              "Cannot find options file: " + lower(w.program("model/NoSuch.OPT")));

    w.load("model/cut.opt", crlf({"/REGION/", "Region Level       : STATE", "x : 06000"}));
    EXPECT_EQ(w.ui.messages().back(), "Read options error Input past end of file62");
}

TEST_F(OptionsReader, FatalPacketsEndTheProgramAfterTheirMessage) {
    struct Row {
        std::string text;
        std::string message;
    } rows[] = {
        {crlf({"/REGION/", "x : 06000", "/END/"}),
         "Region 06000 is not known. Correct fatal.opt and retry"},
        {crlf({"/RUNFILES/", "BOGUS KEY          : x", "/END/"}),
         "Runfile descriptor not found BOGUS KEY       "},
        {crlf({"/PERIOD/", "Period type        : Weekly", "/END/"}),
         "Period type not recognized WEEKLY6"},
    };
    for (const auto& r : rows) {
        Workspace ws;
        ws.write("model/fatal.opt", r.text);
        ws.set_current("model/fatal.opt");
        try {
            read_options_file(ws.s);
            ADD_FAILURE() << "no end for " << r.message;
        } catch (const ProgramEnd& end) {
            EXPECT_FALSE(end.fini);
        }
        EXPECT_EQ(ws.ui.messages(), std::vector<std::string>{r.message});
    }
}

TEST_F(OptionsReader, LineEndingsOfEveryKindAreRead) {
    std::string text = full_file();
    std::string lf, cr;
    for (char c : text) {
        if (c == '\r')
            continue;
        lf += c;
        cr += c == '\n' ? '\r' : c;
    }
    for (const std::string& variant : {lf, cr}) {
        Workspace ws;
        ws.county("06000", "The State of California");
        ws.load("model/a.opt", variant);
        EXPECT_TRUE(ws.ui.messages().empty());
        EXPECT_EQ(ws.s.sc.title2str, "SECOND");
        EXPECT_EQ(ws.s.sc.alloc_files.size(), 1u);
    }
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST(ReadIncomplete, MarksReadsThatGaveUpPartWay) {
    Workspace w;
    w.county("06000", "The State of California");
    w.load("model/a.opt", crlf({"/REGION/", "Region Level       : STATE", "x: 06000"}));
    EXPECT_TRUE(w.s.read_incomplete);
    w.s.sc.prev_option_file_name = "a.opt";
    w.s.sc.prev_option_file_dir = w.program("model");
    w.ui.cancel_chooser();
    w.load("model/b.opt", crlf({"/REGION/", "Region Level       : STATE", "/END/"}));
    EXPECT_TRUE(w.s.read_incomplete);  // went back to a.opt with b.opt's region in the state
    EXPECT_EQ(w.s.sc.option_file_name, "a.opt");
}

}  // namespace
}  // namespace qv::test
