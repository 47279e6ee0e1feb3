#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "scenario/session.h"

namespace qv {

// The values the Period window edits, under its own names.
struct PeriodValues {
    int periodindex = 0;  // 0 Annual, 1 Monthly, 2 Seasonal
    int ptypeindex = 0;   // 0 Typical day, 1 Period total
    int seasonindex = 0;  // 0 Winter .. 3 Autumn
    int monthindex = 0;   // 0 January .. 11 December
    int weekindex = 0;    // 0 Weekday, 1 Weekend
    std::string yearstr;
    std::string growthyearstr;
    std::string techyearstr;
};

PeriodValues period_values(const Scenario& sc);
// Copies the window's values into the scenario.
void update_globals(const PeriodValues& v, Scenario& sc);

// Which of the lower option groups are enabled; nullopt leaves a group as it is.
struct PeriodEnable {
    std::optional<bool> months;
    std::optional<bool> seasons;
    std::optional<bool> days;
};
// Months only for Monthly, seasons only for Seasonal, the day kind only for a typical day.
PeriodEnable periodenable(int periodindex, int ptypeindex);

inline constexpr int first_year = 1970;
inline constexpr int last_year = 2050;

// Checks one year text (blanks around it allowed), showing the message of a refusal. A number
// is rounded to a whole year (a half to the even neighbour) and must lie in 1970-2050.
bool yearok(Session& s, std::string_view year, const std::string& year_name, bool allow_blank);
// The years as OK checks them: the episode year, then the growth and tech years (which may be
// blank); false at the first refusal, after its message.
bool period_years_ok(Session& s, std::string_view episode, std::string_view growth,
                     std::string_view tech);

}  // namespace qv
