#include <functional>

#include "platform/app_error.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv {

void skip_to_end(LineReader& in) {
    while (!is_packet_end(in.read())) {
    }
}

namespace {

constexpr const char* written_by = "Written by Quarvel interface at ";

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
        if (out.size() > start && out.last_line() != "/END/") out.line("/END/");
    }
}

std::string number_text(const char* n) { return std::string(" ") + n + " "; }

void report_open_failure(Session& s, const char* step, const AppError& e) {
    s.log.write("Newoptions code " + number_text(step) + s.sc.option_file_name);
    s.message("file error " + std::to_string(e.number()));
}

}  // namespace

bool write_options_file(Session& s) {
    Scenario& sc = s.sc;
    const std::string out_path = sc.save_file_dir + "\\" + sc.save_file_name;
    auto dir = s.fs.facts(sc.save_file_dir.empty() ? std::string("\\") : sc.save_file_dir);
    if (!dir || !dir->is_dir) {
        report_open_failure(s, "2.3", path_access_error());
        return false;
    }
    std::string input;
    try {
        input = s.fs.read_file(s.option_file_path());
    } catch (const AppError& e) {
        report_open_failure(s, "2.4", e);
        return false;
    }

    LineWriter out;
    out.line(written_by + s.now_text());
    LineReader in(std::move(input));
    bool det_written = false, source_written = false, stage2_written = false;
    try {
        while (!in.eof()) {
            const std::string line = in.read();
            std::string u = upper(ltrim(line));
            if ((u.size() > 0 && u[0] == '/') || (u.size() > 1 && u[1] == '/')) {
                const Rewrite* hit = nullptr;
                for (const auto& r : rewrites())
                    if (u.compare(0, std::string_view(r.header).size(), r.header) == 0 &&
                        r.when(sc)) {
                        hit = &r;
                        break;
                    }
                if (!hit) {
                    out.line(line);
                    continue;
                }
                std::string_view h = hit->header;
                det_written |= h == "/DETERIORATE FILES/";
                source_written |= h == "/SOURCE CATEGORY/";
                stage2_written |= h == "/STAGE II/";
                try {
                    skip_to_end(in);
                } catch (const AppError&) {
                    // The old packet has no end: write its replacement and stop the merge.
                    write_packet(s, out, *hit);
                    break;
                }
                write_packet(s, out, *hit);
            } else if (line.find(written_by) == std::string::npos) {
                out.line(line);
            }
        }
    } catch (const std::exception&) {
    }

    auto append = [&](const char* header) {
        for (const auto& r : rewrites())
            if (std::string_view(r.header) == header) write_packet(s, out, r);
    };
    if (sc.deteriorate_found && !det_written) append("/DETERIORATE FILES/");
    if (sc.source_found && !source_written) append("/SOURCE CATEGORY/");
    if (!stage2_written) append("/STAGE II/");

    try {
        s.fs.write_file_atomic(out_path, out.bytes());
    } catch (const AppError& e) {
        report_open_failure(s, "2.3", e);
        return false;
    }
    return true;
}

}  // namespace qv
