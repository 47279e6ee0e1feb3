#include "cli/qvopt.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/scenario_fields.h"
#include "platform/fs/host_file_system.h"
#include "scenario/text.h"
#include "support/option_texts.h"
#include "support/temp_dir.h"

namespace qv::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string title = "US KQT QUARVEL MODEL";
const std::string opt_filter = "Option files (*.opt)|*.opt|All files (*.*)|*.*";

struct Result {
    int status;
    std::string out, err;
};

std::string replaced(std::string s, const std::string& from, const std::string& to) {
    auto p = s.find(from);
    EXPECT_NE(p, std::string::npos) << from;
    if (p != std::string::npos)
        s.replace(p, from.size(), to);
    return s;
}

// The text from `from` up to and including the next "/END/" line removed.
std::string without_packet(std::string s, const std::string& header) {
    auto b = s.find(header);
    auto e = s.find("/END/\r\n", b);
    return s.erase(b, e + 7 - b);
}

std::vector<std::string> crlf_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t p; (p = bytes.find("\r\n", start)) != std::string::npos; start = p + 2)
        lines.push_back(bytes.substr(start, p - start));
    EXPECT_EQ(start, bytes.size()) << "text after the last CR LF";
    return lines;
}

using test::fixture::packet_lines;

std::vector<std::string> outside(const std::vector<std::string>& lines, const std::string& header) {
    std::vector<std::string> rest;
    bool in = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {  // line 0: the "Written by" time stamp
        if (lines[i] == header)
            in = true;
        if (!in)
            rest.push_back(lines[i]);
        if (in && lines[i] == "/END/")
            in = false;
    }
    return rest;
}

class Qvopt : public ::testing::Test {
  protected:
    void SetUp() override {
        model = dir.path() / "model";
        fs::create_directories(model / "reports");
        fs::copy_file(fs::path(QV_BINARY_DIR) / "examples/demo/model/reports/reports.mdb",
                      model / "reports/reports.mdb");
        demo = test::read_file(fs::path(QV_SOURCE_DIR) / "examples/demo/model/demo.opt");
        fs::create_directories(dir.path() / "work");
    }

    std::string work(const std::string& name) const {
        return (dir.path() / "work" / name).string();
    }
    std::string write(const std::string& name, const std::string& bytes) const {
        return dir.write("work/" + name, bytes);
    }
    std::string program(const std::string& host) const { return host_fs.program_path(host); }

    Result run(std::vector<std::string> args, bool with_model_dir = true) const {
        args.insert(args.begin(), "qvopt");
        if (with_model_dir) {
            args.push_back("--model-dir");
            args.push_back(model.string());
        }
        std::ostringstream out, err;
        int status = run_qvopt(args, out, err);
        return {status, out.str(), err.str()};
    }

    json show(const std::string& path, std::vector<std::string> extra = {},
              bool with_model_dir = true) const {
        extra.insert(extra.begin(), {"show", path});
        Result r = run(extra, with_model_dir);
        json j = json::parse(r.out, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << r.out;
        j["status"] = r.status;
        return j;
    }

    test::TempDir dir;
    HostFileSystem host_fs;
    fs::path model;
    std::string demo;
};

TEST_F(Qvopt, ShowPrintsEveryFieldOfTheScenario) {
    json j = show(write("demo.opt", demo));
    EXPECT_EQ(j["status"], 0);
    EXPECT_EQ(j["exit"], "normal");
    EXPECT_EQ(j["messages"], json::array());
    EXPECT_NE(std::find(j["run_log"].begin(), j["run_log"].end(), " Get period options 2025"),
              j["run_log"].end());

    const json& sc = j["scenario"];
    std::vector<std::string> keys;
    for (const auto& [k, v] : sc.items())
        keys.push_back(k);
    std::vector<std::string> names;
    for (const auto& f : scenario_fields())
        names.emplace_back(f.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(keys, names);  // nlohmann::json sorts its keys

    EXPECT_EQ(sc["option_file_name"], "demo.opt");
    EXPECT_EQ(sc["option_file_dir"], program((dir.path() / "work").string()));
    EXPECT_EQ(sc["title1str"], "DEMO SCENARIO");
    EXPECT_EQ(sc["period_type"], 2);
    EXPECT_EQ(sc["season_of_year"], 2);
    EXPECT_EQ(sc["region_level"], 1);
    EXPECT_EQ(sc["run_files"].size(), 15u);
    EXPECT_EQ(sc["emfac_files"].size(), 16u);
    EXPECT_EQ(sc["deteriorate_files"].size(), 16u);
    EXPECT_EQ(sc["run_files"][0], "DATA\\ALLOCATE\\ALLOCATE.XRF");
    EXPECT_EQ(sc["growth_files"], json::array({"DATA\\GROWTH\\NATION.GRW", ""}));
    EXPECT_EQ(sc["source_list"].size(), 4u);
    EXPECT_EQ(
        sc["source_list"][1],
        json({{"scc", "2265004010"}, {"description", "Lawn Mowers Lawn and Garden 4-Stroke"}}));
    EXPECT_EQ(sc["source_list"][3], json({{"scc", ""}, {"description", ""}}));
    EXPECT_EQ(sc["alloc_files"][0], json({{"descriptor", "Allocation File    :"},
                                          {"allocfile", "DATA\\ALLOCATE\\CA_POP.ALO"}}));
    EXPECT_EQ(sc["region_list"][2], json({{"code", "41000"},
                                          {"county", "*****"},
                                          {"statename", "Oregon"},
                                          {"abbr", "OR"},
                                          {"isState", true}}));
    const std::pair<const char*, bool> flags[] = {
        {"source_subset", true},  {"options_found", true},   {"source_found", true},
        {"daily_found", false},   {"modelyear_found", true}, {"options_changed", false},
        {"bmy_output_on", false}, {"growth_changed", false},
    };
    for (const auto& [name, value] : flags)
        EXPECT_EQ(sc[name], value) << name;
}

TEST_F(Qvopt, ShowReportsMessagesChoosersAndEnds) {
    struct Row {
        const char* name;
        std::string bytes;  // empty: the file does not exist
        int status;
        const char* exit;
        std::function<json(const std::string& path)> messages;
    };
    auto chooser = [](const std::string& path) {
        return json{{"kind", "open_chooser"},
                    {"title", "Select new option file "},
                    {"filter", opt_filter},
                    {"initial_dir", path.substr(0, path.rfind('/'))},
                    {"initial_name", path.substr(path.rfind('/') + 1)}};
    };
    auto box = [](const std::string& text, const char* icon) {
        return json{{"kind", "message"},
                    {"text", text},
                    {"title", title},
                    {"icon", icon},
                    {"buttons", "ok"}};
    };
    const Row rows[] = {
        {"unknown_period", replaced(demo, "Seasonal", "Weekly"), 3, "ended",
         [&](const std::string&) {
             return json::array({box("Period type not recognized WEEKLY6", "none"),
                                 {{"kind", "end"}, {"fini", false}}});
         }},
        {"no_packets", "* only a comment\r\n/STAGE II/\r\nControl Factor     : 0.5\r\n/END/\r\n", 4,
         "chooser",
         [&](const std::string& p) {
             return json::array({box("No packets found in the file: " + p +
                                         "\nIt appears that this file is not a QUARVEL options "
                                         "file.",
                                     "exclamation"),
                                 chooser(p)});
         }},
        {"no_region", without_packet(demo, "/REGION/"), 4, "chooser",
         [&](const std::string& p) {
             return json::array({box("Cannot find the /REGION/ packet in the options file.\nThe "
                                     "options file is corrupted.",
                                     "exclamation"),
                                 chooser(p)});
         }},
        {"Missing", "", 0, "normal",
         [&](const std::string& p) {
             return json::array({box("Cannot find options file: " + lower(p), "none")});
         }},
        {"no_growth", without_packet(demo, "/GROWTH FILES/"), 0, "normal",
         [](const std::string&) { return json::array(); }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::string path = work(std::string(r.name) + ".opt");
        if (!r.bytes.empty())
            write(std::string(r.name) + ".opt", r.bytes);
        json j = show(path);
        EXPECT_EQ(j["status"], r.status);
        EXPECT_EQ(j["exit"], r.exit);
        EXPECT_EQ(j["messages"], r.messages(program(path)));
    }
}

TEST_F(Qvopt, ShowWritesStrayBytesEscapedAndValidUtf8AsItIs) {
    const struct {
        const char* name;
        std::string bytes;
        std::string expected;
    } rows[] = {
        {"title", replaced(demo, ": Demo scenario", ": caf\xe9 ok \xc3\xa9"),
         "\"title1str\": \"CAF\\u00e9 OK \xc3\xa9\""},
        {"message", replaced(demo, "Seasonal", "Weekl\xe9"),
         "\"text\": \"Period type not recognized WEEKL\\u00e96\""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Result res = run({"show", write(std::string(r.name) + ".opt", r.bytes)});
        EXPECT_NE(res.out.find(r.expected), std::string::npos) << res.out;
        EXPECT_FALSE(json::parse(res.out, nullptr, false).is_discarded());
    }
}

TEST_F(Qvopt, CheckExitsByWhatTheReadShowed) {
    const struct {
        const char* name;
        std::string bytes;
        int status;
        std::string first_line;
        std::string last_line;
    } rows[] = {
        {"clean", demo, 0, "", ""},
        {"unknown_scc", replaced(demo, "2282010005", "2282019999"), 1,
         "message (information, " + title +
             "): Invalid SCC code found in /SOURCE CATEGORY/ Packet: \\n                           "
             "2282019999\\nSkipping this entry.",
         ""},
        {"unknown_period", replaced(demo, "Seasonal", "Weekly"), 3,
         "message (none, " + title + "): Period type not recognized WEEKLY6", "program ended"},
        {"no_end", replaced(demo, "Control Factor     : 0.0\r\n/END/", "Control Factor     : 0.0"),
         1,
         "message (exclamation, " + title +
             "): The /STAGE II/ packet has no /END/ line: it ends where the next packet "
             "begins.\\nPlease check the options file.",
         ""},
        {"no_opt", without_packet(demo, "/OPTIONS/"), 4,
         "message (exclamation, " + title +
             "): Cannot find the /OPTIONS/ packet in the options file.\\nThe options file is "
             "corrupted.",
         "stopped: the program would ask for another options file"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Result res = run({"check", write(std::string(r.name) + ".opt", r.bytes)});
        EXPECT_EQ(res.status, r.status);
        std::istringstream lines(res.out);
        std::string first, line, last;
        std::getline(lines, first);
        last = first;
        while (std::getline(lines, line))
            last = line;
        EXPECT_EQ(first, r.first_line);
        if (!r.last_line.empty()) {
            EXPECT_EQ(last, r.last_line);
        }
    }
}

TEST_F(Qvopt, SaveRewritesOnlyTheChangedPacket) {
    std::string plain = write("plain.opt", demo);
    std::string changed = write("changed.opt", demo);
    std::string unflagged = write("unflag.opt", demo);
    ASSERT_EQ(run({"save", plain}).status, 0);
    ASSERT_EQ(run({"save", changed, "--set", "title1str=New title", "--changed", "options_changed"})
                  .status,
              0);
    // --set marks the field's packet changed itself.
    ASSERT_EQ(run({"save", unflagged, "--set", "title1str=New title"}).status, 0);

    auto original = crlf_lines(demo);
    // Each save writes its own time into the first line; the rest is compared.
    auto without_time = [](std::vector<std::string> lines) {
        EXPECT_EQ(lines.at(0).rfind("Written by Quarvel interface at ", 0), 0u);
        lines.erase(lines.begin());
        return lines;
    };
    auto a = without_time(crlf_lines(test::read_file(plain)));
    auto b = without_time(crlf_lines(test::read_file(changed)));
    auto c = without_time(crlf_lines(test::read_file(unflagged)));
    EXPECT_EQ(a[0], original[0]);  // comments before the first packet survive
    EXPECT_EQ(outside(b, "/OPTIONS/"), outside(a, "/OPTIONS/"));
    EXPECT_EQ(packet_lines(a, "/OPTIONS/"), packet_lines(original, "/OPTIONS/"));
    EXPECT_EQ(c, b);
    auto opts = packet_lines(b, "/OPTIONS/");
    EXPECT_NE(std::find(opts.begin(), opts.end(), "Title 1            : New title"), opts.end());
    EXPECT_EQ(opts.size(), packet_lines(original, "/OPTIONS/").size());
}

// Two qvopt saves of one file at the same moment, a different packet each: both changes end
// in the file, or one save exits 5 and says that the file changed since it was read.
TEST_F(Qvopt, ConcurrentSavesNeverLoseAChangeSilently) {
    const std::string path = work("both.opt");
    const std::pair<const char*, const char*> changes[] = {
        {"title1str=From one", "options_changed"}, {"episode_year=2031", "period_changed"}};
    const char* marks[] = {"Title 1            : From one", "Year of episode    : 2031"};
    for (int attempt = 0; attempt < 25; ++attempt) {
        write("both.opt", demo);
        int go[2];
        ASSERT_EQ(::pipe(go), 0);
        pid_t children[2];
        for (int i = 0; i < 2; ++i) {
            children[i] = ::fork();
            ASSERT_GE(children[i], 0);
            if (children[i] == 0) {
                ::close(go[1]);
                char c;
                (void)!::read(go[0], &c, 1);
                Result r =
                    run({"save", path, "--set", changes[i].first, "--changed", changes[i].second});
                dir.write("work/out" + std::to_string(i), r.out + r.err);
                ::_exit(r.status);
            }
        }
        ::close(go[0]);
        ::close(go[1]);
        int status[2];
        for (int i = 0; i < 2; ++i) {
            int raw = 0;
            ::waitpid(children[i], &raw, 0);
            status[i] = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        }
        const std::string bytes = test::read_file(path);
        for (int i = 0; i < 2; ++i) {
            SCOPED_TRACE("attempt " + std::to_string(attempt) + ", save " + std::to_string(i));
            ASSERT_TRUE(status[i] == 0 || status[i] == 5) << status[i];
            EXPECT_EQ(bytes.find(marks[i]) != std::string::npos, status[i] == 0);
            if (status[i] == 5) {
                EXPECT_NE(dir.read("work/out" + std::to_string(i))
                              .find("was changed by another program since it was read"),
                          std::string::npos);
            }
        }
        EXPECT_TRUE(status[0] == 0 || status[1] == 0);
        if (HasFailure())
            break;
    }
}

// --set runs the checks of the window that edits the field: a value that window refuses is
// named by its message, the exit status is 1, and nothing is written.
TEST_F(Qvopt, SetRefusesWhatItsWindowRefuses) {
    const std::pair<const char*, const char*> rows[] = {
        {"fulrvpstr=99", "Invalid 6 to 16"},
        {"mintempstr=95", "Minimum temperature exceeds Maximum temperature"},
        {"stage2str=101", "Invalid 0 to 100"},
        {"episode_year=3000", "Episode year 3000 is outside allowed range 1970-2050."},
        {"tech_sel_year=abc", "Tech year must be numeric and in the range 1970-2050."},
        {"emfac_files[0]=data\\emsfac\\gone.emf", "data\\emsfac\\gone.emf does not exist"},
        {"run_files[1]=data\\gone.dat", "data\\gone.dat does not exist"},
        {"growth_files[0]=gone.grw", "gone.grw does not exist."},
    };
    const std::string path = write("demo.opt", demo);
    for (const auto& [set, message] : rows) {
        const Result r = run({"save", path, "--set", set});
        EXPECT_EQ(r.status, 1) << set;
        EXPECT_NE(r.out.find(message), std::string::npos) << set << '\n' << r.out;
        EXPECT_EQ(test::read_file(path), demo) << set;
    }
    // A file the model is still to write is not tested.
    EXPECT_EQ(run({"save", path, "--set", "run_files[7]=outputs\\later.out"}).status, 0);
    const Result help = run({"save", "--help"}, false);
    EXPECT_EQ(help.status, 0);
    for (const char* field : {" title1str", " mintempstr", " episode_year", " run_files"})
        EXPECT_NE(help.out.find(field), std::string::npos) << field;
}

TEST_F(Qvopt, SetGrowthFileKeepsTheEmptyLastSlot) {
    std::string path = write("demo.opt", demo);
    dir.write("model/data/growth/extra.grw", "");
    ASSERT_EQ(run({"save", path, "--set", "growth_files[1]=data\\growth\\extra.grw", "--changed",
                   "growth_changed"})
                  .status,
              0);
    EXPECT_EQ(
        packet_lines(crlf_lines(test::read_file(path)), "/GROWTH FILES/"),
        (std::vector<std::string>{"/GROWTH FILES/", "Growth FILE        : data\\growth\\nation.grw",
                                  "Growth FILE        : data\\growth\\extra.grw", "/END/"}));
    EXPECT_EQ(show(path)["scenario"]["growth_files"],
              json::array({"DATA\\GROWTH\\NATION.GRW", "DATA\\GROWTH\\EXTRA.GRW", ""}));
}

TEST_F(Qvopt, SaveAsNamesResultsAfterTheNewFile) {
    for (bool outputs : {false, true}) {
        SCOPED_TRACE(outputs);
        std::string path = write("demo.opt", demo);
        fs::remove_all(work("outputs"));
        fs::remove(work("run2.opt"));
        if (outputs)
            fs::create_directory(work("outputs"));
        Result r = run({"save", path, "--as", work("run2.opt")});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "saved " + work("run2.opt") + "\n");
        EXPECT_EQ(test::read_file(path), demo);
        std::string results = program(outputs ? work("outputs") : (dir.path() / "work").string());
        auto runfiles = packet_lines(crlf_lines(test::read_file(work("run2.opt"))), "/RUNFILES/");
        EXPECT_EQ(runfiles[7], "MESSAGE            : " + results + "/run2.msg");
        EXPECT_EQ(runfiles[8], "OUTPUT DATA        : " + results + "/run2.out");
    }
}

TEST_F(Qvopt, UsageErrorsNameTheArgumentAndLeaveTheFile) {
    const struct {
        std::vector<std::string> args;
        const char* named;
    } rows[] = {
        {{"--set", "nosuch=1"}, "nosuch"},
        {{"--set", "title1str"}, "title1str"},
        {{"--set", "title1str=a\nb"}, "title1str"},
        {{"--set", "title1str[0]=x"}, "title1str[0]"},
        {{"--set", "run_files=x"}, "run_files=x"},
        {{"--set", "run_files[15]=x"}, "run_files[15]"},
        {{"--set", "run_files[-1]=x"}, "run_files[-1]"},
        {{"--set", "emfac_files[x]=1"}, "emfac_files[x]"},
        {{"--set", "growth_files[2]=x"}, "growth_files[2]"},  // past the empty last slot
        {{"--set", "period_type=3"}, "period_type=3"},
        {{"--set", "month_of_year=twelve"}, "month_of_year"},
        {{"--set", "bmy_output_on=yes"}, "bmy_output_on"},
        {{"--set", "option_file_name=x.opt"}, "option_file_name"},
        {{"--set", "run_file_keys[0]=X"}, "run_file_keys"},
        {{"--changed", "title_changed"}, "title_changed"},
        {{"--bogus"}, "--bogus"},
        {{"--config", "no-such.ini"}, "--config"},
    };
    std::string path = write("demo.opt", demo);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.named);
        std::vector<std::string> args{"save", path};
        args.insert(args.end(), r.args.begin(), r.args.end());
        Result res = run(args);
        EXPECT_EQ(res.status, 2);
        EXPECT_NE(res.err.find(r.named), std::string::npos) << res.err;
        EXPECT_EQ(test::read_file(path), demo);
    }
    Result missing = run({"show"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("FILE"), std::string::npos);
}

TEST_F(Qvopt, SaveFailuresLeaveEveryFileAsItWas) {
    fs::create_directory(work("dir.opt"));
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string out, err;
    } rows[] = {
        {"no_dir", {"--as", work("nodir/run2.opt")}, "file error 75", ""},
        {"long",
         {"--as", work("abcdefghi.opt")},
         "message (exclamation, " + title +
             "): abcdefghi\\nFilename too long: Must be 8 characters max before period",
         ""},
        {"no_period", {"--as", work("run2")}, "", "no period"},
        {"unread", {"--set", "title1str=X"}, "Read options error ", "not read in full"},
    };
    std::string path = write("demo.opt", demo);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<std::string> args{"save",
                                      std::string(r.name) == "unread" ? work("dir.opt") : path};
        args.insert(args.end(), r.args.begin(), r.args.end());
        Result res = run(args);
        EXPECT_EQ(res.status, 5);
        EXPECT_NE(res.out.find(r.out), std::string::npos) << res.out;
        EXPECT_NE(res.err.find(r.err), std::string::npos) << res.err;
        EXPECT_EQ(test::read_file(path), demo);
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(work("")))
            names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"demo.opt", "dir.opt"}));
    }
}

// The six lines of qv-gui.ini over the test's model directory.
std::string ini(const std::string& model_dir, const std::string& exe, const std::string& data_dir) {
    return model_dir + "\t:model directory\r\n" + exe +
           "\t:model executable\r\ndemo.opt\t:input option file\r\n" +
           "demo.opt\t:output option file\r\n" + data_dir +
           "\t:Data dir\r\n\t:ACCESS executable\r\n";
}

TEST_F(Qvopt, ConfigurationSuppliesTheDirectoriesOrEndsTheProgram) {
    dir.write("model/quarvel.exe", "");
    dir.write("model/demo.opt", demo);
    fs::create_directories(dir.path() / "data");
    const std::string m = program(model.string()), d = program((dir.path() / "data").string());
    std::string file = write("demo.opt", demo);

    std::string good = dir.write("good.ini", ini(m, "quarvel.exe", d));
    json j = show(file, {"--config", good}, false);
    EXPECT_EQ(j["status"], 0);
    EXPECT_EQ(j["messages"], json::array());

    // The command line's model directory replaces the configured one (it has no database).
    j = show(file, {"--config", good, "--model-dir", (dir.path() / "data").string()}, false);
    EXPECT_EQ(j["status"], 3);

    std::string bad = dir.write("bad.ini", ini(m, "missing.exe", d));
    j = show(file, {"--config", bad}, false);
    EXPECT_EQ(j["status"], 3);
    EXPECT_EQ(j["exit"], "ended");
    EXPECT_EQ(j["messages"][0]["text"],
              m + "/missing.exe does not exist. Correct qv-gui.ini and retry.");
    EXPECT_EQ(j["messages"][1], json({{"kind", "end"}, {"fini", true}}));
    EXPECT_EQ(j["run_log"], json::array({"Ending run", "****************************"}));
}

TEST_F(Qvopt, ReadsTheConfigurationBesideTheExecutable) {
    fs::create_directories(dir.path() / "bin");
    fs::copy_file(fs::path(QV_BINARY_DIR) / "qvopt", dir.path() / "bin/qvopt");
    dir.write("model/quarvel.exe", "");
    dir.write("model/demo.opt", demo);
    const std::string m = program(model.string());
    std::string file = write("demo.opt", demo);
    for (const char* exe : {"quarvel.exe", "missing.exe"}) {
        SCOPED_TRACE(exe);
        dir.write("bin/qv-gui.ini", ini(m, exe, m));
        std::string command = (dir.path() / "bin/qvopt").string() + " check '" + file + "'";
        FILE* p = popen(command.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string out;
        char buf[512];
        while (std::size_t n = fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        int status = pclose(p);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), std::string(exe) == "quarvel.exe" ? 0 : 3) << out;
    }
}

TEST_F(Qvopt, RefdbListsTheTables) {
    Result r = run({"refdb", (model / "reports/reports.mdb").string(), "--tables"}, false);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Counties\t"), std::string::npos) << r.out;
    EXPECT_EQ(run({"refdb"}, false).status, 2);
}

}  // namespace
}  // namespace qv::cli
