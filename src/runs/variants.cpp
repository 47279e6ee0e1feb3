#include "runs/variants.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>

#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/period_rules.h"
#include "scenario/region_rules.h"
#include "scenario/text.h"

namespace qv::runs {

namespace {

[[noreturn]] void refuse(Session& s, const std::string& message) {
    s.message(message);
    throw VariantRefused(message);
}

// The state table's row of an abbreviation, as the whole-state entry the Region window lists.
std::shared_ptr<RegionCls> state_entry(Session& s, const std::string& abbr) {
    for (const auto& row : s.state_table)
        if (iequals(row->abbr, abbr)) {
            auto item = std::make_shared<RegionCls>();
            item->statename = row->statename;
            item->abbr = row->abbr;
            item->code = row->code + "000";
            item->isState = true;
            return item;
        }
    refuse(s, abbr + " is not a state abbreviation");
}

// What the Region window leaves when it opens, the selection becomes ENTRY alone and OK closes it.
void select_region(Session& s, const RegionCls& entry, int reglevel) {
    s.sc.region_changed = true;
    RegionList selection;
    selection.add(std::make_shared<RegionCls>(entry), entry.code);
    copy_region_list(selection, s.sc.selected_regions);
    region_commit(s, reglevel);
}

// Letters, digits, "_" and "-" upper-cased; anything else would make an awkward file name.
std::string name_part(std::string_view text) {
    std::string out;
    for (char c : text)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '_' || c == '-')
            out += c;
    return upper(out);
}

constexpr std::size_t base_limit = 8;

}  // namespace

Dimension state_choices(Session& s, const std::vector<std::string>& abbrs) {
    Dimension d;
    std::set<std::string> seen;
    for (const std::string& abbr : abbrs) {
        const auto entry = state_entry(s, trim(abbr));
        if (!seen.insert(entry->code).second)
            refuse(s, already_selected_text(*entry));
        d.push_back({entry->abbr, entry->abbr,
                     "state " + entry->abbr + " (" + entry->statename + ")",
                     [entry](Session& session) { select_region(session, *entry, level::state); },
                     entry->abbr});
    }
    return d;
}

std::vector<std::string> region_states(const Session& s) {
    std::vector<std::string> out;
    if (s.sc.region_level == level::state || s.sc.region_level == level::county)
        out = regsel(s.sc.region_list, s.sc.region_level).states;
    if (out.empty())
        for (const auto& row : s.state_table)
            out.push_back(row->abbr);
    return out;
}

Dimension county_choices(Session& s, const std::vector<std::string>& abbrs) {
    std::vector<std::shared_ptr<RegionCls>> states;
    std::set<std::string> seen;
    for (const std::string& abbr : abbrs) {
        auto entry = state_entry(s, trim(abbr));
        if (!seen.insert(entry->code).second)
            refuse(s, already_selected_text(*entry));
        states.push_back(std::move(entry));
    }
    Dimension d;
    for (const auto& state : states) {
        for (const auto& county : query_state_counties(s, *state)) {
            const std::string code = county->code;
            d.push_back({code, code,
                         "county " + county->county + " " + county->abbr + " (" + code + ")",
                         [entry = *county](Session& session) {
                             select_region(session, entry, level::county);
                         },
                         county->county + " " + county->abbr});
        }
    }
    return d;
}

Dimension year_choices(Session& s, const std::vector<std::string>& years, YearKind kind) {
    // The Period window's name of the year, and the letter that marks it in file names.
    static const struct {
        const char* name;
        const char* words;
        const char* mark;
        std::string Scenario::*field;
    } kinds[] = {
        {"Episode", "episode year", "", &Scenario::episode_year},
        {"Growth", "growth year", "G", &Scenario::growth_calc_year},
        {"Tech", "tech year", "T", &Scenario::tech_sel_year},
    };
    const auto& k = kinds[static_cast<int>(kind)];
    Dimension d;
    for (const std::string& year : years) {
        if (!yearok(s, year, k.name, false))
            throw VariantRefused(std::string(k.words) + " " + year);
        const std::string digits = name_part(trim(year));
        const std::string tag = k.mark + digits;
        const std::string title =
            kind == YearKind::episode ? trim(year) : lower(k.name) + " " + trim(year);
        d.push_back({tag, k.mark + (digits.size() > 2 ? digits.substr(digits.size() - 2) : digits),
                     std::string(k.words) + " " + trim(year),
                     [year, field = k.field](Session& session) {
                         session.sc.*field = year;
                         session.sc.period_changed = true;
                     },
                     title});
    }
    return d;
}

std::string variant_title(const Variant& v) {
    std::string title;
    for (const Choice* c : v.choices) {
        if (c->sets_title2)
            return {};
        if (!c->title.empty())
            title += (title.empty() ? "" : " ") + c->title;
    }
    return title;
}

std::vector<Variant> combine(const std::vector<Dimension>& dimensions) {
    std::vector<Variant> out;
    if (dimensions.empty())
        return out;
    for (const Dimension& d : dimensions)
        if (d.empty())
            return out;
    std::vector<std::size_t> at(dimensions.size(), 0);
    for (;;) {
        Variant v;
        for (std::size_t i = 0; i < dimensions.size(); ++i) {
            const Choice& c = dimensions[i][at[i]];
            v.choices.push_back(&c);
            v.comment += (i ? ", " : "") + c.comment;
        }
        out.push_back(std::move(v));
        std::size_t i = dimensions.size();
        while (i > 0 && ++at[i - 1] == dimensions[i - 1].size())
            at[--i] = 0;
        if (i == 0)
            break;
    }

    auto joined = [](const Variant& v, bool shortened) {
        std::string name;
        for (const Choice* c : v.choices)
            name += name_part(shortened ? c->short_tag : c->tag);
        return name;
    };
    // The same form of name for the whole set where one fits, so the names read alike.
    for (bool shortened : {false, true}) {
        std::set<std::string> names;
        bool fits = true;
        for (const Variant& v : out) {
            const std::string name = joined(v, shortened);
            if (name.empty() || name.size() > base_limit || !names.insert(name).second) {
                fits = false;
                break;
            }
        }
        if (fits) {
            for (Variant& v : out)
                v.base = joined(v, shortened);
            return out;
        }
    }
    // A number of fixed width at the end keeps every name distinct.
    const std::size_t width = std::to_string(out.size()).size();
    for (std::size_t i = 0; i < out.size(); ++i) {
        std::string number = std::to_string(i + 1);
        number.insert(0, width - number.size(), '0');
        std::string stem = joined(out[i], true);
        if (stem.empty())
            stem = "V";
        out[i].base = stem.substr(0, base_limit - std::min(width, base_limit)) + number;
    }
    return out;
}

MakeResult write_variants(Session& s, const std::string& dir, const std::string& extension,
                          const std::vector<Variant>& variants, bool force) {
    MakeResult result;
    const std::string program_dir = s.fs.program_path(dir);
    const std::string list = join_path(program_dir, "campaign.txt");
    const std::string template_path = s.option_file_path();
    std::vector<std::string> targets;
    for (const Variant& v : variants)
        targets.push_back(join_path(program_dir, v.base + extension));
    targets.push_back(list);
    // A folder that is not there yet holds neither the template nor a file in the way: its
    // thousands of names need no look-up.
    const auto folder = s.fs.facts(program_dir);
    const bool folder_exists = folder && folder->is_dir;
    for (const std::string& target : targets) {
        // Saving a variant over the template would make it a plain save of the template.
        if (iequals(target, template_path) ||
            (folder_exists && s.fs.same_file(target, template_path))) {
            result.refusal = s.fs.host_path(target) + " is the template; choose another --out";
            return result;
        }
        const auto facts = folder_exists ? s.fs.facts(target) : std::nullopt;
        if (facts && (facts->is_dir || !force)) {
            result.refusal = s.fs.host_path(target) + " exists" +
                             (facts->is_dir ? "" : "; give --force to overwrite it");
            return result;
        }
    }

    std::error_code ec;
    std::filesystem::create_directories(s.fs.host_path(program_dir), ec);
    if (ec) {
        result.refusal = s.fs.host_path(program_dir) + ": " + ec.message();
        return result;
    }

    const Scenario original = s.sc;
    std::string text = made_by_prefix + s.fs.host_path(template_path) + "\n";
    // The variants are flushed to disk together; the list, which names them, follows once all
    // of them are in place.
    std::unique_ptr<WriteGroup> group = s.fs.write_group();
    for (std::size_t i = 0; i < variants.size(); ++i) {
        s.sc = original;
        for (const Choice* c : variants[i].choices)
            c->apply(s);
        // Every row of a campaign would read the same with the template's titles.
        if (const std::string title = variant_title(variants[i]); !title.empty()) {
            s.sc.title2str = title;
            s.sc.options_changed = true;
        }
        if (!save_options_as(s, targets[i])) {
            s.sc = original;
            result.refusal = s.fs.host_path(targets[i]) + " could not be written";
            return result;
        }
        result.written.push_back(s.fs.host_path(targets[i]));
        text += "# " + variants[i].comment + "\n" + variants[i].base + extension + "\n";
    }
    s.sc = original;
    if (const std::string failed = group->finish(); !failed.empty()) {
        s.message("file error " + std::to_string(path_access_error().number()));
        result.refusal = failed + " could not be written";
        return result;
    }
    try {
        s.fs.write_file_atomic(list, text);
    } catch (const std::exception& e) {
        result.refusal = s.fs.host_path(list) + " could not be written: " + e.what();
        return result;
    }
    result.written.push_back(s.fs.host_path(list));
    return result;
}

}  // namespace qv::runs
