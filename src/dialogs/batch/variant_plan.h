#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runs/variants.h"
#include "scenario/session.h"

namespace qv {

// How the variants vary the region, as `qvopt batch make` offers it: not at all, one per state
// of the template's region (--each-state), one per chosen state (--states) or one per county of
// the chosen states (--each-county).
enum class RegionVariation { keep, each_state, chosen_states, each_county };

// What the Make variants dialog asks for.
struct VariantRequest {
    RegionVariation region = RegionVariation::keep;
    std::vector<std::string> states;       // abbreviations, for chosen_states and each_county
    std::string years;                     // episode years as typed: "2020, 2025, 2030"
    std::string growth_years, tech_years;  // the same for the growth and technology years
};

// The years of a typed list: commas, semicolons or blanks between them.
std::vector<std::string> split_years(const std::string& text);

// The dimensions of a request and every combination of them. The variants point into the
// dimensions, so a plan is never copied.
struct VariantPlan {
    VariantPlan() = default;
    VariantPlan(const VariantPlan&) = delete;
    VariantPlan& operator=(const VariantPlan&) = delete;

    std::vector<runs::Dimension> dimensions;
    std::vector<runs::Variant> variants;
    std::string refusal;         // why there are no variants; "" when there are
    bool refusal_shown = false;  // a check showed it through the Ui
    bool incomplete = false;     // the refusal only asks for a choice still to be made
};

// Builds plans for one template. The counties of a state come from the reference database the
// first time the state is asked for, and are kept for the life of the planner.
class VariantPlanner {
  public:
    // QUERIES runs the county queries (its Ui shows their failures).
    explicit VariantPlanner(Session& queries) : queries_(queries) {}

    // The request as variants of the scenario CHECKS holds. A value the windows would refuse
    // is refused with their message, shown through the Ui of CHECKS; the plan then has no
    // variants and a refusal.
    std::unique_ptr<VariantPlan> plan(Session& checks, const VariantRequest& request);

    // The county choices of one state (an abbreviation of the state table).
    const runs::Dimension& counties(const std::string& abbr);

  private:
    Session& queries_;
    std::map<std::string, runs::Dimension> counties_;
};

// The extension of the variants' file names: the template's, with its period (".opt" when it
// has none).
std::string variant_extension(const std::string& template_name);

// The names of the files a plan writes, campaign.txt last.
std::vector<std::string> variant_file_names(const VariantPlan& plan, const std::string& extension);

// Those of them that exist in DIR (a host path), as host paths.
std::vector<std::string> existing_variant_files(FileSystem& fs, const std::string& dir,
                                                const VariantPlan& plan,
                                                const std::string& extension);

// Writes the plan's variants of the scenario S holds into DIR (a host path) and the campaign
// list, on a copy of S: S keeps its scenario, current file, caption and summary. A refusal is
// shown through the Ui of S. Returns the host path of the list.
std::optional<std::string> write_variant_plan(Session& s, const std::string& dir,
                                              const VariantPlan& plan, bool force);

}  // namespace qv
