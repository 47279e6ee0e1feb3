#include "runs/slurm_job.h"

#include <charconv>
#include <sstream>

namespace qv::runs {

namespace {

constexpr const char* tasks_open = "tasks=(";
constexpr const char* task_mark = " # line ";

bool has_blank_or_break(const std::string& s) {
    return s.find_first_of(" \t\r\n") != std::string::npos;
}

bool digits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// HH:MM:SS or D-HH:MM:SS, minutes and seconds below 60.
bool time_limit(const std::string& t) {
    std::string clock = t;
    if (auto dash = t.find('-'); dash != std::string::npos) {
        if (!digits(t.substr(0, dash)))
            return false;
        clock = t.substr(dash + 1);
    }
    if (clock.size() < 8 || clock[clock.size() - 3] != ':' || clock[clock.size() - 6] != ':')
        return false;
    const std::string h = clock.substr(0, clock.size() - 6);
    const std::string m = clock.substr(clock.size() - 5, 2);
    const std::string s = clock.substr(clock.size() - 2);
    return digits(h) && digits(m) && digits(s) && std::stoi(m) < 60 && std::stoi(s) < 60;
}

std::optional<int> to_int(const std::string& s) {
    int value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc{} || end != s.data() + s.size())
        return std::nullopt;
    return value;
}

// Reads a word written by shell_quote at the start of TEXT; the rest is left in REST.
std::optional<std::string> unquote(const std::string& text, std::string& rest) {
    std::string word;
    std::size_t i = 0;
    if (text.empty() || text[0] != '\'')
        return std::nullopt;
    while (i < text.size() && text[i] == '\'') {
        const auto close = text.find('\'', i + 1);
        if (close == std::string::npos)
            return std::nullopt;
        word += text.substr(i + 1, close - i - 1);
        i = close + 1;
        if (text.compare(i, 3, "\\''") != 0)
            break;
        word += '\'';
        i += 2;
    }
    rest = text.substr(i);
    return word;
}

}  // namespace

void check_resources(const SlurmResources& r) {
    for (const auto& [option, value] :
         {std::pair{"--partition", &r.partition}, {"--account", &r.account}}) {
        if (has_blank_or_break(*value) || value->find('"') != std::string::npos)
            throw SlurmJobError(std::string(option) + " " + *value +
                                ": a name without blanks or quotes is expected");
    }
    if (!r.time.empty() && !time_limit(r.time))
        throw SlurmJobError("--time " + r.time + ": HH:MM:SS or D-HH:MM:SS is expected");
    if (r.cpus_per_task < 0)
        throw SlurmJobError("--cpus-per-task must be at least 1");
    if (r.max_parallel < 0)
        throw SlurmJobError("--max-parallel must be at least 1");
}

std::string shell_quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string sbatch_script(const SlurmJobSpec& job) {
    check_resources(job.resources);
    if (job.tasks.empty())
        throw SlurmJobError("no scenario to run");
    for (const auto& path : {job.list_path, job.script_path, job.log_pattern}) {
        if (path.find_first_of("\"\r\n") != std::string::npos)
            throw SlurmJobError(path +
                                ": a path with a line break or a double quote cannot be "
                                "named in a job script");
    }
    for (const auto& t : job.tasks) {
        if (t.options_file.find_first_of("\r\n") != std::string::npos)
            throw SlurmJobError("line " + std::to_string(t.line) +
                                ": a path with a line break cannot be named in a job script");
    }

    const auto& r = job.resources;
    std::ostringstream out;
    out << "#!/bin/bash\n"
        << "# Written by qvopt batch slurm from " << job.list_path << ": one task per scenario\n"
        << "# that was not up to date. Submit it with sbatch; qvopt batch status shows progress.\n"
        << "#SBATCH --job-name=qv-batch\n"
        << "#SBATCH --array=0-" << job.tasks.size() - 1;
    if (r.max_parallel > 0)
        out << '%' << r.max_parallel;
    out << "\n#SBATCH --output=\"" << job.log_pattern << "\"\n";
    if (!r.partition.empty())
        out << "#SBATCH --partition=" << r.partition << '\n';
    if (!r.time.empty())
        out << "#SBATCH --time=" << r.time << '\n';
    if (r.cpus_per_task > 0)
        out << "#SBATCH --cpus-per-task=" << r.cpus_per_task << '\n';
    if (!r.account.empty())
        out << "#SBATCH --account=" << r.account << '\n';
    out << "set -eu\n" << tasks_open << '\n';
    for (const auto& t : job.tasks)
        out << "  " << shell_quote(t.options_file) << task_mark << t.line << '\n';
    out << ")\nexec";
    for (const auto& word : job.qvopt)
        out << ' ' << shell_quote(word);
    // As each run of a local batch: no batch file in the shared model directory.
    out << " batch run-one \"${tasks[$SLURM_ARRAY_TASK_ID]}\"\n";
    return out.str();
}

std::vector<SlurmTask> script_tasks(const std::string& script) {
    std::vector<SlurmTask> tasks;
    std::istringstream in(script);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!inside) {
            inside = line == tasks_open;
            continue;
        }
        if (line == ")")
            return tasks;
        std::string rest;
        auto word = line.size() > 2 ? unquote(line.substr(2), rest) : std::nullopt;
        const std::string mark = task_mark;
        if (!word || rest.compare(0, mark.size(), mark) != 0)
            return {};
        auto number = to_int(rest.substr(mark.size()));
        if (!number)
            return {};
        tasks.push_back({*number, *word});
    }
    return {};
}

std::optional<std::string> parsable_job_id(const std::string& sbatch_output) {
    std::string id = sbatch_output.substr(0, sbatch_output.find_first_of(";\r\n"));
    if (!digits(id))
        return std::nullopt;
    return id;
}

std::vector<QueuedTask> queued_tasks(const std::string& squeue_output,
                                     const std::string& script_path) {
    std::vector<QueuedTask> tasks;
    std::istringstream in(squeue_output);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // The script path comes last: it may itself hold the separator.
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (int i = 0; i < 3; ++i) {
            auto bar = line.find('|', start);
            if (bar == std::string::npos)
                break;
            fields.push_back(line.substr(start, bar - start));
            start = bar + 1;
        }
        if (fields.size() != 3 || line.substr(start) != script_path)
            continue;
        auto task = to_int(fields[1]);
        if (!task || !digits(fields[0]))
            continue;
        tasks.push_back({fields[0], *task, fields[2]});
    }
    return tasks;
}

}  // namespace qv::runs
