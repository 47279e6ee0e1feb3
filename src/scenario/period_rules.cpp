#include "scenario/period_rules.h"

#include <cmath>

#include "platform/app_error.h"
#include "scenario/text.h"

namespace qv {

PeriodValues period_values(const Scenario& sc) {
    return {sc.period_type,        sc.summation_type, sc.season_of_year,   sc.month_of_year,
            sc.weekday_or_weekend, sc.episode_year,   sc.growth_calc_year, sc.tech_sel_year};
}

void update_globals(const PeriodValues& v, Scenario& sc) {
    sc.period_type = v.periodindex;
    sc.summation_type = v.ptypeindex;
    sc.season_of_year = v.seasonindex;
    sc.month_of_year = v.monthindex;
    sc.weekday_or_weekend = v.weekindex;
    sc.episode_year = v.yearstr;
    sc.growth_calc_year = v.growthyearstr;
    sc.tech_sel_year = v.techyearstr;
}

PeriodEnable periodenable(int periodindex, int ptypeindex) {
    if (periodindex < 0 || periodindex > 2)
        return {};
    return {periodindex == 1, periodindex == 2, ptypeindex == 0};
}

bool yearok(Session& s, std::string_view year, const std::string& year_name, bool allow_blank) {
    const std::string text = trim(year);
    if (text.empty() && allow_blank)
        return true;
    const std::string range = std::to_string(first_year) + "-" + std::to_string(last_year) + ".";
    double value = 0;
    try {
        value = strict_number(text);
    } catch (const AppError&) {
        s.untitled_message(year_name + " year must be numeric and in the range " + range);
        return false;
    }
    // nearbyint rounds a half to the even neighbour; a year beyond any 16-bit number is simply
    // outside the range.
    double y = std::nearbyint(value);
    if (!(y >= first_year && y <= last_year)) {
        s.untitled_message(year_name + " year " + general_number(y) + " is outside allowed range " +
                           range);
        return false;
    }
    return true;
}

bool period_years_ok(Session& s, std::string_view episode, std::string_view growth,
                     std::string_view tech) {
    return yearok(s, episode, "Episode", false) && yearok(s, growth, "Growth", true) &&
           yearok(s, tech, "Tech", true);
}

}  // namespace qv
