#pragma once

#include "cli/headless.h"
#include "runs/campaign.h"

namespace qv::cli {

// The message and output data files of each campaign entry, read from its "/RUNFILES/" packet
// alone, with the configuration and model directory of COMMON read once for all entries. The
// names resolve exactly as a full read resolves them; the other packets are neither read nor
// checked, so that a campaign of thousands of scenarios is looked over in well under a second.
// CampaignError when the configuration, or an entry's options file, cannot be read.
runs::OutputsOf run_files_reader(const CommonOptions& common);

}  // namespace qv::cli
