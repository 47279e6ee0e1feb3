#include <gtest/gtest.h>

#include "platform/program_end.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/query_text.h"
#include "support/workspace.h"

namespace qv::test {
namespace {

RegionList read_region(Workspace& w, std::initializer_list<std::string> lines) {
    LineReader in(crlf(lines));
    read_region_packet(w.s, in);
    return w.s.sc.region_list;
}

std::string written_region(Workspace& w) {
    LineWriter out;
    write_region_packet(w.s, out);
    return out.bytes();
}

TEST(RegionPacket, StateLevelKeepsWholeStatesAndDropsCounties) {
    Workspace w;
    w.county("06000", "The State of California");
    w.county("32000", "The State of Nevada");
    w.county("06037", "Los Angeles");
    auto list = read_region(w, {"Region Level       : STATE", "a: 06000", "b : 06037", "c: 32000",
                                "d: 06000", "/END/"});
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->code, "06000");
    EXPECT_TRUE(list[0]->isState);
    EXPECT_EQ(list[0]->county, "*****");
    EXPECT_EQ(list[1]->statename, "Nevada");
    EXPECT_EQ(list[1]->abbr, "NV");
    EXPECT_EQ(w.s.sc.selected_regions.size(), 2u);
    EXPECT_EQ(w.s.sc.selected_regions[0], list[0]);  // the same items
    EXPECT_EQ(w.ref.queries[0],
              "SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS=\"06000\");");
    EXPECT_EQ(w.ref.opens, 1);
    EXPECT_EQ(w.ref.closes, 1);
    EXPECT_EQ(w.ref.opened_paths[0],
              w.fs.host_path(w.s.settings.model_dir + "/reports/reports.mdb"));
    EXPECT_EQ(written_region(w),
              crlf({"/REGION/", "Region Level       : STATE", "California         : 06000",
                    "Nevada             : 32000", "/END/"}));
}

TEST(RegionPacket, CountyLevelNamesCountiesAndDropsUnknownCodesSilently) {
    Workspace w;
    w.county("06037", "Los Angeles");
    w.county("06000", "The State of California");
    w.county("48201", "A County Name Long Enough");
    read_region(w, {"Region Level       : COUNTY", "x: 06037", "x: 06999", "x: 06000", "x: 48201",
                    "/END/"});
    EXPECT_TRUE(w.ui.messages().empty());
    // At level COUNTY a whole-state code found in the table is taken as a county entry.
    EXPECT_EQ(written_region(w),
              crlf({"/REGION/", "Region Level       : COUNTY", "Los Angeles CA     : 06037",
                    "The State of Cal CA: 06000", "A County Name Lo TX: 48201", "/END/"}));
}

TEST(RegionPacket, NameFieldIsPaddedToNineteenOrCut) {
    std::string previous;
    RegionCls exact{"01001", "Autauga Countyyy", "Alabama", "AL", false};  // 19 characters
    EXPECT_EQ(region_name_field(exact, level::county, previous), "Autauga Countyyy AL");
    RegionCls state{"01000", "*****", "Alabama", "AL", true};
    EXPECT_EQ(region_name_field(state, level::county, previous), "All Alabama        ");
    EXPECT_EQ(region_name_field(state, level::state, previous), "Alabama            ");
    RegionCls twenty{"01003", "Baldwin Countyyyy", "Alabama", "AL", false};
    EXPECT_EQ(region_name_field(twenty, level::county, previous), "Baldwin Countyyy AL");
}

TEST(RegionPacket, SubcountyIsWrittenAsUsTotal) {
    Workspace w;
    read_region(w, {"Region Level       : SUBCOUNTY", "/END/"});
    EXPECT_EQ(w.s.sc.region_level, level::us_total);
    EXPECT_EQ(written_region(w), crlf({"/REGION/", "Region Level       : US TOTAL", "/END/"}));
}

TEST(RegionPacket, ValidationFailuresStopWithTheirMessage) {
    Workspace w;
    w.county("06000", "The State of California");
    // A code whose state is not in the state table stops the validation; the rest stays as read.
    read_region(w, {"Region Level       : STATE", "x: 06000", "x: 60000", "x: 32000", "/END/"});
    EXPECT_EQ(w.ui.messages(),
              std::vector<std::string>{"validate_region Invalid procedure call or argument"});
    EXPECT_EQ(w.s.log.lines().back(), "Exiting abnormally validate_region; ");
    ASSERT_EQ(w.s.sc.region_list.size(), 3u);
    EXPECT_TRUE(w.s.sc.region_list[0]->isState);
    EXPECT_EQ(w.s.sc.region_list[2]->statename, "");
    EXPECT_FALSE(w.ref.is_open());
}

// A national region lists no codes, and still ends the program when the database cannot open.
TEST(RegionPacket, UnopenableDatabaseEndsTheProgramNamingThePath) {
    const auto ends = [](std::initializer_list<std::string> packet) {
        SCOPED_TRACE(*packet.begin());
        Workspace w;
        w.ref.fail_open = true;
        EXPECT_THROW(read_region(w, packet), ProgramEnd);
        std::string path = w.s.settings.model_dir + "/reports/reports.mdb";
        EXPECT_EQ(w.ui.messages(),
                  std::vector<std::string>{"Couldn't find file '" + w.fs.host_path(path) + "'." +
                                           path + "3024"});
    };
    ends({"Region Level       : STATE", "x: 06000", "/END/"});
    ends({"Region Level       : US TOTAL", "/END/"});
    ends({"Region Level       : 50STATE", "/END/"});
}

TEST(RegionPacket, QuotesInACodeStayInsideTheLiteral) {
    const std::string county =
        "SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS=";
    const std::string source =
        "SELECT DISTINCTROW  [Equipment Types].SCC, [Equipment Types].EQUIP,[Equipment "
        "Types].[Engine Type], [Equipment Types].Classification FROM [Equipment Types] WHERE (SCC=";
    const struct {
        std::string code, literal;
    } rows[] = {
        {"06000\") OR (\"1\"=\"1", "\"06000\"\") OR (\"\"1\"\"=\"\"1\""},
        {"", "\"\""},
        {"\"", "\"\"\"\""},
        {"2270002000", "\"2270002000\""},
        {"a\"\"b\"", "\"a\"\"\"\"b\"\"\""},
        {std::string("0\0\"", 3), std::string("\"0\0\"\"\"", 6)},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(county_query(r.code), county + r.literal + ");") << r.code;
        EXPECT_EQ(source_query(r.code), source + r.literal + ");") << r.code;
    }
}

std::string source_packet(std::initializer_list<std::string> codes) {
    std::string r = "";
    for (const auto& c : codes)
        r += std::string(19, ' ') + ":" + c + "\r\n";
    return r + "/END/\r\n";
}

TEST(SourcePacket, ValidCodesAreTakenAndWrittenBack) {
    Workspace w;
    for (const char* scc : {"2270002000", "2265004010", "2282010005"})
        w.source(scc, "Equip " + std::string(scc, 3), "Class", "Diesel");
    LineReader in(source_packet({"2270002000", "2265004010", "2282010005"}));
    get_source_options(w.s, in);
    const auto& list = w.s.sc.source_list;
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[3].scc, "");
    EXPECT_EQ(list[0].description, "Equip 227 Class Diesel");
    EXPECT_TRUE(w.s.sc.source_subset);
    EXPECT_EQ(w.ref.queries[0],
              "SELECT DISTINCTROW  [Equipment Types].SCC, [Equipment Types].EQUIP,[Equipment "
              "Types].[Engine Type], [Equipment Types].Classification FROM [Equipment Types] "
              "WHERE (SCC=\"2270002000\");");
    LineWriter out;
    write_source_packet(w.s, out);
    EXPECT_EQ(out.bytes(),
              "/SOURCE CATEGORY/\r\n" + source_packet({"2270002000", "2265004010", "2282010005"}));
    EXPECT_EQ(w.ref.opens, 1);
    EXPECT_EQ(w.ref.closes, 1);
}

TEST(SourcePacket, UnknownCodesAreReportedAndSkipped) {
    Workspace w;
    w.source("2270002000", "E", "C", "Diesel");
    LineReader in(source_packet({"9999999999", "2270002000"}));
    get_source_options(w.s, in);
    EXPECT_EQ(w.ui.messages(),
              std::vector<std::string>{"Invalid SCC code found in /SOURCE CATEGORY/ Packet: \n" +
                                       std::string(27, ' ') + "9999999999\nSkipping this entry."});
    EXPECT_EQ(w.ui.calls()[0].icon, Icon::Information);
    ASSERT_EQ(w.s.sc.source_list.size(), 2u);
    EXPECT_EQ(w.s.sc.source_list[0].scc, "2270002000");
}

TEST(SourcePacket, SixUnknownCodesMeanACorruptPacketAndTheOldFileIsNotReadFurther) {
    Workspace w;
    w.county("06000", "The State of California");
    // The chosen file is empty of packets: the nested read warns and asks again (cancelled).
    w.write("model/other.opt", crlf({"nothing"}));
    w.ui.choose(w.program("model/other.opt"));
    w.ui.cancel_chooser();
    w.s.sc.prev_option_file_name = "prev.opt";
    w.s.sc.prev_option_file_dir = w.program("model");
    std::string text = "/SOURCE CATEGORY/\r\n" +
                       source_packet({"1", "2", "3", "4", "5", "6", "7"}) +
                       crlf({"/REGION/", "Region Level       : STATE", "x: 06000", "/END/"});
    w.load("model/bad.opt", text);
    auto msgs = w.ui.messages();
    ASSERT_GE(msgs.size(), 6u);
    EXPECT_EQ(msgs[5],
              "It appears the /SOURCE CATEGORY/ Packet is corrupt.\nPerhaps the /END/ keyword is "
              "missing.");
    // The old file's region packet after the source packet was not read into the new scenario.
    EXPECT_FALSE(w.s.sc.region_found);
    EXPECT_TRUE(w.ui.all_answers_used());
    EXPECT_EQ(w.s.sc.option_file_name, "prev.opt");
}

TEST(SourcePacket, FailingStepsAreLoggedAndSkipped) {
    Workspace w;
    // A row without the description fields: the code is taken, the description fails.
    w.ref.answer(source_query("2270002000"), {"SCC"}, {"2270002000"});
    LineReader in(source_packet({"2270002000"}));
    get_source_options(w.s, in);
    EXPECT_TRUE(w.ui.messages().empty());
    ASSERT_EQ(w.s.log.lines().size(), 2u);
    EXPECT_EQ(w.s.log.lines()[0], "get_source_options error Item not found in this collection.");
    EXPECT_EQ(w.s.log.lines()[1], source_query("2270002000"));
    EXPECT_EQ(w.s.sc.source_list[0].scc, "2270002000");
}

// The reference engine looks codes up in batches; an engine that runs every query on its own
// must give the same lists, messages (in the same order and number) and log lines.
class OneAtATime : public ReferenceEngine {
  public:
    void open(const std::string& path) override { inner.open(path); }
    void open_unread(const std::string& path) override { inner.open_unread(path); }
    void close() override { inner.close(); }
    bool is_open() const override { return inner.is_open(); }
    QueryResult query(std::string_view sql) override { return inner.query(sql); }
    SqliteReferenceEngine inner;
};

struct Validated {
    std::vector<std::string> messages, log;
    std::string packets;
};

Validated validate(ReferenceEngine& ref, const std::string& model_dir,
                   const std::vector<std::string>& region,
                   const std::vector<std::string>& sources) {
    HostFileSystem fs;
    ScriptedUi ui;
    ui.cancel_chooser();
    Session s(ui, fs, ref);
    prepare_session(s);
    s.settings.model_dir = model_dir;
    s.sc.option_file_dir = model_dir;
    s.sc.option_file_name = "batch.opt";
    Validated v;
    try {
        const auto text = [](const std::vector<std::string>& lines) {
            std::string t;
            for (const auto& line : lines)
                t += line + "\r\n";
            return t;
        };
        LineReader regions(text(region));
        read_region_packet(s, regions);
        LineReader codes(text(sources));
        get_source_options(s, codes);
    } catch (const AppError& e) {
        v.messages.push_back("(left with " + std::to_string(e.number()) + ")");
    }
    for (const auto& call : ui.calls())
        v.messages.push_back(call.kind + " " + std::to_string(static_cast<int>(call.icon)) + " " +
                             call.text);
    v.log = s.log.lines();
    LineWriter out;
    write_region_packet(s, out);
    write_source_packet(s, out);
    v.packets = out.bytes();
    return v;
}

TEST(RegionAndSourceLookUps, BatchesGiveWhatOneQueryAtATimeGives) {
    TempDir dir;
    copy_demo_model(dir.path() / "model");
    HostFileSystem fs;
    const std::string model_dir = fs.program_path((dir.path() / "model").string());
    const std::string code = std::string(19, ' ') + ":";
    struct Row {
        const char* what;
        std::vector<std::string> region, sources;
    };
    const Row rows[] = {
        {"counties: duplicates, letters in either case, unknown, whole states",
         {"Region Level       : COUNTY", "x: 06037", "x: 06037", "x: 06a37", "x: 06A37", "x: 06999",
          "x: 06000", "x: 32003", "x: 48201", "/END/"},
         {code + "2270002000", code + "2270002000", code + "22700020AA", code + "9999999999",
          "short", code + "2265004010", "/END/"}},
        {"states, stopped by one of no known state",
         {"Region Level       : STATE", "x: 06000", "x: 06037", "x: 32000", "x: 60000", "x: 48000",
          "/END/"},
         {code + "2282010005", "/END/"}},
        {"quotes in codes",
         {"Region Level       : COUNTY", "x: 06000\") OR (\"1\"=\"1", "x: 06\"037", "/END/"},
         {code + "2270002000\") OR (\"1\"=\"1", code + "\"", code + "2270002000", "/END/"}},
        {"six unknown source codes: a corrupt packet",
         {"Region Level       : US TOTAL", "/END/"},
         {code + "1", code + "2270002000", code + "2", code + "3", code + "4", code + "5",
          code + "6", code + "2265004010", "/END/"}},
        {"sources ending at the next packet's header",
         {"Region Level       : 50STATE", "x: 06000", "/END/"},
         {code + "2270002000", code + "1", "/REGION/", code + "2265004010"}},
        {"sources ending at the end of the file",
         {"Region Level       : STATE", "/END/"},
         {code + "2270002000", code + "1"}},
        {"nothing to look up", {"Region Level       : COUNTY", "/END/"}, {"/END/"}},
    };
    SqliteReferenceEngine batched;
    OneAtATime alone;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Validated want = validate(alone, model_dir, row.region, row.sources);
        const Validated got = validate(batched, model_dir, row.region, row.sources);
        EXPECT_FALSE(want.packets.empty());
        EXPECT_EQ(got.messages, want.messages);
        EXPECT_EQ(got.log, want.log);
        EXPECT_EQ(got.packets, want.packets);
    }
}

}  // namespace
}  // namespace qv::test
