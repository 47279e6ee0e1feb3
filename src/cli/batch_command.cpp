#include "cli/batch_command.h"

#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <thread>

#include "cli/batch_runner.h"
#include "cli/event_report.h"
#include "cli/exit_status.h"
#include "cli/json_text.h"
#include "cli/run_signals.h"
#include "cli/scenario_fields.h"
#include "platform/fs/path_form.h"
#include "platform/hash/remembering_hasher.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "runs/campaign.h"
#include "runs/variants.h"
#include "scenario/scenario.h"
#include "scenario/scenario_compare.h"
#include "scenario/text.h"

namespace qv::cli {

struct BatchCommands::Options {
    CLI::App* make = nullptr;
    CLI::App* run = nullptr;
    CLI::App* run_one = nullptr;
    CLI::App* facts = nullptr;

    std::string template_file, out_dir;
    bool each_state = false;
    std::vector<std::string> each_county, states, years, growth_years, tech_years, sets;
    bool make_force = false;

    std::string list;
    unsigned jobs = 0;
    bool run_force = false;
    std::optional<long> timeout;

    std::string file;
    bool json = false;
    std::vector<std::string> files;
    std::string base, base_list;
};

namespace {

constexpr int refused = 1;

std::vector<std::string> split_commas(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    for (const std::string& arg : args) {
        std::size_t from = 0;
        for (;;) {
            const std::size_t comma = arg.find(',', from);
            const std::string part = trim(arg.substr(from, comma - from));
            if (!part.empty())
                out.push_back(part);
            if (comma == std::string::npos)
                break;
            from = comma + 1;
        }
    }
    return out;
}

// One choice per value of a --set FIELD=V1,V2,... argument. A value that the field's window
// refuses (tried on the template) refuses the whole make, after that window's message.
runs::Dimension set_choices(const std::string& argument, Session& s) {
    const std::size_t eq = argument.find('=');
    if (eq == std::string::npos)
        throw UsageError("--set " + argument + ": expected FIELD=V1,V2,...");
    const std::string field = argument.substr(0, eq);
    runs::Dimension d;
    for (const std::string& value : split_commas({argument.substr(eq + 1)})) {
        Assignment a = parse_assignment(field + "=" + value);
        const Scenario original = s.sc;
        std::string refusal;
        try {
            apply_assignment(s.sc, a);  // an index outside the template's list is refused here
            refusal = assigned_field_checks(s, std::span(&a, 1));
        } catch (...) {
            s.sc = original;
            throw;
        }
        s.sc = original;
        if (!refusal.empty())
            throw runs::VariantRefused(refusal);
        const std::string short_tag = value.substr(0, 3);
        d.push_back({value, short_tag, field + " = " + value,
                     [a](Session& variant) {
                         apply_assignment(variant.sc, a);
                         mark_assigned_packets(variant.sc, std::span(&a, 1));
                     },
                     // Title 1 is not repeated in Title 2.
                     a.field->name == "title1str" ? std::string() : field + " " + value,
                     a.field->name == "title2str"});
    }
    if (d.empty())
        throw UsageError("--set " + argument + ": no values");
    return d;
}

std::string extension_of(const std::string& file) {
    const std::string name = std::filesystem::path(file).filename().string();
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? ".opt" : name.substr(dot);
}

int make_command(const BatchCommands::Options& opt, const CommonOptions& common, const char* argv0,
                 std::ostream& out, std::ostream& err) {
    HeadlessSession run(common, argv0);
    auto shown = [&] { write_event_lines(out, run.events(), run.outcome()); };
    if (!run.open(opt.template_file)) {
        shown();
        return run.status();
    }
    if (run.s.read_incomplete) {
        shown();
        err << "qvopt batch make: " << opt.template_file << " was not read in full\n";
        return refused;
    }
    const std::size_t read_events = run.events().size();

    std::vector<runs::Dimension> dimensions;
    try {
        const bool ran = run.step([&] {
            if (opt.each_state)
                dimensions.push_back(runs::state_choices(run.s, runs::region_states(run.s)));
            if (!opt.states.empty())
                dimensions.push_back(runs::state_choices(run.s, split_commas(opt.states)));
            if (!opt.each_county.empty())
                dimensions.push_back(runs::county_choices(run.s, split_commas(opt.each_county)));
            if (!opt.years.empty())
                dimensions.push_back(runs::year_choices(run.s, split_commas(opt.years)));
            if (!opt.growth_years.empty())
                dimensions.push_back(runs::year_choices(run.s, split_commas(opt.growth_years),
                                                        runs::YearKind::growth));
            if (!opt.tech_years.empty())
                dimensions.push_back(
                    runs::year_choices(run.s, split_commas(opt.tech_years), runs::YearKind::tech));
            for (const std::string& set : opt.sets)
                dimensions.push_back(set_choices(set, run.s));
        });
        if (!ran) {
            shown();
            return run.status();
        }
    } catch (const runs::VariantRefused&) {
        std::vector<UiEvent> since(run.events().begin() + static_cast<std::ptrdiff_t>(read_events),
                                   run.events().end());
        write_event_lines(err, since, {});
        err << "qvopt batch make: refused; no file was written\n";
        return refused;
    } catch (const UsageError& e) {
        err << "qvopt batch make: " << e.what() << '\n';
        return exit_status::usage;
    }
    if (dimensions.empty()) {
        err << "qvopt batch make: nothing to vary: give --each-state, --each-county, --states, "
               "--years, --growth-years, --tech-years or --set\n";
        return exit_status::usage;
    }
    const auto variants = runs::combine(dimensions);
    if (variants.empty()) {
        err << "qvopt batch make: no variants: a state listed has no counties\n";
        return refused;
    }
    runs::MakeResult made;
    if (!run.step([&] {
            made = runs::write_variants(run.s, opt.out_dir, extension_of(opt.template_file),
                                        variants, opt.make_force);
        })) {
        shown();
        return run.status();
    }
    if (!made.refusal.empty()) {
        err << "qvopt batch make: " << made.refusal << '\n';
        return refused;
    }
    out << "wrote " << variants.size() << " options files and " << made.written.back() << '\n';
    return exit_status::ok;
}

volatile sig_atomic_t caught_signal = 0;

extern "C" void note_signal(int sig) {
    if (caught_signal == 0)
        caught_signal = sig;
}

// Catches the signals that stop a batch for as long as it lives.
class StopSignals {
  public:
    StopSignals() {
        caught_signal = 0;
        struct sigaction sa {};
        sa.sa_handler = note_signal;
        sigemptyset(&sa.sa_mask);
        for (std::size_t i = 0; i < std::size(signals_); ++i)
            sigaction(signals_[i], &sa, &old_[i]);
    }
    ~StopSignals() {
        for (std::size_t i = 0; i < std::size(signals_); ++i)
            sigaction(signals_[i], &old_[i], nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    static constexpr int signals_[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction old_[3]{};
};

std::string status_line(const runs::PoolProgress& p) {
    std::string line =
        "done " + std::to_string(p.done) + "/" + std::to_string(p.total - p.skipped) +
        ", running " + std::to_string(p.running) + ", failed " + std::to_string(p.failed) +
        (p.stopped ? ", stopped " + std::to_string(p.stopped) : std::string()) + ", skipped " +
        std::to_string(p.skipped) + ", elapsed " + runs::clock_text(p.elapsed) + ", left ";
    line += p.left ? runs::clock_text(*p.left) : std::string("?");
    return line;
}

bool ran(const runs::JobOutcome& o) {
    return o.result != runs::JobState::up_to_date && o.result != runs::JobState::not_run;
}

std::string exit_text(const runs::JobOutcome& o) {
    if (!ran(o))
        return "-";
    std::string text = runs::end_text(o.facts.end());
    if (!o.facts.note.empty())
        text += "; " + o.facts.note;
    return text;
}

// "NAME: succeeded (1.2 s, exit status 0)": a batch run's line for one scenario as its run
// ends, which the single-scenario form prints too.
std::string outcome_line(const std::string& written, const runs::JobOutcome& o) {
    std::string line = written + ": " + runs::result_text(o.result);
    if (ran(o))
        line += " (" + runs::duration_text(o.duration) + ", " + exit_text(o) + ")";
    return line;
}

void write_table(std::ostream& out, const std::vector<runs::BatchJob>& jobs,
                 const runs::PoolResult& result) {
    std::size_t width = 4;
    for (const auto& j : jobs)
        width = std::max(width, j.entry.written.size());
    auto row = [&](const std::string& file, const std::string& res, const std::string& dur,
                   const std::string& exit) {
        out << std::left << std::setw(static_cast<int>(width)) << file << "  " << std::setw(10)
            << res << "  " << std::setw(9) << dur << "  " << exit << '\n';
    };
    row("file", "result", "duration", "exit status");
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const auto& o = result.outcomes[i];
        row(jobs[i].entry.written, runs::result_text(o.result),
            ran(o) ? runs::duration_text(o.duration) : "-", exit_text(o));
    }
}

int exit_status_of(const runs::PoolResult& result) {
    if (result.signal != 0)
        return exit_status::of_signal(result.signal);
    return runs::all_succeeded(result) ? exit_status::ok : exit_status::run_failed;
}

LocalRunSetup run_setup(const CommonOptions& common, const char* argv0, std::optional<long> timeout,
                        const Services& services) {
    LocalRunSetup setup;
    setup.hasher = &services.hasher;
    setup.launcher = &services.launcher;
    setup.common = common;
    setup.argv0 = argv0;
    if (timeout)
        setup.time_limit = std::chrono::seconds(*timeout);
    return setup;
}

int run_batch(const BatchCommands::Options& opt, const CommonOptions& common, const char* argv0,
              std::ostream& out, std::ostream& err, const Services& services,
              const runs::BatchRunner& given) {
    std::vector<runs::BatchJob> jobs;
    try {
        const runs::Campaign campaign = runs::read_campaign(opt.list);
        const auto outputs = runs::check_distinct_outputs(
            campaign,
            [&](const runs::CampaignEntry& e) { return read_scenario_outputs(common, argv0, e); });
        for (std::size_t i = 0; i < campaign.entries.size(); ++i)
            jobs.push_back({campaign.entries[i], outputs[i]});
    } catch (const runs::CampaignError& e) {
        err << "qvopt batch run: " << e.what() << '\n';
        return refused;
    }

    // The runs share most of their inputs: each is hashed once while it stays as it was.
    const RememberingHasher hasher(services.hasher);
    LocalRunSetup setup = run_setup(common, argv0, opt.timeout, services);
    setup.hasher = &hasher;
    runs::BatchRunner runner = given;
    if (!runner.run)
        runner.run = [&setup](const runs::BatchJob& job, const std::atomic<bool>& stop) {
            runs::RunControl control;
            control.follow(stop);
            return run_scenario(setup, job, control);
        };
    if (!runner.up_to_date)
        runner.up_to_date = [&hasher](const runs::BatchJob& job) {
            return record_up_to_date(hasher, job);
        };

    runs::PoolOptions options;
    options.jobs = opt.jobs > 0 ? opt.jobs : std::max(1u, std::thread::hardware_concurrency());
    options.force = opt.run_force;
    options.stop_signal = [] { return static_cast<int>(caught_signal); };

    const bool terminal = &out == &std::cout && isatty(STDOUT_FILENO);
    std::string last_status;
    runs::PoolEvents events;
    events.finished = [&](std::size_t i, const runs::JobOutcome& o) {
        if (terminal)
            out << "\r\033[K";
        out << outcome_line(jobs[i].entry.written, o) << '\n';
        if (terminal)
            out << last_status;
        out.flush();
    };
    if (terminal)
        events.progress = [&](const runs::PoolProgress& p) {
            last_status = status_line(p);
            out << "\r\033[K" << last_status << std::flush;
        };

    runs::PoolResult result;
    {
        StopSignals signals;
        result = runs::run_pool(jobs, runner, options, events);
    }
    if (terminal)
        out << "\r\033[K";
    out << '\n';
    write_table(out, jobs, result);
    if (result.signal != 0)
        err << "qvopt batch run: stopped by signal " << result.signal << " ("
            << runs::signal_name(result.signal) << ")\n";
    return exit_status_of(result);
}

// One scenario run as each run of `batch run` is, on its own: the Batch window starts one of
// these per run. SIGINT, SIGTERM and SIGHUP end the model's whole group (also before it has
// started, which it then never does) and the exit status is 128 + the signal's number.
int run_one(const BatchCommands::Options& opt, const CommonOptions& common, const char* argv0,
            std::ostream& out, const Services& services) {
    const LocalRunSetup setup = run_setup(common, argv0, opt.timeout, services);
    runs::BatchJob job;
    job.entry.line = 1;
    job.entry.written = opt.file;
    job.entry.path = opt.file;
    runs::RunControl control;
    runs::JobOutcome outcome;
    {
        StopOnSignals signals(control);
        const auto started = std::chrono::steady_clock::now();
        outcome.facts = run_scenario(setup, job, control);
        outcome.duration = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started);
    }
    outcome.result = runs::result_of(outcome.facts);
    const std::string line = outcome_line(job.entry.written, outcome);
    if (opt.json) {
        const runs::RunFacts& f = outcome.facts;
        std::string output;
        for (const runs::ResultFile& r : f.results)
            if (r.role == "output")
                output = r.path;
        HostFileSystem fs;
        const auto output_facts = output.empty() ? std::nullopt : fs.facts(output);
        nlohmann::ordered_json doc{
            {"options_file", job.entry.path},
            {"result", runs::result_text(outcome.result)},
            {"end", runs::end_text(f.end())},
            {"line", line},
            {"duration_ms", outcome.duration.count()},
            {"ended_ms",
             std::chrono::duration_cast<std::chrono::milliseconds>(f.ended.time_since_epoch())
                 .count()},
            {"output_data", output},
            {"output_size", output_facts && !output_facts->is_dir
                                ? static_cast<std::int64_t>(output_facts->size)
                                : std::int64_t{-1}}};
        write_json_line(out, doc);
    } else {
        out << line << '\n';
    }
    if (control.signal() != 0)
        return exit_status::of_signal(control.signal());
    return outcome.result == runs::JobState::succeeded ? exit_status::ok : exit_status::run_failed;
}

// The facts the Batch window shows of each scenario, one JSON line per file, in the order
// given: whether it reads, its title, its region level and number of regions, and its message
// file. Each file is read as `qvopt show` reads it, in a session of its own; the sessions share
// one reference engine.
// Reads FILE in RUN as `qvopt show` does; false when it cannot be read in full.
bool read_for_facts(HeadlessSession& run, const std::string& file) {
    // A missing file "reads" as an empty scenario after its message.
    const auto found = run.fs.facts(run.fs.program_path(file));
    return found && !found->is_dir && run.open(file) && !run.s.read_incomplete;
}

// The template a list made by `qvopt batch make` names in its first line, when it has one.
std::string template_of_list(const std::string& list) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(list, ec))
        return {};
    std::ifstream in(list, std::ios::binary);
    std::string first;
    std::getline(in, first);
    if (!first.empty() && first.back() == '\r')
        first.pop_back();
    const std::string made = runs::made_by_prefix;
    return first.rfind(made, 0) == 0 ? first.substr(made.size()) : std::string();
}

// The region a scenario has, briefly: "NV", "Clark County NV,Nye County NV", "CA,NV,OR +2 more";
// the level when it names no state or county.
std::string region_brief(const Scenario& sc) {
    constexpr std::size_t shown = 3;
    std::string text;
    std::size_t n = 0;
    for (const auto& r : sc.region_list) {
        if (n++ < shown)
            text += (text.empty() ? "" : ",") + (r->isState ? r->abbr : r->county + " " + r->abbr);
    }
    if (n > shown)
        text += " +" + std::to_string(n - shown) + " more";
    if (text.empty()) {
        const auto level = static_cast<std::size_t>(sc.region_level);
        text = level < region_level_words.size() ? std::string(region_level_words[level])
                                                 : std::to_string(sc.region_level);
    }
    return text;
}

// What a scenario varies from its campaign's base, such as "region: NV; year 2030": the region
// as the scenario has it (not what it lost), then the rest of the differences in brief. The
// titles are left out: the Title column shows them.
std::string varies_text(const ComparedSide& base, const Session& s) {
    std::vector<Difference> diffs = compare_scenarios(base, compared_side(s));
    const bool region = std::any_of(diffs.begin(), diffs.end(),
                                    [](const Difference& d) { return d.packet == "/REGION/"; });
    // The allocation and population lists follow the region.
    std::erase_if(diffs, [region](const Difference& d) {
        return d.packet == "/REGION/" ||
               (region && (d.packet == "/ALLOC FILES/" || d.packet == "/POP FILES/")) ||
               (d.packet == "/OPTIONS/" && (d.field == "Title 1" || d.field == "Title 2"));
    });
    std::string rest = differences_summary(diffs);
    if (!region)
        return rest;
    return "region: " + region_brief(s.sc) + (rest.empty() ? "" : "; " + rest);
}

int facts_command(const BatchCommands::Options& opt, const CommonOptions& common, const char* argv0,
                  std::ostream& out) {
    const auto reference = make_reference_engine();
    // The base the rows are compared with: the template of a made campaign while it can be
    // read, else the campaign's first scenario.
    std::unique_ptr<HeadlessSession> base;
    std::optional<ComparedSide> base_side;
    std::vector<std::string> bases;
    if (!opt.base_list.empty())
        if (std::string t = template_of_list(opt.base_list); !t.empty())
            bases.push_back(std::move(t));
    if (!opt.base.empty())
        bases.push_back(opt.base);
    for (const std::string& b : bases) {
        base = std::make_unique<HeadlessSession>(common, argv0, reference.get());
        if (read_for_facts(*base, b)) {
            base_side.emplace(compared_side(base->s));
            break;
        }
        base.reset();
    }
    for (const std::string& file : opt.files) {
        HeadlessSession run(common, argv0, reference.get());
        nlohmann::ordered_json line{{"file", file}};
        const bool read = read_for_facts(run, file);
        line["readable"] = read;
        if (read) {
            const Scenario& sc = run.s.sc;
            line["title"] = sc.title1str;
            line["title2"] = sc.title2str;
            if (base_side)
                line["varies"] = varies_text(*base_side, run.s);
            const auto level = static_cast<std::size_t>(sc.region_level);
            line["region_level"] = level < region_level_words.size()
                                       ? std::string(region_level_words[level])
                                       : std::to_string(sc.region_level);
            line["regions"] = sc.region_list.size();
            line["message_file"] = sc.message_file_name.empty()
                                       ? std::string()
                                       : join_path(sc.message_dir, sc.message_file_name);
        }
        write_json_line(out, line);
        out.flush();
    }
    return exit_status::ok;
}

}  // namespace

BatchCommands::BatchCommands(CLI::App& batch) : opt_(std::make_unique<Options>()) {
    Options& o = *opt_;
    o.make = batch.add_subcommand(
        "make", "write one options file per variant of TEMPLATE into DIR, and DIR/campaign.txt");
    o.make->add_option("TEMPLATE", o.template_file, "options file to vary")->required();
    o.make->add_option("--out", o.out_dir, "directory of the new files (created when missing)")
        ->required();
    auto* each_state =
        o.make->add_flag("--each-state", o.each_state, "one file per state of the region");
    auto* each_county = o.make
                            ->add_option("--each-county", o.each_county,
                                         "one file per county of each STATE (abbreviations)")
                            ->delimiter(',');
    auto* states =
        o.make->add_option("--states", o.states, "one file per state: AB,CD,...")->delimiter(',');
    each_state->excludes(each_county, states);
    each_county->excludes(states);
    o.make->add_option("--years", o.years, "one file per episode year: Y1,Y2,...")->delimiter(',');
    o.make->add_option("--growth-years", o.growth_years, "one file per growth year: Y1,Y2,...")
        ->delimiter(',');
    o.make->add_option("--tech-years", o.tech_years, "one file per technology year: Y1,Y2,...")
        ->delimiter(',');
    o.make->add_option("--set", o.sets, "one file per value: FIELD=V1,V2,... (repeatable)")
        ->allow_extra_args(false);
    o.make->add_flag("--force", o.make_force, "overwrite files that exist");

    o.run = batch.add_subcommand(
        "run", "run the scenarios of LIST, N at a time; exit status 6 when any run failed");
    o.run->add_option("LIST", o.list, "campaign: a list of options files")->required();
    o.run->add_option("-j,--jobs", o.jobs, "runs at a time (default: the number of cores)")
        ->check(CLI::PositiveNumber);
    o.run->add_flag("--force", o.run_force, "run the scenarios that are up to date too");
    o.run->add_option("--timeout", o.timeout, "stop a run after SECONDS")
        ->check(CLI::PositiveNumber);

    o.run_one = batch.add_subcommand(
        "run-one", "run one scenario as batch run runs each; exit status 6 when the run failed");
    o.run_one->add_option("FILE", o.file, "options file")->required();
    o.run_one->add_option("--timeout", o.timeout, "stop the run after SECONDS")
        ->check(CLI::PositiveNumber);
    o.run_one->add_flag("--json", o.json, "report the outcome as one JSON object");

    o.facts = batch.add_subcommand(
        "facts", "print each FILE's title, region and message file as one JSON line");
    o.facts->add_option("FILE", o.files, "options files")->required();
    o.facts->add_option("--base", o.base, "say what each FILE varies from this options file");
    o.facts->add_option("--base-list", o.base_list,
                        "compare with the template this campaign list was made from, when it "
                        "names one that reads (else with --base)");
}

BatchCommands::~BatchCommands() = default;

bool BatchCommands::parsed() const {
    for (const CLI::App* sub : {opt_->make, opt_->run, opt_->run_one, opt_->facts})
        if (sub->parsed())
            return true;
    return false;
}

int BatchCommands::run(const CommonOptions& common, const char* argv0, std::ostream& out,
                       std::ostream& err, const Services& services,
                       const runs::BatchRunner& runner) const {
    if (opt_->make->parsed())
        return make_command(*opt_, common, argv0, out, err);
    if (opt_->run_one->parsed())
        return run_one(*opt_, common, argv0, out, services);
    if (opt_->facts->parsed())
        return facts_command(*opt_, common, argv0, out);
    return run_batch(*opt_, common, argv0, out, err, services, runner);
}

}  // namespace qv::cli
