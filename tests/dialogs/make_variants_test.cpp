#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <sstream>

#include "dialogs/batch/make_variants_dialog.h"
#include "region_sources_fixture.h"
#include "scenario/text.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// Everything of a session that a Save as changes or that the main window shows.
std::string session_state(const Session& s, const RecordingView& view) {
    const Scenario& sc = s.sc;
    std::ostringstream out;
    for (const std::string* v :
         {&sc.option_file_name, &sc.option_file_dir, &sc.save_file_name, &sc.save_file_dir,
          &sc.prev_option_file_name, &sc.prev_option_file_dir, &sc.message_file_name,
          &sc.message_dir, &sc.output_file_name, &sc.output_dir, &sc.bmy_exhaust_file_name,
          &sc.bmy_evap_file_name, &sc.episode_year, &sc.title1str})
        out << *v << '|';
    for (const std::string& f : sc.run_files)
        out << f << '|';
    out << "\nlevel " << sc.region_level << ':';
    for (const auto& e : sc.region_list)
        out << e->code << ',';
    for (const AllocList* list : {&sc.alloc_files, &sc.pop_files, &sc.alloc_files_work})
        for (const auto& e : *list)
            out << e->allocfile << ',';
    out << "\nchanged " << sc.options_changed << sc.stage2_changed << sc.period_changed
        << sc.region_changed << sc.pop_files_changed << sc.alloc_files_changed << sc.emfac_changed
        << sc.growth_changed << " incomplete " << s.read_incomplete;
    if (s.file_stamp)
        out << "\nstamp " << s.file_stamp->path << ' ' << s.file_stamp->size << ' '
            << s.file_stamp->hash;
    out << "\ncaption " << view.caption << " summaries " << view.summaries << "\ncwd "
        << s.fs.current_dir();
    return out.str();
}

// The file without its first line, which carries the time it was written.
std::string after_stamp_line(const fs::path& p) {
    const std::string text = read_file(p);
    return text.substr(text.find('\n') + 1);
}

class MakeVariantsTest : public DemoDbTest {
  protected:
    MakeVariantsDialog* open_dialog() { return open<MakeVariantsDialog>(); }
    MakeVariantsDialog* dialog() const { return static_cast<MakeVariantsDialog*>(window.data()); }
    void check_state(const char* name) {
        auto* states = child<QListWidget>("States");
        const auto found = states->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        found[0]->setCheckState(Qt::Checked);
    }
    void set_text(const char* box, const std::string& text) {
        child<QLineEdit>(box)->setText(QString::fromStdString(text));
    }
    QStringList preview_files() const {
        QStringList names;
        auto* tree = child<QTreeWidget>("preview");
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            names << tree->topLevelItem(i)->text(0);
        return names;
    }
    QString count_text() const { return child<QLabel>("count")->text(); }
    bool ok_enabled() const { return child<QPushButton>("ok")->isEnabled(); }
    fs::path out_dir() const { return dir.path() / "out"; }
    std::vector<std::string> files_in(const fs::path& d) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(d))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(MakeVariantsTest, PerStateAndYearWritesWhatQvoptBatchMakeWrites) {
    open_dialog();
    EXPECT_EQ(window->windowTitle(), "Make variants");
    click("each_state");
    EXPECT_EQ(child<QRadioButton>("each_state")->text(),
              "One per state of its &region: CA, NV, OR");
    set_text("years", "2025, 2030");
    set_text("folder", out_dir().string());
    EXPECT_EQ(count_text(), "6 options files and campaign.txt will be written into\n" +
                                QString::fromStdString(out_dir().string()) + ":");
    EXPECT_EQ(preview_files(), (QStringList{"CA2025.opt", "CA2030.opt", "NV2025.opt", "NV2030.opt",
                                            "OR2025.opt", "OR2030.opt", "campaign.txt"}));
    EXPECT_EQ(child<QTreeWidget>("preview")->topLevelItem(2)->text(1),
              "state NV (Nevada), episode year 2025");
    click("ok");
    ASSERT_EQ(dialog()->list_path(), (out_dir() / "campaign.txt").string());
    EXPECT_TRUE(ui.messages().empty()) << ui.messages().front();

    // The same template through qvopt, into a folder of its own.
    const fs::path by_qvopt = dir.path() / "by-qvopt";
    QProcess qvopt;
    qvopt.start(
        QV_BINARY_DIR "/qvopt",
        {"--model-dir", QString::fromStdString(fs.host_path(s.settings.model_dir)), "--data-dir",
         QString::fromStdString(fs.host_path(s.settings.data_dir)), "batch", "make",
         QString::fromStdString(fs.host_path(s.option_file_path())), "--out",
         QString::fromStdString(by_qvopt.string()), "--each-state", "--years", "2025,2030"});
    ASSERT_TRUE(qvopt.waitForFinished(30000));
    ASSERT_EQ(qvopt.exitCode(), 0) << qvopt.readAllStandardError().toStdString();

    const auto names = files_in(out_dir());
    ASSERT_EQ(names, files_in(by_qvopt));
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(read_file(out_dir() / "campaign.txt"), read_file(by_qvopt / "campaign.txt"));
    for (const std::string& name : names) {
        if (name == "campaign.txt")
            continue;
        // Each file names its own message and output files in its own folder.
        std::string mine = after_stamp_line(out_dir() / name);
        std::string theirs = after_stamp_line(by_qvopt / name);
        const auto replace_all = [](std::string& text, const std::string& from,
                                    const std::string& to) {
            for (std::size_t at; (at = text.find(from)) != std::string::npos;)
                text.replace(at, from.size(), to);
        };
        // The files hold their paths as the folders are on disk.
        replace_all(theirs, by_qvopt.string(), out_dir().string());
        EXPECT_EQ(mine, theirs) << name;
    }
}

TEST_F(MakeVariantsTest, PerCountyOfAChosenState) {
    open_dialog();
    click("each_county");
    check_state("Nevada");
    set_text("folder", out_dir().string());
    EXPECT_EQ(count_text().left(44), "17 options files and campaign.txt will be wr");
    EXPECT_EQ(preview_files().first(), "32001.opt");
    click("ok");
    ASSERT_TRUE(dialog()->list_path());
    const std::string list = read_file(out_dir() / "campaign.txt");
    EXPECT_NE(list.find("# county Clark County NV (32003)\n32003.opt\n"), std::string::npos)
        << list;
    const std::string clark = read_file(out_dir() / "32003.opt");
    EXPECT_NE(clark.find("/REGION/\r\nRegion Level       : COUNTY\r\n"
                         "Clark County NV    : 32003\r\n/END/"),
              std::string::npos)
        << clark;
    EXPECT_EQ(files_in(out_dir()).size(), 18u);
}

struct PreviewCase {
    const char* name;
    const char* region;
    std::vector<const char*> states;
    const char* years;
    QString count_start;  // the beginning of the line above the preview
    QStringList files;
    const char* growth_years = "";
    const char* tech_years = "";
};

void PrintTo(const PreviewCase& c, std::ostream* os) {
    *os << c.name;
}

class MakeVariantsPreview : public MakeVariantsTest,
                            public ::testing::WithParamInterface<PreviewCase> {};

// The preview follows the choices and says why nothing can be written, without a box.
TEST_P(MakeVariantsPreview, ShowsTheFilesOrWhyThereAreNone) {
    const PreviewCase& c = GetParam();
    open_dialog();
    click(c.region);
    for (const char* state : c.states)
        check_state(state);
    set_text("years", c.years);
    set_text("growth_years", c.growth_years);
    set_text("tech_years", c.tech_years);
    EXPECT_TRUE(count_text().startsWith(c.count_start)) << count_text().toStdString();
    EXPECT_EQ(preview_files(), c.files);
    EXPECT_EQ(ok_enabled(), !c.files.empty());
    EXPECT_TRUE(ui.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Choices, MakeVariantsPreview,
    ::testing::Values(
        PreviewCase{"OneYear",
                    "keep",
                    {},
                    "2020",
                    "1 options file and campaign.txt",
                    {"2020.opt", "campaign.txt"}},
        PreviewCase{"ChosenStatesAndBlanksBetweenYears",
                    "chosen_states",
                    {"Nevada", "Oregon"},
                    "2020 2030",
                    "4 options files",
                    {"NV2020.opt", "NV2030.opt", "OR2020.opt", "OR2030.opt", "campaign.txt"}},
        PreviewCase{"YearOutOfRange",
                    "each_state",
                    {},
                    "2020, 1900",
                    "Episode year 1900 is outside allowed range 1970-2050.",
                    {}},
        PreviewCase{"YearNotANumber",
                    "keep",
                    {},
                    "20x0",
                    "Episode year must be numeric and in the range 1970-2050.",
                    {}},
        PreviewCase{"GrowthAndTechYears",
                    "keep",
                    {},
                    "2030",
                    "1 options file",
                    {"30G30T35.opt", "campaign.txt"},
                    "2030",
                    "2035"},
        PreviewCase{"GrowthYearOutOfRange",
                    "keep",
                    {},
                    "",
                    "Growth year 1900 is outside allowed range 1970-2050.",
                    {},
                    "1900"},
        PreviewCase{"NothingToVary", "keep", {}, "", "Choose what to vary", {}},
        PreviewCase{"NoStateChosen", "each_county", {}, "2020", "Choose one or more states", {}}),
    [](const ::testing::TestParamInfo<PreviewCase>& c) { return std::string(c.param.name); });

TEST_F(MakeVariantsTest, OkShowsTheRefusalOfThePeriodWindowAndWritesNothing) {
    open_dialog();
    set_text("years", "1900");
    set_text("folder", out_dir().string());
    dialog()->ok();
    EXPECT_EQ(ui.messages(),
              std::vector<std::string>{"Episode year 1900 is outside allowed range 1970-2050."});
    EXPECT_TRUE(is_open());
    EXPECT_FALSE(dialog()->list_path());
    EXPECT_FALSE(fs::exists(out_dir()));
}

TEST_F(MakeVariantsTest, ExistingFilesAreOverwrittenOnlyWhenTheUserAgrees) {
    dir.write("out/NV2020.opt", "mine");
    open_dialog();
    click("chosen_states");
    check_state("Nevada");
    check_state("Oregon");
    set_text("years", "2020");
    set_text("folder", out_dir().string());

    ui.answer(Button::No);
    click("ok");
    ASSERT_EQ(ui.calls().size(), 1u);
    EXPECT_EQ(ui.calls()[0].text,
              (out_dir() / "NV2020.opt").string() + " exists.\nOverwrite the files that exist?");
    EXPECT_EQ(ui.calls()[0].buttons, Buttons::YesNo);
    EXPECT_TRUE(is_open());
    EXPECT_EQ(files_in(out_dir()), std::vector<std::string>{"NV2020.opt"});
    EXPECT_EQ(read_file(out_dir() / "NV2020.opt"), "mine");

    ui.answer(Button::Yes);
    click("ok");
    EXPECT_TRUE(ui.all_answers_used());
    EXPECT_FALSE(is_open());
    EXPECT_EQ(files_in(out_dir()),
              (std::vector<std::string>{"NV2020.opt", "OR2020.opt", "campaign.txt"}));
    EXPECT_NE(read_file(out_dir() / "NV2020.opt"), "mine");
}

// The variants carry the scenario's unsaved edits, and the session keeps its scenario, its
// current file, its caption, its summary and the stamp that guards its next save.
TEST_F(MakeVariantsTest, TheSessionIsAsBeforeAndTheVariantsHoldItsUnsavedEdits) {
    s.sc.title1str = "EDITED NOT SAVED";
    s.sc.options_changed = true;
    s.set_caption_for_current_file();
    const std::string before = session_state(s, view);
    ASSERT_NE(view.caption, "");

    open_dialog();
    click("each_state");
    set_text("folder", out_dir().string());
    click("ok");
    ASSERT_TRUE(dialog()->list_path());

    EXPECT_EQ(session_state(s, view), before);
    EXPECT_NE(read_file(out_dir() / "OR.opt").find("EDITED NOT SAVED"), std::string::npos);
    // A plain save still goes to the template and finds it as it was read.
    EXPECT_TRUE(update_default_option_file(s));
    EXPECT_NE(read_file(dir.path() / "model/demo.opt").find("EDITED NOT SAVED"), std::string::npos);
}

TEST_F(MakeVariantsTest, BrowsePutsTheChosenFolderInTheBox) {
    open_dialog();
    ui.choose(program("elsewhere"));
    click("browse");
    ASSERT_EQ(ui.calls().size(), 1u);
    EXPECT_EQ(ui.calls()[0].kind, "choose_directory");
    EXPECT_EQ(child<QLineEdit>("folder")->text().toStdString(),
              (dir.path() / "elsewhere").string());
    // A folder typed without a root is taken against the template's folder.
    set_text("folder", "runs");
    set_text("years", "2021");
    EXPECT_TRUE(
        count_text().endsWith(QString::fromStdString((dir.path() / "model/runs").string()) + ":"))
        << count_text().toStdString();
}

TEST_F(MakeVariantsTest, MakeVariantsReturnsTheListOfTheFilesWritten) {
    QTimer::singleShot(0, [this] {
        auto* d = qobject_cast<MakeVariantsDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(d);
        d->findChild<QLineEdit*>("years")->setText("2024");
        d->findChild<QLineEdit*>("folder")->setText(QString::fromStdString(out_dir().string()));
        d->findChild<QPushButton*>("ok")->click();
    });
    EXPECT_EQ(make_variants(s, nullptr), (out_dir() / "campaign.txt").string());
    EXPECT_TRUE(fs::exists(out_dir() / "2024.opt"));
}

TEST_F(MakeVariantsTest, ATemplateReadOnlyInPartIsRefused) {
    s.read_incomplete = true;
    EXPECT_EQ(make_variants(s, nullptr), std::nullopt);
    EXPECT_EQ(ui.messages(), std::vector<std::string>{fs.host_path(s.option_file_path()) +
                                                      " was not read in full"});
}

}  // namespace
}  // namespace qv::test
