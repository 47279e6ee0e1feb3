#include "dialogs/batch/slurm_submit_dialog.h"

namespace qv {

bool slurm_available() { return false; }

std::optional<SlurmSubmission> submit_to_slurm(const Session&, const std::string&, bool,
                                               QWidget*) {
    return std::nullopt;
}

}  // namespace qv
