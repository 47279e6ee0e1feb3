#include "dialogs/scenario/sources_dialog.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "dialogs/scenario/sources_rules.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "scenario/text.h"

namespace qv {

namespace {

QListWidget* make_list(const char* name) {
    auto* list = new QListWidget;
    list->setObjectName(name);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setUniformItemSizes(true);
    return list;
}

QRadioButton* add_option(QButtonGroup* group, const QString& name, int index,
                         const QString& caption) {
    auto* option = new QRadioButton(caption);
    option->setObjectName(QString("%1_%2").arg(name).arg(index));
    group->addButton(option, index);
    return option;
}

}  // namespace

SourcesDialog::SourcesDialog(Session& s, QWidget* parent) : QWidget(parent, Qt::Window), s_(s) {
    setObjectName("sorces");
    setWindowTitle("Sources");
    setAttribute(Qt::WA_DeleteOnClose);

    auto* active = new QGroupBox("Active");
    auto* active_layout = new QVBoxLayout(active);
    srcact_ = new QButtonGroup(this);
    active_layout->addWidget(add_option(srcact_, "srcact", 0, "Selected sources"));
    active_layout->addWidget(add_option(srcact_, "srcact", 1, "All Sources"));

    // The "Option1" choices only stand for nothing chosen: they exist, checked by the program,
    // but are not shown.
    auto* segment_frame = new QGroupBox("Segment");
    auto* segment_layout = new QGridLayout(segment_frame);
    segment_ = new QButtonGroup(this);
    for (int i = 0; i < segment_count; ++i) {
        QRadioButton* option = add_option(segment_, "segment", i, segment_captions[i]);
        if (i == no_segment) {
            option->setParent(segment_frame);
            option->hide();
        } else
            segment_layout->addWidget(option, i % 7, i / 7);
    }
    auto* fuel_frame = new QGroupBox("Fuel");
    auto* fuel_layout = new QVBoxLayout(fuel_frame);
    fuel_ = new QButtonGroup(this);
    for (int i = 0; i < fuel_count; ++i) {
        QRadioButton* option = add_option(fuel_, "FUEL", i, fuel_captions[i]);
        if (i >= no_fuel) {
            option->setParent(fuel_frame);
            option->hide();
        } else
            fuel_layout->addWidget(option);
    }
    fuel_layout->addStretch();

    // The segment code the add will use, shown so the user can see what is searched for.
    seg_ = new QLineEdit;
    seg_->setObjectName("seg");
    seg_->setReadOnly(true);
    seg_->setFocusPolicy(Qt::NoFocus);
    seg_->setMaximumWidth(80);

    auto* add_segment_button = new QPushButton("Add Segment");
    add_segment_button->setObjectName("Addsel_0");
    auto* add_equipment_button = new QPushButton("Add Equipment");
    add_equipment_button->setObjectName("Addsel_1");

    selected_ = make_list("Selected");
    lstcodes_ = make_list("lstcodes");
    codedesc_ = make_list("CodeDesc");
    lstcodes_->setMaximumWidth(120);

    auto* remsel = new QPushButton("Remove Selection");
    remsel->setObjectName("RemSel");
    auto* ok_button = new QPushButton("OK");
    ok_button->setObjectName("Command1");
    auto* cancel_button = new QPushButton("Cancel");
    cancel_button->setObjectName("Command2");
    for (QPushButton* b :
         {add_segment_button, add_equipment_button, remsel, ok_button, cancel_button})
        b->setAutoDefault(false);

    auto* seg_row = new QHBoxLayout;
    seg_row->addWidget(new QLabel("Segment code"));
    seg_row->addWidget(seg_);
    seg_row->addStretch();
    auto* choose = new QVBoxLayout;
    choose->addWidget(active);
    choose->addWidget(fuel_frame);
    choose->addLayout(seg_row);
    choose->addWidget(add_segment_button);
    choose->addWidget(add_equipment_button);
    choose->addStretch();

    auto* top = new QHBoxLayout;
    top->addLayout(choose);
    top->addWidget(segment_frame);
    // Codes and descriptions side by side, line for line; the combined list below them.
    codes_label_ = new QLabel("SCC");
    codes_label_->setObjectName("lblcodes");
    auto* descriptions_label = new QLabel("Description");
    descriptions_label->setObjectName("lblSelected");
    auto* combined_label = new QLabel("SCC and description");
    combined_label->setObjectName("lblCodeDesc");
    auto* lists = new QGridLayout;
    lists->addWidget(codes_label_, 0, 0);
    lists->addWidget(descriptions_label, 0, 1);
    lists->addWidget(lstcodes_, 1, 0);
    lists->addWidget(selected_, 1, 1);
    lists->setColumnStretch(1, 1);
    lists->setRowStretch(1, 1);
    lists->setVerticalSpacing(2);
    auto* combined = new QVBoxLayout;
    combined->setSpacing(2);
    combined->addWidget(combined_label);
    combined->addWidget(codedesc_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(remsel);
    buttons->addStretch();
    buttons->addWidget(ok_button);
    buttons->addWidget(cancel_button);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(lists, 2);
    layout->addLayout(combined, 1);
    layout->addLayout(buttons);
    resize(720, 620);

    choice_controls_ = {
        selected_,     lstcodes_, codedesc_, add_segment_button, add_equipment_button,
        segment_frame, fuel_frame};

    connect(srcact_, &QButtonGroup::idClicked, this, [this](int i) {
        s_.sc.source_subset = i == 0;
        src_active();
    });
    connect(segment_, &QButtonGroup::idClicked, this, &SourcesDialog::segment_clicked);
    connect(fuel_, &QButtonGroup::idClicked, this, [this](int i) { fuelindex_ = i; });
    connect(add_segment_button, &QPushButton::clicked, this, [this] { add(add_segment); });
    connect(add_equipment_button, &QPushButton::clicked, this, [this] { add(add_equipment); });
    connect(remsel, &QPushButton::clicked, this, &SourcesDialog::remove_selection);
    connect(ok_button, &QPushButton::clicked, this, &QWidget::close);
    connect(cancel_button, &QPushButton::clicked, this, &SourcesDialog::cancel);

    scroll_together();

    // Opening.
    savedselected_ = s_.sc.source_subset;
    savedsources_ = listed_sources(s_.sc);
    lstcodes_->setVisible(true);
    center_form(this);
    segment_->button(no_segment)->setChecked(true);
    segment_clicked(no_segment);
    src_active();
    // The lists always show what source_list holds, also in the all-sources mode (disabled
    // there), so that going back to selected sources never writes codes nobody was shown.
    append_lines(listed_sources(s_.sc));
    segindex_ = -1;
    fuelindex_ = -1;
}

void SourcesDialog::scroll_together() {
    const QListWidget* lists[] = {selected_, lstcodes_, codedesc_};
    for (const QListWidget* from : lists) {
        connect(from->verticalScrollBar(), &QScrollBar::valueChanged, this, [this, from](int top) {
            // A list that cannot scroll as far (the combined one is shorter) stops at its end
            // without pulling the others back.
            if (scrolling_)
                return;
            scrolling_ = true;
            for (QListWidget* to : {selected_, lstcodes_, codedesc_})
                if (to != from)
                    to->verticalScrollBar()->setValue(top);
            scrolling_ = false;
        });
    }
}

void SourcesDialog::src_active() {
    const bool subset = s_.sc.source_subset;
    for (QWidget* w : choice_controls_)
        w->setEnabled(subset);
    if (subset) {
        segment_->button(no_segment)->setChecked(true);
        segment_clicked(no_segment);
        fuel_->button(no_fuel)->setChecked(true);
        fuelindex_ = no_fuel;
    }
    srcact_->button(subset ? 0 : 1)->setChecked(true);
    s_.sc.source_found = subset;
    update();
}

void SourcesDialog::segment_clicked(int index) {
    segindex_ = index;
    if (index != no_segment)
        segcode_ = segment_code(index);
    seg_->setText(display_text(segcode_));
}

void SourcesDialog::append_lines(const std::vector<SourceRecord>& records) {
    // One call per list, so that hundreds of codes appear at once.
    QStringList descriptions, codes, code_descs;
    for (const SourceRecord& r : records) {
        descriptions << display_text(r.description);
        codes << display_text(r.scc);
        code_descs << display_text(code_desc_line(r));
    }
    selected_->addItems(descriptions);
    lstcodes_->addItems(codes);
    codedesc_->addItems(code_descs);
    shown_.insert(shown_.end(), records.begin(), records.end());
}

void SourcesDialog::add(int index) {
    append_lines(add_sources(s_, index, segindex_, fuelindex_, segcode_));
}

void SourcesDialog::remove_selection() {
    if (selected_->currentRow() == -1)
        return;
    for (int i = selected_->count(); i-- > 0;) {
        if (!selected_->item(i)->isSelected() && !lstcodes_->item(i)->isSelected() &&
            !codedesc_->item(i)->isSelected())
            continue;
        for (QListWidget* list : {selected_, lstcodes_, codedesc_})
            delete list->takeItem(i);
        shown_.erase(shown_.begin() + i);
    }
    for (SourceRecord& r : shown_)
        r.scc = fit(r.scc, 10);
    set_listed_sources(s_.sc, shown_);
}

void SourcesDialog::cancel() {
    set_listed_sources(s_.sc, savedsources_);
    s_.sc.source_subset = savedselected_;
    close();
}

void SourcesDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            cancel();
            break;
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
            remove_selection();
            break;
        case Qt::Key_F12:
            lstcodes_->setHidden(!lstcodes_->isHidden());
            codes_label_->setHidden(lstcodes_->isHidden());
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

}  // namespace qv
