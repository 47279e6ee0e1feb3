#include "scenario/model_run.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/app_error.h"
#include "scenario/text.h"
#include "support/workspace.h"

namespace qv::test {
namespace {

const std::string options =
    fixture::runfiles("outputs\\run.msg", "outputs\\run.out") +
    fixture::options({.title1 = "t", .title2 = "", .rvp = "9", .oxygen = "0"}) + fixture::period() +
    fixture::region("US TOTAL") + fixture::empty_file_lists() +
    fixture::packet("/MODELYEAR OUT/", {"EXHAUST BMY OUT    :", "EVAP BMY OUT       :"});

// Records how the Run step asks for the model, and where the current directory was then.
class FakeModel : public ModelWaiter {
  public:
    explicit FakeModel(FileSystem& fs) : fs_(fs) {}
    int run_and_wait(const std::string& p, const std::vector<std::string>& a,
                     const std::string& dir) override {
        program = p;
        args = a;
        working_dir = dir;
        current_dir_at_start = fs_.current_dir();
        if (failure)
            throw *failure;
        return 7;
    }

    std::optional<AppError> failure;
    std::string program, working_dir, current_dir_at_start;
    std::vector<std::string> args;

  private:
    FileSystem& fs_;
};

class ModelRun : public ::testing::Test {
  protected:
    void SetUp() override {
        w.ui.may_ask_again_ = false;
        w.load("model/run.opt", options);
        ASSERT_TRUE(w.ui.messages().empty()) << w.ui.messages()[0];
        s.sc = w.s.sc;
        s.settings = w.s.settings;
        s.settings.model_exe = "QV.EXE";
        s.state_table = w.s.state_table;
        s.log.open_in_memory();
        s.now_text = w.s.now_text;
        s.view = &w.view;
        w.view.summaries = 0;
    }
    void TearDown() override { std::filesystem::current_path(start_dir); }

    std::string host(const std::string& relative) const {
        return (w.dir.path() / relative).string();
    }

    const std::filesystem::path start_dir = std::filesystem::current_path();
    Workspace w;
    ScriptedUi ui;
    Session s{ui, w.fs, w.ref};
    FakeModel processes{w.fs};
};

TEST_F(ModelRun, SavesWritesTheBatchFileRunsInModelDirAndComesBack) {
    s.sc.title1str = "Saved before the run";
    s.sc.options_changed = true;
    ModelRunOutcome r = run_model(s, processes);

    const std::string model_dir = s.settings.model_dir;
    EXPECT_EQ(w.read("model/quarvel.bat"),
              "CD " + model_dir + "\r\nQV.EXE " + model_dir + "/run.opt\r\n");
    EXPECT_NE(w.read("model/run.opt").find("Saved before the run"), std::string::npos);

    EXPECT_EQ(processes.program, host("model/QV.EXE"));
    EXPECT_EQ(processes.args, std::vector<std::string>{host("model/run.opt")});
    EXPECT_EQ(processes.working_dir, host("model"));
    EXPECT_EQ(processes.current_dir_at_start, model_dir);

    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exit_code, 7);
    EXPECT_EQ(r.error_number, 0);
    EXPECT_EQ(r.command_line, model_dir + "/QV.EXE " + model_dir + "/run.opt");
    EXPECT_EQ(w.view.summaries, 1);
    EXPECT_EQ(w.fs.current_dir(), s.settings.app_dir);
    EXPECT_EQ(ui.busy_depth(), 0);
    EXPECT_TRUE(ui.messages().empty());
}

// A refused save ends the Run there: the model would run on a file that does not hold the
// scenario the user asked to run.
TEST_F(ModelRun, ARefusedSaveStopsTheRun) {
    std::filesystem::permissions(w.dir.path() / "model/run.opt",
                                 std::filesystem::perms::owner_read);
    s.sc.mintempstr = "55";
    s.sc.options_changed = true;
    const ModelRunOutcome r = run_model(s, processes);
    EXPECT_FALSE(r.saved);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(processes.program, "");
    EXPECT_EQ(ui.messages(), std::vector<std::string>{"file error 70"});
    EXPECT_EQ(ui.busy_depth(), 0);
}

TEST_F(ModelRun, ErrorBranchShowsTheProblemAndLogsItButPassesOverflowInSilence) {
    const struct {
        std::optional<AppError> failure;
        bool missing_model_dir;
        int number;
        bool message;
    } rows[] = {
        {file_not_found_error(), false, err::file_not_found, true},
        {AppError(err::overflow, "Overflow"), false, err::overflow, false},
        {std::nullopt, true, err::path_not_found, true},
    };
    for (const auto& row : rows) {
        ui.clear();
        s.log = RunLog();
        s.log.open_in_memory();
        w.view.summaries = 0;
        processes.failure = row.failure;
        if (row.missing_model_dir)
            s.settings.model_dir = w.program("model\\absent");
        w.fs.set_current_dir(w.program("model"));

        ModelRunOutcome r = run_model(s, processes);

        const std::string command =
            s.settings.model_dir + "/QV.EXE " + s.sc.option_file_dir + "/run.opt";
        EXPECT_FALSE(r.started);
        EXPECT_EQ(r.error_number, row.number);
        EXPECT_EQ(r.command_line, command);
        ASSERT_FALSE(s.log.lines().empty());
        EXPECT_EQ(s.log.lines().back(), "Problem running file error number " +
                                            std::to_string(row.number) + " command string " +
                                            command);
        std::vector<UiCall> boxes;
        for (const auto& c : ui.calls())
            if (c.kind == "message")
                boxes.push_back(c);
        ASSERT_EQ(boxes.size(), row.message ? 1u : 0u) << row.number;
        if (row.message) {
            EXPECT_EQ(boxes[0].text,
                      "Problem starting Core Model\n\nCommand string: " + lower(command) +
                          "\n\nMake sure the Core model executable exists and is "
                          "in the correct path.");
            EXPECT_EQ(boxes[0].title, std::optional<std::string>("US KQT QUARVEL MODEL"));
            EXPECT_EQ(boxes[0].icon, Icon::Exclamation);
        }
        EXPECT_EQ(w.view.summaries, 0);
        EXPECT_EQ(ui.busy_depth(), 0);
        // The current directory stays where the failure left it.
        EXPECT_EQ(w.fs.current_dir(),
                  row.missing_model_dir ? w.program("model") : s.settings.model_dir);
    }
}

}  // namespace
}  // namespace qv::test
