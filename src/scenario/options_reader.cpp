#include <array>
#include <functional>

#include "platform/app_error.h"
#include "platform/program_end.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv {

namespace {

struct Header {
    const char* text;
    bool Scenario::*found;
    std::function<void(Session&, LineReader&)> read;
};

const std::array<Header, 13>& headers() {
    static const std::array<Header, 13> table = {{
        {"/RUNFILES/", &Scenario::runfiles_found, read_runfiles_packet},
        {"/POP FILES/", &Scenario::pop_found, read_pop_packet},
        {"/OPTIONS/", &Scenario::options_found, read_options_packet},
        {"/PERIOD/", &Scenario::period_found, read_period_packet},
        {"/EMFAC FILES/", &Scenario::emfac_found,
         [](Session& s, LineReader& in) { read_factor_files_packet(s, in, true); }},
        {"/DETERIORATE FILES/", &Scenario::deteriorate_found,
         [](Session& s, LineReader& in) { read_factor_files_packet(s, in, false); }},
        {"/REGION/", &Scenario::region_found, read_region_packet},
        {"/SOURCE CATEGORY/", &Scenario::source_found, get_source_options},
        {"/ALLOC FILES/", &Scenario::alloc_found, read_alloc_packet},
        {"/GROWTH FILES/", &Scenario::growth_found, read_growth_packet},
        {"/STAGE II/", &Scenario::stage2_found, read_stage2_packet},
        {"/MODELYEAR OUT/", &Scenario::modelyear_found, read_modelyear_packet},
        {"/DAILY FILES/", &Scenario::daily_found, read_daily_packet},
    }};
    return table;
}

void clear_found_flags(Scenario& sc) {
    for (const auto& h : headers())
        sc.*(h.found) = false;
    sc.stage2_present = false;
    sc.daily_set = sc.deteriorate_set = sc.modelyear_set = false;
}

// The file could not be opened: nothing of the scenario has been touched.
struct Unopened {
    AppError error;
};

// A chooser of the reader's own: the file it names is read in full, or else the read it was
// called from holds only part of a file.
void choose_within_read(Session& s) {
    if (!choose_option_file(s))
        s.read_incomplete = true;
}

void read_body(Session& s) {
    Scenario& sc = s.sc;
    const std::string path = s.option_file_path();
    FileFacts facts;
    std::string bytes;
    try {
        bytes = s.fs.read_file_with_facts(path, facts);
    } catch (const AppError& e) {
        throw Unopened{e};
    }
    s.read_incomplete = false;
    sc.source_list.assign(1, SourceRecord{});
    clear_found_flags(sc);
    s.file_stamp = make_stamp(path, bytes, facts);
    LineReader in(std::move(bytes));
    while (!in.eof()) {
        std::string u = upper(ltrim(in.read()));
        for (const auto& h : headers()) {
            if (u.compare(0, std::string_view(h.text).size(), h.text) == 0) {
                sc.*(h.found) = true;
                h.read(s, in);
                if (in.put_back())
                    s.message(missing_end_text(h.text), Icon::Exclamation);
                else if (in.eof() && !in.closed())
                    s.message(missing_end_text(h.text, true), Icon::Exclamation);
                break;
            }
        }
    }

    if (!sc.region_found && !sc.alloc_found && !sc.emfac_found && !sc.growth_found &&
        !sc.pop_found && !sc.options_found && !sc.period_found && !sc.runfiles_found) {
        s.message("No packets found in the file: " + path +
                      "\nIt appears that this file is not a QUARVEL options file.",
                  Icon::Exclamation);
        choose_within_read(s);
        return;
    }

    static const std::pair<const char*, bool Scenario::*> required[] = {
        {"/REGION/", &Scenario::region_found},     {"/ALLOC FILES/", &Scenario::alloc_found},
        {"/EMFAC FILES/", &Scenario::emfac_found}, {"/POP FILES/", &Scenario::pop_found},
        {"/OPTIONS/", &Scenario::options_found},   {"/PERIOD/", &Scenario::period_found},
        {"/RUNFILES/", &Scenario::runfiles_found},
    };
    for (const auto& [header, found] : required) {
        if (sc.*found)
            continue;
        s.message(std::string("Cannot find the ") + header +
                      " packet in the options file.\nThe options file is corrupted.",
                  Icon::Exclamation);
        choose_within_read(s);
    }

    if (!sc.deteriorate_found)
        for (int i = 0; i <= 8; ++i)
            sc.deteriorate_files[i].clear();
    if (!sc.source_found)
        sc.source_subset = false;
    if (!sc.stage2_found)
        sc.stage2str = "0.0";
    if (!sc.modelyear_found) {
        sc.bmy_output_on = false;
        sc.run_files[rf::exhaust_bmy].clear();
        sc.run_files[rf::evap_bmy].clear();
    }
    if (!sc.daily_found)
        sc.run_files[rf::daily_temps].clear();

    // After a chooser of its own, the scenario is the chosen file's, which marked it itself.
    if (s.option_file_path() == path)
        s.mark_clean(in.take_bytes());
    s.set_caption_for_current_file();
    s.show_summary();
}

void restore_previous_name(Scenario& sc) {
    sc.option_file_name = sc.prev_option_file_name;
    sc.option_file_dir = sc.prev_option_file_dir;
}

// After a cancelled chooser: back to the previous file; when there is none, the chooser is
// shown once more, and a second cancel ends the read there (qvopt cannot ask and stops).
void after_cancel(Session& s) {
    restore_previous_name(s.sc);
    if (s.sc.option_file_name.empty()) {
        if (!s.ui.may_ask_again())
            throw ChooserStop{};
        try {
            choose_option_file(s);
        } catch (const AppError& e) {
            if (e.number() != err::cancelled)
                throw;
            restore_previous_name(s.sc);
        }
    }
    s.show_summary();
}

// The message of a failed read.
void report_read_failure(Session& s, const AppError& e) {
    if (e.number() == err::file_not_found)
        s.message("Cannot find options file: " + lower(s.option_file_path()));
    else
        s.message("Read options error " + e.description() + std::to_string(e.number()));
}

}  // namespace

bool read_options_file(Session& s) {
    try {
        read_body(s);
    } catch (const Unopened& u) {
        report_read_failure(s, u.error);
        // Before any file was read there is no scenario to keep.
        if (!s.clean)
            s.read_incomplete = true;
        return false;
    } catch (const ReadSuperseded&) {
    } catch (const AppError& e) {
        s.read_incomplete = true;
        if (e.number() == err::cancelled)
            after_cancel(s);
        else
            report_read_failure(s, e);
    } catch (const std::exception& e) {
        s.read_incomplete = true;
        s.message("Read options error " + std::string(e.what()) + "0");
    }
    return true;
}

bool choose_option_file(Session& s) {
    ChooserRequest request;
    request.title = "Select new option file ";
    request.filter = "Option files (*.opt)|*.opt|All files (*.*)|*.*";
    request.initial_dir = s.sc.option_file_dir;
    request.initial_name = s.sc.option_file_name;
    request.must_exist = true;
    auto chosen = s.ui.open_file(request);
    if (!chosen)
        throw cancelled_error();
    return read_options_file_at(s, *chosen);
}

bool read_options_file_at(Session& s, const std::string& path) {
    const std::string name = s.sc.option_file_name, dir = s.sc.option_file_dir;
    s.sc.option_file_name = split_file_name(path);
    s.sc.option_file_dir = split_dir(path);
    BusyPointer busy(s.ui);
    if (read_options_file(s))
        return true;
    // The scenario still belongs to the file it came from.
    s.sc.option_file_name = name;
    s.sc.option_file_dir = dir;
    return false;
}

}  // namespace qv
