#include "cli/scenario_fields.h"

#include <charconv>
#include <iterator>

#include "scenario/options_rules.h"
#include "scenario/packets.h"
#include "scenario/period_rules.h"

namespace qv::cli {

namespace {

using S = Scenario;

constexpr const char* always = "";
constexpr const char* options = "options_changed";
constexpr const char* period = "period_changed";

const std::vector<ScenarioField>& table() {
    static const std::vector<ScenarioField> fields = {
        {"option_file_name", &S::option_file_name, false},
        {"option_file_dir", &S::option_file_dir, false},
        {"save_file_name", &S::save_file_name, false},
        {"save_file_dir", &S::save_file_dir, false},
        {"prev_option_file_name", &S::prev_option_file_name, false},
        {"prev_option_file_dir", &S::prev_option_file_dir, false},
        {"run_file_keys", &S::run_file_keys, false},
        {"run_files", &S::run_files, true, 0, 0, always},
        {"message_file_name", &S::message_file_name},
        {"message_dir", &S::message_dir},
        {"output_file_name", &S::output_file_name},
        {"output_dir", &S::output_dir},
        {"bmy_exhaust_file_name", &S::bmy_exhaust_file_name},
        {"bmy_evap_file_name", &S::bmy_evap_file_name},
        {"bmy_output_on", &S::bmy_output_on, true, 0, 0, always},
        {"emfac_files", &S::emfac_files, true, 0, 0, "emfac_changed"},
        {"deteriorate_files", &S::deteriorate_files, true, 0, 0, always},
        {"growth_files", &S::growth_files, true, 0, 0, "growth_changed"},
        {"alloc_files", &S::alloc_files, false},
        {"alloc_files_work", &S::alloc_files_work, false},
        {"pop_files", &S::pop_files, false},
        {"pop_files_work", &S::pop_files_work, false},
        {"region_level", &S::region_level, true, 0, 3, "region_changed"},
        {"region_list", &S::region_list, false},
        {"selected_regions", &S::selected_regions, false},
        {"source_subset", &S::source_subset, true, 0, 0, always},
        {"source_list", &S::source_list, false},
        {"title1str", &S::title1str, true, 0, 0, options},
        {"title2str", &S::title2str, true, 0, 0, options},
        {"humidstr", &S::humidstr, true, 0, 0, options},
        {"fulrvpstr", &S::fulrvpstr, true, 0, 0, options},
        {"pcoxygenstr", &S::pcoxygenstr, true, 0, 0, options},
        {"so2gasstr", &S::so2gasstr, true, 0, 0, options},
        {"so2dieselstr", &S::so2dieselstr, true, 0, 0, options},
        {"so2marinedieselstr", &S::so2marinedieselstr, true, 0, 0, options},
        {"so2cngstr", &S::so2cngstr, true, 0, 0, options},
        {"mintempstr", &S::mintempstr, true, 0, 0, options},
        {"maxtempstr", &S::maxtempstr, true, 0, 0, options},
        {"avgtempstr", &S::avgtempstr, true, 0, 0, options},
        {"etohvolpctstr", &S::etohvolpctstr, true, 0, 0, options},
        {"blendmktsharestr", &S::blendmktsharestr, true, 0, 0, options},
        {"altitudestr", &S::altitudestr, true, 0, 0, options},
        {"stage2str", &S::stage2str, true, 0, 0, always},
        {"stage2_present", &S::stage2_present},
        {"period_type", &S::period_type, true, 0, 2, period},
        {"summation_type", &S::summation_type, true, 0, 1, period},
        {"episode_year", &S::episode_year, true, 0, 0, period},
        {"season_of_year", &S::season_of_year, true, 0, 3, period},
        {"month_of_year", &S::month_of_year, true, 0, 11, period},
        {"weekday_or_weekend", &S::weekday_or_weekend, true, 0, 1, period},
        {"growth_calc_year", &S::growth_calc_year, true, 0, 0, period},
        {"tech_sel_year", &S::tech_sel_year, true, 0, 0, period},
        {"region_found", &S::region_found},
        {"alloc_found", &S::alloc_found},
        {"emfac_found", &S::emfac_found},
        {"deteriorate_found", &S::deteriorate_found},
        {"growth_found", &S::growth_found},
        {"pop_found", &S::pop_found},
        {"options_found", &S::options_found},
        {"period_found", &S::period_found},
        {"runfiles_found", &S::runfiles_found},
        {"source_found", &S::source_found},
        {"stage2_found", &S::stage2_found},
        {"modelyear_found", &S::modelyear_found},
        {"daily_found", &S::daily_found},
        {"options_changed", &S::options_changed},
        {"stage2_changed", &S::stage2_changed},
        {"period_changed", &S::period_changed},
        {"region_changed", &S::region_changed},
        {"pop_files_changed", &S::pop_files_changed},
        {"alloc_files_changed", &S::alloc_files_changed},
        {"emfac_changed", &S::emfac_changed},
        {"growth_changed", &S::growth_changed},
    };
    return fields;
}

constexpr std::string_view changed_names[] = {
    "options_changed",   "stage2_changed",      "period_changed", "region_changed",
    "pop_files_changed", "alloc_files_changed", "emfac_changed",  "growth_changed",
};

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// Lists of thousands of entries (every county) are written member by member, never built as
// a document first.
template <typename List, typename Fill>
void write_list(JsonWriter& w, const List& list, Fill fill) {
    w.begin_array();
    for (const auto& e : list) {
        w.begin_object();
        fill(e);
        w.end_object();
    }
    w.end_array();
}

template <typename T>
void write_member(JsonWriter& w, std::string_view name, const T& v) {
    w.key(name);
    w.value(v);
}

void write_field(JsonWriter& w, const AllocList& list) {
    write_list(w, list, [&](const auto& e) {
        write_member(w, "descriptor", e->descriptor);
        write_member(w, "allocfile", e->allocfile);
    });
}

void write_field(JsonWriter& w, const RegionList& list) {
    write_list(w, list, [&](const auto& e) {
        write_member(w, "code", e->code);
        write_member(w, "county", e->county);
        write_member(w, "statename", e->statename);
        write_member(w, "abbr", e->abbr);
        write_member(w, "isState", e->isState);
    });
}

void write_field(JsonWriter& w, const std::vector<SourceRecord>& list) {
    write_list(w, list, [&](const SourceRecord& r) {
        write_member(w, "scc", r.scc);
        write_member(w, "description", r.description);
    });
}

template <typename Strings>
void write_field(JsonWriter& w, const Strings& list) {
    w.begin_array();
    for (const std::string& text : list)
        w.value(text);
    w.end_array();
}

void write_field(JsonWriter& w, const std::string& text) {
    w.value(text);
}
void write_field(JsonWriter& w, int n) {
    w.value(n);
}
void write_field(JsonWriter& w, bool b) {
    w.value(b);
}

bool is_settable_kind(const FieldRef& ref, bool indexed) {
    bool array = std::holds_alternative<std::array<std::string, run_file_count> S::*>(ref) ||
                 std::holds_alternative<std::array<std::string, factor_file_count> S::*>(ref) ||
                 std::holds_alternative<std::vector<std::string> S::*>(ref);
    bool scalar = std::holds_alternative<std::string S::*>(ref) ||
                  std::holds_alternative<int S::*>(ref) || std::holds_alternative<bool S::*>(ref);
    return indexed ? array : scalar;
}

bool parse_bool(std::string_view v, bool& out) {
    if (v == "true" || v == "1" || v == "-1") {
        out = true;
        return true;
    }
    if (v == "false" || v == "0") {
        out = false;
        return true;
    }
    return false;
}

// A value becomes one line of the file: a line break would start a line of its own (a packet
// header or "/END/" in the middle of a packet), and a NUL byte names no file.
void check_text(const Assignment& a) {
    if (a.value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        throw UsageError("--set " + a.argument + ": the value may not hold a line break or NUL");
}

}  // namespace

std::span<const ScenarioField> scenario_fields() {
    return table();
}

const ScenarioField* find_field(std::string_view name) {
    for (const auto& f : table())
        if (f.name == name)
            return &f;
    return nullptr;
}

void write_scenario_json(JsonWriter& w, const Scenario& sc) {
    w.begin_object();
    for (const auto& f : table()) {
        w.key(f.name);
        std::visit([&](auto m) { write_field(w, sc.*m); }, f.ref);
    }
    w.end_object();
}

Assignment parse_assignment(const std::string& argument) {
    Assignment a;
    a.argument = argument;
    std::size_t eq = argument.find('=');
    if (eq == std::string::npos)
        throw UsageError("--set " + argument + ": expected FIELD=VALUE");
    std::string name = argument.substr(0, eq);
    a.value = argument.substr(eq + 1);
    if (std::size_t open = name.find('['); open != std::string::npos) {
        std::string_view digits = std::string_view(name).substr(open + 1);
        if (digits.size() < 2 || digits.back() != ']')
            throw UsageError("--set " + argument + ": bad index, expected FIELD[N]=VALUE");
        digits.remove_suffix(1);
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), a.index);
        if (ec != std::errc() || end != digits.data() + digits.size())
            throw UsageError("--set " + argument + ": bad index, expected FIELD[N]=VALUE");
        a.indexed = true;
        name.resize(open);
    }
    a.field = find_field(name);
    if (!a.field)
        throw UsageError("--set " + argument + ": unknown field " + name);
    if (!a.field->settable)
        throw UsageError("--set " + argument + ": " + name + " cannot be set");
    if (!is_settable_kind(a.field->ref, a.indexed))
        throw UsageError(
            "--set " + argument + ": " + name +
            (a.indexed ? " is not a list" : " is a list; give an index, " + name + "[N]=VALUE"));

    auto fixed_size = [&](std::size_t n) {
        if (a.index >= n)
            throw UsageError("--set " + argument + ": index out of range 0.." +
                             std::to_string(n - 1));
    };
    std::visit(
        Overloaded{
            [&](int S::*) {
                int v = 0;
                const char* b = a.value.data();
                const char* e = b + a.value.size();
                auto [end, ec] = std::from_chars(b, e, v);
                if (ec != std::errc() || end != e || a.value.empty())
                    throw UsageError("--set " + argument + ": not an integer");
                if (v < a.field->min || v > a.field->max)
                    throw UsageError("--set " + argument + ": out of range " +
                                     std::to_string(a.field->min) + ".." +
                                     std::to_string(a.field->max));
            },
            [&](bool S::*) {
                bool v;
                if (!parse_bool(a.value, v))
                    throw UsageError("--set " + argument + ": expected true or false (1, -1 or 0)");
            },
            [&](std::array<std::string, run_file_count> S::*) {
                fixed_size(run_file_count);
                check_text(a);
            },
            [&](std::array<std::string, factor_file_count> S::*) {
                fixed_size(factor_file_count);
                check_text(a);
            },
            [&](auto) { check_text(a); },
        },
        a.field->ref);
    return a;
}

void apply_assignment(Scenario& sc, const Assignment& a) {
    std::visit(
        Overloaded{
            [&](std::string S::*m) { sc.*m = a.value; },
            [&](int S::*m) {
                std::from_chars(a.value.data(), a.value.data() + a.value.size(), sc.*m);
            },
            [&](bool S::*m) { parse_bool(a.value, sc.*m); },
            [&](std::array<std::string, run_file_count> S::*m) { (sc.*m)[a.index] = a.value; },
            [&](std::array<std::string, factor_file_count> S::*m) { (sc.*m)[a.index] = a.value; },
            [&](std::vector<std::string> S::*m) {
                // The list keeps one empty slot at its end: filling that slot (or the
                // first slot of a list never read) adds a new empty one.
                auto& list = sc.*m;
                std::size_t last = list.empty() ? 0 : list.size() - 1;
                if (a.index > last)
                    throw UsageError("--set " + a.argument + ": index out of range 0.." +
                                     std::to_string(last));
                if (list.empty())
                    list.emplace_back();
                list[a.index] = a.value;
                if (a.index == last && !a.value.empty())
                    list.emplace_back();
            },
            [&](auto) {},
        },
        a.field->ref);
}

std::span<const std::string_view> changed_flag_names() {
    return changed_names;
}

void set_changed_flag(Scenario& sc, std::string_view name) {
    for (auto n : changed_names)
        if (n == name) {
            sc.*std::get<bool S::*>(find_field(n)->ref) = true;
            return;
        }
    std::string list;
    for (auto n : changed_names)
        list += (list.empty() ? "" : ", ") + std::string(n);
    throw UsageError("--changed " + std::string(name) + ": unknown flag; one of " + list);
}

std::string save_help_footer() {
    std::string text =
        "Fields for --set (the checks of the window that edits a field run before "
        "anything is written, and the field's packet is marked changed):\n";
    std::string line = " ";
    for (const auto& f : scenario_fields()) {
        if (!f.settable)
            continue;
        if (line.size() + f.name.size() + 2 > 78) {
            text += line + "\n";
            line = " ";
        }
        line += " " + std::string(f.name);
    }
    text += line + "\nFlags for --changed (forces a packet to be rewritten):\n ";
    for (auto n : changed_names)
        text += " " + std::string(n);
    return text + "\n";
}

bool changed_flag(const Scenario& sc, std::string_view name) {
    const ScenarioField* f = find_field(name);
    return f && std::holds_alternative<bool S::*>(f->ref) && sc.*std::get<bool S::*>(f->ref);
}

namespace {

// The run files that the model only writes: their windows test nothing on OK.
bool is_output_run_file(std::size_t index) {
    for (int out :
         {rf::message, rf::output_data, rf::kpz2_rdl, rf::lnv, rf::exhaust_bmy, rf::evap_bmy})
        if (index == static_cast<std::size_t>(out))
            return true;
    return false;
}

// The message of the window that would refuse the input file the assignment names, or "" for
// a field that names no input file. The growth list's window ends its sentence with a period.
std::string missing_file_suffix(const Assignment& a) {
    const std::string_view name = a.field->name;
    if (name == "growth_files")
        return " does not exist.";
    if (name == "emfac_files" || name == "deteriorate_files" ||
        (name == "run_files" && a.indexed && !is_output_run_file(a.index)))
        return " does not exist";
    return {};
}

}  // namespace

void mark_assigned_packets(Scenario& sc, std::span<const Assignment> assignments) {
    for (const auto& a : assignments) {
        const std::string_view name = a.field->name;
        if (a.field->packet_flag && *a.field->packet_flag)
            set_changed_flag(sc, a.field->packet_flag);
        if (name == "stage2str") {
            sc.stage2_changed = true;
            sc.stage2_present = true;
        } else if (name == "deteriorate_files" && !a.value.empty()) {
            sc.deteriorate_set = true;
        } else if (name == "run_files" && a.indexed && a.index == rf::daily_temps &&
                   !a.value.empty()) {
            sc.daily_set = true;
        } else if (name == "bmy_output_on" && sc.bmy_output_on) {
            sc.modelyear_set = true;
        }
    }
}

std::string assigned_field_checks(Session& s, std::span<const Assignment> assignments) {
    bool check_options = false, check_period = false;
    for (const auto& a : assignments) {
        const std::string_view flag = a.field->packet_flag ? a.field->packet_flag : "";
        check_options |= flag == options || a.field->name == "stage2str";
        check_period |= flag == period;
        const std::string suffix = missing_file_suffix(a);
        if (!suffix.empty() && !named_file_exists(s, a.value)) {
            s.untitled_message(a.value + suffix);
            return "the file " + a.value + " is refused: it does not exist";
        }
    }
    if (check_options && !check_scenario_options(s).empty())
        return "the values are refused by the Options checks";
    if (check_period &&
        !period_years_ok(s, s.sc.episode_year, s.sc.growth_calc_year, s.sc.tech_sel_year))
        return "the years are refused by the Period checks";
    return {};
}

}  // namespace qv::cli
