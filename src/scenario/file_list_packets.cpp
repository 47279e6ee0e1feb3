#include <cctype>
#include <optional>
#include <unordered_map>

#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "platform/program_end.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv {

std::string split_dir(std::string_view path) {
    std::size_t p = path.find_last_of("\\/");
    return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p));
}

std::string split_file_name(std::string_view path) {
    std::size_t p = path.find_last_of("\\/");
    return p == std::string_view::npos ? std::string(path) : std::string(path.substr(p + 1));
}

void copy_file_list(const AllocList& source, AllocList& target) {
    target.copy_from(source);
}

bool is_absolute_dir(std::string_view dir) {
    return dir.find(':') != std::string_view::npos ||
           (!dir.empty() && (dir[0] == '\\' || dir[0] == '/'));
}

std::string in_model_dir(const Session& s, std::string_view name) {
    if (name.empty() || is_absolute_dir(name))
        return std::string(name);
    return join_path(s.settings.model_dir, std::string(name));
}

bool named_file_exists(const Session& s, const std::string& text) {
    return text.empty() || !s.fs.list(in_model_dir(s, text), attr_normal).empty();
}

namespace {

// Paths as the model will open them: it runs in model_dir and takes a name as it is written, so
// on this host every leading part that exists keeps the case it has on disk, and only the parts
// that do not exist yet are lower-cased. Separators, a drive and a relative form stay. Folders
// already looked at are remembered, so a packet of thousands of files in one folder costs one
// look-up per file; the host file system keeps what it found from one save to the next while
// nothing on the way changes (entry_on_disk), so that thousands of variants naming the same
// inputs look each one up once. Where the host ignores letter case, the whole path is
// lower-cased.
class WrittenCase {
  public:
    explicit WrittenCase(const Session& s) : s_(s) {}

    std::string operator()(std::string_view path) {
        std::string out;
        append(out, path);
        return out;
    }

    // Appends `path` as the model will open it to `out`.
    void append(std::string& out, std::string_view path) {
#ifdef _WIN32
        out += lower(path);
#else
        const std::size_t base = out.size();
        out += path;
        std::size_t i = base;
        if (path.size() >= 2 && path[1] == ':' &&
            std::isalpha(static_cast<unsigned char>(path[0]))) {
            out[base] = lower(path.substr(0, 1))[0];
            i = base + 2;
        }
        // The parts before the last one are walked once for all the paths that share them.
        std::size_t last = out.size();
        while (last > i && !is_path_separator(out[last - 1]))
            --last;
        if (last == i) {
            std::string dir = start_dir(i == out.size());
            Folder* folder = nullptr;
            take_part(out, i, out.size(), dir, folder);
            return;
        }
        const Walk& walk = walk_of(path.substr(0, last - base), out, base, i);
        out.replace(base, last - base, walk.text);
        std::string_view part = std::string_view(out).substr(last);
        if (part.empty() || (!walk.dir.empty() && (part == "." || part == "..")))
            return;
        const std::optional<std::string> name =
            walk.dir.empty() ? std::nullopt : on_disk(*walk.folder, walk.dir, part);
        if (name) {
            out.replace(last, part.size(), *name);
            return;
        }
        for (std::size_t k = last; k < out.size(); ++k)
            if (out[k] >= 'A' && out[k] <= 'Z')
                out[k] = static_cast<char>(out[k] - 'A' + 'a');
#endif
    }

  private:
    struct Folder {
        std::unordered_map<std::string, std::optional<std::string>> parts;  // upper-cased part
        bool listed = false;
    };
    // A folder asked about this often is listed once instead of looked up name by name.
    static constexpr std::size_t list_after = 16;

    // Where the leading parts of a path led: the text they are written as, and the folder
    // reached in program form (empty once a part does not exist).
    struct Walk {
        std::string text;
        std::string dir;
        Folder* folder = nullptr;
        std::size_t listings = 0;  // listings_ when it was walked
    };

    // The folder a path starts from.
    std::string start_dir(bool absolute) const {
        std::string dir = absolute ? std::string(1, host_separator) : s_.settings.model_dir;
        return dir.empty() ? std::string(".") : dir;
    }

    // Takes the part out[i, end) of a path: its case on disk, or lower case once a part does not
    // exist; `dir` and `folder` follow it.
    void take_part(std::string& out, std::size_t i, std::size_t end, std::string& dir,
                   Folder*& folder) {
        while (i < end) {
            while (i < end && is_path_separator(out[i]))
                ++i;
            std::size_t stop = i;
            while (stop < end && !is_path_separator(out[stop]))
                ++stop;
            const std::string part = out.substr(i, stop - i);
            if (!dir.empty() && (part == "." || part == "..")) {
                dir = join_path(dir, part);
                folder = nullptr;
            } else if (!part.empty()) {
                if (!dir.empty() && !folder)
                    folder = &folders_[dir];
                const std::optional<std::string> name =
                    dir.empty() ? std::nullopt : on_disk(*folder, dir, part);
                if (name) {
                    out.replace(i, part.size(), *name);
                    dir = join_path(dir, *name);
                    folder = nullptr;
                } else {
                    dir.clear();
                    out.replace(i, part.size(), lower(part));
                }
            }
            i = stop;
        }
        if (!dir.empty() && !folder)
            folder = &folders_[dir];
    }

    // The walk of `prefix` (which ends at a separator), which `out` holds from `base` on, its
    // parts from `from` on. A walk stays good until a folder is listed: until then every folder
    // only learns names it did not know, so that walking the same parts again would find what
    // it found.
    const Walk& walk_of(std::string_view prefix, const std::string& out, std::size_t base,
                        std::size_t from) {
        auto [it, added] = walks_.try_emplace(std::string(prefix));
        Walk& w = it->second;
        if (added || w.listings != listings_) {
            w.text = out.substr(base, prefix.size());
            w.dir = start_dir(is_path_separator(out[from]));
            w.folder = nullptr;
            take_part(w.text, from - base, prefix.size(), w.dir, w.folder);
            w.listings = listings_;
        }
        return w;
    }

    // The name of the entry of `dir` that `part` names, in its case on disk.
    std::optional<std::string> on_disk(Folder& f, const std::string& dir, std::string_view part) {
        const std::string key = upper(part);
        if (auto it = f.parts.find(key); it != f.parts.end())
            return it->second;
        if (f.listed)
            return std::nullopt;
        if (f.parts.size() >= list_after) {
            f.parts.clear();
            ++listings_;
            // Sorted without regard to case, names that differ only in case in byte order: the
            // first of each is the one a look-up takes.
            for (std::string& name : s_.fs.list(join_path(dir, "*"), attr_directory))
                f.parts.try_emplace(upper(name), std::move(name));
            f.listed = true;
            auto it = f.parts.find(key);
            return it == f.parts.end() ? std::nullopt : it->second;
        }
        std::optional<std::string> name = s_.fs.entry_on_disk(dir, part);
        f.parts.emplace(key, name);
        return name;
    }

    const Session& s_;
    std::unordered_map<std::string, Folder> folders_;
    std::unordered_map<std::string, Walk> walks_;
    std::size_t listings_ = 0;
};

void keyed_line(WrittenCase& written, LineWriter& out, int index, const std::string& path) {
    out.line(std::string(run_file_key_texts[static_cast<std::size_t>(index)]) + "   : " +
             written(path));
}

// Splits a message or output path into directory and name and makes the directory full:
// the options file's directory when the value has none; whatever is still relative then
// (the value's directory, or a relative options-file directory) is taken under model_dir,
// where the model runs.
void resolve_run_output(Session& s, const std::string& value, std::string& dir, std::string& name) {
    dir = split_dir(value);
    name = split_file_name(value);
    if (dir.empty())
        dir = s.sc.option_file_dir;
    if (!is_absolute_dir(dir))
        dir = join_path(s.settings.model_dir, dir);
}

}  // namespace

void read_runfiles_packet(Session& s, LineReader& in) {
    Scenario& sc = s.sc;
    for (int i = 0; i < run_file_count; ++i)
        sc.run_file_keys[i] = run_file_key_texts[i];
    for (int i = 8; i < run_file_count; ++i)
        sc.run_files[i].clear();
    PacketEnd end("/RUNFILES/");
    while (!in.eof()) {
        const std::string& line = in.read();
        if (packet_ends(in, end, line))
            return;
        std::string key = upper(left(line, 16));
        int k = -1;
        for (int i = 0; i <= rf::retrofit; ++i)
            if (key == sc.run_file_keys[i]) {
                k = i;
                break;
            }
        if (k < 0) {
            s.message("Runfile descriptor not found " + key);
            Session::end_program();
        }
        sc.run_files[k] = line_value(line);
        // A value that already names a full path is kept as the file holds it; only one that
        // had to be completed is composed anew, in the host's form.
        if (k == rf::message) {
            resolve_run_output(s, sc.run_files[k], sc.message_dir, sc.message_file_name);
            if (!is_absolute_dir(split_dir(sc.run_files[k])))
                sc.run_files[k] = join_path(sc.message_dir, sc.message_file_name);
        } else if (k == rf::output_data) {
            resolve_run_output(s, sc.run_files[k], sc.output_dir, sc.output_file_name);
            if (!is_absolute_dir(split_dir(sc.run_files[k])))
                sc.run_files[k] = join_path(sc.output_dir, sc.output_file_name);
        }
    }
}

void write_runfiles_packet(Session& s, LineWriter& out) {
    out.line("/RUNFILES/");
    WrittenCase written(s);
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11})
        keyed_line(written, out, i, s.sc.run_files[i]);
    out.line("/END/");
}

void read_modelyear_packet(Session& s, LineReader& in) {
    Scenario& sc = s.sc;
    sc.bmy_output_on = false;
    int index = rf::exhaust_bmy;
    PacketEnd end("/MODELYEAR OUT/");
    while (!in.eof()) {
        const std::string& line = in.read();
        if (packet_ends(in, end, line))
            break;
        if (index > rf::daily_temps)
            throw AppError(err::subscript, "Subscript out of range");
        sc.run_files[index++] = line_value(line);
    }
    sc.bmy_output_on =
        !sc.run_files[rf::exhaust_bmy].empty() || !sc.run_files[rf::evap_bmy].empty();
}

void write_modelyear_packet(Session& s, LineWriter& out) {
    Scenario& sc = s.sc;
    if (sc.bmy_output_on) {
        const std::string& output = sc.run_files[rf::output_data];
        // The first "." of the file's name: a "." in a directory name must not cut the path
        // there, or the files would land beside that directory instead of beside the output.
        const std::size_t name_start = output.find_last_of("\\/");
        std::size_t dot = output.find('.', name_start == std::string::npos ? 0 : name_start + 1);
        std::string base = dot == std::string::npos ? std::string() : output.substr(0, dot + 1);
        sc.bmy_exhaust_file_name = base + "BMX";
        sc.bmy_evap_file_name = base + "BMV";
        sc.run_files[rf::exhaust_bmy] = sc.bmy_exhaust_file_name;
        sc.run_files[rf::evap_bmy] = sc.bmy_evap_file_name;
    } else {
        sc.run_files[rf::exhaust_bmy].clear();
        sc.run_files[rf::evap_bmy].clear();
    }
    out.line("/MODELYEAR OUT/");
    WrittenCase written(s);
    keyed_line(written, out, rf::exhaust_bmy, sc.run_files[rf::exhaust_bmy]);
    keyed_line(written, out, rf::evap_bmy, sc.run_files[rf::evap_bmy]);
    out.line("/END/");
}

void read_daily_packet(Session& s, LineReader& in) {
    PacketEnd end("/DAILY FILES/");
    while (!in.eof()) {
        const std::string& line = in.read();
        if (packet_ends(in, end, line))
            return;
        s.sc.run_files[rf::daily_temps] = line_value(line);
    }
}

void write_daily_packet(Session& s, LineWriter& out) {
    out.line("/DAILY FILES/");
    WrittenCase written(s);
    keyed_line(written, out, rf::daily_temps, s.sc.run_files[rf::daily_temps]);
    out.line("/END/");
}

void read_factor_files_packet(Session& s, LineReader& in, bool is_emfac) {
    auto& files = is_emfac ? s.sc.emfac_files : s.sc.deteriorate_files;
    for (int i = 0; i < emission_type_count; ++i)
        files[i].clear();
    const std::string_view types = emission_type_list;
    PacketEnd end(is_emfac ? "/EMFAC FILES/" : "/DETERIORATE FILES/");
    while (!in.eof()) {
        const std::string& line = in.read();
        if (packet_ends(in, end, line))
            return;
        std::string u = upper(trim(line));
        std::string label = trim(left(u, 19));
        // A blank line names no type (it must not clear the first one).
        if (label.empty())
            continue;
        std::size_t pos = types.find(label);
        if (pos == std::string_view::npos)
            continue;
        std::size_t index = 0;
        for (std::size_t i = 0; i < pos; ++i)
            if (types[i] == '|')
                ++index;
        files[index] = line.size() > 20 ? trim(line.substr(20)) : std::string();
    }
}

namespace {
void write_factor_packet(const Session& s, const char* header,
                         const std::array<std::string, factor_file_count>& files, LineWriter& out) {
    static const std::string field = "                   : ";
    WrittenCase written(s);
    out.line(header);
    for (int i = 0; i < emission_type_count; ++i) {
        if (files[i].empty())
            continue;
        std::string label = emission_type_labels[i];
        out.line(label + right(field, 21 - label.size()) + written(files[i]));
    }
    out.line("/END/");
}
}  // namespace

void write_emfac_packet(Session& s, LineWriter& out) {
    write_factor_packet(s, "/EMFAC FILES/", s.sc.emfac_files, out);
}

void write_deteriorate_packet(Session& s, LineWriter& out) {
    if (!s.sc.deteriorate_found && !s.sc.deteriorate_set)
        return;
    write_factor_packet(s, "/DETERIORATE FILES/", s.sc.deteriorate_files, out);
}

void read_growth_packet(Session& s, LineReader& in) {
    auto& files = s.sc.growth_files;
    // An empty packet is an empty list: the previous scenario's files must not survive it.
    files.assign(1, std::string());
    std::size_t taken = 0;
    PacketEnd end("/GROWTH FILES/");
    while (!in.eof()) {
        const std::string& line = in.read();
        if (packet_ends(in, end, line))
            break;
        files.resize(taken + 2);
        files[taken] = line_value(line);
        ++taken;
    }
}

void write_growth_packet(Session& s, LineWriter& out) {
    const auto& files = s.sc.growth_files;
    WrittenCase written(s);
    out.line("/GROWTH FILES/");
    for (std::size_t i = 0; i + 1 < files.size(); ++i)
        out.line("Growth FILE        : " + written(files[i]));
    out.line("/END/");
}

namespace {

void read_file_list(Session& s, LineReader& in, const char* header, AllocList& list,
                    AllocList& work, const std::string& message_prefix) {
    list.clear();
    PacketEnd end(header);
    try {
        while (!in.eof()) {
            const std::string& line = in.read();
            if (packet_ends(in, end, line))
                break;
            auto item = std::make_shared<AllocCls>();
            std::size_t colon = line.find(':');
            item->descriptor =
                colon == std::string::npos ? std::string() : line.substr(0, colon + 1);
            item->allocfile = line_value(line);
            list.add(item, item->allocfile);
        }
    } catch (const AppError& e) {
        s.untitled_message(message_prefix + e.description());
    }
    // Refilled even after a failure, so that the working list never holds another file's list.
    copy_file_list(list, work);
}

void write_file_list(const Session& s, const char* header, const AllocList& list, LineWriter& out) {
    WrittenCase written(s);
    out.line(header);
    std::string line;  // one buffer for every line
    for (const auto& item : list) {
        line.assign(item->descriptor);
        written.append(line, item->allocfile);
        out.line(line);
    }
    out.line("/END/");
}

}  // namespace

void read_alloc_packet(Session& s, LineReader& in) {
    read_file_list(s, in, "/ALLOC FILES/", s.sc.alloc_files, s.sc.alloc_files_work, "");
}

void write_alloc_packet(Session& s, LineWriter& out) {
    write_file_list(s, "/ALLOC FILES/", s.sc.alloc_files, out);
}

void read_pop_packet(Session& s, LineReader& in) {
    read_file_list(s, in, "/POP FILES/", s.sc.pop_files, s.sc.pop_files_work,
                   "In GET_POPULATION_OPTIONS ");
}

void write_pop_packet(Session& s, LineWriter& out) {
    write_file_list(s, "/POP FILES/", s.sc.pop_files, out);
}

}  // namespace qv
