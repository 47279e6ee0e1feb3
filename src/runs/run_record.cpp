#include "runs/run_record.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "qv_version.h"
#include "runs/options_copy.h"
#include "runs/plain_record.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv::runs {

using nlohmann::ordered_json;

namespace {

constexpr const char* program_version = program_version_text;

std::int64_t to_ms(std::chrono::system_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

std::string host_name() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::string user_name() {
    for (const char* var : {"USER", "LOGNAME"})
        if (const char* v = std::getenv(var); v && *v)
            return v;
    // Services and batch systems often start programs without those variables.
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        return found->pw_name;
    return std::to_string(getuid());
}

bool has_wildcards(std::string_view name) {
    return name.find_first_of("*?") != std::string_view::npos;
}

ordered_json file_json(const RecordedFile& f, bool as_input, bool as_result) {
    ordered_json j;
    if (as_input) {
        j["packet"] = f.packet;
        j["key"] = f.key;
        j["written"] = f.written;
    }
    if (as_result)
        j["role"] = f.role;
    j["path"] = f.path;
    if (f.kind != "file")
        j["kind"] = f.kind;
    j["exists"] = f.exists;
    if (f.exists && f.kind != "pattern") {
        j["size"] = f.size;
        j["mtime"] = iso_utc(f.mtime_ns / 1'000'000);
        j["mtime_ns"] = f.mtime_ns;
    }
    if (!f.sha256.empty())
        j["sha256"] = f.sha256;
    if (!f.not_hashed.empty())
        j["not_hashed"] = f.not_hashed;
    if (as_result)
        j["written_by_this_run"] = f.written_by_this_run;
    return j;
}

// An integer field that must lie within the range of T: a fraction, a number in floating-point
// form or one past the range is refused rather than converted, so that 4294967296 is never
// read as exit status 0.
template <class T>
T checked_integer(const ordered_json& v, const char* name, T low = std::numeric_limits<T>::min(),
                  T high = std::numeric_limits<T>::max()) {
    if (v.is_number_unsigned()) {
        const auto u = v.get<std::uint64_t>();
        if (std::cmp_less_equal(u, high) && std::cmp_greater_equal(u, low))
            return static_cast<T>(u);
    } else if (v.is_number_integer()) {
        const auto i = v.get<std::int64_t>();
        if (std::cmp_less_equal(i, high) && std::cmp_greater_equal(i, low))
            return static_cast<T>(i);
    }
    throw RecordError(std::string(name) + " out of range");
}

RecordedFile file_from_json(const ordered_json& j, const std::string& role) {
    if (!j.is_object())
        throw RecordError("a file entry is not an object");
    RecordedFile f;
    f.role = j.value("role", role);
    f.packet = j.value("packet", "");
    f.key = j.value("key", "");
    f.written = j.value("written", "");
    f.path = j.at("path").get<std::string>();
    f.kind = j.value("kind", "file");
    f.exists = j.value("exists", false);
    if (j.contains("size"))
        f.size = checked_integer<std::uint64_t>(j["size"], "size", 0,
                                                std::numeric_limits<std::int64_t>::max());
    if (j.contains("mtime_ns")) {
        f.mtime_ns = checked_integer<std::int64_t>(j["mtime_ns"], "mtime_ns");
    } else if (j.contains("mtime")) {
        auto ms = parse_iso_utc(j["mtime"].get<std::string>());
        if (!ms)
            throw RecordError("a time is not of the form YYYY-MM-DDThh:mm:ss.mmmZ");
        f.mtime_ns = *ms * 1'000'000;
    }
    f.sha256 = j.value("sha256", "");
    f.not_hashed = j.value("not_hashed", "");
    f.written_by_this_run = j.value("written_by_this_run", false);
    return f;
}

RecordedFile named_file(const FileSystem& fs, std::string role, const std::string& program_path) {
    RecordedFile f;
    f.role = std::move(role);
    f.path = fs.host_path(program_path);
    return f;
}

// "Allocation File    :" gives "Allocation File".
std::string label_of(std::string_view descriptor) {
    std::string label = trim(descriptor);
    if (!label.empty() && label.back() == ':')
        label.pop_back();
    return trim(label);
}

void add_input(RecordPlan& plan, const Session& s, const std::string& packet,
               const std::string& key, const std::string& written) {
    if (trim(written).empty())
        return;
    RecordedFile f = named_file(s.fs, "input", in_model_dir(s, written));
    f.packet = packet;
    f.key = key;
    f.written = written;
    if (has_wildcards(written))
        f.kind = "pattern";
    plan.inputs.push_back(std::move(f));
}

// The change, if any, of one recorded file against the disk.
std::optional<std::string> change_of(const RecordedFile& was, const FileSystem& fs,
                                     const Hasher& hasher, bool rehash, SeenFiles* seen) {
    if (was.kind != "file")
        return std::nullopt;
    // What examine(..., hash = false) would find of the file now; through SEEN without a copy
    // of the record's entry, since a status looks at thousands of them.
    struct Now {
        bool exists = false;
        bool is_file = true;
        std::uint64_t size = 0;
        std::int64_t mtime_ns = 0;
        const std::string* path = nullptr;
    } now;
    RecordedFile examined;
    if (seen) {
        const SeenFiles::Seen& found = seen->look(fs, was.path);
        now.path = &was.path;
        if (found.facts) {
            now.exists = true;
            now.path = &found.host;
            now.is_file = !found.facts->is_dir;
            if (now.is_file) {
                now.size = found.facts->size;
                now.mtime_ns = found.facts->mtime_ns ? found.facts->mtime_ns
                                                     : found.facts->mtime * 1'000'000'000;
            }
        }
    } else {
        examined = was;
        examine(fs, hasher, examined, false);
        now = {examined.exists, examined.kind == "file", examined.size, examined.mtime_ns,
               &examined.path};
    }
    if (!was.exists)
        return now.exists ? std::optional<std::string>("created") : std::nullopt;
    if (!now.exists)
        return "deleted";
    // A FIFO or a device is never read: it has changed only when it has become something else.
    // Asked to stop before its first piece, the hasher only looks at what the file is.
    if (was.not_hashed == not_regular_file && now.is_file)
        return hasher.sha256_file(*now.path, [] { return true; }).refusal == not_regular_file
                   ? std::nullopt
                   : std::optional<std::string>("changed");
    if (!now.is_file || now.size != was.size)
        return "changed";
    if (!rehash && now.mtime_ns == was.mtime_ns)
        return std::nullopt;
    // The time moved (or every file is checked): only the content tells.
    if (was.sha256.empty())
        return "changed";
    const FileDigest sum = seen ? seen->sha256(hasher, *now.path) : hasher.sha256_file(*now.path);
    if (sum.sha256.empty() || sum.sha256 != was.sha256)
        return "changed";
    return std::nullopt;
}

RecordStatus compare(const std::string& record_path, const FileSystem& fs, const Hasher& hasher,
                     bool rehash, SeenFiles* seen = nullptr, bool brief = false) {
    RecordStatus status;
    try {
        const std::string text = fs.read_file(record_path);
        status.record = brief ? read_record_for_check(text) : read_record(text);
    } catch (const RecordError& e) {
        status.state = RecordState::unreadable;
        status.why = e.what();
        return status;
    } catch (const AppError& e) {
        // No record (read at once rather than looked up first: status reads thousands).
        if (e.number() == err::file_not_found) {
            status.state = RecordState::never_run;
            return status;
        }
        status.state = RecordState::unreadable;
        status.why = "cannot be read (error " + std::to_string(e.number()) + ")";
        return status;
    }
    const RunRecord& r = *status.record;
    for (const RecordedFile* f : r.files())
        if (auto change = change_of(*f, fs, hasher, rehash, seen))
            status.changed.push_back({f->role, f->path, *change});
    if (!r.succeeded()) {
        status.state = RecordState::failed;
        status.why = end_text(r.end());
    } else {
        status.state = status.changed.empty() ? RecordState::up_to_date : RecordState::out_of_date;
    }
    return status;
}

}  // namespace

bool RunRecord::succeeded() const {
    return exit_status && *exit_status == 0 && !signal && stopped == StopReason::none &&
           failure.empty();
}

std::vector<const RecordedFile*> RunRecord::files() const {
    std::vector<const RecordedFile*> all{&options_file, &model, &reference_db};
    for (const auto& f : inputs)
        all.push_back(&f);
    for (const auto& f : results)
        all.push_back(&f);
    return all;
}

std::string iso_utc(std::int64_t ms) {
    std::int64_t secs = ms / 1000;
    std::int64_t rest = ms % 1000;
    if (rest < 0) {
        rest += 1000;
        --secs;
    }
    const std::time_t t = static_cast<std::time_t>(secs);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>(rest));
    return text;
}

std::optional<std::int64_t> parse_iso_utc(const std::string& text) {
    std::tm tm{};
    int ms = 0;
    char z = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d%c", &tm.tm_year, &tm.tm_mon,
                    &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &ms, &z) != 8 ||
        z != 'Z')
        return std::nullopt;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return static_cast<std::int64_t>(timegm(&tm)) * 1000 + ms;
}

namespace {

// Appends TEXT as a JSON string, as the record's serializer writes it: a plain printable ASCII
// text is copied between its quotes; anything else (escapes, non-ASCII, invalid UTF-8, which is
// replaced) goes through the serializer itself.
void append_json_text(std::string& out, std::string_view text) {
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x80 && c != '"' && c != '\\';
    });
    if (plain) {
        out += '"';
        out += text;
        out += '"';
        return;
    }
    nlohmann::detail::serializer<ordered_json> s(
        nlohmann::detail::output_adapter<char, std::string>(out), ' ',
        nlohmann::json::error_handler_t::replace);
    s.dump(ordered_json(std::string(text)), false, false, 0);
}

}  // namespace

std::string record_json(RunRecord r) {
    ordered_json j;
    j["format"] = record_format;
    j["program"] = {{"name", r.program_name}, {"version", r.program_version}};
    j["host"] = r.host;
    j["user"] = r.user;
    j["title"] = r.title;
    j["options_file"] = file_json(r.options_file, false, false);
    ordered_json model = file_json(r.model, false, false);
    model["command_line"] = r.command_line;
    model["working_dir"] = r.working_dir;
    j["model"] = model;
    j["reference_db"] = file_json(r.reference_db, false, false);
    j["inputs"] = ordered_json::array();
    for (const auto& f : r.inputs)
        j["inputs"].push_back(file_json(f, true, false));
    j["started"] = iso_utc(r.started_ms);
    j["ended"] = iso_utc(r.ended_ms);
    j["duration_s"] = static_cast<double>(r.ended_ms - r.started_ms) / 1000.0;
    if (r.signal)
        j["exit"] = {{"signal", *r.signal}, {"signal_name", signal_name(*r.signal)}};
    else if (r.exit_status)
        j["exit"] = {{"status", *r.exit_status}};
    else
        j["exit"] = nullptr;
    j["stopped"] = r.stopped == StopReason::none ? ordered_json(nullptr)
                                                 : ordered_json(stop_reason_word(r.stopped));
    if (!r.failure.empty())
        j["failure"] = r.failure;
    if (!r.note.empty())
        j["note"] = r.note;
    j["results"] = ordered_json::array();
    for (const auto& f : r.results)
        j["results"].push_back(file_json(f, false, true));
    std::size_t room = 64 * 1024;
    for (const auto& line : r.console_tail)
        room += line.size() + 16;
    // The last lines go in after the rest is written (see below).
    j["console_tail"] = ordered_json::array();
    if (r.options_copy)
        j["options_text"] = options_copy_json(*r.options_copy);
    // Invalid UTF-8 in a path or a console line is replaced rather than refused: the record
    // must be written whatever the model printed. The text is written into room made for it
    // at once (what dump() does, less its growing copies): the last lines alone may be
    // megabytes.
    if (r.options_copy)
        room += r.options_copy->text.size();
    std::string text;
    text.reserve(room);
    nlohmann::detail::serializer<ordered_json> out(
        nlohmann::detail::output_adapter<char, std::string>(text), ' ',
        nlohmann::json::error_handler_t::replace);
    out.dump(j, true, false, 2);
    // The last lines may be megabytes, mostly of plain text: they are written here as the
    // serializer would write them, plain lines copied as they are, and put where the empty
    // array stands. A line break never stands raw inside a JSON text, so the key's line is
    // found only where the serializer wrote it.
    if (!r.console_tail.empty()) {
        constexpr std::string_view key = "\n  \"console_tail\": []";
        const std::size_t at = text.find(key);
        if (at != std::string::npos) {
            std::string lines = "[\n";
            lines.reserve(room - text.size());
            for (std::size_t i = 0; i < r.console_tail.size(); ++i) {
                lines += i ? ",\n    " : "    ";
                append_json_text(lines, r.console_tail[i]);
            }
            lines += "\n  ]";
            text.replace(at + key.size() - 2, 2, lines);
        }
    }
    text += '\n';
    return text;
}

RunRecord parse_record(std::string_view text) {
    ordered_json j;
    try {
        j = ordered_json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        throw RecordError(std::string("not JSON: ") + e.what());
    }
    if (!j.is_object())
        throw RecordError("not a JSON object");
    // Read as it is, whatever its type: a format that is not a text is not this one either.
    std::string format;
    if (auto it = j.find("format"); it != j.end())
        format = it->is_string() ? it->get<std::string>() : it->dump();
    if (format != record_format)
        throw RecordError(format.empty() ? "no format named"
                                         : "format " + format + ", not " + record_format);
    try {
        RunRecord r;
        const auto& program = j.at("program");
        r.program_name = program.value("name", "");
        r.program_version = program.value("version", "");
        r.host = j.value("host", "");
        r.user = j.value("user", "");
        r.title = j.value("title", "");
        r.options_file = file_from_json(j.at("options_file"), "options file");
        r.model = file_from_json(j.at("model"), "model");
        r.command_line = j["model"].value("command_line", "");
        r.working_dir = j["model"].value("working_dir", "");
        r.reference_db = file_from_json(j.at("reference_db"), "reference database");
        for (const auto& f : j.at("inputs"))
            r.inputs.push_back(file_from_json(f, "input"));
        for (const auto& f : j.at("results"))
            r.results.push_back(file_from_json(f, ""));
        auto started = parse_iso_utc(j.at("started").get<std::string>());
        auto ended = parse_iso_utc(j.at("ended").get<std::string>());
        if (!started || !ended)
            throw RecordError("a time is not of the form YYYY-MM-DDThh:mm:ss.mmmZ");
        r.started_ms = *started;
        r.ended_ms = *ended;
        const auto& exit = j.at("exit");
        // The bounds of a wait status: a model exits with 0 to 255 or ends by signal 1 to 127.
        if (exit.is_object()) {
            if (exit.contains("signal"))
                r.signal = checked_integer<int>(exit["signal"], "exit signal", 1, 127);
            if (exit.contains("status"))
                r.exit_status = checked_integer<int>(exit["status"], "exit status", 0, 255);
        }
        if (j.contains("stopped") && !j["stopped"].is_null()) {
            // A reason that is none or not one of the known is not passed over.
            const auto reason = j["stopped"].is_string()
                                    ? stop_reason_of_word(j["stopped"].get<std::string>())
                                    : std::nullopt;
            if (!reason || *reason == StopReason::none)
                throw RecordError("stopped out of range");
            r.stopped = *reason;
        }
        r.failure = j.value("failure", "");
        r.note = j.value("note", "");
        if (j.contains("console_tail"))
            r.console_tail = j["console_tail"].get<std::vector<std::string>>();
        if (j.contains("options_text"))
            r.options_copy = options_copy_from_json(j["options_text"]);
        return r;
    } catch (const nlohmann::json::exception& e) {
        throw RecordError(std::string("a field is missing or of the wrong type: ") + e.what());
    }
}

namespace {

// The record beside the output that host_path maps to ON_DISK, where FACTS were found.
std::string record_beside(const FileSystem& fs, const std::string& output_file,
                          const std::string& on_disk, const std::optional<FileFacts>& facts) {
    if (facts && !facts->is_dir)
        return fs.host_path(on_disk + ".run.json");
    return fs.host_path(output_file + ".run.json");
}

}  // namespace

std::string record_path_for(const FileSystem& fs, const std::string& output_file) {
    // One mapping of the name: in a directory of thousands of outputs each case-blind look-up
    // reads the whole directory.
    // A record whose name differs from the output's only in letter case (written while the
    // output was missing, or by a model that cased the name otherwise) is the same record; the
    // look-up of a name that does not exist as given matches it without regard to case.
    const std::string on_disk = fs.host_path(output_file);
    return record_beside(fs, output_file, on_disk, fs.facts(on_disk));
}

std::string record_path_for(const FileSystem& fs, const std::string& output_file, SeenFiles& seen) {
    std::string on_disk;
    const auto facts = seen.host_facts(fs, output_file, on_disk);
    return record_beside(fs, output_file, on_disk, facts);
}

std::string record_path_of(const Session& s) {
    if (s.sc.output_file_name.empty())
        return {};
    return record_path_for(s.fs, join_path(s.sc.output_dir, s.sc.output_file_name));
}

RecordPlan plan_record(const Session& s, std::string program_name) {
    const Scenario& sc = s.sc;
    RecordPlan plan;
    plan.program_name = std::move(program_name);
    plan.title = sc.title1str;
    if (!sc.output_file_name.empty())
        plan.output_file = join_path(sc.output_dir, sc.output_file_name);
    plan.options_file = named_file(s.fs, "options file", s.option_file_path());
    plan.model = named_file(s.fs, "model", join_path(s.settings.model_dir, s.settings.model_exe));
    plan.reference_db = named_file(s.fs, "reference database", reference_db_path(s));

    for (int k : {rf::alloc_xref, rf::activity, rf::exh_technology, rf::evp_technology,
                  rf::seasonality, rf::regions, rf::us_counties_fips, rf::retrofit})
        add_input(plan, s, "/RUNFILES/", trim(run_file_key_texts[k]), sc.run_files[k]);
    add_input(plan, s, "/DAILY FILES/", trim(run_file_key_texts[rf::daily_temps]),
              sc.run_files[rf::daily_temps]);
    for (const auto& item : sc.pop_files)
        add_input(plan, s, "/POP FILES/", label_of(item->descriptor), item->allocfile);
    for (const auto& item : sc.alloc_files)
        add_input(plan, s, "/ALLOC FILES/", label_of(item->descriptor), item->allocfile);
    for (const auto& name : sc.growth_files)
        add_input(plan, s, "/GROWTH FILES/", "Growth FILE", name);
    for (int i = 0; i < emission_type_count; ++i)
        add_input(plan, s, "/EMFAC FILES/", emission_type_labels[i], sc.emfac_files[i]);
    for (int i = 0; i < emission_type_count; ++i)
        add_input(plan, s, "/DETERIORATE FILES/", emission_type_labels[i], sc.deteriorate_files[i]);

    auto result = [&](const char* role, const std::string& program_path) {
        plan.results.push_back(named_file(s.fs, role, program_path));
    };
    if (!sc.message_file_name.empty())
        result("message", join_path(sc.message_dir, sc.message_file_name));
    if (!sc.output_file_name.empty())
        result("output", join_path(sc.output_dir, sc.output_file_name));
    for (int k : {rf::exhaust_bmy, rf::evap_bmy})
        if (!trim(sc.run_files[k]).empty())
            result("by model year", in_model_dir(s, sc.run_files[k]));
    return plan;
}

namespace {

// Clears what an earlier look found at the file's path; false for a pattern, which names no
// one file to look at.
bool forget_findings(RecordedFile& f) {
    f.exists = false;
    f.size = 0;
    f.mtime_ns = 0;
    f.sha256.clear();
    f.not_hashed.clear();
    return f.kind != "pattern";
}

}  // namespace

void examine(const FileSystem& fs, const Hasher& hasher, RecordedFile& f, bool hash,
             const Hasher::StopCheck& stop) {
    if (!forget_findings(f))
        return;
    // The name as it is on disk, where it differs in letter case from the scenario's.
    std::string on_disk = fs.host_path(f.path);
    auto facts = fs.facts(on_disk);
    if (!facts) {
        if (f.kind == "directory")
            f.kind = "file";
        return;
    }
    f.exists = true;
    f.path = std::move(on_disk);
    f.kind = facts->is_dir ? "directory" : "file";
    if (facts->is_dir)
        return;
    f.size = facts->size;
    f.mtime_ns = facts->mtime_ns ? facts->mtime_ns : facts->mtime * 1'000'000'000;
    if (hash) {
        FileDigest digest = hasher.sha256_file(f.path, stop);
        f.sha256 = std::move(digest.sha256);
        f.not_hashed = std::move(digest.refusal);
    }
}

RunRecorder::RunRecorder(FileSystem& fs, const Hasher& hasher, RecordPlan plan)
    : fs_(fs), hasher_(hasher), plan_(std::move(plan)) {}

RunRecorder::~RunRecorder() {
    if (inputs_hashed_.valid())
        inputs_hashed_.wait();
}

void RunRecorder::run_started(const RunFacts&) {
    if (inputs_hashed_.valid())
        return;
    // The worker touches only plan_'s inputs and fixed files until run_ended waits for it.
    inputs_hashed_ = std::async(std::launch::async, [this] {
        examine(fs_, hasher_, plan_.options_file, true, stop_);
        copy_options_text();
        for (RecordedFile* f : {&plan_.model, &plan_.reference_db})
            examine(fs_, hasher_, *f, true, stop_);
        for (auto& f : plan_.inputs)
            examine(fs_, hasher_, f, true, stop_);
    });
}

void RunRecorder::copy_options_text() {
    if (!plan_.options_file.exists || plan_.options_file.kind != "file")
        return;
    try {
        OptionsCopy copy;
        copy.text = fs_.read_file(plan_.options_file.path);
        copy.cut = copy.text.size() > options_copy_cap;
        if (copy.cut)
            copy.text.resize(options_copy_cap);
        options_copy_ = std::move(copy);
    } catch (const AppError&) {
    }
}

void RunRecorder::run_ended(const RunFacts& facts) {
    // No output data file, no place for a record: nothing to report either.
    if (plan_.output_file.empty())
        return;
    // A run that never started has hashed nothing yet.
    run_started(facts);
    try {
        inputs_hashed_.get();
    } catch (const std::exception& e) {
        write_error_ = std::string("the inputs of the run could not be examined: ") + e.what();
        return;
    }

    RunRecord r;
    r.program_name = plan_.program_name;
    r.program_version = program_version;
    r.host = host_name();
    r.user = user_name();
    r.title = plan_.title;
    r.options_file = plan_.options_file;
    r.model = plan_.model;
    r.reference_db = plan_.reference_db;
    r.inputs = plan_.inputs;
    r.command_line = facts.command_line;
    r.working_dir = facts.working_dir;
    r.started_ms = to_ms(facts.started);
    r.ended_ms = to_ms(facts.ended);
    r.exit_status = facts.exit_status;
    r.signal = facts.signal;
    r.stopped = facts.stopped;
    r.failure = facts.failure;
    if (!facts.was_started && r.failure.empty())
        r.failure = "the model was not started";
    r.note = plan_.note;
    r.console_tail = facts.console_tail;
    r.options_copy = options_copy_;

    // The results the run function found, or else the ones the scenario names.
    std::vector<RecordedFile> results;
    for (const ResultFile& rf : facts.results) {
        RecordedFile f;
        f.role = rf.role;
        f.path = rf.path;
        results.push_back(std::move(f));
    }
    if (results.empty())
        results = plan_.results;
    for (auto& f : results) {
        examine(fs_, hasher_, f, true, stop_);
        // The file system stamps times from a coarse clock that can lag the run's start by a
        // tick; a file stamped within that tick before the start still counts as this run's.
        constexpr std::int64_t clock_tick_ns = 20'000'000;
        f.written_by_this_run = f.exists && f.mtime_ns + clock_tick_ns >= r.started_ms * 1'000'000;
        for (const ResultFile& given : facts.results)
            if (given.path == f.path)
                f.written_by_this_run = given.written_by_this_run;
    }
    r.results = std::move(results);

    // Named after the output as the model wrote it, which may differ in letter case.
    record_path_ = record_path_for(fs_, plan_.output_file);
    try {
        fs_.write_file_atomic(fs_.program_path(record_path_), record_json(std::move(r)));
        written_ = true;
    } catch (const AppError& e) {
        write_error_ = "the run record " + record_path_ + " could not be written (error " +
                       std::to_string(e.number()) + ")";
    } catch (const std::exception& e) {
        write_error_ = "the run record " + record_path_ + " could not be written: " + e.what();
    }
}

std::vector<ChangedFile> RecordStatus::changed_inputs() const {
    std::vector<ChangedFile> inputs;
    for (const auto& c : changed)
        if (c.role == "input" || c.role == "options file" || c.role == "model" ||
            c.role == "reference database")
            inputs.push_back(c);
    return inputs;
}

// An entry, once made, is never changed or removed: a reference to it stays good while other
// threads add theirs.
const SeenFiles::Seen& SeenFiles::look(const FileSystem& fs, const std::string& path) {
    {
        std::lock_guard lock(mutex_);
        if (auto it = seen_.find(path); it != seen_.end())
            return it->second;
    }
    Seen found;
    found.facts = fs.host_facts(path, found.host);
    std::lock_guard lock(mutex_);
    return seen_.emplace(path, std::move(found)).first->second;
}

std::optional<FileFacts> SeenFiles::host_facts(const FileSystem& fs, const std::string& path,
                                               std::string& host) {
    const Seen& found = look(fs, path);
    host = found.host;
    return found.facts;
}

FileDigest SeenFiles::sha256(const Hasher& hasher, const std::string& host_path) {
    {
        std::lock_guard lock(mutex_);
        if (auto it = sums_.find(host_path); it != sums_.end())
            return it->second;
    }
    auto sum = hasher.sha256_file(host_path);
    std::lock_guard lock(mutex_);
    sums_.emplace(host_path, sum);
    return sum;
}

RecordStatus check_record(const std::string& record_path, const FileSystem& fs,
                          const Hasher& hasher, SeenFiles* seen) {
    return compare(record_path, fs, hasher, false, seen);
}

RecordStatus check_record_briefly(const std::string& record_path, const FileSystem& fs,
                                  const Hasher& hasher, SeenFiles& seen) {
    return compare(record_path, fs, hasher, false, &seen, true);
}

RecordStatus verify_record(const std::string& record_path, const FileSystem& fs,
                           const Hasher& hasher) {
    return compare(record_path, fs, hasher, true);
}

std::string list_changes(const std::vector<ChangedFile>& changed, std::size_t named) {
    std::string text;
    const std::size_t shown = std::min(named, changed.size());
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0)
            text += i + 1 == shown && shown == changed.size() ? " and " : ", ";
        text += changed[i].role + " " + changed[i].path + " " + changed[i].change;
    }
    if (changed.size() > shown)
        text += " and " + std::to_string(changed.size() - shown) + " more";
    return text;
}

std::string describe(const RecordStatus& status, std::size_t named) {
    switch (status.state) {
        case RecordState::up_to_date:
            return "up to date";
        case RecordState::out_of_date:
            return "out of date: " + list_changes(status.changed, named);
        case RecordState::failed:
            return "failed last run: " + status.why;
        case RecordState::never_run:
            return "never run";
        case RecordState::unreadable:
            return "record unreadable: " + status.why;
    }
    return {};
}

}  // namespace qv::runs
