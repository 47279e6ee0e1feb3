#include "dialogs/batch/make_variants_dialog.h"

namespace qv {

std::optional<std::string> make_variants(Session&, QWidget*) { return std::nullopt; }

}  // namespace qv
