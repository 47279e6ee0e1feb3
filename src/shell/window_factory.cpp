#include "shell/window_factory.h"

#include "shell/batch_window.h"
#include "shell/compare_window.h"
#include "shell/help_window.h"
#include "shell/run_record_window.h"
#include "shell/viewer_windows.h"

#include "dialogs/advanced/equip_dialog.h"
#include "dialogs/advanced/factor_dialog.h"
#include "dialogs/advanced/file_dialog.h"
#include "dialogs/advanced/geoalloc_dialog.h"
#include "dialogs/advanced/growth_dialog.h"
#include "dialogs/scenario/options_dialog.h"
#include "dialogs/scenario/period_dialog.h"
#include "dialogs/scenario/region_dialog.h"
#include "dialogs/scenario/sources_dialog.h"

#include <functional>
#include <map>

namespace qv {

namespace {

using Factory = std::function<QWidget*(Session&, QWidget*)>;

// One line per window: form name and how to make it.
const std::map<QString, Factory>& factories() {
    static const std::map<QString, Factory> table = {
        {"Current", [](Session& s, QWidget* m) { return new CurrentWindow(s, m); }},
        {"about", [](Session& s, QWidget* m) { return new AboutWindow(s, m); }},
        {"Help", [](Session&, QWidget* m) { return new HelpWindow(m); }},
        {"Compare", [](Session& s, QWidget* m) { return new CompareWindow(s, m); }},
        {"frmdiag", [](Session& s, QWidget* m) { return new DiagWindow(s, m); }},
        {"Options", [](Session& s, QWidget* m) { return new OptionsDialog(s, m); }},
        {"Periodfrm", [](Session& s, QWidget* m) { return new PeriodDialog(s, m); }},
        {"frmActiv", file_dialog_factory("frmActiv")},
        {"frmUSCountiesFIPS", file_dialog_factory("frmUSCountiesFIPS")},
        {"frmDaily", file_dialog_factory("frmDaily")},
        {"frmRetrofit", file_dialog_factory("frmRetrofit")},
        {"frmTech", file_dialog_factory("frmTech")},
        {"frmtemporal", file_dialog_factory("frmtemporal")},
        {"frmoptout", file_dialog_factory("frmoptout")},
        {"geoalloc", [](Session& s, QWidget* m) { return new GeoallocDialog(s, m); }},
        {"frmgrow", [](Session& s, QWidget* m) { return new GrowthDialog(s, m); }},
        {"frmEquip", [](Session& s, QWidget* m) { return new EquipDialog(s, m); }},
        {"Emiss",
         [](Session& s, QWidget* m) { return new FactorDialog(s, emission_factor_traits(), m); }},
        {"Deterior",
         [](Session& s, QWidget* m) {
             return new FactorDialog(s, deterioration_factor_traits(), m);
         }},
        {"Region", [](Session& s, QWidget* m) { return new RegionDialog(s, m); }},
        {"sorces", [](Session& s, QWidget* m) { return new SourcesDialog(s, m); }},
    };
    return table;
}

}  // namespace

QWidget* create_window(const QString& form_name, Session& s, QWidget* main,
                       const WindowContext* context) {
    // The two windows that use the main window's services and campaign.
    if (form_name == "RunRecord")
        return context ? new RunRecordWindow(s, context->services.hasher, main) : nullptr;
    if (form_name == "Batch") {
        if (!context)
            return nullptr;
        auto* window = new BatchWindow(s, context->campaign, context->services, main);
        window->set_open_check(context->may_open_scenario);
        return window;
    }
    auto it = factories().find(form_name);
    return it == factories().end() ? nullptr : it->second(s, main);
}

}  // namespace qv
