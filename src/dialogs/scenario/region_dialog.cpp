#include "dialogs/scenario/region_dialog.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "platform/qt/program_ending.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "scenario/packets.h"
#include "scenario/region_rules.h"

namespace qv {

namespace {

QListWidget* make_list(const char* name, QAbstractItemView::SelectionMode mode) {
    auto* list = new QListWidget;
    list->setObjectName(name);
    list->setSelectionMode(mode);
    list->setUniformItemSizes(true);
    return list;
}

QWidget* labelled(const QString& caption, QListWidget* list) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(caption);
    label->setBuddy(list);
    layout->addWidget(label);
    layout->addWidget(list);
    return box;
}

}  // namespace

RegionDialog::RegionDialog(Session& s, QWidget* parent) : QWidget(parent, Qt::Window), s_(s) {
    setObjectName("Region");
    setWindowTitle("Region");
    setAttribute(Qt::WA_DeleteOnClose);

    auto* sel_reg = new QGroupBox("Region");
    sel_reg->setObjectName("selReg");
    auto* level_layout = new QVBoxLayout(sel_reg);
    optreg_ = new QButtonGroup(this);
    const char* level_captions[] = {"50 States", "State", "County", "US Total", "Option1"};
    for (int i = 0; i < 5; ++i) {
        auto* option = new QRadioButton(level_captions[i]);
        option->setObjectName(QString("optreg_%1").arg(i));
        optreg_->addButton(option, i);
        level_layout->addWidget(option);
        // "Option1" is no level of the file format: it stays out of sight.
        if (i == 4)
            option->hide();
    }
    level_layout->addStretch();

    states_ = make_list("States", QAbstractItemView::SingleSelection);
    counties_ = make_list("Counties", QAbstractItemView::SingleSelection);
    regselect_ = make_list("Regselect", QAbstractItemView::ExtendedSelection);
    auto* current = new QGroupBox("Current selection");
    (new QVBoxLayout(current))->addWidget(regselect_);

    addsel_ = new QPushButton("Add");
    addsel_->setObjectName("AddSel");
    auto* delsel = new QPushButton("Del");
    delsel->setObjectName("Delsel");
    auto* ok_button = new QPushButton("OK");
    ok_button->setObjectName("Command1");
    auto* cancel_button = new QPushButton("Cancel");
    cancel_button->setObjectName("Command2");
    for (QPushButton* b : {addsel_, delsel, ok_button, cancel_button})
        b->setAutoDefault(false);

    auto* add_del = new QVBoxLayout;
    add_del->addStretch();
    add_del->addWidget(addsel_);
    add_del->addWidget(delsel);
    add_del->addStretch();

    auto* lists = new QHBoxLayout;
    lists->addWidget(sel_reg);
    lists->addWidget(labelled("States", states_), 1);
    lists->addWidget(labelled("Counties", counties_), 1);
    lists->addLayout(add_del);
    lists->addWidget(current, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_button);
    buttons->addWidget(cancel_button);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);
    resize(760, 360);

    connect(optreg_, &QButtonGroup::idClicked, this, &RegionDialog::level_clicked);
    connect(states_, &QListWidget::currentRowChanged, this, &RegionDialog::state_row_changed);
    connect(states_, &QListWidget::itemPressed, this, [this] { fromstates_ = true; });
    connect(counties_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            fromstates_ = false;
    });
    connect(counties_, &QListWidget::itemPressed, this, [this] { fromstates_ = false; });
    connect(states_, &QListWidget::itemDoubleClicked, this, &RegionDialog::double_clicked);
    connect(counties_, &QListWidget::itemDoubleClicked, this, &RegionDialog::double_clicked);
    connect(addsel_, &QPushButton::clicked, this, &RegionDialog::add_selection);
    connect(delsel, &QPushButton::clicked, this, &RegionDialog::delete_marked);
    connect(ok_button, &QPushButton::clicked, this, &RegionDialog::ok);
    connect(cancel_button, &QPushButton::clicked, this, &RegionDialog::cancel);

    // Opening: the selection is edited in selected_regions, and the working file lists follow
    // the region as it stands; only OK (or closing by the frame) commits them.
    Scenario& sc = s_.sc;
    copy_region_list(sc.region_list, sc.selected_regions);
    reglevel_ = sc.region_level;
    changed_before_open_ = sc.region_changed;
    sc.region_changed = true;
    alloc_work_saved_.copy_from(sc.alloc_files_work);
    pop_work_saved_.copy_from(sc.pop_files_work);
    rebuild_file_lists(s_, reglevel_);
    copy_region_list(sc.region_list, region_list_saved_);
    region_level_saved_ = sc.region_level;
    center_form(this);
    state_regions_ = build_state_regions(s_.state_table);
    QStringList names;
    for (const auto& state : state_regions_)
        names << display_text(state->statename);
    states_->addItems(names);
    show_selection();
    if (QAbstractButton* option = optreg_->button(reglevel_)) {
        option->setChecked(true);
        // The keyboard starts on the level in force: a Space on another one would switch the
        // level and empty the selection.
        option->setFocus();
    }
    level_clicked(reglevel_);
}

void RegionDialog::level_clicked(int level) {
    region_level_change(s_.sc.selected_regions, reglevel_, level);
    reglevel_ = level;
    addsel_->setEnabled(level != level::fifty_state && level != level::us_total);
    if (level != level::county) {
        counties_->clear();
        county_regions_.clear();
    }
    show_selection();
    if (level == level::county && states_->currentRow() >= 0)
        state_query(states_->currentRow());
}

void RegionDialog::state_row_changed(int row) {
    if (row < 0)
        return;
    if (reglevel_ == level::county)
        state_query(row);
    fromstates_ = true;
}

void RegionDialog::state_query(int row) {
    const auto& state = state_regions_[static_cast<std::size_t>(row)];
    county_regions_ = query_state_counties(s_, *state);
    QStringList names;
    for (const auto& county : county_regions_)
        names << display_text(county->county);
    const QSignalBlocker block(counties_);
    counties_->clear();
    counties_->addItems(names);
}

void RegionDialog::add_selection() {
    const bool any_current = states_->currentRow() >= 0 || counties_->currentRow() >= 0;
    const RegionList& source = fromstates_ ? state_regions_ : county_regions_;
    const int row = (fromstates_ ? states_ : counties_)->currentRow();
    const RegionCls* item = row >= 0 && static_cast<std::size_t>(row) < source.size()
                                ? source[static_cast<std::size_t>(row)].get()
                                : nullptr;
    if (region_add(s_, s_.sc.selected_regions, reglevel_, item, any_current) == RegionAdd::Added)
        show_selection();
}

void RegionDialog::double_clicked() {
    // At the levels without an Add button a double click adds nothing either: whole states
    // added there would have no line in the current selection to delete them by.
    if (addsel_->isEnabled())
        add_selection();
}

void RegionDialog::delete_marked() {
    std::vector<std::string> codes;
    for (int i = regselect_->count(); i-- > 0;) {
        QListWidgetItem* line = regselect_->item(i);
        if (line->isSelected())
            codes.push_back(program_text(line->data(Qt::UserRole).toString()));
    }
    remove_marked(s_.sc.selected_regions, codes);
    show_selection();
}

void RegionDialog::show_selection() {
    RegselResult r = regsel(s_.sc.selected_regions, reglevel_);
    selected_states_ = std::move(r.states);
    regselect_->clear();
    for (const RegselLine& line : r.lines) {
        auto* item = new QListWidgetItem(display_text(line.text));
        // Each line knows its entry, so Delete removes what was marked even where some
        // entries have no line.
        item->setData(Qt::UserRole, display_text(line.code));
        regselect_->addItem(item);
    }
}

void RegionDialog::ok() {
    s_.sc.region_changed = true;
    close();
}

void RegionDialog::cancel() {
    Scenario& sc = s_.sc;
    copy_region_list(region_list_saved_, sc.region_list);
    sc.region_level = region_level_saved_;
    copy_region_list(region_list_saved_, sc.selected_regions);
    reglevel_ = region_level_saved_;
    drop_visit();
}

void RegionDialog::escape() {
    drop_visit();
}

void RegionDialog::drop_visit() {
    // The region, the file lists and their changed flags stay as they were before this visit:
    // a region committed earlier and not yet saved is still written, and lists the user edited
    // in Geographic Allocation or Equip. Population keep those edits.
    Scenario& sc = s_.sc;
    sc.region_changed = changed_before_open_;
    sc.alloc_files_work.copy_from(alloc_work_saved_);
    sc.pop_files_work.copy_from(pop_work_saved_);
    dropped_ = true;
    close();
}

void RegionDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            escape();
            break;
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
            delete_marked();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void RegionDialog::closeEvent(QCloseEvent* event) {
    if (!dropped_ && s_.sc.region_changed && !program_ending())
        region_commit(s_, reglevel_);
    event->accept();
}

}  // namespace qv
