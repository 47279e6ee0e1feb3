#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "scenario/session.h"
#include "scenario/text.h"

namespace qv {

// What the Options window puts into a box it refuses.
inline constexpr const char* refusal_marker = "****";

struct Range {
    double minimum;
    double maximum;
};

// The value of a box's text: blanks, tabs and line feeds are ignored wherever they stand, then
// the longest leading number (sign, digits, one point, exponent) is taken; 0 when there is none.
// A number too large for a double is infinite, so no range accepts it.
double box_value(std::string_view text);

// The allowed range of a box by its control name; none for boxes without one (the titles).
std::optional<Range> box_range(std::string_view control);

// "Invalid <min> to <max>".
std::string invalid_range_message(Range r);

// True when the text passes the range. The refusal marker never passes, although its leading
// number is 0: a box that still shows it holds no value the user gave.
bool within_range(std::string_view text, Range r);

// The oxygen weight % that agrees with the ethanol blend share and volume %: rounded to two
// decimals, a half going to the even neighbour.
double suggested_oxygen(double blend_share, double etoh_volume);
// True when the oxygen entry differs from the ethanol entries' value by more than 0.1.
bool oxygen_mismatch(double blend_share, double etoh_volume, double oxygen);
// The six lines of the oxygen caution, joined by line feeds.
std::string oxygen_warning(double suggested);

extern const char* const temperature_order_message;
extern const char* const average_message;

// The boxes check_all tests for their range, in its order (Stage2 comes later).
extern const std::array<const char*, 11> checked_boxes;

// The Options window's boxes as the checks see them, by control name.
struct OptionsBoxes {
    std::function<std::string(const std::string& control)> text;
    std::function<void(const std::string& control, const std::string& text)> set_text;
};

// Range check of one box: sets options_changed; out of range, the box gets the refusal marker
// and the range message is shown. Returns the control name of the failed box, or "" when it
// passed.
std::string limits(Session& s, const OptionsBoxes& boxes, const std::string& control, Range r);
// Range check of the box by its name; "" for boxes without a range.
std::string check_data(Session& s, const OptionsBoxes& boxes, const std::string& control);
// Every check of OK in order: the ranges, the oxygen caution, Stage II, the temperature order
// and the average. Returns the control name of the box that failed last, or "" when all passed.
std::string check_all(Session& s, const OptionsBoxes& boxes);
// check_all over the scenario's values as the window would show them (the scenario is not
// changed, but for options_changed).
std::string check_scenario_options(Session& s);

}  // namespace qv
