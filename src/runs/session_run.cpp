#include "runs/session_run.h"

#include "platform/app_error.h"
#include "platform/fs/path_form.h"

namespace qv::runs {

namespace {

bool absolute_path(const std::string& path) {
    return !path.empty() &&
           (path[0] == '\\' || path[0] == '/' || (path.size() > 1 && path[1] == ':'));
}

}  // namespace

std::vector<ResultFile> scenario_results(const Session& s) {
    const Scenario& sc = s.sc;
    std::vector<ResultFile> results;
    const struct {
        const char* role;
        const std::string& dir;
        const std::string& name;
    } files[] = {{"message", sc.message_dir, sc.message_file_name},
                 {"output", sc.output_dir, sc.output_file_name}};
    for (const auto& f : files) {
        ResultFile r;
        r.role = f.role;
        if (!f.name.empty()) {
            std::string path = f.dir.empty() ? f.name : join_path(f.dir, f.name);
            if (!absolute_path(path))
                path = join_path(s.settings.model_dir, path);
            r.path = path;
        }
        results.push_back(r);
    }
    return results;
}

std::string output_log_path(const std::vector<ResultFile>& results) {
    for (const auto& r : results)
        if (r.role == "output" && !r.path.empty())
            return r.path + ".log";
    return {};
}

SessionModelRun::SessionModelRun(Session& s, ModelLauncher& launcher, SessionRunOptions options)
    : s_(s), launcher_(launcher), options_(std::move(options)) {}

int SessionModelRun::run_and_wait(const std::string& program, const std::vector<std::string>& args,
                                  const std::string& working_dir) {
    RunRequest request;
    request.model_path = program;
    request.args = args;
    request.working_dir = working_dir;
    request.options_file = args.empty() ? std::string() : args.front();
    request.command_line = program;
    for (const auto& a : args)
        request.command_line += " " + a;
    request.results = scenario_results(s_);
    request.locate = [this](const std::string& path) { return s_.fs.host_path(path); };
    request.log_path = output_log_path(request.results);
    request.time_limit = options_.time_limit;

    RunHooks hooks = options_.hooks;
    if (options_.paced) {
        hooks.on_poll = [this, poll = options_.hooks.on_poll] {
            s_.ui.process_events();
            if (poll)
                poll();
        };
    }
    result_ = run_model_process(launcher_, request, hooks, options_.observers, options_.control);
    const RunFacts& facts = result_->facts;
    if (!facts.was_started)
        throw AppError(result_->start_error, facts.failure);
    if (facts.signal)
        return 128 + *facts.signal;
    return facts.exit_status.value_or(0);
}

}  // namespace qv::runs
