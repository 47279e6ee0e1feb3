#include "dialogs/advanced/file_dialog_forms.h"

#include "dialogs/advanced/pick_file.h"
#include "platform/fs/path_form.h"

namespace qv {

namespace {

constexpr const char* change = "Change...";
constexpr const char* change_left = "<<Change";

FileRowForm input_row(const char* box, int entry, const char* filter) {
    FileRowForm r;
    r.box = box;
    r.button = "changeCommand";
    r.button_caption = change;
    r.entry = entry;
    r.filter = filter;
    return r;
}

FileRowForm labelled_row(const char* label_name, const char* label, const char* box,
                         const char* button, const char* caption, int entry, const char* filter) {
    FileRowForm r;
    r.label_name = label_name;
    r.label = label;
    r.box = box;
    r.button = button;
    r.button_caption = caption;
    r.entry = entry;
    r.filter = filter;
    return r;
}

FileDialogForm single(const char* form, const char* caption, FileRowForm row, const char* title,
                      const char* subdir) {
    FileDialogForm d;
    d.form = form;
    d.caption = caption;
    d.rows = {std::move(row)};
    d.chooser_title = title;
    d.data_subdir = subdir;
    return d;
}

std::vector<FileDialogForm> build_forms() {
    std::vector<FileDialogForm> all;

    FileRowForm activity =
        input_row("txtActivity", rf::activity, "ACTIVITY (*.DAT)|*.DAT|All files (*.*)|*.*");
    activity.empty_default = "data\\activity\\ACTIVITY.DAT";
    all.push_back(single("frmActiv", "Activity", activity, "Select Activity file", "ACTIVITY"));

    all.push_back(single("frmUSCountiesFIPS", "U.S. Counties FIPS",
                         input_row("txtUSCountiesFIPS", rf::us_counties_fips,
                                   "County FIPS (*.DAT)|*.DAT|All files (*.*)|*.*"),
                         "Select U.S. Counties FIPS file", "ALLOCATE"));

    FileDialogForm daily =
        single("frmDaily", "Daily Temp/RVP",
               input_row("txtDaily", rf::daily_temps, "DAYTMPRV (*.DAT)|*.DAT|All files (*.*)|*.*"),
               "Select Daily Temp/RVP file", "DAILY");
    daily.note_name = "lbldaily";
    daily.note =
        "Optional file containing 365 daily temperatures and fuel RVP inputs by state. This "
        "overrides the single values in Options.";
    all.push_back(daily);

    FileDialogForm retrofit =
        single("frmRetrofit", "Retrofit",
               input_row("txtRetrofit", rf::retrofit, "RETROFIT (*.DAT)|*.DAT|All files (*.*)|*.*"),
               "Select Retrofit file", "RETROFIT");
    retrofit.check_83 = false;
    all.push_back(retrofit);

    const char* tech = "TECH (*.DAT)|*.DAT|All files (*.*)|*.*";
    FileDialogForm phase;
    phase.form = "frmTech";
    phase.caption = "Phase In";
    phase.rows = {labelled_row("lblExhaustTech", "Exhaust Tech File", "txtExhaustTech",
                               "changeExhaustCommand", change, rf::exh_technology, tech),
                  labelled_row("lblEvaporativeTech", "Evaporative Tech File", "txtEvaporativeTech",
                               "changeEvaporativeCommand", change, rf::evp_technology, tech)};
    phase.chooser_title = "Select Phase in file";
    phase.data_subdir = "TECH";
    all.push_back(phase);

    const char* season = "Season (*.dat)|*.dat|All files (*.*)|*.*";
    FileDialogForm temporal;
    temporal.form = "frmtemporal";
    temporal.caption = "Temporal Allocation";
    temporal.rows = {labelled_row("lblseason", "Seasonal File", "txtSeason", "cmdChange0",
                                  change_left, rf::seasonality, season),
                     labelled_row("lblRegion", "Region File", "txtRegion", "cmdChange1",
                                  change_left, rf::regions, season)};
    temporal.chooser_title = "Select Seasonal Allocation file";
    temporal.data_subdir = "SEASON";
    temporal.centred = false;
    temporal.ok = OkRule::TestThenClose;
    temporal.store_on_close = true;
    // The Region dialog rebuilds these files from its own choices.
    temporal.pick_warning = "Calling Region will negate any changes";
    all.push_back(temporal);

    FileDialogForm out;
    out.form = "frmoptout";
    out.caption = "Optional Output";
    FileRowForm lnv = labelled_row("lbllnv", "LNV File", "txtlnv", "cmdChange1", change_left,
                                   rf::lnv, "LNV (*.lnv)|*.lnv|All files (*.*)|*.*");
    lnv.shown = false;
    FileRowForm bmy = labelled_row("", "", "txtbmy", "cmdChange2", change_left, -1,
                                   "BMY (*.bm?)|*.bm?|All files (*.*)|*.*");
    bmy.initial_text = "Textbmy";
    bmy.shown = false;
    out.rows = {labelled_row("lblkpz", "KPZ File", "txtkpz", "cmdChange0", change_left,
                             rf::kpz2_rdl, "KPZ (*.kpz)|*.kpz|All files (*.*)|*.*"),
                lnv, bmy};
    out.chooser_title = "Select Output file";
    out.remember_name = false;
    out.centred = false;
    out.ok = OkRule::Close;
    out.store_on_close = true;
    all.push_back(out);

    return all;
}

}  // namespace

const std::vector<FileDialogForm>& file_dialog_forms() {
    static const std::vector<FileDialogForm> forms = build_forms();
    return forms;
}

const FileDialogForm* file_dialog_form(const std::string& form) {
    for (const auto& form_data : file_dialog_forms())
        if (form_data.form == form)
            return &form_data;
    return nullptr;
}

std::string chooser_initial_dir(const Session& s, const FileDialogForm& form_data) {
    return form_data.data_subdir.empty() ? s.sc.output_dir
                                         : join_path(s.settings.data_dir, form_data.data_subdir);
}

std::optional<std::size_t> first_missing_file(const Session& s,
                                              const std::vector<std::string>& texts) {
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (!named_file_exists(s, texts[i]))
            return i;
    return std::nullopt;
}

std::string stored_text(const FileRowForm& row, const std::string& text) {
    return text.empty() && !row.empty_default.empty() ? row.empty_default : text;
}

void store_by_model_year(Scenario& sc, bool generate) {
    // Set in this session: a file without the by-model-year packet gets one.
    if (generate && !sc.bmy_output_on)
        sc.modelyear_set = true;
    sc.bmy_output_on = generate;
    if (!generate) {
        sc.run_files[rf::exhaust_bmy].clear();
        sc.run_files[rf::evap_bmy].clear();
    }
}

}  // namespace qv
