#include <functional>

#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv {

void skip_to_end(LineReader& in) {
    while (!in.eof()) {
        const std::string& line = in.read();
        if (is_packet_end(line) || ends_at_header(in, line))
            return;
    }
}

namespace {

struct Rewrite {
    const char* header;
    std::function<bool(const Scenario&)> when;
    std::function<void(Session&, LineWriter&)> write;
};

// Packets replaced when met in the input, in the order they are tested.
const std::vector<Rewrite>& rewrites() {
    static const std::vector<Rewrite> table = {
        {"/RUNFILES/", [](const Scenario&) { return true; }, write_runfiles_packet},
        {"/POP FILES/", [](const Scenario& sc) { return sc.pop_files_changed; }, write_pop_packet},
        {"/OPTIONS/", [](const Scenario& sc) { return sc.options_changed; }, write_options_packet},
        {"/PERIOD/", [](const Scenario& sc) { return sc.period_changed; }, write_period_packet},
        {"/REGION/", [](const Scenario& sc) { return sc.region_changed; }, write_region_packet},
        {"/SOURCE CATEGORY/", [](const Scenario&) { return true; }, write_source_packet},
        {"/EMFAC FILES/", [](const Scenario& sc) { return sc.emfac_changed; }, write_emfac_packet},
        {"/DETERIORATE FILES/", [](const Scenario&) { return true; }, write_deteriorate_packet},
        {"/ALLOC FILES/", [](const Scenario& sc) { return sc.alloc_files_changed; },
         write_alloc_packet},
        {"/GROWTH FILES/", [](const Scenario& sc) { return sc.growth_changed; },
         write_growth_packet},
        {"/STAGE II/", [](const Scenario&) { return true; }, write_stage2_packet},
        {"/MODELYEAR OUT/", [](const Scenario&) { return true; }, write_modelyear_packet},
        {"/DAILY FILES/", [](const Scenario&) { return true; }, write_daily_packet},
    };
    return table;
}

// Runs one packet writer; a failure half-way still leaves a closed packet.
void write_packet(Session& s, LineWriter& out, const Rewrite& r) {
    std::size_t start = out.size();
    try {
        r.write(s, out);
    } catch (const std::exception&) {
        if (out.size() > start && out.last_line() != "/END/")
            out.line("/END/");
    }
}

std::string number_text(const char* n) {
    return std::string(" ") + n + " ";
}

void report_open_failure(Session& s, const char* step, const AppError& e) {
    s.log.write("Newoptions code " + number_text(step) + s.sc.option_file_name);
    s.message("file error " + std::to_string(e.number()));
}

}  // namespace

bool changed_since_read(Session& s) {
    const std::string path = s.option_file_path();
    if (!s.file_stamp || s.file_stamp->path != path)
        return false;
    try {
        FileFacts facts;
        std::string bytes = s.fs.read_file_with_facts(path, facts);
        return *s.file_stamp != make_stamp(path, bytes, facts);
    } catch (const AppError&) {
        return true;
    }
}

std::string changed_on_disk_text(const std::string& path) {
    return "Cannot save " + path +
           "\nThe file was changed by another program since it was read. Nothing was written.";
}

bool write_options_to(Session& s, const std::string& out_path) {
    Scenario& sc = s.sc;
    const std::string out_dir = split_dir(out_path);
    auto dir = s.fs.facts(out_dir.empty() ? std::string(1, host_separator) : out_dir);
    if (!dir || !dir->is_dir) {
        report_open_failure(s, "2.3", path_access_error());
        return false;
    }
    const std::string in_path = s.option_file_path();
    // A save into the file the scenario came from holds it locked from the read to the
    // replacement, so that another program's save cannot slip in between.
    const bool onto_input = same_path_text(out_path, in_path) || s.fs.same_file(out_path, in_path);
    std::unique_ptr<FileLock> lock;
    std::string input;
    FileFacts in_facts;
    try {
        if (onto_input)
            lock = s.fs.lock_file(in_path);
    } catch (const AppError& e) {
        report_open_failure(s, "2.3", e);
        return false;
    }
    try {
        input = s.fs.read_file_with_facts(in_path, in_facts);
    } catch (const AppError& e) {
        report_open_failure(s, "2.4", e);
        return false;
    }
    if (onto_input && s.file_stamp && s.file_stamp->path == in_path &&
        *s.file_stamp != make_stamp(in_path, input, in_facts)) {
        s.log.write("Newoptions code " + number_text("2.3") + sc.option_file_name);
        s.message(changed_on_disk_text(in_path));
        return false;
    }

    LineWriter out;
    out.line(written_by_stamp + s.now_text());
    LineReader in(std::move(input));
    bool det_written = false, source_written = false, stage2_written = false, daily_written = false;
    // Inside a packet that is copied unchanged: it gets an "/END/" of its own when the input's
    // packet ends at the next header or at the end of the file without one.
    bool copying = false;
    try {
        while (!in.eof()) {
            const std::string line = in.read();
            const std::string_view header = packet_header_of(line);
            if (!header.empty()) {
                if (copying)
                    out.line("/END/");
                copying = false;
                const Rewrite* hit = nullptr;
                for (const auto& r : rewrites())
                    if (header == r.header && r.when(sc)) {
                        hit = &r;
                        break;
                    }
                if (!hit) {
                    out.line(line);
                    copying = true;
                    continue;
                }
                det_written |= header == "/DETERIORATE FILES/";
                source_written |= header == "/SOURCE CATEGORY/";
                stage2_written |= header == "/STAGE II/";
                daily_written |= header == "/DAILY FILES/";
                skip_to_end(in);
                write_packet(s, out, *hit);
                continue;
            }
            if (copying && is_packet_end(line))
                copying = false;
            std::string u = upper(ltrim(line));
            if ((u.size() > 0 && u[0] == '/') || (u.size() > 1 && u[1] == '/') ||
                line.find(written_by_stamp) == std::string::npos)
                out.line(line);
        }
        if (copying)
            out.line("/END/");
    } catch (const std::exception&) {
    }

    auto append = [&](const char* header) {
        for (const auto& r : rewrites())
            if (std::string_view(r.header) == header)
                write_packet(s, out, r);
    };
    if ((sc.deteriorate_found || sc.deteriorate_set) && !det_written)
        append("/DETERIORATE FILES/");
    if (sc.source_found && !source_written)
        append("/SOURCE CATEGORY/");
    if (!stage2_written)
        append("/STAGE II/");
    if (sc.daily_set && !daily_written)
        append("/DAILY FILES/");

    try {
        FileFacts written = s.fs.write_file_atomic(out_path, out.bytes());
        s.file_stamp = make_stamp(out_path, out.bytes(), written);
    } catch (const AppError& e) {
        report_open_failure(s, "2.3", e);
        return false;
    }
    return true;
}

bool write_options_file(Session& s) {
    return write_options_to(s, join_path(s.sc.save_file_dir, s.sc.save_file_name));
}

}  // namespace qv
