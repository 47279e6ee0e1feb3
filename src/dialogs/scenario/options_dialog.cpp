#include "dialogs/scenario/options_dialog.h"

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

#include "platform/qt/program_ending.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "scenario/text.h"

namespace qv {

namespace {

// The box's text as program bytes; an unchanged text keeps the bytes it was filled from, so
// bytes that are not UTF-8 survive a round trip through the window.
std::string box_bytes(const QLineEdit* box, const std::string& shown_from) {
    return box->text() == display_text(shown_from) ? shown_from : program_text(box->text());
}

}  // namespace

OptionsDialog::OptionsDialog(Session& s, QWidget* parent)
    : QWidget(parent, Qt::Window),
      s_(s),
      options_changed_before_(s.sc.options_changed),
      stage2_changed_before_(s.sc.stage2_changed),
      stage2_present_before_(s.sc.stage2_present) {
    setObjectName("Options");
    setWindowTitle("Options");
    setAttribute(Qt::WA_DeleteOnClose);

    auto* titles = new QGridLayout;
    titles->addWidget(new QLabel("Title 1"), 0, 0);
    titles->addWidget(add_box("Titleone"), 0, 1);
    titles->addWidget(new QLabel("Title 2"), 1, 0);
    titles->addWidget(add_box("Titletwo"), 1, 1);
    titles->setColumnStretch(1, 1);

    // Two columns: fuel values on the left, temperatures, ethanol and Stage II on the right.
    auto* values = new QGridLayout;
    values->setHorizontalSpacing(12);
    int i = 0;
    for (const auto& row : option_boxes) {
        int column = i < 6 ? 0 : 2;
        int line = i < 6 ? i : i - 6;
        values->addWidget(new QLabel(row.caption), line, column);
        values->addWidget(add_box(row.control), line, column + 1);
        ++i;
    }
    values->addWidget(new QLabel("Stage II Control %"), 5, 2);
    values->addWidget(add_box("Stage2"), 5, 3);
    values->setColumnMinimumWidth(1, 80);
    values->setColumnMinimumWidth(3, 80);

    auto* altitude = new QGroupBox("Altitude");
    altitude->setObjectName("fraAltitude");
    high_ = new QRadioButton("High");
    high_->setObjectName("altitude_0");
    low_ = new QRadioButton("Low");
    low_->setObjectName("altitude_1");
    auto* altitude_row = new QHBoxLayout(altitude);
    altitude_row->addWidget(high_);
    altitude_row->addWidget(low_);

    auto* ok = new QPushButton("OK");
    ok->setObjectName("Command1");
    // Enter anywhere in the window presses OK (keyPressEvent), as it does in a dialog box.
    ok->setDefault(true);
    auto* cancel_button = new QPushButton("Cancel");
    cancel_button->setObjectName("Command2");
    // A click on OK or Cancel leaves the focus where it is, so it is not preceded by the range
    // check of the box being left: OK checks every box itself, and Cancel needs no check.
    ok->setFocusPolicy(Qt::TabFocus);
    cancel_button->setFocusPolicy(Qt::TabFocus);
    connect(ok, &QPushButton::clicked, this, &OptionsDialog::recheck);
    connect(cancel_button, &QPushButton::clicked, this, &OptionsDialog::cancel);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(altitude);
    bottom->addStretch(1);
    bottom->addWidget(ok);
    bottom->addWidget(cancel_button);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(titles);
    layout->addSpacing(6);
    layout->addLayout(values);
    layout->addSpacing(6);
    layout->addLayout(bottom);

    for (const auto& row : option_boxes)
        connect(box_[row.control], &QLineEdit::textChanged, this,
                [this] { s_.sc.options_changed = true; });
    connect(box_["Stage2"], &QLineEdit::textChanged, this, [this] {
        s_.sc.stage2_changed = true;
        s_.sc.stage2_present = true;
    });
    box_["Stage2"]->blockSignals(true);
    box_["Stage2"]->setText("0");
    box_["Stage2"]->blockSignals(false);

    adjustSize();
    center_form(this);
    fill();
}

OptionsDialog::~OptionsDialog() {
    // Boxes lose the focus while they are destroyed; that is no user leaving a box.
    for (auto& [name, box] : box_)
        box->removeEventFilter(this);
}

QLineEdit* OptionsDialog::add_box(const char* control) {
    auto* box = new QLineEdit;
    box->setObjectName(control);
    box_[control] = box;
    if (box_range(control))
        box->installEventFilter(this);
    return box;
}

void OptionsDialog::fill() {
    const Scenario& sc = s_.sc;
    box_["Titleone"]->setText(display_text(sc.title1str));
    box_["Titletwo"]->setText(display_text(sc.title2str));
    for (const auto& row : option_boxes)
        box_[row.control]->setText(display_text(sc.*row.value));
    box_["Stage2"]->setText(sc.stage2_present ? display_text(sc.stage2str) : QString("0"));
    (upper(trim(sc.altitudestr)) == "LOW" ? low_ : high_)->setChecked(true);
}

OptionsBoxes OptionsDialog::boxes() {
    return {[this](const std::string& control) { return program_text(box_.at(control)->text()); },
            [this](const std::string& control, const std::string& text) {
                box_.at(control)->setText(display_text(text));
            }};
}

void OptionsDialog::recheck() {
    errobj_ = check_all(s_, boxes());
    if (!errobj_.empty())
        return;
    closing_ = true;
    close();
}

void OptionsDialog::cancel() {
    // This visit's changes are dropped; changes accepted in an earlier visit and not yet saved
    // must still be written by the next save. The flags alone cannot tell the close to store
    // nothing: after an earlier OK they are set again, and the boxes may hold refused entries.
    s_.sc.options_changed = options_changed_before_;
    s_.sc.stage2_changed = stage2_changed_before_;
    s_.sc.stage2_present = stage2_present_before_;
    cancelled_ = true;
    closing_ = true;
    close();
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && event->type() == QEvent::FocusIn) {
        focus_ = box;
    } else if (box && event->type() == QEvent::FocusOut && !closing_) {
        // The window losing activation (a message box, another program) is no move out of the
        // box; only a move of the focus within the window checks it.
        auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && focus_)
            errobj_ = check_data(s_, boxes(), focus_->objectName().toStdString());
    }
    return QWidget::eventFilter(watched, event);
}

void OptionsDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        cancel();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // On a button, Enter presses that button (Cancel stays Cancel).
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        (button ? button : findChild<QPushButton*>("Command1"))->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void OptionsDialog::closeEvent(QCloseEvent* event) {
    if (program_ending()) {
        event->accept();
        return;
    }
    // Closing by the frame stores what the boxes hold, so it must pass the checks of OK first.
    if (!closing_) {
        errobj_ = check_all(s_, boxes());
        if (!errobj_.empty()) {
            event->ignore();
            return;
        }
        closing_ = true;
    }
    if (!cancelled_)
        copy_back();
    event->accept();
}

void OptionsDialog::copy_back() {
    Scenario& sc = s_.sc;
    if (sc.options_changed) {
        sc.title1str = box_bytes(box_["Titleone"], sc.title1str);
        sc.title2str = box_bytes(box_["Titletwo"], sc.title2str);
        for (const auto& row : option_boxes)
            sc.*row.value = box_bytes(box_[row.control], sc.*row.value);
        sc.altitudestr = low_->isChecked() ? "LOW" : "HIGH";
        s_.show_summary();
    }
    if (sc.stage2_changed)
        sc.stage2str = box_bytes(box_["Stage2"], sc.stage2str);
}

}  // namespace qv
