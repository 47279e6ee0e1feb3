#pragma once

#include <optional>
#include <string>

class QWidget;

namespace qv {

class Session;

// "Make variants": one options file per variant of the scenario S holds (per state of its
// region, per county of chosen states, per year), written into a folder the user picks with
// DIR/campaign.txt listing them. The scenario S holds is left as it was. Returns the host path
// of the campaign list written, or nothing when the user cancelled or nothing was written.
std::optional<std::string> make_variants(Session& s, QWidget* parent);

}  // namespace qv
