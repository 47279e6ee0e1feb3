#include "dialogs/batch/make_variants_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "dialogs/batch/session_copy.h"
#include "platform/fs/path_form.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "scenario/region_rules.h"

namespace qv {

namespace {

QString region_caption(const std::vector<std::string>& states) {
    if (states.size() > 6)
        return QString("One per state of its &region (%1 states)").arg(states.size());
    QStringList abbrs;
    for (const std::string& abbr : states)
        abbrs << display_text(abbr);
    return "One per state of its &region: " + abbrs.join(", ");
}

}  // namespace

MakeVariantsDialog::MakeVariantsDialog(Session& s, QWidget* parent)
    : QDialog(parent),
      s_(s),
      queries_(session_copy(s, s.ui)),
      quiet_(session_copy(s, quiet_ui_)),
      planner_(*queries_) {
    setObjectName("MakeVariants");
    setWindowTitle("Make variants");

    auto* template_label =
        new QLabel("Template: " + display_text(s.fs.host_path(s.option_file_path())));
    template_label->setObjectName("template");
    template_label->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* region_box = new QGroupBox("Region");
    auto* region_layout = new QVBoxLayout(region_box);
    region_ = new QButtonGroup(this);
    const std::pair<const char*, QString> options[] = {
        {"keep", "&As the template has it"},
        {"each_state", region_caption(runs::region_states(*quiet_))},
        {"chosen_states", "One per &chosen state"},
        {"each_county", "One per c&ounty of the chosen states"},
    };
    for (int i = 0; i < 4; ++i) {
        auto* option = new QRadioButton(options[i].second);
        option->setObjectName(options[i].first);
        region_->addButton(option, i);
        region_layout->addWidget(option);
    }
    region_->button(0)->setChecked(true);
    auto* states_label = new QLabel("&States:");
    states_ = new QListWidget;
    states_->setObjectName("States");
    states_label->setBuddy(states_);
    for (const auto& state : build_state_regions(s.state_table)) {
        auto* item = new QListWidgetItem(display_text(state->statename));
        item->setData(Qt::UserRole, QString::fromStdString(state->abbr));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        states_->addItem(item);
    }
    region_layout->addWidget(states_label);
    region_layout->addWidget(states_, 1);

    years_ = new QLineEdit;
    years_->setObjectName("years");
    years_->setPlaceholderText("2020, 2025, 2030");
    years_->setToolTip("One variant per episode year; several years combine with the region.");
    growth_years_ = new QLineEdit;
    growth_years_->setObjectName("growth_years");
    growth_years_->setToolTip("One variant per growth year; leave empty to keep the template's.");
    tech_years_ = new QLineEdit;
    tech_years_->setObjectName("tech_years");
    tech_years_->setToolTip("One variant per technology year; leave empty to keep the template's.");
    folder_ = new QLineEdit;
    folder_->setObjectName("folder");
    folder_->setText(display_text(s.fs.host_path(join_path(s.sc.option_file_dir, "variants"))));
    auto* browse_button = new QPushButton("&Browse...");
    browse_button->setObjectName("browse");
    browse_button->setAutoDefault(false);
    auto* folder_row = new QHBoxLayout;
    folder_row->addWidget(folder_, 1);
    folder_row->addWidget(browse_button);
    auto* fields = new QFormLayout;
    fields->addRow("Episode &years:", years_);
    fields->addRow("&Growth years:", growth_years_);
    fields->addRow("&Tech years:", tech_years_);
    auto* folder_label = new QLabel("&Folder:");
    folder_label->setBuddy(folder_);
    fields->addRow(folder_label, folder_row);

    count_ = new QLabel;
    count_->setObjectName("count");
    count_->setWordWrap(true);
    preview_ = new QTreeWidget;
    preview_->setObjectName("preview");
    preview_->setHeaderLabels({"File", "Varies"});
    preview_->setRootIsDecorated(false);
    preview_->setSelectionMode(QAbstractItemView::NoSelection);
    preview_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    preview_->header()->setStretchLastSection(true);

    auto* right = new QVBoxLayout;
    right->addLayout(fields);
    right->addWidget(count_);
    right->addWidget(preview_, 1);

    auto* columns = new QHBoxLayout;
    columns->addWidget(region_box);
    columns->addLayout(right, 1);

    auto* buttons = new QDialogButtonBox;
    ok_ = buttons->addButton(QDialogButtonBox::Ok);
    ok_->setObjectName("ok");
    auto* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName("cancel");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(template_label);
    layout->addLayout(columns, 1);
    layout->addWidget(buttons);
    resize(820, 480);
    center_on(this, parent);

    connect(region_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            refresh();
    });
    connect(states_, &QListWidget::itemChanged, this, &MakeVariantsDialog::refresh);
    for (QLineEdit* box : {years_, growth_years_, tech_years_})
        connect(box, &QLineEdit::textChanged, this, &MakeVariantsDialog::refresh);
    connect(folder_, &QLineEdit::textChanged, this, &MakeVariantsDialog::refresh);
    connect(browse_button, &QPushButton::clicked, this, &MakeVariantsDialog::browse);
    connect(ok_, &QPushButton::clicked, this, &MakeVariantsDialog::ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    refresh();
}

MakeVariantsDialog::~MakeVariantsDialog() = default;

VariantRequest MakeVariantsDialog::request() const {
    VariantRequest r;
    r.region = static_cast<RegionVariation>(region_->checkedId());
    if (r.region == RegionVariation::chosen_states || r.region == RegionVariation::each_county)
        for (int i = 0; i < states_->count(); ++i)
            if (states_->item(i)->checkState() == Qt::Checked)
                r.states.push_back(states_->item(i)->data(Qt::UserRole).toString().toStdString());
    r.years = program_text(years_->text());
    r.growth_years = program_text(growth_years_->text());
    r.tech_years = program_text(tech_years_->text());
    return r;
}

std::string MakeVariantsDialog::folder() const {
    const std::string typed = program_text(folder_->text().trimmed());
    if (typed.empty() || is_path_separator(typed.front()))
        return typed;
    return s_.fs.host_path(join_path(s_.sc.option_file_dir, typed));
}

void MakeVariantsDialog::refresh() {
    const VariantRequest r = request();
    states_->setEnabled(r.region == RegionVariation::chosen_states ||
                        r.region == RegionVariation::each_county);
    quiet_ui_.forget();
    const auto plan = planner_.plan(*quiet_, r);
    preview_->clear();
    const std::string extension = variant_extension(s_.sc.option_file_name);
    QList<QTreeWidgetItem*> rows;
    for (const runs::Variant& v : plan->variants)
        rows << new QTreeWidgetItem(
            QStringList{display_text(v.base + extension), display_text(v.comment)});
    if (!plan->variants.empty())
        rows << new QTreeWidgetItem(QStringList{"campaign.txt", "the list of the files above"});
    preview_->addTopLevelItems(rows);

    const std::string dir = folder();
    QString text;
    if (!plan->refusal.empty()) {
        text = display_text(quiet_ui_.first_message().empty() ? plan->refusal
                                                              : quiet_ui_.first_message());
    } else {
        const std::size_t n = plan->variants.size();
        text = QString("%1 options file%2 and campaign.txt will be written")
                   .arg(n)
                   .arg(n == 1 ? "" : "s");
        text += dir.empty() ? QString(": choose a folder.") : " into\n" + display_text(dir) + ":";
    }
    count_->setText(text);
    count_->setStyleSheet(plan->refusal.empty() || plan->incomplete ? QString()
                                                                    : QString("color: #b00000"));
    ok_->setEnabled(plan->refusal.empty() && !dir.empty());
}

void MakeVariantsDialog::browse() {
    const std::string start = folder().empty() ? s_.sc.option_file_dir : folder();
    const auto chosen = s_.ui.choose_directory("Folder for the variants", start);
    if (chosen)
        folder_->setText(display_text(s_.fs.host_path(*chosen)));
}

void MakeVariantsDialog::ok() {
    const std::string dir = folder();
    if (dir.empty())
        return;
    // The checks again, now with their boxes: the user sees why OK did nothing.
    const auto checks = session_copy(s_, s_.ui);
    const auto plan = planner_.plan(*checks, request());
    if (!plan->refusal.empty()) {
        if (!plan->refusal_shown)
            s_.message(plan->refusal, Icon::Exclamation);
        return;
    }
    const auto existing =
        existing_variant_files(s_.fs, dir, *plan, variant_extension(s_.sc.option_file_name));
    bool force = false;
    if (!existing.empty()) {
        std::string question = existing.front() + " exists";
        if (existing.size() > 1)
            question += " (and " + std::to_string(existing.size() - 1) + " more of the files)";
        question += ".\nOverwrite the files that exist?";
        if (s_.message(question, Icon::Question, Buttons::YesNo) != Button::Yes)
            return;
        force = true;
    }
    list_path_ = write_variant_plan(s_, dir, *plan, force);
    if (list_path_)
        accept();
}

std::optional<std::string> make_variants(Session& s, QWidget* parent) {
    if (s.read_incomplete) {
        s.message(s.fs.host_path(s.option_file_path()) + " was not read in full",
                  Icon::Exclamation);
        return std::nullopt;
    }
    MakeVariantsDialog dialog(s, parent);
    dialog.exec();
    return dialog.list_path();
}

}  // namespace qv
