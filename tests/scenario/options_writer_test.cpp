#include <gtest/gtest.h>

#include <filesystem>

#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "support/workspace.h"

namespace qv::test {
namespace {

// A file with comments, a lower-case header with trailing text, an unknown packet, an old
// "Written by" line and no STAGE II, MODELYEAR OUT or DAILY FILES packets.
const std::string original =
    crlf({"Written by Quarvel interface at 1/1/2001 1:00:00 AM",
          "* a comment before the first packet", "", "/runfiles/ with trailing text",
          "MESSAGE            : c:\\out\\run.msg", "OUTPUT DATA        : c:\\out\\run.out",
          "/END/"}) +
    fixture::options({.title1 = "Mixed Case Title"}) +
    fixture::packet("/MY OWN PACKET/", {"kept : exactly   as it is"}) + fixture::period() +
    crlf({"  /Region/", "Region Level       : COUNTY", "Los Angeles Co CA  :   06037", "/END/"}) +
    fixture::california_file_lists() + crlf({"* a comment at the end"});

std::vector<std::string> lines_of(const std::string& bytes) {
    return split_lines(bytes);
}

// The lines of `bytes` from the header line `header` to its "/END/".
std::vector<std::string> packet(const std::string& bytes, const std::string& header) {
    std::vector<std::string> all = lines_of(bytes), r;
    bool in = false;
    for (const auto& l : all) {
        if (!in && upper(ltrim(l)).rfind(header, 0) == 0)
            in = true;
        if (in)
            r.push_back(l);
        if (in && l == "/END/")
            break;
    }
    return r;
}

class OptionsWriter : public ::testing::Test {
  protected:
    void SetUp() override {
        w.county("06037", "Los Angeles");
        w.load("model/run.opt", original);
        ASSERT_TRUE(w.ui.messages().empty());
    }
    std::string save() {
        EXPECT_TRUE(update_default_option_file(w.s));
        return w.read("model/run.opt");
    }
    Workspace w;
};

TEST_F(OptionsWriter, UnchangedScenarioKeepsEveryOtherLineByteForByte) {
    std::string saved = save();
    auto out = lines_of(saved);
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out[0], "Written by Quarvel interface at 12/9/2026 1:02:03 PM");
    EXPECT_EQ(out[1], "* a comment before the first packet");
    EXPECT_EQ(out[2], "");
    EXPECT_EQ(saved.find("1/1/2001"), std::string::npos);
    // Every line written ends in CR LF.
    EXPECT_EQ(saved.find('\n'), saved.find("\r\n") + 1);
    for (const char* kept : {"/OPTIONS/", "/MY OWN PACKET/", "/PERIOD/", "/REGION/",
                             "/ALLOC FILES/", "/POP FILES/", "/EMFAC FILES/"})
        EXPECT_EQ(packet(saved, kept), packet(original, kept)) << kept;
    EXPECT_EQ(out.back(), "/END/");
    EXPECT_EQ(packet(saved, "/STAGE II/"),
              (std::vector<std::string>{"/STAGE II/", "Control Factor     : 0.0", "/END/"}));
    EXPECT_NE(saved.find("* a comment at the end\r\n/STAGE II/"), std::string::npos);
    // No MODELYEAR OUT or DAILY FILES packet appears where the file had none.
    EXPECT_EQ(saved.find("/MODELYEAR OUT/"), std::string::npos);
    EXPECT_EQ(saved.find("/DAILY FILES/"), std::string::npos);
    EXPECT_EQ(packet(saved, "/RUNFILES/").size(), 13u);
    EXPECT_EQ(packet(saved, "/RUNFILES/")[7], "MESSAGE            : c:\\out\\run.msg");
}

TEST_F(OptionsWriter, ChangedFlagsRewriteExactlyTheirPackets) {
    w.s.sc.title1str = "NEW";
    w.s.sc.options_changed = true;
    w.s.sc.alloc_files_changed = true;
    std::string saved = save();
    EXPECT_EQ(packet(saved, "/OPTIONS/")[1], "Title 1            : NEW");
    EXPECT_EQ(packet(saved, "/OPTIONS/")[2], "Title 2            : TWO");
    EXPECT_EQ(packet(saved, "/ALLOC FILES/")[1],
              "Allocation File    :c:\\data\\allocate\\ca_pop.alo");
    EXPECT_EQ(packet(saved, "/REGION/"), packet(original, "/REGION/"));

    w.s.sc.region_changed = true;
    saved = save();
    EXPECT_EQ(packet(saved, "/REGION/"),
              (std::vector<std::string>{"/REGION/", "Region Level       : COUNTY",
                                        "Los Angeles CA     : 06037", "/END/"}));
}

TEST_F(OptionsWriter, OptionalPacketsAreAppendedOnlyByTheirRule) {
    w.s.sc.run_files[rf::daily_temps] = "C:\\DAILY\\T.DAT";
    w.s.sc.source_found = true;
    w.s.sc.source_subset = true;
    w.s.sc.source_list = {{"2270002000", "x"}, {}};
    w.s.sc.deteriorate_found = true;
    w.s.sc.deteriorate_files[0] = "C:\\DET\\THC.DET";
    std::string saved = save();
    EXPECT_EQ(saved.find("/DAILY FILES/"), std::string::npos);
    EXPECT_NE(saved.find("* a comment at the end\r\n/DETERIORATE FILES/\r\nTHC exhaust        : "
                         "c:\\det\\thc.det\r\n/END/\r\n/SOURCE CATEGORY/\r\n                   "
                         ":2270002000\r\n/END/\r\n/STAGE II/\r\n"),
              std::string::npos);
}

TEST_F(OptionsWriter, AllSourcesDropsTheSourcePacket) {
    std::string with =
        original + crlf({"/SOURCE CATEGORY/", "                   :2270002000", "/END/"});
    w.source("2270002000", "All", "Construction", "Diesel");
    w.load("model/run.opt", with);
    EXPECT_TRUE(w.s.sc.source_subset);
    w.s.sc.source_subset = false;
    std::string saved = save();
    EXPECT_EQ(saved.find("/SOURCE CATEGORY/"), std::string::npos);
}

TEST_F(OptionsWriter, PacketWithoutEndIsReplacedAndTheMergeStops) {
    std::string cut = original.substr(0, original.find("/EMFAC FILES/")) +
                      crlf({"/EMFAC FILES/", "THC exhaust        : c:\\x.emf", "more"});
    w.load("model/run.opt", cut);
    w.s.sc.emfac_changed = true;
    std::string saved = save();
    auto emfac = packet(saved, "/EMFAC FILES/");
    EXPECT_EQ(emfac, (std::vector<std::string>{"/EMFAC FILES/", "THC exhaust        : c:\\x.emf",
                                               "/END/"}));
}

TEST_F(OptionsWriter, SaveReplacesTheFileWholeAndLeavesNoTemporary) {
    save();
    for (const auto& e : std::filesystem::directory_iterator(w.dir.path() / "model"))
        EXPECT_EQ(e.path().filename(), "run.opt");
    EXPECT_EQ(w.view.caption, "US KQT QUARVEL MODEL (run.opt)");
}

TEST_F(OptionsWriter, FailedWriteLeavesTheOldFileAndSaysWhy) {
    w.s.sc.option_file_dir = w.program("model/missing-dir");
    EXPECT_FALSE(update_default_option_file(w.s));
    EXPECT_EQ(w.ui.messages().back(), "file error 75");
    EXPECT_EQ(w.s.log.lines().back(), "Newoptions code  2.3 run.opt");

    w.set_current("model/run.opt");
    w.s.sc.save_file_dir = w.program("model");
    w.s.sc.save_file_name = "copy.opt";
    w.s.sc.option_file_name = "gone.opt";
    EXPECT_FALSE(write_options_file(w.s));
    EXPECT_EQ(w.ui.messages().back(), "file error 53");
    EXPECT_EQ(w.s.log.lines().back(), "Newoptions code  2.4 gone.opt");
    EXPECT_FALSE(std::filesystem::exists(w.dir.path() / "model/copy.opt"));
    EXPECT_EQ(w.read("model/run.opt"), original);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// A file with LF line ends comes back with CR LF ends and otherwise the same lines.
TEST(OptionsWriterLineEnds, LfOnlyInputIsWrittenWithCrLf) {
    Workspace w;
    w.county("06037", "Los Angeles");
    std::string lf;
    for (char c : original)
        if (c != '\r')
            lf += c;
    w.load("model/lf.opt", lf);
    ASSERT_TRUE(w.ui.messages().empty());
    ASSERT_TRUE(update_default_option_file(w.s));
    std::string saved = w.read("model/lf.opt");
    std::size_t lone_lf = 0;
    for (std::size_t i = 0; i < saved.size(); ++i)
        if (saved[i] == '\n' && (i == 0 || saved[i - 1] != '\r'))
            ++lone_lf;
    EXPECT_EQ(lone_lf, 0u);
    for (const char* kept : {"/OPTIONS/", "/MY OWN PACKET/", "/REGION/", "/EMFAC FILES/"})
        EXPECT_EQ(packet(saved, kept), packet(original, kept)) << kept;
}

}  // namespace
}  // namespace qv::test
