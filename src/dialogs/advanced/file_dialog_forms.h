#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "scenario/session.h"

namespace qv {

// One text box of a file dialog, with its label and the button that runs the chooser.
struct FileRowForm {
    std::string box;         // objectName of the text box
    std::string label_name;  // empty: the box has no label
    std::string label;
    std::string button;  // objectName of the chooser button
    std::string button_caption;
    int entry = -1;  // run_files index the box edits; -1: shown only, never stored
    std::string filter;
    std::string initial_text;   // the text of a box that edits no entry
    std::string empty_default;  // stored instead of an empty box
    bool shown = true;          // hidden rows are neither visible nor enabled
};

// What OK does.
enum class OkRule {
    TestResetStore,  // first missing file: message, box back to its entry; else store, close
    TestThenClose,   // first missing file: message, boxes kept; else close (closing stores)
    Close,           // close at once (output files: nothing to test)
};

// The data that tells the single-file dialogs apart.
struct FileDialogForm {
    std::string form;
    std::string caption;
    std::string note_name;  // empty: no explanation label
    std::string note;
    std::vector<FileRowForm> rows;
    std::string chooser_title;
    std::string data_subdir;  // chooser starts in data_dir + this; empty: in output_dir
    bool check_83 = true;
    bool remember_name = true;  // the chooser offers its last choice again
    bool centred = true;
    OkRule ok = OkRule::TestResetStore;
    bool store_on_close = false;  // every close but Cancel and Esc stores the boxes
    std::string pick_warning;     // shown by a storing close after a pick
};

// The seven dialogs, by form name; nullptr for any other name.
const FileDialogForm* file_dialog_form(const std::string& form);
const std::vector<FileDialogForm>& file_dialog_forms();

// The directory the dialog's chooser opens in.
std::string chooser_initial_dir(const Session& s, const FileDialogForm& form_data);

// The index of the first text whose file is missing; nullopt when all pass.
std::optional<std::size_t> first_missing_file(const Session& s,
                                              const std::vector<std::string>& texts);

// What a box stores: its text, or the row's default when it is empty.
std::string stored_text(const FileRowForm& row, const std::string& text);

// The by-model-year request of the Optional Output dialog: turning it off forgets both names.
void store_by_model_year(Scenario& sc, bool generate);

}  // namespace qv
