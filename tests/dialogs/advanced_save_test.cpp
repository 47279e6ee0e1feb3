#include <gtest/gtest.h>

#include <QCheckBox>
#include <functional>

#include "advanced_fixture.h"
#include "scenario/line_io.h"
#include "scenario/options_file.h"

namespace qv::test {
namespace {

std::string options_file(bool with_run_file_packets) {
    std::string text =
        fixture::runfiles("c:\\qv\\out\\run.msg", "c:\\qv\\out\\run.out",
                          {"ACTIVITY           : old\\activity.dat"}) +
        fixture::options({.title1 = "Saving advanced files", .marine_sulfur = "0.2484"}) +
        fixture::period() + fixture::region("US TOTAL") + fixture::empty_file_lists();
    if (with_run_file_packets)
        text += crlf({"/MODELYEAR OUT/", "EXHAUST BMY OUT    : ", "EVAP BMY OUT       : ", "/END/",
                      "/DAILY FILES/", "DAILY TEMPS/RVP    : ", "/END/"});
    return text;
}

class SaveAfterOk : public AdvancedDialogTest {
  protected:
    // Loads the file, lets `edit` work the dialog, presses OK and saves over the file.
    std::vector<std::string> save_after(bool with_packets, const char* form,
                                        const std::function<void()>& edit) {
        w.load("model/run.opt", options_file(with_packets));
        EXPECT_TRUE(w.ui.messages().empty()) << w.ui.messages()[0];
        w.fs.set_current_dir(w.s.settings.app_dir);
        open(form);
        edit();
        click("CmdLeave1");
        EXPECT_FALSE(is_open()) << form;
        EXPECT_TRUE(update_default_option_file(w.s));
        return split_lines(w.read("model/run.opt"));
    }
    static bool has(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

// Files that exist keep their case on disk; a file still to be made is written in lower case.
TEST_F(SaveAfterOk, EachDialogsPathReachesItsPacketInItsCaseOnDisk) {
    for (const char* f : {"In/Activ.DAT", "In/Fips.DAT", "In/Daily.DAT", "In/Retro.DAT",
                          "In/Exh.DAT", "In/Evp.DAT", "In/Season.DAT", "In/Region.DAT"})
        touch(std::string("model/") + f);
    struct Case {
        const char* form;
        std::vector<std::pair<const char*, const char*>> typed;
        std::vector<const char*> lines;
    } cases[] = {
        {"frmActiv", {{"txtActivity", "In\\Activ.DAT"}}, {"ACTIVITY           : In\\Activ.DAT"}},
        {"frmUSCountiesFIPS",
         {{"txtUSCountiesFIPS", "In\\Fips.DAT"}},
         {"US COUNTIES FIPS   : In\\Fips.DAT"}},
        {"frmDaily", {{"txtDaily", "In\\Daily.DAT"}}, {"DAILY TEMPS/RVP    : In\\Daily.DAT"}},
        {"frmRetrofit", {{"txtRetrofit", "In\\Retro.DAT"}}, {"RETROFIT           : In\\Retro.DAT"}},
        {"frmTech",
         {{"txtExhaustTech", "In\\Exh.DAT"}, {"txtEvaporativeTech", "In\\Evp.DAT"}},
         {"EXH TECHNOLOGY     : In\\Exh.DAT", "EVP TECHNOLOGY     : In\\Evp.DAT"}},
        {"frmtemporal",
         {{"txtSeason", "In\\Season.DAT"}, {"txtRegion", "In\\Region.DAT"}},
         {"SEASONALITY        : In\\Season.DAT", "REGIONS            : In\\Region.DAT"}},
        {"frmoptout", {{"txtkpz", "Out\\Run.KPZ"}}, {"KPZ2 RDL           : out\\run.kpz"}},
    };
    for (const auto& c : cases) {
        auto lines = save_after(true, c.form, [&] {
            for (const auto& [name, value] : c.typed)
                type(name, value);
        });
        for (const char* line : c.lines)
            EXPECT_TRUE(has(lines, line)) << c.form << ": " << line;
    }
}

TEST_F(SaveAfterOk, ByModelYearNamesFollowTheOutputFile) {
    auto lines = save_after(true, "frmoptout", [&] {
        QTest::mouseClick(window->findChild<QCheckBox*>("chkbmy"), Qt::LeftButton);
    });
    EXPECT_TRUE(has(lines, "EXHAUST BMY OUT    : c:\\qv\\out\\run.bmx"));
    EXPECT_TRUE(has(lines, "EVAP BMY OUT       : c:\\qv\\out\\run.bmv"));
}

// A daily file, or by-model-year output, chosen for a file without the packet is saved in one
// appended at the end.
TEST_F(SaveAfterOk, ChosenDailyFileAndByModelYearAppendTheirPackets) {
    touch("model/In/Daily.DAT");
    auto lines = save_after(false, "frmDaily", [&] { type("txtDaily", "In\\Daily.DAT"); });
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(
        std::vector<std::string>(lines.end() - 3, lines.end()),
        (std::vector<std::string>{"/DAILY FILES/", "DAILY TEMPS/RVP    : In\\Daily.DAT", "/END/"}));

    lines = save_after(false, "frmoptout", [&] {
        QTest::mouseClick(window->findChild<QCheckBox*>("chkbmy"), Qt::LeftButton);
    });
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(
        std::vector<std::string>(lines.end() - 4, lines.end()),
        (std::vector<std::string>{"/MODELYEAR OUT/", "EXHAUST BMY OUT    : c:\\qv\\out\\run.bmx",
                                  "EVAP BMY OUT       : c:\\qv\\out\\run.bmv", "/END/"}));
}

}  // namespace
}  // namespace qv::test
