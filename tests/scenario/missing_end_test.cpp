#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "scenario/line_io.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "support/workspace.h"

namespace qv::test {
namespace {

// Every packet once, each but the last followed by another packet.
const std::vector<std::string> full_file = split_lines(
    crlf({"* every packet"}) +
    fixture::runfiles("outputs\\demo.msg", "outputs\\demo.out",
                      {"ALLOC XREF         : data\\allocate\\allocate.xrf"}) +
    fixture::packet("/POP FILES/", {"Population File    : data\\pop\\ca.pop"}) +
    fixture::options({.title1 = "Demo",
                      .rvp = "8.0",
                      .oxygen = "2.7",
                      .gas_sulfur = "0.0030",
                      .diesel_sulfur = "0.0015",
                      .max_temp = "90.0",
                      .etoh_blend = "77.0",
                      .etoh_volume = "10.0"}) +
    fixture::period({.type = "Seasonal",
                     .year = "2025",
                     .season = "Summer",
                     .growth_year = "2025",
                     .tech_year = "2025"}) +
    fixture::packet("/EMFAC FILES/", {"THC exhaust        : data\\emsfac\\exhthc.emf"}) +
    fixture::packet("/DETERIORATE FILES/", {"THC exhaust        : data\\detfac\\exhthc.det"}) +
    fixture::region("STATE", {"California         : 06000"}) +
    fixture::packet("/SOURCE CATEGORY/", {"                   :2270002000"}) +
    fixture::packet("/ALLOC FILES/", {"Allocation File    : data\\allocate\\ca_pop.alo"}) +
    fixture::packet("/GROWTH FILES/", {"Growth FILE        : data\\growth\\nation.grw"}) +
    fixture::packet("/STAGE II/", {"Control Factor     : 0.5"}) +
    fixture::packet("/MODELYEAR OUT/", {"EXHAUST BMY OUT    : outputs\\demo.bmx",
                                        "EVAP BMY OUT       : outputs\\demo.bmv"}) +
    fixture::packet("/DAILY FILES/", {"DAILY TEMPS/RVP    : data\\daily\\daily.dat"}));

std::string joined(const std::vector<std::string>& lines) {
    std::string r;
    for (const auto& l : lines)
        r += l + "\r\n";
    return r;
}

// The file with the "/END/" of the packet opened by `header` left out.
std::string without_end(const std::string& header) {
    std::vector<std::string> lines;
    bool in = false;
    for (const auto& l : full_file) {
        if (l == header)
            in = true;
        if (in && l == "/END/") {
            in = false;
            continue;
        }
        lines.push_back(l);
    }
    return joined(lines);
}

struct Saved {
    std::vector<std::string> messages;
    std::string bytes;
};

// Reads `bytes` as the current options file `name` and saves it, every packet changed or none.
Saved read_and_save(Workspace& w, const std::string& name, const std::string& bytes,
                    bool all_changed) {
    w.ui.clear();
    w.load("model/" + name, bytes);
    Saved r{w.ui.messages(), ""};
    if (all_changed) {
        Scenario& sc = w.s.sc;
        sc.options_changed = sc.period_changed = sc.region_changed = true;
        sc.alloc_files_changed = sc.pop_files_changed = sc.growth_changed = true;
        sc.emfac_changed = true;
    }
    EXPECT_TRUE(update_default_option_file(w.s));
    r.bytes = w.read("model/" + name);
    return r;
}

struct FullWorkspace : Workspace {
    FullWorkspace() {
        county("06000", "California");
        source("2270002000", "Tractors", "Farm", "Diesel");
    }
};

class MissingEnd : public ::testing::TestWithParam<std::tuple<std::string_view, bool>> {};

// Every packet without its "/END/" is read to the next header (or to the end of the file),
// reported once by name, and saved back complete: the save equals the save of the intact file,
// every other packet byte for byte.
TEST_P(MissingEnd, EndsAtTheNextHeaderAndIsSavedComplete) {
    const auto [header, all_changed] = GetParam();
    FullWorkspace w;
    const Saved intact = read_and_save(w, "intact.opt", joined(full_file), all_changed);
    ASSERT_TRUE(intact.messages.empty()) << intact.messages.front();

    const Saved broken =
        read_and_save(w, "broken.opt", without_end(std::string(header)), all_changed);
    const bool last = header == "/DAILY FILES/";
    EXPECT_EQ(broken.messages, std::vector<std::string>{missing_end_text(header, last)});
    EXPECT_EQ(split_lines(broken.bytes), split_lines(intact.bytes));
}

INSTANTIATE_TEST_SUITE_P(EveryPacket, MissingEnd,
                         ::testing::Combine(::testing::ValuesIn(packet_headers),
                                            ::testing::Bool()));

TEST(MissingEnd, WarningNamesThePacket) {
    const std::pair<const char*, const char*> rows[] = {
        {"/STAGE II/",
         "The /STAGE II/ packet has no /END/ line: it ends where the next packet begins.\n"
         "Please check the options file."},
        {"/DAILY FILES/",
         "The /DAILY FILES/ packet has no /END/ line: it ends at the end of the file.\n"
         "Please check the options file."},
    };
    for (const auto& [header, text] : rows) {
        FullWorkspace w;
        w.load("model/run.opt", without_end(header));
        ASSERT_EQ(w.ui.calls().size(), 1u) << header;
        const UiCall& call = w.ui.calls()[0];
        EXPECT_EQ(call.text, text);
        EXPECT_EQ(call.icon, Icon::Exclamation);
        EXPECT_EQ(call.title, std::optional<std::string>("US KQT QUARVEL MODEL"));
        // The control factor is the packet's own value, not that of the packet after it.
        EXPECT_EQ(w.s.sc.stage2str, "0.5");
        EXPECT_EQ(w.s.sc.run_files[rf::exhaust_bmy], "OUTPUTS\\DEMO.BMX");
    }
}

// The file with the packet `header` closed by `end_line`, a comment after it, and the packet
// moved to the end of the file when `last`.
std::vector<std::string> with_end_line(std::string_view header, const std::string& end_line,
                                       bool last) {
    std::vector<std::string> rest, packet;
    std::size_t at = 0;
    bool in = false;
    for (const auto& l : full_file) {
        if (l == header) {
            in = true;
            at = rest.size();
        }
        if (!in) {
            rest.push_back(l);
        } else if (l == "/END/") {
            packet.insert(packet.end(), {end_line, "* after the packet"});
            in = false;
        } else {
            packet.push_back(l);
        }
    }
    rest.insert(last ? rest.end() : rest.begin() + static_cast<std::ptrdiff_t>(at), packet.begin(),
                packet.end());
    return rest;
}

// Each end line a packet's reader accepts also ends the packet for the save: an unchanged packet
// is copied byte for byte, a rewritten one replaces just the lines its reader read, and no
// "/END/" is added, whether another packet or the end of the file follows.
TEST(PacketEnd, EveryEndLineItsReaderAcceptsSavesUnchanged) {
    const std::set<std::string_view> rewritten = {"/RUNFILES/",          "/SOURCE CATEGORY/",
                                                  "/DETERIORATE FILES/", "/STAGE II/",
                                                  "/MODELYEAR OUT/",     "/DAILY FILES/"};
    const std::vector<std::string> indented = {"/END/", "   /END/", " /end/ here"};
    const std::map<std::string_view, std::vector<std::string>> forms = {
        {"/EMFAC FILES/", indented},
        {"/DETERIORATE FILES/", indented},
        {"/REGION/", {"/END/", "   /END/", "End of region      : /end/"}},
        {"/PERIOD/", {"/END/", "  /END/", "* the ninth line"}},
    };
    const std::vector<std::string> plain = {"/END/", "/end/", "/END/ of the packet"};
    FullWorkspace w;
    for (std::string_view header : packet_headers) {
        const auto found = forms.find(header);
        for (bool last : {false, true}) {
            const Saved intact =
                read_and_save(w, "intact.opt", joined(with_end_line(header, "/END/", last)), false);
            for (const std::string& end : found == forms.end() ? plain : found->second) {
                SCOPED_TRACE(std::string(header) + " ended by \"" + end + "\"" +
                             (last ? " at the end of the file" : ""));
                const Saved saved =
                    read_and_save(w, "form.opt", joined(with_end_line(header, end, last)), false);
                EXPECT_EQ(saved.messages, std::vector<std::string>{});
                std::vector<std::string> expected = split_lines(intact.bytes);
                if (!rewritten.count(header)) {
                    auto at = std::find(expected.begin(), expected.end(), header);
                    *std::find(at, expected.end(), "/END/") = end;
                }
                EXPECT_EQ(split_lines(saved.bytes), expected);
            }
        }
    }
}

// A truncated "/PERIOD/" (fewer than its eight lines before the next header) fails as the end
// of the file inside the packet does.
TEST(MissingEnd, PeriodCutShortEndsTheProgramAsAtTheEndOfTheFile) {
    std::string bytes = joined(full_file);
    const std::string cut = "Year of tech sel   : 2025\r\n/END/\r\n";
    bytes.erase(bytes.find(cut), cut.size());
    Workspace w;
    w.write("model/run.opt", bytes);
    w.set_current("model/run.opt");
    EXPECT_ANY_THROW(read_options_file(w.s));
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{"***************Period error 62"});
}

}  // namespace
}  // namespace qv::test
