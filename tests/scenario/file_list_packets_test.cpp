#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "platform/app_error.h"
#include "platform/program_end.h"
#include "scenario/packets.h"
#include "scenario/region_rules.h"
#include "scenario/text.h"
#include "support/workspace.h"

namespace qv {
namespace {

using test::crlf;
using test::Workspace;
using Lines = std::vector<std::string>;

const std::string kTitle = "US KQT QUARVEL MODEL";

// "/RUNFILES/"

class RunfilesPacket : public ::testing::Test {
  protected:
    RunfilesPacket() {
        w.s.settings.model_dir = "C:\\QV";
        w.s.sc.option_file_dir = "C:\\QV\\OPTS";
    }
    Workspace w;
};

TEST_F(RunfilesPacket, ReadsEveryAcceptedKeyUpperCased) {
    Scenario& sc = w.s.sc;
    for (int i = 8; i < run_file_count; ++i)
        sc.run_files[i] = "OLD";
    LineReader in(
        crlf({"ALLOC XREF      : c:\\data\\allocate\\allocate.xrf",
              "ACTIVITY        : c:\\data\\activity\\activity.dat",
              "EXH TECHNOLOGY  : c:\\data\\tech\\tech-exh.dat",
              "EVP TECHNOLOGY  : c:\\data\\tech\\tech-evp.dat",
              "SEASONALITY     : c:\\data\\season\\season.dat",
              "REGIONS         : c:\\data\\regions.dat", "MESSAGE         : c:\\qv\\out\\run.msg",
              "OUTPUT DATA     : c:\\qv\\out\\run.out", "KPZ2 RDL        : c:\\qv\\out\\run.rdl",
              "LNV             : lnv.dat", "us counties fips: c:\\data\\allocate\\fips.dat",
              "Retrofit        : ", "/END/", "/POP FILES/"}));
    read_runfiles_packet(w.s, in);
    const std::array<std::string, run_file_count> expected = {"C:\\DATA\\ALLOCATE\\ALLOCATE.XRF",
                                                              "C:\\DATA\\ACTIVITY\\ACTIVITY.DAT",
                                                              "C:\\DATA\\TECH\\TECH-EXH.DAT",
                                                              "C:\\DATA\\TECH\\TECH-EVP.DAT",
                                                              "C:\\DATA\\SEASON\\SEASON.DAT",
                                                              "C:\\DATA\\REGIONS.DAT",
                                                              "C:\\QV\\OUT\\RUN.MSG",
                                                              "C:\\QV\\OUT\\RUN.OUT",
                                                              "C:\\QV\\OUT\\RUN.RDL",
                                                              "LNV.DAT",
                                                              "C:\\DATA\\ALLOCATE\\FIPS.DAT",
                                                              "",
                                                              "",
                                                              "",
                                                              ""};
    EXPECT_EQ(sc.run_files, expected);
    for (int i = 0; i < run_file_count; ++i)
        EXPECT_EQ(sc.run_file_keys[i], run_file_key_texts[i]);
    EXPECT_EQ(sc.message_dir, "C:\\QV\\OUT");
    EXPECT_EQ(sc.message_file_name, "RUN.MSG");
    EXPECT_EQ(sc.output_dir, "C:\\QV\\OUT");
    EXPECT_EQ(sc.output_file_name, "RUN.OUT");
    EXPECT_TRUE(w.ui.messages().empty());
    EXPECT_EQ(in.read(), "/POP FILES/");
}

TEST_F(RunfilesPacket, KeepsUnnamedFirstEntriesAndClearsTheRest) {
    Scenario& sc = w.s.sc;
    for (int i = 0; i < run_file_count; ++i)
        sc.run_files[i] = "OLD " + std::to_string(i);
    LineReader in(crlf({"ACTIVITY        : new.dat", "/end/"}));
    read_runfiles_packet(w.s, in);
    for (int i = 0; i < run_file_count; ++i) {
        std::string expected = i == rf::activity ? "NEW.DAT"
                               : i < 8           ? "OLD " + std::to_string(i)
                                                 : "";
        EXPECT_EQ(sc.run_files[i], expected) << i;
    }
}

TEST_F(RunfilesPacket, KeyNotAcceptedEndsTheProgram) {
    struct Row {
        const char* line;
        const char* shown;  // the line's first 16 characters, upper-cased
    } rows[] = {
        {"UNKNOWN KEY     : x.dat", "UNKNOWN KEY     "},
        {"  MESSAGE         : run.msg", "  MESSAGE       "},
        {"", ""},
        {"EXHAUST BMY OUT : c:\\r.bmx", "EXHAUST BMY OUT "},
        {"EVAP BMY OUT    : c:\\r.bmv", "EVAP BMY OUT    "},
        {"DAILY TEMPS/RVP : c:\\d.dly", "DAILY TEMPS/RVP "},
        {"MESSAGE: run.msg", "MESSAGE: RUN.MSG"},
        {"msg: a", "MSG: A"},
        {" /END/", " /END/"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.line);
        Workspace fresh;
        LineReader in(crlf({"ACTIVITY        : a.dat", r.line, "REGIONS         : r.dat"}));
        try {
            read_runfiles_packet(fresh.s, in);
            ADD_FAILURE() << "the program did not end";
        } catch (const ProgramEnd& e) {
            EXPECT_FALSE(e.fini);
        }
        EXPECT_EQ(fresh.ui.messages(),
                  Lines({std::string("Runfile descriptor not found ") + r.shown}));
        ASSERT_EQ(fresh.ui.calls().size(), 1u);
        EXPECT_EQ(fresh.ui.calls()[0].title, kTitle);
        EXPECT_EQ(fresh.s.sc.run_files[rf::activity], "A.DAT");
        EXPECT_EQ(fresh.s.sc.run_files[rf::regions], "");
    }
}

TEST_F(RunfilesPacket, MessageAndOutputDirectoriesAreMadeFull) {
    // A value that names a full path is kept as read; one that had to be completed is composed
    // with "/" only.
    struct Row {
        const char* option_file_dir;
        const char* value;
        const char* dir;
        const char* name;
        const char* run_file;
    } rows[] = {
        {"C:\\QV\\OPTS", "run.msg", "C:\\QV\\OPTS", "RUN.MSG", "C:/QV/OPTS/RUN.MSG"},
        {"C:\\QV\\OPTS", "out\\run.msg", "C:/QV/OUT", "RUN.MSG", "C:/QV/OUT/RUN.MSG"},
        {"C:\\QV\\OPTS", "out\\sub\\run.msg", "C:/QV/OUT/SUB", "RUN.MSG", "C:/QV/OUT/SUB/RUN.MSG"},
        {"C:\\QV\\OPTS", "out/sub\\run.msg", "C:/QV/OUT/SUB", "RUN.MSG", "C:/QV/OUT/SUB/RUN.MSG"},
        {"C:\\QV\\OPTS", "d:\\res\\run.msg", "D:\\RES", "RUN.MSG", "D:\\RES\\RUN.MSG"},
        {"C:\\QV\\OPTS", "d:run\\x.msg", "D:RUN", "X.MSG", "D:RUN\\X.MSG"},
        {"C:\\QV\\OPTS", "\\res\\run.msg", "\\RES", "RUN.MSG", "\\RES\\RUN.MSG"},
        {"C:\\QV\\OPTS", "/srv/res\\run.msg", "/SRV/RES", "RUN.MSG", "/SRV/RES\\RUN.MSG"},
        {"C:\\QV\\OPTS", "/srv/res/run.msg", "/SRV/RES", "RUN.MSG", "/SRV/RES/RUN.MSG"},
        {"C:\\QV\\OPTS", "", "C:\\QV\\OPTS", "", "C:/QV/OPTS/"},
        {"/home/u/opts", "run.msg", "/home/u/opts", "RUN.MSG", "/home/u/opts/RUN.MSG"},
        // A relative options-file directory is taken under the model directory like any other.
        {"opts", "run.msg", "C:/QV/opts", "RUN.MSG", "C:/QV/opts/RUN.MSG"},
    };
    for (const char* key : {"MESSAGE         ", "OUTPUT DATA     "}) {
        const bool message = key[0] == 'M';
        for (const auto& r : rows) {
            SCOPED_TRACE(std::string(key) + r.value + " in " + r.option_file_dir);
            Workspace fresh;
            Scenario& sc = fresh.s.sc;
            fresh.s.settings.model_dir = "C:\\QV";
            sc.option_file_dir = r.option_file_dir;
            LineReader in(crlf({std::string(key) + ": " + r.value, "/END/"}));
            read_runfiles_packet(fresh.s, in);
            EXPECT_EQ(message ? sc.message_dir : sc.output_dir, r.dir);
            EXPECT_EQ(message ? sc.message_file_name : sc.output_file_name, r.name);
            EXPECT_EQ(sc.run_files[message ? rf::message : rf::output_data], r.run_file);
        }
    }
}

TEST_F(RunfilesPacket, WriterWritesElevenKeysInLowerCaseWithoutLnv) {
    Scenario& sc = w.s.sc;
    for (int i = 0; i < run_file_count; ++i)
        sc.run_files[i] = "C:\\Data\\File" + std::to_string(i);
    sc.run_files[rf::kpz2_rdl].clear();
    LineWriter out;
    write_runfiles_packet(w.s, out);
    EXPECT_EQ(out.bytes(),
              crlf({"/RUNFILES/", "ALLOC XREF         : c:\\data\\file0",
                    "ACTIVITY           : c:\\data\\file1", "EXH TECHNOLOGY     : c:\\data\\file2",
                    "EVP TECHNOLOGY     : c:\\data\\file3", "SEASONALITY        : c:\\data\\file4",
                    "REGIONS            : c:\\data\\file5", "MESSAGE            : c:\\data\\file6",
                    "OUTPUT DATA        : c:\\data\\file7",
                    "KPZ2 RDL           : ", "US COUNTIES FIPS   : c:\\data\\file10",
                    "RETROFIT           : c:\\data\\file11", "/END/"}));
}

TEST_F(RunfilesPacket, WrittenPacketReadsBack) {
    Scenario& sc = w.s.sc;
    sc.run_files[rf::activity] = "C:\\DATA\\ACT.DAT";
    sc.run_files[rf::message] = "C:\\QV\\RUN.MSG";
    sc.run_files[rf::output_data] = "C:\\QV\\RUN.OUT";
    sc.run_files[rf::retrofit] = "C:\\DATA\\RETRO.DAT";
    const auto before = sc.run_files;
    LineWriter out;
    write_runfiles_packet(w.s, out);
    LineReader in(out.bytes());
    in.read();
    read_runfiles_packet(w.s, in);
    EXPECT_EQ(sc.run_files, before);
    EXPECT_TRUE(in.eof());
}

// The model opens the written paths as they stand: under folders with capitals, every part that
// exists keeps its case on disk, whatever case the scenario holds it in, and only what does not
// exist yet is lower-cased.
TEST(WrittenPaths, PartsOnDiskKeepTheirCase) {
    Workspace w;
    const std::string root = w.program("Upper Case WS/Model");
    w.write("Upper Case WS/Model/outputs/old.msg", "");
    w.write("Upper Case WS/Model/data/ALLOCATE/nv_pop.alo", "");
    w.write("Upper Case WS/Model/data/ALLOCATE/fips.dat", "");
    w.write("Upper Case WS/Model/data/POP/nv.pop", "");
    w.write("Upper Case WS/Model/data/emsfac/EXHTHC.emf", "");
    w.s.settings.model_dir = root;
    w.s.settings.data_dir = root + "/data";
    Scenario& sc = w.s.sc;
    sc.run_files[rf::message] = upper(root + "/outputs/demo.msg");
    sc.run_files[rf::output_data] = root + "/OUTPUTS/New Folder/DEMO.OUT";
    sc.run_files[rf::us_counties_fips] = "DATA\\ALLOCATE\\FIPS.DAT";
    sc.run_files[rf::activity] = "C:" + upper(root) + "\\..\\MODEL\\DATA\\ACT.DAT";
    sc.emfac_files[0] = "data/EMSFAC/exhthc.EMF";
    RegionList nevada;
    nevada.add(std::make_shared<RegionCls>(RegionCls{"32000", "", "Nevada", "NV", true}), "32000");
    sc.selected_regions = nevada;
    pop_alloc(w.s, level::state);

    LineWriter out;
    write_runfiles_packet(w.s, out);
    write_alloc_packet(w.s, out);
    write_pop_packet(w.s, out);
    write_emfac_packet(w.s, out);
    const std::string bytes = out.bytes();
    for (const std::string& line : std::vector<std::string>{
             "MESSAGE            : " + root + "/outputs/demo.msg",
             "OUTPUT DATA        : " + root + "/outputs/new folder/demo.out",
             "US COUNTIES FIPS   : data\\ALLOCATE\\fips.dat",
             "ACTIVITY           : c:" + root + "\\..\\Model\\data\\act.dat",
             "Census population  :" + root + "/data/ALLOCATE/nv_pop.alo",
             "Population File    : " + root + "/data/POP/nv.pop",
             "THC exhaust        : data/emsfac/EXHTHC.emf",
         })
        EXPECT_NE(bytes.find(line + "\r\n"), std::string::npos) << line << "\n" << bytes;
}

// A long packet of files in a few folders: every path is written as it would be alone, also
// after a folder asked about often enough has been listed half-way through the packet.
TEST(WrittenPaths, ManyFilesInSharedFoldersKeepTheCaseOnDisk) {
    Workspace w;
    const std::string root = w.program("WS/Model");
    w.write("WS/Model/data/ALLOCATE/ca_pop.alo", "");
    w.write("WS/Model/data/ALLOCATE/Fips.DAT", "");
    w.write("WS/Model/data/POP/nv.pop", "");
    w.s.settings.model_dir = root;
    struct Row {
        std::string path;
        std::string written;
    };
    std::vector<Row> rows;
    for (int i = 0; i < 20; ++i)
        rows.push_back({"DATA\\ALLOCATE\\F" + std::to_string(i) + ".ALO",
                        "data\\ALLOCATE\\f" + std::to_string(i) + ".alo"});
    const std::vector<Row> others = {
        {"data\\allocate\\CA_POP.ALO", "data\\ALLOCATE\\ca_pop.alo"},
        {"Data/Allocate/fips.dat", "data/ALLOCATE/Fips.DAT"},
        {"data\\allocate\\", "data\\ALLOCATE\\"},
        {"data\\allocate\\..", "data\\ALLOCATE\\.."},
        {"data\\\\allocate\\\\.\\\\FIPS.DAT", "data\\\\ALLOCATE\\\\.\\\\Fips.DAT"},
        {"data\\nosuch\\CA_POP.ALO", "data\\nosuch\\ca_pop.alo"},
        {"DATA\\NOSUCH\\.", "data\\nosuch\\."},
        {"data\\pop\\..\\ALLOCATE\\CA_POP.ALO", "data\\POP\\..\\ALLOCATE\\ca_pop.alo"},
        {"\\DATA\\POP\\NV.POP", "\\data\\pop\\nv.pop"},
        {root + "/DATA/pop/NV.POP", root + "/data/POP/nv.pop"},
        {"C:DATA\\POP\\NV.POP", "c:data\\POP\\nv.pop"},
        {"C:\\DATA\\POP\\NV.POP", "c:\\data\\pop\\nv.pop"},
        {"C:NV.POP", "c:nv.pop"},
        {"C:", "c:"},
        {"DATA", "data"},
        {"NEW.ALO", "new.alo"},
        {"DATA\\POP\\NV.POP", "data\\POP\\nv.pop"},
    };
    rows.insert(rows.end(), others.begin(), others.end());
    std::vector<std::string> expected = {"/ALLOC FILES/"};
    for (const Row& r : rows) {
        w.s.sc.alloc_files.add(std::make_shared<AllocCls>(AllocCls{"F:", r.path}), r.path);
        expected.push_back("F:" + r.written);
    }
    expected.push_back("/END/");
    LineWriter out;
    write_alloc_packet(w.s, out);
    EXPECT_EQ(split_lines(out.bytes()), expected);
}

// "/MODELYEAR OUT/" and "/DAILY FILES/"

TEST(ModelyearPacket, ReaderFillsEntriesInOrderAndSetsTheFlag) {
    struct Row {
        const char* name;
        Lines packet;
        const char* exhaust;
        const char* evap;
        const char* daily;
        bool on;
    } rows[] = {
        {"both",
         {"EXHAUST BMY OUT : c:\\qv\\run.bmx", "EVAP BMY OUT    : c:\\qv\\run.bmv", "/END/"},
         "C:\\QV\\RUN.BMX",
         "C:\\QV\\RUN.BMV",
         "OLD DAILY",
         true},
        {"both empty",
         {"EXHAUST BMY OUT : ", "EVAP BMY OUT    : ", "/END/"},
         "",
         "",
         "OLD DAILY",
         false},
        {"evap only",
         {"EXHAUST BMY OUT : ", "EVAP BMY OUT    : r.bmv", "/end/"},
         "",
         "R.BMV",
         "OLD DAILY",
         true},
        {"labels not examined, third line is the daily entry",
         {"anything: a", "b", "x: c", "/END/"},
         "A",
         "B",
         "C",
         true},
        {"end of file closes the packet",
         {"EXHAUST BMY OUT : e.bmx"},
         "E.BMX",
         "OLD EVAP",
         "OLD DAILY",
         true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Workspace w;
        Scenario& sc = w.s.sc;
        sc.run_files[rf::evap_bmy] = "OLD EVAP";
        sc.run_files[rf::daily_temps] = "OLD DAILY";
        sc.bmy_output_on = true;
        std::string bytes;
        for (const auto& l : r.packet)
            bytes += l + "\r\n";
        LineReader in(bytes);
        read_modelyear_packet(w.s, in);
        EXPECT_EQ(sc.run_files[rf::exhaust_bmy], r.exhaust);
        EXPECT_EQ(sc.run_files[rf::evap_bmy], r.evap);
        EXPECT_EQ(sc.run_files[rf::daily_temps], r.daily);
        EXPECT_EQ(sc.bmy_output_on, r.on);
    }
}

TEST(ModelyearPacket, FourthValueLineFailsTheRead) {
    Workspace w;
    LineReader in(crlf({"a: 1", "b: 2", "c: 3", "d: 4", "/END/"}));
    try {
        read_modelyear_packet(w.s, in);
        ADD_FAILURE() << "no failure";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), err::subscript);
    }
    EXPECT_EQ(w.s.sc.run_files[rf::daily_temps], "3");
    EXPECT_TRUE(w.ui.messages().empty());
}

TEST(ModelyearPacket, WriterDerivesTheNamesFromTheOutputPath) {
    struct Row {
        const char* output;
        const char* exhaust;
        const char* evap;
    } rows[] = {
        {"C:\\QV\\OUTPUT\\RUN.OUT", "C:\\QV\\OUTPUT\\RUN.BMX", "C:\\QV\\OUTPUT\\RUN.BMV"},
        // The first dot of the file's name; dots in directory names stay.
        {"C:\\QV\\V1.2\\RUN.OUT", "C:\\QV\\V1.2\\RUN.BMX", "C:\\QV\\V1.2\\RUN.BMV"},
        {"/HOME/ME/.LOCAL/SHARE/WS/OUTPUTS/DEMO.OUT", "/HOME/ME/.LOCAL/SHARE/WS/OUTPUTS/DEMO.BMX",
         "/HOME/ME/.LOCAL/SHARE/WS/OUTPUTS/DEMO.BMV"},
        {"\\HOME\\ME\\.LOCAL\\WS\\DEMO", "BMX", "BMV"},
        {"C:\\QV\\RUN.TAR.OUT", "C:\\QV\\RUN.BMX", "C:\\QV\\RUN.BMV"},
        {"C:\\QV\\Run.", "C:\\QV\\Run.BMX", "C:\\QV\\Run.BMV"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.output);
        Workspace w;
        Scenario& sc = w.s.sc;
        sc.bmy_output_on = true;
        sc.run_files[rf::output_data] = r.output;
        LineWriter out;
        write_modelyear_packet(w.s, out);
        EXPECT_EQ(out.bytes(), crlf({"/MODELYEAR OUT/", "EXHAUST BMY OUT    : " + lower(r.exhaust),
                                     "EVAP BMY OUT       : " + lower(r.evap), "/END/"}));
        EXPECT_EQ(sc.run_files[rf::exhaust_bmy], r.exhaust);
        EXPECT_EQ(sc.run_files[rf::evap_bmy], r.evap);
        EXPECT_EQ(sc.bmy_exhaust_file_name, r.exhaust);
        EXPECT_EQ(sc.bmy_evap_file_name, r.evap);
    }
}

TEST(ModelyearPacket, WriterClearsTheEntriesWhenOff) {
    Workspace w;
    Scenario& sc = w.s.sc;
    sc.bmy_output_on = false;
    sc.run_files[rf::output_data] = "C:\\QV\\RUN.OUT";
    sc.run_files[rf::exhaust_bmy] = "C:\\QV\\OLD.BMX";
    sc.run_files[rf::evap_bmy] = "C:\\QV\\OLD.BMV";
    LineWriter out;
    write_modelyear_packet(w.s, out);
    EXPECT_EQ(out.bytes(),
              crlf({"/MODELYEAR OUT/", "EXHAUST BMY OUT    : ", "EVAP BMY OUT       : ", "/END/"}));
    EXPECT_EQ(sc.run_files[rf::exhaust_bmy], "");
    EXPECT_EQ(sc.run_files[rf::evap_bmy], "");
}

TEST(DailyPacket, LastLineWinsAndWriterWritesItLowerCased) {
    Workspace w;
    LineReader in(crlf({"DAILY TEMPS/RVP : c:\\data\\daily\\one.dly",
                        "DAILY TEMPS/RVP : c:\\data\\daily\\Two.dly", "/END/", "/REGION/"}));
    read_daily_packet(w.s, in);
    EXPECT_EQ(w.s.sc.run_files[rf::daily_temps], "C:\\DATA\\DAILY\\TWO.DLY");
    EXPECT_EQ(in.read(), "/REGION/");

    LineWriter out;
    write_daily_packet(w.s, out);
    EXPECT_EQ(out.bytes(),
              crlf({"/DAILY FILES/", "DAILY TEMPS/RVP    : c:\\data\\daily\\two.dly", "/END/"}));

    w.s.sc.run_files[rf::daily_temps].clear();
    LineWriter empty;
    write_daily_packet(w.s, empty);
    EXPECT_EQ(empty.bytes(), crlf({"/DAILY FILES/", "DAILY TEMPS/RVP    : ", "/END/"}));
}

// "/EMFAC FILES/" and "/DETERIORATE FILES/"

TEST(FactorFilesPacket, ReaderFindsTheTypeByLabelAndKeepsTheValueCase) {
    for (bool is_emfac : {true, false}) {
        SCOPED_TRACE(is_emfac ? "emfac" : "deteriorate");
        Workspace w;
        Scenario& sc = w.s.sc;
        auto& files = is_emfac ? sc.emfac_files : sc.deteriorate_files;
        auto& other = is_emfac ? sc.deteriorate_files : sc.emfac_files;
        for (int i = 0; i < factor_file_count; ++i)
            files[i] = "OLD";
        other[1] = "OTHER";
        LineReader in(crlf({
            "THC exhaust        : C:\\Data\\EmsFac\\ExhTHC.emf",
            "crankcase          :crank.EMF   ",
            "Non-RM Hose Perm   : c:\\hose.emf",
            "RuningLoss         : c:\\run loss.emf",
            "Unknown type       : c:\\lost.emf",
            "Hot Soaks and more : c:\\lost.emf",
            "",
            "BSFC",
            "NOX exhaust",
            "",
            "  /end/",
            "CO exhaust         : c:\\after.emf",
        }));
        read_factor_files_packet(w.s, in, is_emfac);
        std::array<std::string, factor_file_count> expected{};
        expected[0] = "C:\\Data\\EmsFac\\ExhTHC.emf";
        expected[5] = "crank.EMF";
        expected[9] = "c:\\hose.emf";
        expected[14] = "c:\\run loss.emf";
        expected[15] = "OLD";  // beyond the type list: never touched
        EXPECT_EQ(files, expected);
        EXPECT_EQ(other[1], "OTHER");
        EXPECT_EQ(in.read(), "CO exhaust         : c:\\after.emf");
    }
}

TEST(FactorFilesPacket, EveryTypeSurvivesAWriteAndReadInLowerCaseFromColumn22) {
    Workspace w;
    Scenario& sc = w.s.sc;
    for (int i = 0; i < emission_type_count; ++i)
        sc.emfac_files[i] = "C:\\Data\\EmsFac\\Type" + std::to_string(i) + ".EMF";
    sc.emfac_files[15] = "NEVER WRITTEN";
    LineWriter out;
    write_emfac_packet(w.s, out);
    Lines lines = split_lines(out.bytes());
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines.front(), "/EMFAC FILES/");
    EXPECT_EQ(lines.back(), "/END/");
    for (int i = 0; i < emission_type_count; ++i) {
        const std::string& l = lines[static_cast<std::size_t>(i) + 1];
        EXPECT_EQ(rtrim(l.substr(0, 19)), emission_type_labels[i]);
        EXPECT_EQ(l.substr(19, 2), ": ");
        EXPECT_EQ(l.substr(21), "c:\\data\\emsfac\\type" + std::to_string(i) + ".emf");
    }

    Workspace again;
    LineReader in(out.bytes());
    in.read();
    read_factor_files_packet(again.s, in, true);
    for (int i = 0; i < emission_type_count; ++i)
        EXPECT_EQ(again.s.sc.emfac_files[i], lower(sc.emfac_files[i])) << i;
}

TEST(FactorFilesPacket, WritersOmitEmptyTypes) {
    Workspace w;
    Scenario& sc = w.s.sc;
    sc.emfac_files[0] = "C:\\Data\\ExhTHC.emf";
    sc.emfac_files[4] = "C:\\BSFC.EMF";
    sc.emfac_files[10] = "x.emf";
    sc.emfac_files[14] = "RL.emf";
    const std::string body =
        crlf({"THC exhaust        : c:\\data\\exhthc.emf", "BSFC               : c:\\bsfc.emf",
              "RM Fill Neck Perm  : x.emf", "RuningLoss         : rl.emf", "/END/"});
    LineWriter emfac;
    write_emfac_packet(w.s, emfac);
    EXPECT_EQ(emfac.bytes(), "/EMFAC FILES/\r\n" + body);

    sc.deteriorate_files = sc.emfac_files;
    sc.deteriorate_found = false;
    LineWriter none;
    write_deteriorate_packet(w.s, none);
    EXPECT_EQ(none.bytes(), "");

    sc.deteriorate_found = true;
    LineWriter det;
    write_deteriorate_packet(w.s, det);
    EXPECT_EQ(det.bytes(), "/DETERIORATE FILES/\r\n" + body);

    sc.emfac_files = {};
    LineWriter empty;
    write_emfac_packet(w.s, empty);
    EXPECT_EQ(empty.bytes(), crlf({"/EMFAC FILES/", "/END/"}));
}

// "/GROWTH FILES/"

TEST(GrowthPacket, ReaderLeavesOneEmptySlotAfterThePacketsFiles) {
    struct Row {
        const char* name;
        Lines previous;
        Lines packet;
        Lines expected;
    } rows[] = {
        {"replaces a longer list",
         {"A", "B", "C", "D", ""},
         {"Growth FILE        : c:\\g\\one.grw", "Growth FILE        : c:\\g\\Two.grw", "/END/"},
         {"C:\\G\\ONE.GRW", "C:\\G\\TWO.GRW", ""}},
        {"grows a shorter list", {""}, {"x", "y", "z", "/end/"}, {"X", "Y", "Z", ""}},
        {"never set before", {}, {"g: x", "/END/"}, {"X", ""}},
        {"empty packet empties the list", {"A", "B", ""}, {"/END/"}, {""}},
        {"end of file closes the packet", {"A", "B", "C", ""}, {"g: x"}, {"X", ""}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Workspace w;
        w.s.sc.growth_files = r.previous;
        std::string bytes;
        for (const auto& l : r.packet)
            bytes += l + "\r\n";
        LineReader in(bytes);
        read_growth_packet(w.s, in);
        EXPECT_EQ(w.s.sc.growth_files, r.expected);
    }
}

TEST(GrowthPacket, WriterWritesEverySlotButTheLast) {
    struct Row {
        Lines files;
        Lines lines;
    } rows[] = {
        {{"C:\\G\\One.GRW", "X", ""},
         {"/GROWTH FILES/", "Growth FILE        : c:\\g\\one.grw", "Growth FILE        : x",
          "/END/"}},
        {{""}, {"/GROWTH FILES/", "/END/"}},
        {{}, {"/GROWTH FILES/", "/END/"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.files.size());
        Workspace w;
        w.s.sc.growth_files = r.files;
        LineWriter out;
        write_growth_packet(w.s, out);
        std::string expected;
        for (const auto& l : r.lines)
            expected += l + "\r\n";
        EXPECT_EQ(out.bytes(), expected);
    }
}

// "/ALLOC FILES/" and "/POP FILES/"

struct FileListKind {
    const char* header;
    void (*read)(Session&, LineReader&);
    void (*write)(Session&, LineWriter&);
    AllocList Scenario::*list;
    AllocList Scenario::*work;
    const char* message_prefix;
};

const FileListKind kAlloc = {
    "/ALLOC FILES/",        read_alloc_packet,           write_alloc_packet,
    &Scenario::alloc_files, &Scenario::alloc_files_work, ""};
const FileListKind kPop = {
    "/POP FILES/",        read_pop_packet,           write_pop_packet,
    &Scenario::pop_files, &Scenario::pop_files_work, "In GET_POPULATION_OPTIONS "};

class FileListPacket : public ::testing::TestWithParam<FileListKind> {
  protected:
    AllocList& list() { return w.s.sc.*(GetParam().list); }
    AllocList& work() { return w.s.sc.*(GetParam().work); }
    void put(AllocList& l, const std::string& descriptor, const std::string& file) {
        auto item = std::make_shared<AllocCls>();
        item->descriptor = descriptor;
        item->allocfile = file;
        l.add(item, file);
    }
    Lines descriptors(const AllocList& l) {
        Lines r;
        for (const auto& item : l)
            r.push_back(item->descriptor);
        return r;
    }
    Lines files(const AllocList& l) {
        Lines r;
        for (const auto& item : l)
            r.push_back(item->allocfile);
        return r;
    }
    // Both lists hold the same items, in the same order, under their file keys.
    void expect_work_shares_list() {
        ASSERT_EQ(work().size(), list().size());
        for (std::size_t i = 0; i < list().size(); ++i) {
            EXPECT_EQ(work()[i].get(), list()[i].get()) << i;
            EXPECT_EQ(work().key_at(i), list()[i]->allocfile);
        }
    }
    Workspace w;
};

TEST_P(FileListPacket, ReaderSplitsAtTheFirstColonAndFillsTheWorkingList) {
    put(list(), "Old:", "C:\\OLD.ALO");
    put(work(), "Old:", "C:\\OLD.ALO");
    put(work(), "Edited:", "C:\\EDITED.ALO");
    LineReader in(crlf({"Allocation File    : c:\\data\\allocate\\ca_pop.alo",
                        "Population File:c:\\x\\B.alo  ", "no colon here", "c:\\x\\y.alo", "/end/",
                        "after"}));
    GetParam().read(w.s, in);
    EXPECT_EQ(descriptors(list()), Lines({"Allocation File    :", "Population File:", "", "c:"}));
    EXPECT_EQ(files(list()), Lines({"C:\\DATA\\ALLOCATE\\CA_POP.ALO", "C:\\X\\B.ALO",
                                    "NO COLON HERE", "\\X\\Y.ALO"}));
    expect_work_shares_list();
    EXPECT_TRUE(w.ui.messages().empty());
    EXPECT_EQ(in.read(), "after");
}

TEST_P(FileListPacket, RoundTripDropsTheBlankAfterTheColon) {
    LineReader in(crlf({"Allocation File    : c:\\data\\allocate\\ca_pop.alo",
                        "Allocation File    : C:\\Data\\Allocate\\TX_Pop.alo", "/END/"}));
    GetParam().read(w.s, in);
    LineWriter out;
    GetParam().write(w.s, out);
    EXPECT_EQ(out.bytes(),
              crlf({GetParam().header, "Allocation File    :c:\\data\\allocate\\ca_pop.alo",
                    "Allocation File    :c:\\data\\allocate\\tx_pop.alo", "/END/"}));
}

TEST_P(FileListPacket, WriterOfAnEmptyList) {
    put(work(), "Work only:", "C:\\W.ALO");
    LineWriter out;
    GetParam().write(w.s, out);
    EXPECT_EQ(out.bytes(), crlf({GetParam().header, "/END/"}));
}

TEST_P(FileListPacket, DuplicateEntryStopsTheReadWithAMessage) {
    put(work(), "Previous scenario:", "C:\\PREVIOUS.ALO");
    LineReader in(crlf({"Allocation File    : c:\\a.alo", "Allocation File    : c:\\b.alo",
                        "Other label:C:\\A.ALO  ", "Allocation File    : c:\\c.alo", "/END/"}));
    GetParam().read(w.s, in);
    EXPECT_EQ(w.ui.messages(),
              Lines({std::string(GetParam().message_prefix) +
                     "This key is already associated with an element of this collection"}));
    ASSERT_EQ(w.ui.calls().size(), 1u);
    EXPECT_EQ(w.ui.calls()[0].title, std::nullopt);
    EXPECT_EQ(w.ui.calls()[0].icon, Icon::None);
    EXPECT_EQ(w.ui.calls()[0].buttons, Buttons::Ok);
    EXPECT_EQ(files(list()), Lines({"C:\\A.ALO", "C:\\B.ALO"}));
    // The working list holds what was read, never the previous scenario's list.
    expect_work_shares_list();
    // The rest of the packet is left to the caller.
    EXPECT_EQ(in.read(), "Allocation File    : c:\\c.alo");
}

std::string kind_name(const ::testing::TestParamInfo<FileListKind>& param) {
    return param.param.header[1] == 'A' ? "Alloc" : "Pop";
}

INSTANTIATE_TEST_SUITE_P(AllocAndPop, FileListPacket, ::testing::Values(kAlloc, kPop), kind_name);

TEST(FileListHelpers, SplitDirAndFileName) {
    struct Row {
        const char* path;
        const char* dir;
        const char* name;
    } rows[] = {
        {"C:\\QV\\OUT\\RUN.MSG", "C:\\QV\\OUT", "RUN.MSG"},
        {"RUN.MSG", "", "RUN.MSG"},
        {"\\RUN.MSG", "", "RUN.MSG"},
        {"C:\\QV\\", "C:\\QV", ""},
        {"", "", ""},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(split_dir(r.path), r.dir) << r.path;
        EXPECT_EQ(split_file_name(r.path), r.name) << r.path;
    }
}

}  // namespace
}  // namespace qv
