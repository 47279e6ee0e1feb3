#pragma once

#include "scenario/scenario.h"

namespace qv {

// Fills `table` with the 53 states and territories, keyed by two-digit FIPS code, in the
// program's fixed order.
void build_state_table(StateTable& table);

}  // namespace qv
