#include <gtest/gtest.h>

#include <functional>

#include "list_fixture.h"
#include "option_file_fixture.h"
#include "scenario/line_io.h"
#include "scenario/options_file.h"
#include "scenario/text.h"

namespace qv::test {
namespace {

// The dialog tests' options file with a growth packet and, when asked, a deterioration packet.
std::string options_file(bool with_deteriorate) {
    std::string extra =
        stage2_50 + crlf({"/GROWTH FILES/", "Growth FILE        : c:\\old\\nation.grw", "/END/"});
    if (with_deteriorate)
        extra += crlf({"/DETERIORATE FILES/", "THC exhaust        : In\\thc.det", "/END/"});
    return scenario_file(extra);
}

class SaveAfterList : public ListDialogTest {
  protected:
    // Loads the file, lets `edit` work the dialog, presses OK and saves over the file.
    std::vector<std::string> save_after(bool with_deteriorate, const char* form,
                                        const std::function<void()>& edit) {
        touch("model/In/thc.det");
        w.county("06037", "Los Angeles");
        w.load("model/run.opt", options_file(with_deteriorate));
        w.fs.set_current_dir(w.s.settings.app_dir);
        open_form(form);
        edit();
        click(std::string(form) == "geoalloc" ? "cmdfin0" : "CmdLeave1");
        EXPECT_FALSE(is_open()) << form;
        EXPECT_TRUE(update_default_option_file(w.s));
        return split_lines(w.read("model/run.opt"));
    }
    static std::vector<std::string> packet(const std::vector<std::string>& lines,
                                           const std::string& header) {
        return fixture::packet_lines(lines, header);
    }
};

TEST_F(SaveAfterList, EachDialogWritesItsPacketAndKeepsTheRest) {
    const std::string alloc = file("model/data/allocate/CA_POP.ALO");
    const std::string bsfc = file("model/data/detfac/BSFC.DET");
    const std::string thc = file("model/data/emsfac/THC.EMF");
    const struct {
        const char* form;
        std::function<void()> edit;
        const char* header;
        std::vector<std::string> packet;
    } cases[] = {
        {"geoalloc",
         [&] {
             w.ui.choose(alloc);
             click("cmdAddDel0");
         },
         "/ALLOC FILES/",
         {"/ALLOC FILES/", "Allocation File    :c:\\data\\allocate\\ca_pop.alo",
          "Census population  :" + alloc, "/END/"}},
        {"frmgrow",
         [] {},
         "/GROWTH FILES/",
         {"/GROWTH FILES/", "Growth FILE        : c:\\old\\nation.grw", "/END/"}},
        {"frmEquip",
         [] {},
         "/POP FILES/",
         {"/POP FILES/", "Population file    :c:\\data\\pop\\ca.pop", "/END/"}},
        {"Emiss",
         [&] {
             w.ui.choose(thc);
             trigger("mnuDF0");
         },
         "/EMFAC FILES/",
         {"/EMFAC FILES/", "THC exhaust        : " + thc, "/END/"}},
        {"Deterior",
         [&] {
             w.ui.choose(bsfc);
             trigger("mnuDF4");
         },
         "/DETERIORATE FILES/",
         {"/DETERIORATE FILES/", "THC exhaust        : In\\thc.det", "BSFC               : " + bsfc,
          "/END/"}},
    };
    for (const auto& c : cases) {
        const auto lines = save_after(true, c.form, c.edit);
        EXPECT_EQ(packet(lines, c.header), c.packet) << c.form;
        EXPECT_NE(std::find(lines.begin(), lines.end(), "* options for the dialog tests"),
                  lines.end())
            << c.form;
        EXPECT_EQ(packet(lines, "/OPTIONS/").at(1), "Title 1            : FIRST TITLE") << c.form;
    }
}

// A file without the packet gets one when the user names a deterioration file.
TEST_F(SaveAfterList, DeteriorationPacketAppendedWhenAFileIsChosen) {
    const std::string bsfc = file("model/data/detfac/BSFC.DET");
    const auto lines = save_after(false, "Deterior", [&] {
        w.ui.choose(bsfc);
        trigger("mnuDF4");
    });
    EXPECT_EQ(
        packet(lines, "/DETERIORATE FILES/"),
        (std::vector<std::string>{"/DETERIORATE FILES/", "BSFC               : " + bsfc, "/END/"}));
    EXPECT_EQ(w.s.sc.deteriorate_files[4], bsfc);
}

}  // namespace
}  // namespace qv::test
