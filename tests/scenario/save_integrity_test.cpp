#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <latch>
#include <thread>

#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "support/workspace.h"

namespace qv::test {
namespace {

// The packets that every read asks for; no region or source entries, so that no reference
// database is needed.
const std::string base_file = fixture::plain_scenario("c:\\out\\run.msg", "c:\\out\\run.out");

bool contains(const std::string& bytes, const std::string& text) {
    return bytes.find(text) != std::string::npos;
}

// Two sessions read one file, then both save at the same moment, a different packet each. A
// save that reports success has its change in the file; the other refuses with its message.
// No change is ever lost without a word.
TEST(ConcurrentSaves, NeverLoseAChangeSilently) {
    for (int attempt = 0; attempt < 60; ++attempt) {
        Workspace a;
        const std::string path = a.write("model/run.opt", base_file);
        Workspace b;
        b.s.sc.option_file_name = a.s.sc.option_file_name = "run.opt";
        b.s.sc.option_file_dir = a.s.sc.option_file_dir = split_dir(path);
        read_options_file(a.s);
        read_options_file(b.s);
        a.s.sc.title1str = "FROM A";
        a.s.sc.options_changed = true;
        b.s.sc.episode_year = "2031";
        b.s.sc.period_changed = true;

        std::latch start(2);
        bool saved_a = false, saved_b = false;
        std::thread ta([&] {
            start.arrive_and_wait();
            saved_a = update_default_option_file(a.s);
        });
        std::thread tb([&] {
            start.arrive_and_wait();
            saved_b = update_default_option_file(b.s);
        });
        ta.join();
        tb.join();

        const std::string bytes = a.read("model/run.opt");
        EXPECT_TRUE(saved_a || saved_b);
        EXPECT_EQ(saved_a, contains(bytes, "Title 1            : FROM A")) << attempt;
        EXPECT_EQ(saved_b, contains(bytes, "Year of episode    : 2031")) << attempt;
        for (auto* w : {&a, &b}) {
            const bool saved = w == &a ? saved_a : saved_b;
            const std::vector<std::string> expected =
                saved ? std::vector<std::string>{}
                      : std::vector<std::string>{changed_on_disk_text(path)};
            EXPECT_EQ(w->ui.messages(), expected) << attempt;
        }
        ASSERT_FALSE(testing::Test::HasFailure()) << "attempt " << attempt;
    }
}

// Another program saved the file after it was read: the save writes nothing and says why;
// after a save of its own, the scenario saves again freely.
TEST(ChangedOnDisk, SaveRefusesAndWritesNothing) {
    Workspace w;
    w.load("model/run.opt", base_file);
    EXPECT_TRUE(update_default_option_file(w.s));
    EXPECT_TRUE(update_default_option_file(w.s));
    const std::string theirs = w.read("model/run.opt") + "* added by another program\r\n";
    const std::string path = w.write("model/run.opt", theirs);
    w.ui.clear();
    w.s.sc.options_changed = true;
    EXPECT_FALSE(update_default_option_file(w.s));
    EXPECT_EQ(w.read("model/run.opt"), theirs);
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{changed_on_disk_text(path)});
    EXPECT_EQ(w.s.log.lines().back(), "Newoptions code  2.3 run.opt");
    EXPECT_TRUE(changed_since_read(w.s));
}

// No box is shown while the save holds the file locked: another program's save of the same file
// goes on meanwhile instead of waiting for the user.
TEST(ChangedOnDisk, TheFileIsUnlockedWhileABoxShows) {
    Workspace w;
    const std::string path = w.write("model/run.opt", base_file);
    w.load("model/run.opt", base_file);
    w.write("model/run.opt", base_file + "* added by another program\r\n");
    int boxes = 0;
    w.ui.on_message = [&](const UiCall&) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        ::close(fd);
        ++boxes;
    };
    w.ui.answer(Button::No);
    w.ui.answer(Button::No);
    w.s.sc.options_changed = true;
    EXPECT_FALSE(file_save(w.s));
    EXPECT_EQ(boxes, 3);
}

// A save that finds the file held by another program's save says so, naming the file, and
// writes nothing.
TEST(ChangedOnDisk, AFileBeingSavedByAnotherProgramIsNamed) {
    Workspace w;
    w.load("model/run.opt", base_file);
    const std::string path = (w.dir.path() / "model/run.opt").string();
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    w.ui.clear();
    w.s.sc.options_changed = true;
    EXPECT_FALSE(update_default_option_file(w.s));
    ::close(fd);
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{
                                   path + " is being saved by another program.\nNothing was "
                                          "written; save again when that program has finished."});
    EXPECT_EQ(w.read("model/run.opt"), base_file);
}

// A file that cannot be opened is not read: the scenario, its file names and the caption stay
// those of the file it came from, and saving into that file still works.
TEST(UnopenedFile, LeavesTheScenarioAndItsFileAsTheyWere) {
    Workspace w;
    w.load("model/run.opt", base_file);
    w.s.sc.title1str = "EDITED";
    w.s.sc.options_changed = true;
    const std::string caption = w.view.caption;
    w.ui.clear();
    EXPECT_FALSE(read_options_file_at(w.s, w.program("model/Gone.opt")));
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{"Cannot find options file: " +
                                                        lower(w.program("model/gone.opt"))});
    EXPECT_EQ(w.s.sc.option_file_name, "run.opt");
    EXPECT_EQ(w.view.caption, caption);
    EXPECT_FALSE(w.s.read_incomplete);
    EXPECT_TRUE(has_unsaved_changes(w.s));
    EXPECT_TRUE(update_default_option_file(w.s));
    EXPECT_TRUE(contains(w.read("model/run.opt"), "Title 1            : EDITED"));
}

// A file that is gone when it is saved is no conflict: Save offers another name only, and the
// scenario in the window stays.
TEST(UnopenedFile, SaveOfAFileThatIsGoneOffersSaveAsOnly) {
    Workspace w;
    w.load("model/run.opt", base_file);
    std::filesystem::remove(w.dir.path() / "model/run.opt");
    w.s.sc.title1str = "EDITED";
    w.s.sc.options_changed = true;
    w.ui.clear();
    w.ui.answer(Button::Yes);
    w.ui.choose(w.program("model/kept.opt"));
    EXPECT_TRUE(file_save(w.s));
    EXPECT_EQ(w.ui.messages(),
              (std::vector<std::string>{"file error 53", "Save the scenario under another name?"}));
    EXPECT_TRUE(contains(w.read("model/kept.opt"), "Title 1            : EDITED"));
    EXPECT_EQ(w.s.sc.option_file_name, "kept.opt");

    // Declined, the offer is the only question: nothing is re-read, the edit stays.
    std::filesystem::remove(w.dir.path() / "model/kept.opt");
    w.ui.clear();
    w.ui.answer(Button::No);
    EXPECT_FALSE(file_save(w.s));
    EXPECT_EQ(w.ui.messages(),
              (std::vector<std::string>{"file error 53", "Save the scenario under another name?"}));
    EXPECT_EQ(w.s.sc.title1str, "EDITED");
    EXPECT_FALSE(w.s.read_incomplete);
}

struct OfferCase {
    const char* name;
    std::vector<Button> answers;
    bool reread;  // the file was read again
};

class ChangedOnDiskOffer : public ::testing::TestWithParam<OfferCase> {};

// File Save on a file that changed meanwhile offers to save under another name or to re-open
// the file; No to both leaves everything as it was.
TEST_P(ChangedOnDiskOffer, SaveAsOrReopen) {
    const OfferCase c = GetParam();
    Workspace w;
    w.load("model/run.opt", base_file);
    std::string theirs = base_file;
    theirs.replace(theirs.find("Title 1            : one"), 24, "Title 1            : theirs");
    w.write("model/run.opt", theirs);
    w.s.sc.title1str = "MINE";
    w.s.sc.options_changed = true;
    w.ui.clear();
    for (Button b : c.answers)
        w.ui.answer(b);
    if (c.answers.front() == Button::Yes)
        w.ui.cancel_chooser();
    file_save(w.s);
    EXPECT_TRUE(w.ui.all_answers_used());
    EXPECT_EQ(w.read("model/run.opt"), theirs);
    EXPECT_EQ(w.s.sc.title1str, c.reread ? "THEIRS" : "MINE");
    std::vector<std::string> kinds;
    for (const auto& call : w.ui.calls())
        kinds.push_back(call.kind + ":" + call.text.substr(0, 12));
    ASSERT_GE(kinds.size(), 2u);
    EXPECT_EQ(kinds[1], "message:Save the sce");
}

INSTANTIATE_TEST_SUITE_P(Answers, ChangedOnDiskOffer,
                         ::testing::Values(OfferCase{"SaveAsCancelled", {Button::Yes}, false},
                                           OfferCase{"Reopen", {Button::No, Button::Yes}, true},
                                           OfferCase{"Neither", {Button::No, Button::No}, false}),
                         [](const auto& row) { return std::string(row.param.name); });

// Save keeps what the file is: its permission bits, and no other file beside it afterwards.
TEST(PlainSave, KeepsTheModeAndLeavesNoOtherFile) {
    Workspace w;
    w.load("model/run.opt", base_file);
    const auto path = w.dir.path() / "model/run.opt";
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_TRUE(update_default_option_file(w.s));
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(w.dir.path() / "model"))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"run.opt"});
}

TEST(PlainSave, RefusesAReadOnlyFile) {
    Workspace w;
    w.load("model/run.opt", base_file);
    const auto path = w.dir.path() / "model/run.opt";
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    w.s.sc.options_changed = true;
    w.s.sc.title1str = "CHANGED";
    EXPECT_FALSE(update_default_option_file(w.s));
    EXPECT_EQ(w.read("model/run.opt"), base_file);
    EXPECT_EQ(w.ui.messages(), std::vector<std::string>{"file error 70"});
}

struct AppendCase {
    const char* name;
    std::function<void(Scenario&)> choose;
    std::vector<std::string> appended;  // the lines after "/STAGE II/"'s packet
};

class ChosenWithoutPacket : public ::testing::TestWithParam<AppendCase> {};

// A daily file or deterioration files chosen for a file that has no packet for them are saved
// in a packet appended at the end, as "/STAGE II/" is.
TEST_P(ChosenWithoutPacket, IsAppendedAtTheEnd) {
    const AppendCase& c = GetParam();
    Workspace w;
    w.load("model/run.opt", base_file);
    c.choose(w.s.sc);
    ASSERT_TRUE(update_default_option_file(w.s));
    std::vector<std::string> lines = split_lines(w.read("model/run.opt"));
    auto stage2 = std::find(lines.begin(), lines.end(), "/STAGE II/");
    ASSERT_NE(stage2, lines.end());
    std::vector<std::string> tail(lines.begin(), stage2);
    tail.erase(tail.begin(), std::find(tail.begin(), tail.end(), "/EMFAC FILES/") + 2);
    tail.insert(tail.end(), stage2 + 3, lines.end());
    EXPECT_EQ(tail, c.appended);

    // Read again, the choice is there; and a later read of a file without the packet does not
    // carry it on.
    read_options_file(w.s);
    w.load("model/other.opt", base_file);
    ASSERT_TRUE(update_default_option_file(w.s));
    EXPECT_FALSE(contains(w.read("model/other.opt"), "/DAILY FILES/"));
    EXPECT_FALSE(contains(w.read("model/other.opt"), "/DETERIORATE FILES/"));
    EXPECT_FALSE(contains(w.read("model/other.opt"), "/MODELYEAR OUT/"));
}

INSTANTIATE_TEST_SUITE_P(
    Packets, ChosenWithoutPacket,
    ::testing::Values(AppendCase{"Daily",
                                 [](Scenario& sc) {
                                     sc.run_files[rf::daily_temps] = "data\\daily\\july.dat";
                                     sc.daily_set = true;
                                 },
                                 {"/DAILY FILES/", "DAILY TEMPS/RVP    : data\\daily\\july.dat",
                                  "/END/"}},
                      AppendCase{"Deterioration",
                                 [](Scenario& sc) {
                                     sc.deteriorate_files[1] = "data\\detfac\\exhco.det";
                                     sc.deteriorate_set = true;
                                 },
                                 {"/DETERIORATE FILES/",
                                  "CO exhaust         : data\\detfac\\exhco.det", "/END/"}},
                      AppendCase{"ByModelYear",
                                 [](Scenario& sc) {
                                     sc.bmy_output_on = true;
                                     sc.modelyear_set = true;
                                 },
                                 {"/MODELYEAR OUT/", "EXHAUST BMY OUT    : c:\\out\\run.bmx",
                                  "EVAP BMY OUT       : c:\\out\\run.bmv", "/END/"}}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace qv::test
