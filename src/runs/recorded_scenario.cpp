#include "runs/recorded_scenario.h"

#include "platform/app_error.h"
#include "platform/program_end.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"

namespace qv::runs {

std::optional<std::string> recorded_options_text(const RunRecord& record, std::string& why_not) {
    if (!record.options_copy) {
        why_not = "not recorded";
        return std::nullopt;
    }
    if (record.options_copy->cut) {
        why_not = "not recorded in full: the options file was longer than 1 MiB";
        return std::nullopt;
    }
    why_not.clear();
    return record.options_copy->text;
}

bool OverlayFileSystem::is_overlaid(std::string_view path) const {
    return base_.host_path(path) == path_;
}

std::string OverlayFileSystem::read_file(std::string_view path) const {
    return is_overlaid(path) ? text_ : base_.read_file(path);
}

std::string OverlayFileSystem::read_file_with_facts(std::string_view path, FileFacts& facts) const {
    if (!is_overlaid(path))
        return base_.read_file_with_facts(path, facts);
    facts = FileFacts{};
    facts.size = text_.size();
    return text_;
}

std::optional<FileFacts> OverlayFileSystem::facts(std::string_view path) const {
    if (!is_overlaid(path))
        return base_.facts(path);
    FileFacts f;
    f.size = text_.size();
    return f;
}

RecordedScenario::RecordedScenario(const Session& like, Ui& ui, const RunRecord& record,
                                   std::string text)
    : fs_(like.fs, record.options_file.path, std::move(text)), s_(ui, fs_, like.reference) {
    s_.settings = like.settings;
    s_.state_table = like.state_table;
    s_.now_text = like.now_text;
    s_.log.open_in_memory();
    const std::string path = like.fs.program_path(record.options_file.path);
    s_.sc.option_file_name = split_file_name(path);
    s_.sc.option_file_dir = split_dir(path);
}

void RecordedScenario::read() {
    read_options_file(s_);
}

ScenarioChanges changes_since_run(const Session& now, const RunRecord& record, Ui& ui) {
    ScenarioChanges changes;
    auto text = recorded_options_text(record, changes.unknown);
    if (!text)
        return changes;
    RecordedScenario then(now, ui, record, std::move(*text));
    try {
        then.read();
    } catch (const ProgramEnd&) {
        changes.unknown = "the options text of the run could not be read";
        return changes;
    } catch (const ChooserStop&) {
        changes.unknown = "the options text of the run could not be read";
        return changes;
    }
    if (then.session().read_incomplete) {
        changes.unknown = "the options text of the run could not be read in full";
        return changes;
    }
    changes.differences = compare_scenarios(compared_side(then.session()), compared_side(now));
    return changes;
}

}  // namespace qv::runs
