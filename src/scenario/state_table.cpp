#include "scenario/state_table.h"

#include <string_view>

namespace qv {

namespace {
// The three columns, each entry followed by "/", walked in step.
constexpr std::string_view state_codes =
    "01/02/04/05/06/08/09/10/12/13/15/16/17/18/19/20/21/22/23/24/25/26/27/28/29/30/31/32/33/34/"
    "35/36/37/38/39/40/41/42/72/44/45/46/47/48/78/49/50/51/53/11/54/55/56/";
constexpr std::string_view state_names =
    "Alabama/Alaska/Arizona/Arkansas/California/Colorado/Connecticut/Delaware/Florida/Georgia/"
    "Hawaii/Idaho/Illinois/Indiana/Iowa/Kansas/Kentucky/Louisiana/Maine/Maryland/Massachusetts/"
    "Michigan/Minnesota/Mississippi/Missouri/Montana/Nebraska/Nevada/New Hampshire/New Jersey/"
    "New Mexico/New York/North Carolina/North Dakota/Ohio/Oklahoma/Oregon/Pennsylvania/"
    "Puerto Rico/Rhode Island/South Carolina/South Dakota/Tennessee/Texas/U.S. Virgin Islands/"
    "Utah/Vermont/Virginia/Washington/Washington DC/West Virginia/Wisconsin/Wyoming/";
constexpr std::string_view state_abbrs =
    "AL/AK/AZ/AR/CA/CO/CT/DE/FL/GA/HI/ID/IL/IN/IA/KS/KY/LA/ME/MD/MA/MI/MN/MS/MO/MT/NE/NV/NH/NJ/"
    "NM/NY/NC/ND/OH/OK/OR/PA/PR/RI/SC/SD/TN/TX/VI/UT/VT/VA/WA/DC/WV/WI/WY/";

std::string_view next_entry(std::string_view& text) {
    std::size_t slash = text.find('/');
    std::string_view entry = text.substr(0, slash);
    text.remove_prefix(slash + 1);
    return entry;
}
}  // namespace

void build_state_table(StateTable& table) {
    std::string_view codes = state_codes, names = state_names, abbrs = state_abbrs;
    while (!codes.empty()) {
        auto s = std::make_shared<State>();
        s->code = std::string(next_entry(codes));
        s->statename = std::string(next_entry(names));
        s->abbr = std::string(next_entry(abbrs));
        table.add_if_new(s, s->code);
    }
}

}  // namespace qv
