#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>

namespace qv::runs {

// The options file's text as a run started, cut to options_copy_cap bytes.
struct OptionsCopy {
    std::string text;
    bool cut = false;  // the file was longer than the cap
};
inline constexpr std::size_t options_copy_cap = 1 << 20;

// The copy as a record holds it: {"encoding", "cut", "text"}.
nlohmann::ordered_json options_copy_json(const OptionsCopy& copy);
// Back from a record; throws RecordError when it is not of that form.
OptionsCopy options_copy_from_json(const nlohmann::ordered_json& j);

}  // namespace qv::runs
