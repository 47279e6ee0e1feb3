#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv {
class Session;
}

namespace qv::runs {

// One options file of a campaign, with the line of the list that names it.
struct CampaignEntry {
    int line = 0;         // 1-based line number in the list file
    std::string written;  // the name as the list holds it
    std::string path;     // host path: a relative name taken against the list file's directory
};

// A campaign: a plain text list of options files, one per line. Blank lines and lines whose
// first non-blank character is "#" are left out.
struct Campaign {
    std::string list_path;  // host path of the list file, as given
    std::vector<CampaignEntry> entries;
};

// A list that cannot be used as it is; what() is the reason, ready to print.
struct CampaignError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Parses the text of a list file whose host path is LIST_PATH. Lines may end in CR LF, LF or CR.
Campaign parse_campaign(const std::string& list_path, const std::string& text);
// Reads and parses a list file; CampaignError, naming the list, when it cannot be read or is
// not a regular file (a directory, a FIFO, a device): such a list is never waited on.
Campaign read_campaign(const std::string& list_path);

// The bytes of a regular file; anything else is refused without waiting on it. CampaignError
// naming the path and WHAT it is ("the list file") when it cannot be read.
std::string read_regular_file(const std::string& path, const std::string& what);

// The files one scenario's model run writes, as host paths.
struct ScenarioOutputs {
    std::string message;
    std::string output_data;
};

// The message and output data files of the scenario a session holds; a relative name is taken
// against the model directory, where the model runs.
ScenarioOutputs scenario_outputs(const Session& s);

// Reads an entry's options file and tells what its run would write; CampaignError when the
// file cannot be read (its reason names the file).
using OutputsOf = std::function<ScenarioOutputs(const CampaignEntry&)>;

// Refuses a campaign in which two entries would write the same message or output data file:
// throws CampaignError naming both entries by line number and path, and the shared file.
// Paths are compared after normalisation, ignoring letter case and the separator kind, since
// the model's file names are matched without regard to case. Returns the outputs of each entry,
// in the order of the list.
std::vector<ScenarioOutputs> check_distinct_outputs(const Campaign& campaign,
                                                    const OutputsOf& outputs_of);

// The key under which two host paths name the same file for the check above.
std::string same_file_key(const std::string& host_path);

}  // namespace qv::runs
