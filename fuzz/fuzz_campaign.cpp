// Reads arbitrary bytes as a campaign list and checks its entries for shared outputs: a list
// may be refused (CampaignError) but never crash or throw anything else.
#include <cstddef>
#include <cstdint>
#include <string>

#include "runs/campaign.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const qv::runs::Campaign campaign = qv::runs::parse_campaign("/work/batch/list.txt", text);
        // Each entry writes files named after its own name, so entries that name one file in
        // two spellings share them.
        qv::runs::check_distinct_outputs(campaign, [](const qv::runs::CampaignEntry& e) {
            return qv::runs::ScenarioOutputs{e.path + ".msg", e.path + ".out"};
        });
    } catch (const qv::runs::CampaignError&) {
    }
    return 0;
}
