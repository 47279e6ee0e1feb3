#include "dialogs/advanced/file_dialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "dialogs/advanced/pick_file.h"
#include "platform/qt/program_ending.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"

namespace qv {

namespace {

const FileDialogForm& form_of(const std::string& form) {
    const FileDialogForm* form_data = file_dialog_form(form);
    Q_ASSERT(form_data);
    return *form_data;
}

}  // namespace

FileDialog::FileDialog(Session& s, const FileDialogForm& form_data, QWidget* parent)
    : QWidget(parent, Qt::Window), s_(s), form_data_(form_data) {
    setObjectName(QString::fromStdString(form_data.form));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromStdString(form_data.caption));

    body_ = new QVBoxLayout(this);
    if (!form_data.note_name.empty()) {
        auto* note = new QLabel(QString::fromStdString(form_data.note), this);
        note->setObjectName(QString::fromStdString(form_data.note_name));
        note->setWordWrap(true);
        body_->addWidget(note);
    }

    auto* grid = new QGridLayout;
    // Room for a typical full path of the data tree; the boxes take any width the window gains.
    grid->setColumnMinimumWidth(1, fontMetrics().horizontalAdvance(QString(64, QChar('x'))));
    grid->setColumnStretch(1, 1);
    for (std::size_t i = 0; i < form_data.rows.size(); ++i) {
        const FileRowForm& row = form_data.rows[i];
        const int line = static_cast<int>(i);
        std::vector<QWidget*> widgets;
        if (!row.label_name.empty()) {
            auto* label = new QLabel(QString::fromStdString(row.label), this);
            label->setObjectName(QString::fromStdString(row.label_name));
            grid->addWidget(label, line, 0);
            widgets.push_back(label);
        }
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromStdString(row.box));
        set_program_text(box, row.entry >= 0 ? s.sc.run_files[row.entry] : row.initial_text);
        grid->addWidget(box, line, 1);
        boxes_.push_back(box);
        widgets.push_back(box);

        auto* button = new QPushButton(QString::fromStdString(row.button_caption), this);
        button->setObjectName(QString::fromStdString(row.button));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, i] { change(i); });
        grid->addWidget(button, line, 2);
        widgets.push_back(button);

        for (QWidget* w : widgets) {
            w->setVisible(row.shown);
            w->setEnabled(row.shown);
        }
    }
    body_->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok_button = new QPushButton(QStringLiteral("OK"), this);
    ok_button->setObjectName("CmdLeave1");
    auto* cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_button->setObjectName("CmdLeave0");
    buttons->addWidget(ok_button);
    buttons->addWidget(cancel_button);
    body_->addLayout(buttons);
    connect(ok_button, &QPushButton::clicked, this, &FileDialog::ok);
    connect(cancel_button, &QPushButton::clicked, this, &FileDialog::cancel);

    if (form_data.centred) {
        adjustSize();
        center_form(this);
    }
}

void FileDialog::add_section(QWidget* section) {
    body_->insertWidget(body_->count() - 1, section);
}

std::string FileDialog::box_text(std::size_t row) const {
    return program_text(boxes_[row]);
}

void FileDialog::change(std::size_t row) {
    ChooserRequest request;
    request.title = form_data_.chooser_title;
    request.filter = form_data_.rows[row].filter;
    request.filter_index = 1;
    request.initial_dir = chooser_initial_dir(s_, form_data_);
    if (form_data_.remember_name)
        request.initial_name = chooser_name_;
    std::optional<std::string> path = pick_file(s_, request, form_data_.check_83);
    if (!path)
        return;
    if (form_data_.remember_name)
        chooser_name_ = *path;
    set_program_text(boxes_[row], *path);
    changed_ = true;
}

void FileDialog::ok() {
    if (form_data_.ok != OkRule::Close) {
        std::vector<std::string> texts;
        for (std::size_t i = 0; i < boxes_.size(); ++i)
            texts.push_back(box_text(i));
        if (auto missing = first_missing_file(s_, texts)) {
            report_missing_file(s_, texts[*missing]);
            const FileRowForm& row = form_data_.rows[*missing];
            if (form_data_.ok == OkRule::TestResetStore && row.entry >= 0)
                set_program_text(boxes_[*missing], s_.sc.run_files[row.entry]);
            return;
        }
    }
    if (!form_data_.store_on_close)
        store_rows();
    close();
}

void FileDialog::cancel() {
    cancelled_ = true;
    close();
}

void FileDialog::store_rows() {
    for (std::size_t i = 0; i < form_data_.rows.size(); ++i) {
        const FileRowForm& row = form_data_.rows[i];
        if (row.entry < 0)
            continue;
        std::string& entry = s_.sc.run_files[row.entry];
        entry = stored_text(row, box_text(i));
        // A file without the daily packet gets one when the user names a daily file.
        if (row.entry == rf::daily_temps && !entry.empty())
            s_.sc.daily_set = true;
    }
}

void FileDialog::closing_step() {
    store_rows();
    if (changed_ && !form_data_.pick_warning.empty())
        s_.message(form_data_.pick_warning, Icon::Exclamation);
}

void FileDialog::showEvent(QShowEvent* event) {
    // The windows that are not centred on the screen go over the main window, once they are
    // complete (Optional Output adds its check box after this class has built the rest).
    if (!form_data_.centred && !placed_) {
        center_on(this, parentWidget());
        placed_ = true;
    }
    QWidget::showEvent(event);
}

void FileDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        cancel();
    else
        QWidget::keyPressEvent(event);
}

void FileDialog::closeEvent(QCloseEvent* event) {
    if (form_data_.store_on_close && !cancelled_ && !program_ending())
        closing_step();
    event->accept();
}

OptionalOutputDialog::OptionalOutputDialog(Session& s, QWidget* parent)
    : FileDialog(s, form_of("frmoptout"), parent) {
    auto* section = new QWidget(this);
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* heading = new QLabel(QStringLiteral("By-Model-Year Output Files"), section);
    heading->setObjectName("lblbmy");
    // Qt shows the doubled ampersand as one, as the caption intends.
    chkbmy_ = new QCheckBox(
        QStringLiteral(" Generate .BMX (exhaust) && BMV (evap) files in same folder as .OUT "
                       "file.    NOTE: These can be very large files."),
        section);
    chkbmy_->setObjectName("chkbmy");
    chkbmy_->setChecked(s.sc.bmy_output_on);
    layout->addWidget(heading);
    layout->addWidget(chkbmy_);
    add_section(section);
}

void OptionalOutputDialog::closing_step() {
    FileDialog::closing_step();
    store_by_model_year(s_.sc, chkbmy_->isChecked());
}

QWidget* create_file_dialog(const std::string& form, Session& s, QWidget* parent) {
    if (form == "frmoptout")
        return new OptionalOutputDialog(s, parent);
    const FileDialogForm* form_data = file_dialog_form(form);
    return form_data ? new FileDialog(s, *form_data, parent) : nullptr;
}

std::function<QWidget*(Session&, QWidget*)> file_dialog_factory(const std::string& form) {
    return [form](Session& s, QWidget* parent) { return create_file_dialog(form, s, parent); };
}

}  // namespace qv
