#include "dialogs/advanced/factor_dialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <vector>

#include "dialogs/advanced/file_dialog_forms.h"
#include "dialogs/advanced/list_rules.h"
#include "dialogs/advanced/pick_file.h"
#include "platform/fs/path_form.h"
#include "platform/qt/program_ending.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"

namespace qv {

const std::array<const char*, emission_type_count> factor_label_captions = {
    "THC Exhaust",
    "CO Exhaust",
    "NOX Exhaust",
    "PM Exhaust",
    "BSFC",
    "Crankcase",
    "Spillage",
    "Diurnal",
    "Tank Permeation",
    "Non-marine Hose Permeation",
    "Marine Fill Neck Permeation",
    "Marine Supply Hose Permeation",
    "Marine Vent Hose Permeation",
    "Hot Soak",
    "Running Loss",
};

const std::array<const char*, emission_type_count> factor_menu_captions = {
    "&THC exhaust",       "&CO exhaust",       "&NOX exhaust",  "&PM exhaust", "&BSFC",
    "C&rankcase",         "&Spillage",         "&Diurnal",      "Tan&k Perm",  "Non-RM H&ose Perm",
    "RM &Fill Neck Perm", "RM S&upply/Return", "RM &Vent Perm", "&Hot Soaks",  "Runing&Loss",
};

const FactorDialogTraits& emission_factor_traits() {
    static const FactorDialogTraits traits = {
        "Emiss",
        "EmissionFactors",
        &Scenario::emfac_files,
        &ListDialogMemory::emiss_cancelled,
        "Emissions (*.EMF)|*.EMF|All files (*.*)|*.*",
        "emsfac",
        {true, true, true, true, true, true, true, true, true, true, true, true, true, true, true},
        true,
    };
    return traits;
}

const FactorDialogTraits& deterioration_factor_traits() {
    // BSFC, crankcase and spillage keep their boxes, hidden, while their labels and menu
    // entries stay.
    static const FactorDialogTraits traits = {
        "Deterior",
        "Deterioration Factors",
        &Scenario::deteriorate_files,
        &ListDialogMemory::deterior_cancelled,
        "Deterioration (*.DET)|*.DET|All files (*.*)|*.*",
        "detfac",
        {true, true, true, true, false, false, false, true, true, true, true, true, true, true,
         true},
        false,
    };
    return traits;
}

FactorDialog::FactorDialog(Session& s, const FactorDialogTraits& traits, QWidget* parent)
    : QWidget(parent, Qt::Window),
      s_(s),
      traits_(traits),
      cancelled_(s.list_dialogs.*traits.cancelled),
      emfac_changed_before_(s.sc.emfac_changed) {
    setObjectName(traits.form);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8(traits.caption));

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    QMenu* menu = bar->addMenu(QStringLiteral("&Add/Change files"));
    menu->setObjectName("mnuadel");
    layout->setMenuBar(bar);

    auto* grid = new QGridLayout;
    grid->setColumnMinimumWidth(1, 380);
    grid->setColumnStretch(1, 1);
    for (int i = 0; i < emission_type_count; ++i) {
        const auto at = static_cast<std::size_t>(i);
        auto* label = new QLabel(QString::fromUtf8(factor_label_captions[at]), this);
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("df_emfac%1").arg(i));
        box->setVisible(traits.box_shown[at]);
        grid->addWidget(label, i, 0);
        grid->addWidget(box, i, 1);
        boxes_[at] = box;
        connect(box, &QLineEdit::returnPressed, this, &FactorDialog::test_exist);
        if (traits.marks_emfac)
            connect(box, &QLineEdit::textChanged, this, [this] { s_.sc.emfac_changed = true; });

        QAction* entry = menu->addAction(QString::fromUtf8(factor_menu_captions[at]));
        entry->setObjectName(QStringLiteral("mnuDF%1").arg(i));
        connect(entry, &QAction::triggered, this, [this, i] { pick(i); });
    }
    layout->addLayout(grid);

    auto* leave = new QHBoxLayout;
    leave->addStretch(1);
    auto* ok_button = new QPushButton(QStringLiteral("OK"), this);
    ok_button->setObjectName("CmdLeave1");
    auto* cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_button->setObjectName("CmdLeave0");
    for (QPushButton* b : {ok_button, cancel_button}) {
        b->setAutoDefault(false);
        leave->addWidget(b);
    }
    layout->addLayout(leave);
    connect(ok_button, &QPushButton::clicked, this, &FactorDialog::test_exist);
    connect(cancel_button, &QPushButton::clicked, this, &FactorDialog::cancel);

    adjustSize();
    center_form(this);
    const auto& files = s.sc.*traits.files;
    for (std::size_t i = 0; i < boxes_.size(); ++i)
        set_program_text(boxes_[i], files[i]);
    // Opening counts as a change of the boxes, even where the text stays empty.
    if (traits.marks_emfac)
        s.sc.emfac_changed = true;
}

void FactorDialog::pick(int type) {
    const auto at = static_cast<std::size_t>(type);
    const std::string name = menu_display_name(factor_menu_captions[at]);
    std::optional<std::string> path =
        pick_file(s_,
                  open_request("Select a " + name + " file", traits_.filter, 1,
                               join_path(s_.settings.data_dir, traits_.subdir)),
                  true);
    if (path)
        set_program_text(boxes_[at], *path);
    else
        s_.back_to_app_dir();
}

void FactorDialog::test_exist() {
    std::vector<std::string> texts;
    for (QLineEdit* box : boxes_)
        texts.push_back(program_text(box));
    if (auto missing = first_missing_file(s_, texts)) {
        report_missing_file(s_, texts[*missing]);
        return;
    }
    cancelled_ = false;
    close();
}

void FactorDialog::cancel() {
    cancelled_ = true;
    // Nothing of this visit is kept, so the packet is not to be rewritten for it either.
    if (traits_.marks_emfac)
        s_.sc.emfac_changed = emfac_changed_before_;
    close();
}

void FactorDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        cancel();
    else
        QWidget::keyPressEvent(event);
}

void FactorDialog::closeEvent(QCloseEvent* event) {
    if (!cancelled_ && !program_ending()) {
        auto& files = s_.sc.*traits_.files;
        for (std::size_t i = 0; i < boxes_.size(); ++i) {
            const std::string text = program_text(boxes_[i]);
            // A file without the deterioration packet gets one when the user names a file in
            // this visit; entries the window only showed (kept from a file read earlier) are
            // no choice of the user's.
            if (traits_.files == &Scenario::deteriorate_files && !text.empty() && text != files[i])
                s_.sc.deteriorate_set = true;
            files[i] = text;
        }
    }
    event->accept();
}

}  // namespace qv
