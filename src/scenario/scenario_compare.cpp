#include "scenario/scenario_compare.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>

#include "platform/app_error.h"
#include "scenario/line_io.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv {

namespace {

using Value = std::optional<std::string>;
using Equal = std::function<bool(const std::string&, const std::string&)>;

// The whole text as a number, when it is one.
std::optional<double> whole_number(const std::string& text) {
    const std::string t = trim(text);
    if (t.empty())
        return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size())
        return std::nullopt;
    return v;
}

// Values the reader upper-cases: the same after a save and a read whatever case was typed; two
// numbers are the same when they are equal as numbers ("9" and "9.0").
bool same_value(const std::string& a, const std::string& b) {
    if (upper(trim(a)) == upper(trim(b)))
        return true;
    auto x = whole_number(a), y = whole_number(b);
    return x && y && *x == *y;
}

// A name as the model resolves it, in one form: relative names under the model directory,
// one kind of separator, no "." steps or doubled separators, letter case ignored.
std::string path_key(const std::string& model_dir, const std::string& name) {
    std::string full = trim(name);
    if (full.empty())
        return {};
    if (!is_absolute_dir(full))
        full = model_dir + "/" + full;
    std::string key;
    std::size_t i = 0;
    while (i <= full.size()) {
        std::size_t j = full.find_first_of("\\/", i);
        if (j == std::string::npos)
            j = full.size();
        const std::string part = full.substr(i, j - i);
        if (part == "." || (part.empty() && i != 0)) {
        } else {
            if (i != 0)
                key += '/';
            key += upper(part);
        }
        i = j + 1;
    }
    return key;
}

// A path as the options file holds it after a save.
std::string path_shown(const std::string& name) {
    return lower(trim(name));
}

std::string join_words(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& w : words) {
        const std::string t = trim(w);
        if (t.empty())
            continue;
        if (!out.empty())
            out += ' ';
        out += t;
    }
    return out;
}

template <std::size_t N>
std::string word_of(const std::array<const char*, N>& words, int i) {
    return i >= 0 && static_cast<std::size_t>(i) < N ? words[static_cast<std::size_t>(i)]
                                                     : std::to_string(i);
}

const std::array<const char*, 3> period_words = {"Annual", "Monthly", "Seasonal"};
const std::array<const char*, 2> summation_words = {"Typical day", "Period total"};
// The Region window's level captions.
const std::array<const char*, 4> level_captions = {"50 States", "State", "County", "US Total"};

// A labelled file of a list: the label its line carries and the name it gives.
struct ListedFile {
    std::string label;
    std::string name;
};

class Comparer {
  public:
    Comparer(const ComparedSide& a, const ComparedSide& b) : a_(a), b_(b) {}

    std::vector<Difference> run();

  private:
    void add(const std::string& field, Value a, Value b, bool entry = false) {
        out_.push_back({packet_, field, std::move(a), std::move(b), entry});
    }
    void presence(bool in_a, bool in_b) {
        if (in_a != in_b)
            add("packet", in_a ? Value("present") : std::nullopt,
                in_b ? Value("present") : std::nullopt);
    }
    void scalar(const std::string& field, const std::string& a, const std::string& b) {
        if (!same_value(a, b))
            add(field, a, b);
    }
    // One named file on each side: added, removed or another file.
    void file(const std::string& field, const std::string& a, const std::string& b) {
        const std::string ka = path_key(a_.model_dir, a), kb = path_key(b_.model_dir, b);
        if (ka == kb)
            return;
        add(field, ka.empty() ? std::nullopt : Value(path_shown(a)),
            kb.empty() ? std::nullopt : Value(path_shown(b)));
    }
    void file_list(const std::vector<ListedFile>& a, const std::vector<ListedFile>& b);

    void options();
    void period();
    void region();
    void sources();
    void lines_outside();
    void packet(std::string_view header);

    const ComparedSide& a_;
    const ComparedSide& b_;
    std::string packet_;
    std::vector<Difference> out_;
};

// Files of a list are matched first by the file they name, then, among the rest, one to one
// by label (another file under the same label); what is left was added or removed.
void Comparer::file_list(const std::vector<ListedFile>& a, const std::vector<ListedFile>& b) {
    std::vector<bool> a_used(a.size()), b_used(b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::string ka = path_key(a_.model_dir, a[i].name);
        for (std::size_t j = 0; j < b.size(); ++j) {
            if (b_used[j] || path_key(b_.model_dir, b[j].name) != ka)
                continue;
            a_used[i] = b_used[j] = true;
            if (!iequals(a[i].label, b[j].label))
                add(path_shown(a[i].name), a[i].label, b[j].label);
            break;
        }
    }
    auto count_left = [](const std::vector<ListedFile>& list, const std::vector<bool>& used,
                         const std::string& label) {
        std::size_t n = 0;
        for (std::size_t i = 0; i < list.size(); ++i)
            n += !used[i] && iequals(list[i].label, label);
        return n;
    };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a_used[i] || count_left(a, a_used, a[i].label) != 1 ||
            count_left(b, b_used, a[i].label) != 1)
            continue;
        for (std::size_t j = 0; j < b.size(); ++j)
            if (!b_used[j] && iequals(a[i].label, b[j].label)) {
                a_used[i] = b_used[j] = true;
                add(a[i].label, path_shown(a[i].name), path_shown(b[j].name));
            }
    }
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!a_used[i])
            add(a[i].label, path_shown(a[i].name), std::nullopt);
    for (std::size_t j = 0; j < b.size(); ++j)
        if (!b_used[j])
            add(b[j].label, std::nullopt, path_shown(b[j].name));
}

void Comparer::options() {
    const Scenario &a = a_.sc, &b = b_.sc;
    scalar("Title 1", a.title1str, b.title1str);
    scalar("Title 2", a.title2str, b.title2str);
    for (const auto& box : option_boxes)
        scalar(trim(box.caption), a.*box.value, b.*box.value);
    auto altitude = [](const std::string& v) { return upper(trim(v)) == "LOW" ? "Low" : "High"; };
    if (std::string_view(altitude(a.altitudestr)) != altitude(b.altitudestr))
        add("Altitude", altitude(a.altitudestr), altitude(b.altitudestr));
}

void Comparer::period() {
    const Scenario &a = a_.sc, &b = b_.sc;
    auto word = [this](const std::string& field, const std::string& x, const std::string& y) {
        if (x != y)
            add(field, x, y);
    };
    word("Period", word_of(period_words, a.period_type), word_of(period_words, b.period_type));
    word("Type", word_of(summation_words, a.summation_type),
         word_of(summation_words, b.summation_type));
    // A season or month counts only for the period kind that writes it.
    auto season = [](const Scenario& sc) {
        return sc.period_type == 2 ? word_of(season_names, sc.season_of_year) : std::string();
    };
    auto month = [](const Scenario& sc) {
        return sc.period_type == 1 ? word_of(month_names, sc.month_of_year) : std::string();
    };
    word("Season", season(a), season(b));
    word("Month", month(a), month(b));
    word("Day", word_of(day_names, a.weekday_or_weekend), word_of(day_names, b.weekday_or_weekend));
    scalar("Episode year", a.episode_year, b.episode_year);
    scalar("Growth year", a.growth_calc_year, b.growth_calc_year);
    scalar("Tech year", a.tech_sel_year, b.tech_sel_year);
}

void Comparer::region() {
    const Scenario &a = a_.sc, &b = b_.sc;
    if (a.region_level != b.region_level)
        add("Region level", word_of(level_captions, a.region_level),
            word_of(level_captions, b.region_level));
    auto name = [](const RegionCls& r) {
        return r.isState ? join_words({r.statename, r.abbr, r.code})
                         : join_words({r.county, r.abbr, r.code});
    };
    auto kind = [](const RegionCls& r) { return r.isState ? "state" : "county"; };
    for (const auto& r : a.region_list)
        if (!b.region_list.contains(r->code))
            add(kind(*r), name(*r), std::nullopt, true);
    for (const auto& r : b.region_list)
        if (!a.region_list.contains(r->code))
            add(kind(*r), std::nullopt, name(*r), true);
}

void Comparer::sources() {
    auto subset = [](const Scenario& sc) {
        return sc.source_subset ? "Selected sources" : "All Sources";
    };
    if (std::string_view(subset(a_.sc)) != subset(b_.sc))
        add("Sources", subset(a_.sc), subset(b_.sc));
    auto codes = [](const Scenario& sc) {
        std::vector<const SourceRecord*> list;
        if (sc.source_subset)
            for (const auto& r : sc.source_list)
                if (!trim(r.scc).empty())
                    list.push_back(&r);
        return list;
    };
    const auto ca = codes(a_.sc), cb = codes(b_.sc);
    auto has = [](const std::vector<const SourceRecord*>& list, const std::string& scc) {
        return std::any_of(list.begin(), list.end(),
                           [&](const SourceRecord* r) { return iequals(trim(r->scc), trim(scc)); });
    };
    auto shown = [](const SourceRecord& r) { return join_words({r.scc, r.description}); };
    for (const auto* r : ca)
        if (!has(cb, r->scc))
            add("source", shown(*r), std::nullopt, true);
    for (const auto* r : cb)
        if (!has(ca, r->scc))
            add("source", std::nullopt, shown(*r), true);
}

// The lines the reader skips: before, between and after packets, blank lines and the save's
// stamp aside.
std::vector<std::string> outside_lines(const std::string& text) {
    std::vector<std::string> lines;
    bool inside = false;
    for (const std::string& line : split_lines(text)) {
        if (!packet_header_of(line).empty()) {
            inside = true;
            continue;
        }
        if (inside) {
            inside = !is_packet_end(line);
            continue;
        }
        const std::string kept = rtrim(line);
        if (!trim(kept).empty() && kept.find(written_by_stamp) == std::string::npos)
            lines.push_back(kept);
    }
    return lines;
}

// Lines removed and added, in the order of each text (a longest common sequence).
void Comparer::lines_outside() {
    const auto a = outside_lines(a_.text), b = outside_lines(b_.text);
    const std::size_t n = a.size(), m = b.size();
    std::vector<std::vector<std::size_t>> common(n + 1, std::vector<std::size_t>(m + 1));
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t j = m; j-- > 0;)
            common[i][j] = a[i] == b[j] ? common[i + 1][j + 1] + 1
                                        : std::max(common[i + 1][j], common[i][j + 1]);
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[i] == b[j]) {
            ++i, ++j;
        } else if (j == m || (i < n && common[i + 1][j] >= common[i][j + 1])) {
            add("line", a[i++], std::nullopt, true);
        } else {
            add("line", std::nullopt, b[j++], true);
        }
    }
}

std::vector<ListedFile> keyed_files(const Scenario& sc, std::initializer_list<int> keys) {
    std::vector<ListedFile> list;
    for (int k : keys)
        list.push_back({trim(run_file_key_texts[static_cast<std::size_t>(k)]),
                        sc.run_files[static_cast<std::size_t>(k)]});
    return list;
}

std::vector<ListedFile> labelled_files(const AllocList& files) {
    std::vector<ListedFile> list;
    for (const auto& item : files) {
        std::string label = trim(item->descriptor);
        if (!label.empty() && label.back() == ':')
            label.pop_back();
        list.push_back({trim(label), item->allocfile});
    }
    return list;
}

std::vector<ListedFile> growth_list(const Scenario& sc) {
    std::vector<ListedFile> list;
    for (const auto& name : sc.growth_files)
        if (!trim(name).empty())
            list.push_back({"Growth FILE", name});
    return list;
}

void Comparer::packet(std::string_view header) {
    packet_ = std::string(header);
    const Scenario &a = a_.sc, &b = b_.sc;
    // A keyed file list: one file per key, compared key by key.
    auto by_key = [this](const std::vector<ListedFile>& x, const std::vector<ListedFile>& y) {
        for (std::size_t i = 0; i < x.size(); ++i)
            file(x[i].label, x[i].name, y[i].name);
    };
    auto factors = [&](const std::array<std::string, factor_file_count>& x,
                       const std::array<std::string, factor_file_count>& y) {
        for (std::size_t i = 0; i < emission_type_count; ++i)
            file(emission_type_labels[i], x[i], y[i]);
    };
    using namespace rf;
    if (header == "/RUNFILES/") {
        presence(a.runfiles_found, b.runfiles_found);
        const auto keys = {alloc_xref,  activity, exh_technology,   evp_technology,
                           seasonality, regions,  message,          output_data,
                           kpz2_rdl,    lnv,      us_counties_fips, retrofit};
        by_key(keyed_files(a, keys), keyed_files(b, keys));
    } else if (header == "/POP FILES/") {
        presence(a.pop_found, b.pop_found);
        file_list(labelled_files(a.pop_files), labelled_files(b.pop_files));
    } else if (header == "/OPTIONS/") {
        presence(a.options_found, b.options_found);
        options();
    } else if (header == "/PERIOD/") {
        presence(a.period_found, b.period_found);
        period();
    } else if (header == "/EMFAC FILES/") {
        presence(a.emfac_found, b.emfac_found);
        factors(a.emfac_files, b.emfac_files);
    } else if (header == "/DETERIORATE FILES/") {
        presence(a.deteriorate_found || a.deteriorate_set,
                 b.deteriorate_found || b.deteriorate_set);
        factors(a.deteriorate_files, b.deteriorate_files);
    } else if (header == "/REGION/") {
        presence(a.region_found, b.region_found);
        region();
    } else if (header == "/SOURCE CATEGORY/") {
        presence(a.source_found, b.source_found);
        sources();
    } else if (header == "/ALLOC FILES/") {
        presence(a.alloc_found, b.alloc_found);
        file_list(labelled_files(a.alloc_files), labelled_files(b.alloc_files));
    } else if (header == "/GROWTH FILES/") {
        presence(a.growth_found, b.growth_found);
        file_list(growth_list(a), growth_list(b));
    } else if (header == "/STAGE II/") {
        presence(a.stage2_found, b.stage2_found);
        auto stage2 = [](const Scenario& sc) { return sc.stage2_present ? sc.stage2str : "0"; };
        scalar("Stage II Control %", stage2(a), stage2(b));
    } else if (header == "/MODELYEAR OUT/") {
        presence(a.modelyear_found, b.modelyear_found);
        by_key(keyed_files(a, {exhaust_bmy, evap_bmy}), keyed_files(b, {exhaust_bmy, evap_bmy}));
    } else if (header == "/DAILY FILES/") {
        presence(a.daily_found || a.daily_set, b.daily_found || b.daily_set);
        by_key(keyed_files(a, {daily_temps}), keyed_files(b, {daily_temps}));
    }
}

std::vector<Difference> Comparer::run() {
    for (std::string_view header : packet_headers)
        packet(header);
    packet_ = outside_packets;
    lines_outside();
    return std::move(out_);
}

std::string shown(const Value& v) {
    return v && !trim(*v).empty() ? *v : "(none)";
}

}  // namespace

ComparedSide compared_side(const Session& s) {
    std::string text;
    try {
        text = s.fs.read_file(s.option_file_path());
    } catch (const AppError&) {
    }
    return {s.sc, s.settings.model_dir, std::move(text)};
}

std::vector<Difference> compare_scenarios(const ComparedSide& a, const ComparedSide& b) {
    return Comparer(a, b).run();
}

std::string difference_text(const Difference& d) {
    if (d.field == "packet")
        return d.a ? "packet only in A" : "packet only in B";
    const std::string label = d.entry ? "" : d.field + ": ";
    if (!d.a)
        return "+ " + label + shown(d.b);
    if (!d.b)
        return "- " + label + shown(d.a);
    return label + shown(d.a) + " -> " + shown(d.b);
}

std::vector<std::string> difference_lines(const std::vector<Difference>& diffs) {
    std::vector<std::string> lines;
    const std::string* packet = nullptr;
    for (const auto& d : diffs) {
        if (!packet || *packet != d.packet)
            lines.push_back(d.packet);
        packet = &d.packet;
        lines.push_back("  " + difference_text(d));
    }
    return lines;
}

std::string differences_summary(const std::vector<Difference>& diffs) {
    static const std::map<std::string, std::string> period_names = {
        {"Episode year", "year"},   {"Growth year", "growth year"},
        {"Tech year", "tech year"}, {"Period", "period"},
        {"Type", "type"},           {"Season", "season"},
        {"Month", "month"},         {"Day", "day"},
    };
    std::vector<std::string> parts;
    auto once = [&](const std::string& part) {
        if (std::find(parts.begin(), parts.end(), part) == parts.end())
            parts.push_back(part);
    };
    const bool region_differs = std::any_of(
        diffs.begin(), diffs.end(), [](const Difference& d) { return d.packet == "/REGION/"; });
    std::vector<std::string> regions_added, regions_removed;
    std::string level;
    for (const auto& d : diffs) {
        const std::string name = d.packet == outside_packets
                                     ? "comments"
                                     : lower(d.packet.substr(1, d.packet.size() - 2));
        if (d.packet == "/REGION/") {
            if (!d.entry) {
                level = shown(d.b);
                continue;
            }
            // "Nevada NV 32000" gives NV, "Clark County NV 32003" gives Clark County NV.
            std::string brief = *(d.b ? d.b : d.a);
            brief = brief.substr(0, brief.find_last_of(' '));
            if (d.field == "state")
                brief = brief.substr(brief.find_last_of(' ') + 1);
            (d.b ? regions_added : regions_removed).push_back(brief);
        } else if (d.packet == "/PERIOD/" && period_names.count(d.field)) {
            once(period_names.at(d.field) + " " + shown(d.b));
        } else if ((d.packet == "/OPTIONS/" || d.packet == "/STAGE II/") && d.field != "packet") {
            once(d.field + " " + shown(d.b));
        } else if (d.packet == "/SOURCE CATEGORY/") {
            once("sources");
        } else if ((d.packet == "/RUNFILES/" &&
                    (d.field == "MESSAGE" || d.field == "OUTPUT DATA")) ||
                   d.packet == "/MODELYEAR OUT/" ||
                   (region_differs && (d.packet == "/ALLOC FILES/" || d.packet == "/POP FILES/"))) {
            // These follow the options file's name or the region.
        } else {
            once(name);
        }
    }
    // What the region is now; what it lost only when it gained nothing.
    std::string region;
    for (const auto& r : regions_added.empty() ? regions_removed : regions_added)
        region += (region.empty() ? "" : ",") + (regions_added.empty() ? "-" + r : r);
    if (!level.empty())
        region = region.empty() ? level : level + " " + region;
    if (!region.empty())
        parts.insert(parts.begin(), "region: " + region);
    std::string text;
    for (const auto& p : parts)
        text += (text.empty() ? "" : "; ") + p;
    return text;
}

}  // namespace qv
