#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qv {

// The separator of paths that the program composes or takes from the host: "/" here, "\"
// on a Windows host. Paths read from an options file keep whatever separators they hold.
#ifdef _WIN32
inline constexpr char host_separator = '\\';
#else
inline constexpr char host_separator = '/';
#endif

inline bool is_path_separator(char c) {
    return c == '\\' || c == '/';
}

// `path` with every separator in the host's form, so that a path composed from a directory
// read from an options file never mixes the two kinds.
inline std::string with_host_separators(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (is_path_separator(c))
            c = host_separator;
    return out;
}

// The one place where path parts are joined: `dir`, a separator, `name`, all in host form.
inline std::string join_path(std::string_view dir, std::string_view name) {
    std::string out = with_host_separators(dir);
    if (out.empty() || out.back() != host_separator)
        out += host_separator;
    while (!name.empty() && is_path_separator(name.front()))
        name.remove_prefix(1);
    out += with_host_separators(name);
    return out;
}

// True when two path texts are the same apart from the kind of separator.
inline bool same_path_text(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && !(is_path_separator(a[i]) && is_path_separator(b[i])))
            return false;
    return true;
}

}  // namespace qv
