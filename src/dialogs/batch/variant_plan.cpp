#include "dialogs/batch/variant_plan.h"

#include "dialogs/batch/session_copy.h"
#include "platform/fs/path_form.h"

namespace qv {

std::vector<std::string> split_years(const std::string& text) {
    std::vector<std::string> out;
    std::string word;
    for (char c : text + ' ') {
        if (c == ',' || c == ';' || c == ' ' || c == '\t') {
            if (!word.empty())
                out.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return out;
}

const runs::Dimension& VariantPlanner::counties(const std::string& abbr) {
    auto found = counties_.find(abbr);
    if (found == counties_.end())
        found = counties_.emplace(abbr, runs::county_choices(queries_, {abbr})).first;
    return found->second;
}

std::unique_ptr<VariantPlan> VariantPlanner::plan(Session& checks, const VariantRequest& request) {
    auto p = std::make_unique<VariantPlan>();
    const bool by_chosen_states = request.region == RegionVariation::chosen_states ||
                                  request.region == RegionVariation::each_county;
    if (by_chosen_states && request.states.empty()) {
        p->refusal = "Choose one or more states.";
        p->incomplete = true;
        return p;
    }
    try {
        switch (request.region) {
            case RegionVariation::keep:
                break;
            case RegionVariation::each_state:
                p->dimensions.push_back(runs::state_choices(checks, runs::region_states(checks)));
                break;
            case RegionVariation::chosen_states:
                p->dimensions.push_back(runs::state_choices(checks, request.states));
                break;
            case RegionVariation::each_county: {
                runs::Dimension all;
                for (const std::string& abbr : request.states) {
                    const runs::Dimension& some = counties(abbr);
                    all.insert(all.end(), some.begin(), some.end());
                }
                p->dimensions.push_back(std::move(all));
                break;
            }
        }
        const std::pair<const std::string*, runs::YearKind> year_fields[] = {
            {&request.years, runs::YearKind::episode},
            {&request.growth_years, runs::YearKind::growth},
            {&request.tech_years, runs::YearKind::tech},
        };
        for (const auto& [text, kind] : year_fields)
            if (const std::vector<std::string> years = split_years(*text); !years.empty())
                p->dimensions.push_back(runs::year_choices(checks, years, kind));
    } catch (const runs::VariantRefused& e) {
        p->dimensions.clear();
        p->refusal = e.what();
        p->refusal_shown = true;
        return p;
    }
    if (p->dimensions.empty()) {
        p->refusal = "Choose what to vary: the states, the counties or the years.";
        p->incomplete = true;
        return p;
    }
    p->variants = runs::combine(p->dimensions);
    if (p->variants.empty())
        p->refusal = "no variants: a state listed has no counties";
    return p;
}

std::string variant_extension(const std::string& template_name) {
    const std::size_t dot = template_name.rfind('.');
    return dot == std::string::npos || dot == 0 ? ".opt" : template_name.substr(dot);
}

std::vector<std::string> variant_file_names(const VariantPlan& plan, const std::string& extension) {
    std::vector<std::string> names;
    for (const runs::Variant& v : plan.variants)
        names.push_back(v.base + extension);
    names.push_back("campaign.txt");
    return names;
}

std::vector<std::string> existing_variant_files(FileSystem& fs, const std::string& dir,
                                                const VariantPlan& plan,
                                                const std::string& extension) {
    std::vector<std::string> found;
    const std::string program_dir = fs.program_path(dir);
    for (const std::string& name : variant_file_names(plan, extension)) {
        const std::string path = join_path(program_dir, name);
        if (fs.facts(path))
            found.push_back(fs.host_path(path));
    }
    return found;
}

std::optional<std::string> write_variant_plan(Session& s, const std::string& dir,
                                              const VariantPlan& plan, bool force) {
    const auto copy = session_copy(s, s.ui);
    const runs::MakeResult made = runs::write_variants(
        *copy, dir, variant_extension(s.sc.option_file_name), plan.variants, force);
    pass_on_log(*copy, s);
    if (!made.refusal.empty()) {
        s.message(made.refusal, Icon::Exclamation);
        return std::nullopt;
    }
    return made.written.back();
}

}  // namespace qv
