#include "scenario/alloc_names.h"

#include <array>
#include <string_view>

#include "platform/app_error.h"

namespace qv {

namespace {

constexpr std::array<std::string_view, 21> filenames = {
    " ",          "_airtr.alo", "_const.alo", "_farms.alo", "_golf.alo", "_holsl.alo", "_house.alo",
    "_loggn.alo", "_lscap.alo", "_coal.alo",  "_mnfg.alo",  "_oil.alo",  "_pop.alo",   "_rvprk.alo",
    "_snowm.alo", "_sbr.alo",   "_sbc.alo",   "_wib.alo",   "_wob.alo",  " ",          "_rail.alo ",
};

constexpr std::array<std::string_view, 21> descriptors = {
    " ",
    "Air trans. empl.   :",
    "Construction cost  :",
    "Harvested acres    :",
    "Golf course estab. :",
    "Wholesale estab.   :",
    "Family housing     :",
    "Logging employees  :",
    "Landscaping empl.  :",
    "Undergrnd coal prod:",
    "Manufacturing empl.:",
    "Oil & gas employees:",
    "Census population  :",
    "RV Park establish. :",
    "Snowmobiles        :",
    "Snowblowers res.   :",
    "Snowblowers comm.  :",
    "Rec marine inboard :",
    "Rec marine outboard:",
    "Locomotive NOx     :",
    " ",
};

std::string field(const std::array<std::string_view, 21>& table, int n) {
    if (n < 0 || n >= static_cast<int>(table.size()))
        throw AppError(err::subscript, "Subscript out of range");
    return std::string(table[static_cast<std::size_t>(n)]);
}

}  // namespace

std::string alloc_filename(int n) {
    return field(filenames, n);
}
std::string alloc_descriptor(int n) {
    return field(descriptors, n);
}

}  // namespace qv
