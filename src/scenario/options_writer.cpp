#include <algorithm>
#include <functional>

#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv {

void skip_to_end(LineReader& in, std::string_view header) {
    PacketEnd end(header);
    while (!in.eof()) {
        const std::string& line = in.read();
        if (ends_at_header(in, line) || end.take(line))
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

// Copies `input` line by line, replacing the packets whose rewrite rule holds with fresh ones
// and appending those the rules add at the end: the text a save writes, "Written by" line first.
std::string merge_options(Session& s, std::string input) {
    const Scenario& sc = s.sc;
    LineWriter out;
    // About as long as the input: grown once instead of doubling its way there.
    out.reserve(input.size() + input.size() / 8 + 4096);
    out.line(written_by_stamp + s.now_text());
    LineReader in(std::move(input));
    bool det_written = false, source_written = false, stage2_written = false, daily_written = false,
         modelyear_written = false;
    // Inside a packet that is copied unchanged, until the line its reader ends it at: it gets an
    // "/END/" of its own only when the input's packet ends at the next header or at the end of
    // the file without one.
    std::optional<PacketEnd> copying;
    try {
        while (!in.eof()) {
            // Used before the next read only.
            const std::string& line = in.read();
            const std::string_view header = packet_header_of(line);
            if (!header.empty()) {
                if (copying)
                    out.line("/END/");
                copying.reset();
                const Rewrite* hit = nullptr;
                for (const auto& r : rewrites())
                    if (header == r.header && r.when(sc)) {
                        hit = &r;
                        break;
                    }
                if (!hit) {
                    out.line(line);
                    copying.emplace(header);
                    continue;
                }
                det_written |= header == "/DETERIORATE FILES/";
                source_written |= header == "/SOURCE CATEGORY/";
                stage2_written |= header == "/STAGE II/";
                daily_written |= header == "/DAILY FILES/";
                modelyear_written |= header == "/MODELYEAR OUT/";
                skip_to_end(in, header);
                write_packet(s, out, *hit);
                continue;
            }
            if (copying && copying->take(line))
                copying.reset();
            const std::string_view lead =
                std::string_view(line).substr(std::min(line.find_first_not_of(' '), line.size()));
            if ((lead.size() > 0 && lead[0] == '/') || (lead.size() > 1 && lead[1] == '/') ||
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
    if (sc.modelyear_set && sc.bmy_output_on && !modelyear_written)
        append("/MODELYEAR OUT/");
    if (sc.daily_set && !daily_written)
        append("/DAILY FILES/");
    return out.take();
}

// Why a save wrote nothing; shown once the file is no longer locked.
struct SaveRefusal {
    const char* step;  // the run log's step number
    AppError error;
    bool changed_on_disk = false;
    bool busy = false;  // another program held the file past the wait
};

std::optional<SaveRefusal> merge_and_write(Session& s, const std::string& out_path) {
    const std::string out_dir = split_dir(out_path);
    auto dir = s.fs.facts(out_dir.empty() ? std::string(1, host_separator) : out_dir);
    if (!dir || !dir->is_dir)
        return SaveRefusal{"2.3", path_access_error()};
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
    } catch (const FileBusyError& e) {
        return SaveRefusal{"2.3", e, false, true};
    } catch (const AppError& e) {
        return SaveRefusal{"2.3", e};
    }
    try {
        input = s.fs.read_file_with_facts(in_path, in_facts);
    } catch (const AppError& e) {
        // A file that is gone lives on in the text it held when it was last read or saved: a
        // save under another name merges into that.
        if (onto_input || e.number() != err::file_not_found || !s.clean || !s.file_stamp ||
            s.file_stamp->path != in_path)
            return SaveRefusal{"2.4", e};
        input = s.clean->bytes;
    }
    if (onto_input && s.file_stamp && s.file_stamp->path == in_path &&
        *s.file_stamp != make_stamp(in_path, input, in_facts))
        return SaveRefusal{"2.3", AppError(0, ""), true};

    std::string merged = merge_options(s, std::move(input));
    try {
        FileFacts written = s.fs.write_file_atomic(out_path, merged);
        s.file_stamp = make_stamp(out_path, merged, written);
    } catch (const FileBusyError& e) {
        return SaveRefusal{"2.3", e, false, true};
    } catch (const AppError& e) {
        return SaveRefusal{"2.3", e};
    }
    s.mark_clean(std::move(merged));
    return std::nullopt;
}

// A scenario whose messages go nowhere, for rendering what a save would write.
class SilentUi final : public Ui {
  public:
    Button message(const std::string&, const std::optional<std::string>&, Icon, Buttons) override {
        return Button::Ok;
    }
    std::optional<std::string> open_file(const ChooserRequest&) override { return std::nullopt; }
    std::optional<std::string> save_file(const ChooserRequest&) override { return std::nullopt; }
    std::optional<std::string> choose_directory(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void busy(bool) override {}
    void beep() override {}
    void process_events() override {}
};

// The text a save of `sc` into `input` writes, without its "Written by" line.
std::string rendered_without_stamp(const Session& s, const Scenario& sc, const std::string& input) {
    SilentUi ui;
    Session scratch(ui, s.fs, s.reference);
    scratch.sc = sc;
    scratch.settings = s.settings;
    scratch.log.open_in_memory();
    scratch.now_text = [] { return std::string(); };
    std::string text = merge_options(scratch, input);
    return text.substr(text.find('\n') + 1);
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

std::string being_saved_text(const std::string& path) {
    return path +
           " is being saved by another program.\nNothing was written; save again when that "
           "program has finished.";
}

bool write_options_to(Session& s, const std::string& out_path) {
    // Every message comes after the file's lock is released: a box may stay open for as long
    // as the user likes, and another program's save must not wait for it.
    const std::optional<SaveRefusal> refusal = merge_and_write(s, out_path);
    if (!refusal)
        return true;
    s.log.write("Newoptions code " + number_text(refusal->step) + s.sc.option_file_name);
    if (refusal->changed_on_disk)
        s.message(changed_on_disk_text(s.option_file_path()));
    else if (refusal->busy)
        s.message(being_saved_text(s.option_file_path()), Icon::Exclamation);
    else
        s.message("file error " + std::to_string(refusal->error.number()));
    return false;
}

bool write_options_file(Session& s) {
    return write_options_to(s, join_path(s.sc.save_file_dir, s.sc.save_file_name));
}

bool has_unsaved_changes(const Session& s) {
    if (s.read_incomplete || !s.clean)
        return false;
    // Both sides are rendered with the changed flags as they are now: an OK that changed no
    // value rewrites its packet as it was, so it counts as no change.
    Scenario then = s.clean->sc;
    const Scenario& now = s.sc;
    then.options_changed = now.options_changed;
    then.stage2_changed = now.stage2_changed;
    then.period_changed = now.period_changed;
    then.region_changed = now.region_changed;
    then.pop_files_changed = now.pop_files_changed;
    then.alloc_files_changed = now.alloc_files_changed;
    then.emfac_changed = now.emfac_changed;
    then.growth_changed = now.growth_changed;
    // Equal scenarios render alike: no need to render them to know.
    if (then == now)
        return false;
    return rendered_without_stamp(s, now, s.clean->bytes) !=
           rendered_without_stamp(s, then, s.clean->bytes);
}

}  // namespace qv
