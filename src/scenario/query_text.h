#pragma once

#include <string>
#include <string_view>

#include "platform/reference_engine.h"

namespace qv {

// The query texts the document runs on the reference database. Values are embedded with
// access_literal, so that a code holding quotes reads back as one literal.
std::string county_query(std::string_view code);

}  // namespace qv
