#include "dialogs/scenario/period_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/app_error.h"
#include "platform/qt/program_ending.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"

namespace qv {

namespace {

void set_enabled(QButtonGroup* group, const std::optional<bool>& enabled) {
    if (!enabled)
        return;
    for (QAbstractButton* b : group->buttons())
        b->setEnabled(*enabled);
}

}  // namespace

PeriodDialog::PeriodDialog(Session& s, QWidget* parent) : QWidget(parent, Qt::Window), s_(s) {
    setObjectName("Periodfrm");
    setWindowTitle("Period");
    setAttribute(Qt::WA_DeleteOnClose);

    QGroupBox* period_box = option_group("Period", "fraPeriod", "thePeriod",
                                         {"Annual", "Monthly", "Seasonal"}, 1, period_);
    QGroupBox* type_box =
        option_group("Type", "fraType", "ptype", {"Typical day", "Period total"}, 1, ptype_);
    QGroupBox* season_box = option_group("Season", "fraSeason", "aseason",
                                         {"Winter", "Spring", "Summer", "Autumn"}, 1, season_);
    QGroupBox* month_box =
        option_group("Month", "fraMonth", "amonth",
                     {"January", "February", "March", "April", "May", "June", "July", "August",
                      "September", "October", "November", "December"},
                     2, month_);
    QGroupBox* day_box = option_group("Day", "fraDay", "aweek", {"Weekday", "Weekend"}, 1, week_);

    auto* year_frame = new QGroupBox("Year");
    year_frame->setObjectName("fraYear");
    auto* years = new QGridLayout(year_frame);
    const struct {
        const char* label;
        const char* caption;
        const char* control;
        QLineEdit** box;
    } year_rows[] = {{"lblEpisodeYear", "Episode", "Year", &year_},
                     {"lblGrowthYear", "Growth", "growthYear", &growth_year_},
                     {"lblTechYear", "Tech", "techYear", &tech_year_}};
    int row = 0;
    for (const auto& y : year_rows) {
        auto* label = new QLabel(y.caption);
        label->setObjectName(y.label);
        *y.box = year_box(y.control);
        years->addWidget(label, row, 0);
        years->addWidget(*y.box, row, 1);
        ++row;
    }

    auto* ok_button = new QPushButton("OK");
    ok_button->setObjectName("cmdOK");
    // Enter anywhere in the window presses OK (keyPressEvent), as it does in a dialog box.
    ok_button->setDefault(true);
    auto* cancel_button = new QPushButton("Cancel");
    cancel_button->setObjectName("cmdCancel");
    connect(ok_button, &QPushButton::clicked, this, &PeriodDialog::ok);
    connect(cancel_button, &QPushButton::clicked, this, &PeriodDialog::cancel);

    auto* left = new QVBoxLayout;
    left->addWidget(period_box);
    left->addWidget(type_box);
    left->addWidget(day_box);
    left->addStretch(1);
    auto* middle = new QVBoxLayout;
    middle->addWidget(season_box);
    middle->addWidget(year_frame);
    middle->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(month_box);
    right->addStretch(1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok_button);
    buttons->addWidget(cancel_button);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(middle);
    layout->addLayout(right);
    layout->addLayout(buttons);

    // Selecting an option by the program runs the same steps as a click.
    connect(period_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (!on)
            return;
        v_.periodindex = id;
        s_.sc.period_changed = true;
        periodenable();
    });
    connect(ptype_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (!on)
            return;
        v_.ptypeindex = id;
        s_.sc.period_changed = true;
        periodenable();
    });
    const std::pair<QButtonGroup*, int PeriodValues::*> plain[] = {
        {season_, &PeriodValues::seasonindex},
        {month_, &PeriodValues::monthindex},
        {week_, &PeriodValues::weekindex}};
    for (auto [group, field] : plain)
        connect(group, &QButtonGroup::idToggled, this, [this, field](int id, bool on) {
            if (!on)
                return;
            v_.*field = id;
            s_.sc.period_changed = true;
        });
    const std::pair<QLineEdit*, std::string PeriodValues::*> texts[] = {
        {year_, &PeriodValues::yearstr},
        {growth_year_, &PeriodValues::growthyearstr},
        {tech_year_, &PeriodValues::techyearstr}};
    for (auto [box, field] : texts)
        connect(box, &QLineEdit::textChanged, this, [this, field](const QString& text) {
            s_.sc.period_changed = true;
            v_.*field = program_text(text);
        });

    // Opening.
    cancelled_ = false;
    period_changed_before_ = s_.sc.period_changed;
    s_.log.write("Entering Period form load");
    v_ = period_values(s_.sc);
    adjustSize();
    center_form(this);
    const PeriodValues opened = v_;
    guarded([&] { select(period_, opened.periodindex); });
    guarded([&] { select(ptype_, opened.ptypeindex); });
    guarded([&] { select(season_, opened.seasonindex); });
    guarded([&] { select(month_, opened.monthindex); });
    guarded([&] { select(week_, opened.weekindex); });
    guarded([&] { year_->setText(display_text(opened.yearstr)); });
    guarded([&] { growth_year_->setText(display_text(opened.growthyearstr)); });
    guarded([&] { tech_year_->setText(display_text(opened.techyearstr)); });
    // A text shown unchanged keeps the bytes it came from.
    if (year_->text() == display_text(opened.yearstr))
        v_.yearstr = opened.yearstr;
    if (growth_year_->text() == display_text(opened.growthyearstr))
        v_.growthyearstr = opened.growthyearstr;
    if (tech_year_->text() == display_text(opened.techyearstr))
        v_.techyearstr = opened.techyearstr;
}

QGroupBox* PeriodDialog::option_group(const char* caption, const char* frame, const char* control,
                                      const std::vector<const char*>& captions, int columns,
                                      QButtonGroup*& group) {
    auto* box = new QGroupBox(caption);
    box->setObjectName(frame);
    auto* grid = new QGridLayout(box);
    group = new QButtonGroup(this);
    const int rows = (static_cast<int>(captions.size()) + columns - 1) / columns;
    for (int i = 0; i < static_cast<int>(captions.size()); ++i) {
        auto* b = new QRadioButton(captions[i]);
        b->setObjectName(QString("%1_%2").arg(control).arg(i));
        group->addButton(b, i);
        grid->addWidget(b, i % rows, i / rows);
    }
    return box;
}

QLineEdit* PeriodDialog::year_box(const char* control) {
    auto* box = new QLineEdit;
    box->setObjectName(control);
    // Room for a year typed with blanks around it.
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("000000000")) + 12);
    return box;
}

void PeriodDialog::select(QButtonGroup* group, int index) {
    QAbstractButton* b = group->button(index);
    if (!b)
        throw AppError(err::subscript, "Subscript out of range");
    b->setChecked(true);
}

void PeriodDialog::guarded(const std::function<void()>& step) {
    try {
        step();
    } catch (const AppError& e) {
        s_.log.write("*****************Period Error " + std::to_string(e.number()) + " ");
    }
}

void PeriodDialog::periodenable() {
    PeriodEnable e = qv::periodenable(v_.periodindex, v_.ptypeindex);
    set_enabled(month_, e.months);
    set_enabled(season_, e.seasons);
    set_enabled(week_, e.days);
}

bool PeriodDialog::years_ok() {
    return period_years_ok(s_, program_text(year_->text()), program_text(growth_year_->text()),
                           program_text(tech_year_->text()));
}

void PeriodDialog::ok() {
    if (!years_ok())
        return;
    update_globals(v_, s_.sc);
    checked_ = true;
    close();
}

void PeriodDialog::cancel() {
    cancelled_ = true;
    // Opening selects the options, which marks the packet changed; nothing of it is kept.
    s_.sc.period_changed = period_changed_before_;
    close();
}

void PeriodDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        cancel();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // On a button, Enter presses that button (Cancel stays Cancel).
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        (button ? button : findChild<QPushButton*>("cmdOK"))->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PeriodDialog::closeEvent(QCloseEvent* event) {
    if (program_ending()) {
        event->accept();
        return;
    }
    // Closing by the frame stores the values too, so the years must pass as on OK.
    if (!cancelled_ && !checked_) {
        if (!years_ok()) {
            event->ignore();
            return;
        }
        checked_ = true;
    }
    if (!cancelled_)
        update_globals(v_, s_.sc);
    event->accept();
}

}  // namespace qv
