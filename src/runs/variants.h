#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "scenario/session.h"

namespace qv::runs {

// A value was refused; the message box that says why has been shown through the session's Ui.
struct VariantRefused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One value of one varied thing: what it does to the scenario and how it is named.
struct Choice {
    std::string tag;        // for the file name: "NV", "32003", "2020"
    std::string short_tag;  // used when the full tags do not fit in 8 characters: "20"
    std::string comment;    // for the campaign list: "state NV (Nevada)"
    std::function<void(Session&)> apply;
    // For the variant's Title 2: "NV", "Clark County NV", "2030"; empty when the choice sets
    // Title 2 itself.
    std::string title;
    bool sets_title2 = false;
};

// The values of one varied thing; a variant takes one choice of each dimension.
using Dimension = std::vector<Choice>;

// One whole state each, at state level, as the Region window's OK leaves the scenario with that
// state selected (the allocation and population lists follow). ABBRS are state abbreviations
// in any letter case; an unknown or repeated one is refused with a message.
Dimension state_choices(Session& s, const std::vector<std::string>& abbrs);
// The states of the scenario's region in order of first appearance; every state of the table
// when the region is national.
std::vector<std::string> region_states(const Session& s);
// One county each, at county level, for every county the Region window lists for each state.
Dimension county_choices(Session& s, const std::vector<std::string>& abbrs);
// Which year of the period a year dimension sets.
enum class YearKind { episode, growth, tech };
// The episode year (or the growth or technology year), checked as the Period window's OK
// checks it.
Dimension year_choices(Session& s, const std::vector<std::string>& years,
                       YearKind kind = YearKind::episode);

// One file to write: its base name (at most 8 characters) and the choices it applies.
struct Variant {
    std::string base;
    std::string comment;
    std::vector<const Choice*> choices;
};

// What a variant varies, for its Title 2: its choices' titles, such as "NV 2030"; empty when
// a choice sets Title 2 itself.
std::string variant_title(const Variant& v);

// Every combination of one choice per dimension, in order (the first dimension varies
// slowest), each with a readable base name unique without regard to letter case: the tags run
// together, the short tags when those are too long, else a shortened name with a number.
std::vector<Variant> combine(const std::vector<Dimension>& dimensions);

// The first line of a list that write_variants wrote, before the template's host path.
inline constexpr const char* made_by_prefix = "# made by qvopt batch make from ";

// Writes each variant into DIR as a Save as of the scenario the session holds (the template),
// with its choices applied and its Title 2 saying what it varies (variant_title), then
// DIR/campaign.txt listing them with a comment line each. Files it would overwrite are refused
// (before anything is written) unless FORCE. EXTENSION is the file names' extension with its period
// (".opt"). Returns the host paths written, list last.
struct MakeResult {
    std::vector<std::string> written;
    std::string refusal;  // why nothing was written, "" when the files were written
};
MakeResult write_variants(Session& s, const std::string& dir, const std::string& extension,
                          const std::vector<Variant>& variants, bool force);

}  // namespace qv::runs
