#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv {

Name83 check_83_name(Session& s, const std::string& path) {
    std::string name = split_file_name(path);
    std::size_t dot = name.find('.');
    if (dot == std::string::npos)
        return Name83::NoPeriod;
    std::string base = name.substr(0, dot);
    if (character_count(base) <= 8)
        return Name83::Accepted;
    s.message(base + "\nFilename too long: Must be 8 characters max before period",
              Icon::Exclamation);
    return Name83::TooLong;
}

bool update_default_option_file(Session& s) {
    Scenario& sc = s.sc;
    // The file is written beside the target under its one temporary name and then takes the
    // target's place; save_file_name names that temporary file.
    sc.save_file_name = save_temp_name(sc.option_file_name);
    sc.save_file_dir = sc.option_file_dir;
    bool written;
    {
        BusyPointer busy(s.ui);
        written = write_options_to(s, s.option_file_path());
    }
    s.set_caption_for_current_file();
    return written;
}

bool save_options_as(Session& s, const std::string& chosen) {
    Scenario& sc = s.sc;
    if (same_path_text(chosen, s.option_file_path()) ||
        s.fs.same_file(chosen, s.option_file_path())) {
        BusyPointer busy(s.ui);
        return update_default_option_file(s);
    }
    sc.save_file_name = split_file_name(chosen);
    sc.save_file_dir = split_dir(chosen);
    bool written;
    {
        BusyPointer busy(s.ui);
        std::string results = sc.save_file_dir;
        // Asked by name first: a folder that thousands of variants are saved into has none,
        // which the host may know without looking again.
        std::optional<FileFacts> outputs;
        if (const auto name = s.fs.entry_on_disk(sc.save_file_dir, "outputs"))
            outputs = s.fs.facts(join_path(sc.save_file_dir, *name));
        if (outputs && outputs->is_dir)
            results = join_path(sc.save_file_dir, "outputs");
        std::size_t dot = sc.save_file_name.find('.');
        std::string base =
            dot == std::string::npos ? std::string() : sc.save_file_name.substr(0, dot + 1);
        sc.message_dir = sc.output_dir = results;
        sc.message_file_name = base + "MSG";
        sc.output_file_name = base + "OUT";
        sc.run_files[rf::message] = join_path(sc.message_dir, sc.message_file_name);
        sc.run_files[rf::output_data] = join_path(sc.output_dir, sc.output_file_name);
        if (sc.bmy_output_on) {
            sc.bmy_exhaust_file_name = base + "BMX";
            sc.bmy_evap_file_name = base + "BMV";
            sc.run_files[rf::exhaust_bmy] = join_path(sc.output_dir, sc.bmy_exhaust_file_name);
            sc.run_files[rf::evap_bmy] = join_path(sc.output_dir, sc.bmy_evap_file_name);
        } else {
            sc.run_files[rf::exhaust_bmy].clear();
            sc.run_files[rf::evap_bmy].clear();
        }
        written = write_options_file(s);
    }
    if (!written)
        return false;
    sc.prev_option_file_name = sc.option_file_name;
    sc.prev_option_file_dir = sc.option_file_dir;
    sc.option_file_name = sc.save_file_name;
    sc.option_file_dir = sc.save_file_dir;
    s.set_caption_for_current_file();
    s.show_summary();
    return true;
}

namespace {

bool offer_save_as(Session& s) {
    return s.message("Save the scenario under another name?", Icon::Question, Buttons::YesNo) ==
               Button::Yes &&
           file_save_as(s);
}

// Another program changed the file since it was read: the scenario is kept under another
// name, or the file is taken as that program left it. Answering No twice leaves both as they
// are. True when the scenario was saved under another name.
bool offer_after_changed_file(Session& s) {
    if (s.message("Save the scenario under another name?", Icon::Question, Buttons::YesNo) ==
        Button::Yes)
        return file_save_as(s);
    if (s.message("Re-open " + s.option_file_path() +
                      " as it is now?\nThe changes made here since it was read are lost.",
                  Icon::Question, Buttons::YesNo) == Button::Yes) {
        s.sc.prev_option_file_name = s.sc.option_file_name;
        s.sc.prev_option_file_dir = s.sc.option_file_dir;
        BusyPointer busy(s.ui);
        read_options_file(s);
    }
    return false;
}

}  // namespace

bool file_save(Session& s) {
    bool saved;
    {
        BusyPointer busy(s.ui);
        saved = update_default_option_file(s);
    }
    if (!saved) {
        // A file that is gone is no conflict: there is nothing to re-open, and the scenario in
        // the window is all there is of it.
        if (!s.fs.facts(s.option_file_path()))
            saved = offer_save_as(s);
        else if (changed_since_read(s))
            saved = offer_after_changed_file(s);
    }
    s.fs.set_current_dir(s.settings.app_dir);
    return saved;
}

bool file_save_as(Session& s) {
    bool saved = false;
    try {
        std::string chosen;
        for (;;) {
            ChooserRequest request;
            request.title = "Save option file as ";
            request.filter = "Option files (*.opt)|*.opt|All files (*.*)|*.*";
            request.initial_dir = s.sc.option_file_dir;
            request.initial_name = s.sc.option_file_name;
            request.overwrite_prompt = true;
            auto picked = s.ui.save_file(request);
            if (!picked)
                throw cancelled_error();
            Name83 rule = check_83_name(s, *picked);
            if (rule == Name83::TooLong)
                continue;
            if (rule == Name83::NoPeriod)
                throw invalid_argument_error();
            chosen = *picked;
            break;
        }
        saved = save_options_as(s, chosen);
    } catch (const AppError& e) {
        s.log.write("Cancelled error  2 ");
        s.untitled_message("Error: Cannot save file: Error " + std::to_string(e.number()));
    }
    s.back_to_app_dir();
    return saved;
}

}  // namespace qv
