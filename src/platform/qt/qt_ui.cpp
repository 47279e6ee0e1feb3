#include "platform/qt/qt_ui.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QStringList>

namespace qv {

QString display_text(const std::string& bytes) {
    QString utf8 = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (!utf8.contains(QChar::ReplacementCharacter))
        return utf8;
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string program_text(const QString& text) {
    return text.toUtf8().toStdString();
}

namespace {
constexpr const char* bytes_property = "qvProgramBytes";
constexpr int bytes_role = Qt::UserRole + 77;

std::string remembered_or_typed(const QVariant& remembered, const QString& shown) {
    if (remembered.isValid()) {
        QByteArray bytes = remembered.toByteArray();
        std::string original(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        if (display_text(original) == shown)
            return original;
    }
    return program_text(shown);
}
}  // namespace

void set_program_text(QLineEdit* box, const std::string& bytes) {
    box->setProperty(bytes_property,
                     QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    box->setText(display_text(bytes));
}

std::string program_text(const QLineEdit* box) {
    return remembered_or_typed(box->property(bytes_property), box->text());
}

QListWidgetItem* program_item(const std::string& bytes) {
    auto* item = new QListWidgetItem(display_text(bytes));
    item->setData(bytes_role, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return item;
}

std::string program_text(const QListWidgetItem* item) {
    return remembered_or_typed(item->data(bytes_role), item->text());
}

QString qt_filter(const std::string& filter) {
    QStringList parts = display_text(filter).split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed().replace(';', ' ');
        // Qt takes the patterns from the last parentheses of an entry: give it the real ones.
        QString shown = desc;
        qsizetype open = shown.lastIndexOf('(');
        if (open >= 0)
            shown = shown.left(open).trimmed();
        entries << (shown.isEmpty() ? patterns : shown) + " (" + patterns + ")";
    }
    return entries.join(";;");
}

QString chooser_start_name(const FileSystem& fs, const std::string& name) {
    // The chooser joins a name that is not a host path onto the directory it shows, so a
    // remembered program path such as "\data\a.dat" would come back doubled.
    const bool has_dir =
        name.find_first_of("\\/") != std::string::npos || (name.size() > 1 && name[1] == ':');
    if (!has_dir)
        return display_text(name);
    return QFile::decodeName(QByteArray::fromStdString(fs.host_path(name)));
}

namespace {
// Boxes and choosers belong to the window the user is working in, so that the focus goes back
// there when they close. A main window not yet shown owns none: a box would be placed on where
// it will be, not on the screen (the second-copy question comes before it is shown).
QWidget* owner(QWidget* fallback) {
    QWidget* active = QApplication::activeWindow();
    if (active)
        return active;
    return fallback && fallback->isVisible() ? fallback : nullptr;
}
}  // namespace

Button QtUi::message(const std::string& text, const std::optional<std::string>& title, Icon icon,
                     Buttons buttons) {
    QMessageBox box(owner(parent_));
    box.setWindowTitle(display_text(title ? *title : application_title));
    box.setText(display_text(text));
    switch (icon) {
        case Icon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
    }
    // A box is as wide as its text; the window system cuts a longer title to "Q...". Room for
    // the title, the window buttons beside it and the frame keeps it whole.
    const int title_room = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 140;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(title_room, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    if (is_yes_no(buttons)) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? Button::Yes : Button::No;
    }
    if (buttons == Buttons::YesNoCancel) {
        // Esc and the close box answer Cancel.
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        switch (box.exec()) {
            case QMessageBox::Yes:
                return Button::Yes;
            case QMessageBox::No:
                return Button::No;
            default:
                return Button::Cancel;
        }
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Button::Ok;
}

std::optional<std::string> QtUi::choose(const ChooserRequest& request, bool save) {
    QFileDialog dialog(owner(parent_), display_text(request.title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Unless the request says otherwise, the program checks what was chosen itself: a chooser
    // may also name a file still to be made.
    dialog.setFileMode(!save && request.must_exist ? QFileDialog::ExistingFile
                                                   : QFileDialog::AnyFile);
    if (request.executables_only)
        dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
    if (save && !request.overwrite_prompt)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    QStringList filters = qt_filter(request.filter).split(";;", Qt::SkipEmptyParts);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        int index = std::clamp(request.filter_index, 1, static_cast<int>(filters.size())) - 1;
        dialog.selectNameFilter(filters[index]);
    }
    if (!request.initial_dir.empty()) {
        std::string dir = fs_.host_path(request.initial_dir);
        if (!dir.empty())
            dialog.setDirectory(QString::fromStdString(dir));
    }
    if (!request.initial_name.empty())
        dialog.selectFile(chooser_start_name(fs_, request.initial_name));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return fs_.program_path(program_text(dialog.selectedFiles().first()));
}

std::optional<std::string> QtUi::open_file(const ChooserRequest& request) {
    return choose(request, false);
}

std::vector<std::string> QtUi::open_files(const ChooserRequest& request) {
    QString dir;
    if (!request.initial_dir.empty())
        dir = QString::fromStdString(fs_.host_path(request.initial_dir));
    const QStringList filters = qt_filter(request.filter).split(";;", Qt::SkipEmptyParts);
    QString selected = filters.isEmpty() ? QString() : filters.first();
    const QStringList chosen = QFileDialog::getOpenFileNames(
        owner(parent_), display_text(request.title), dir, filters.join(";;"), &selected);
    std::vector<std::string> paths;
    for (const QString& p : chosen)
        paths.push_back(fs_.program_path(program_text(p)));
    return paths;
}

std::optional<std::string> QtUi::save_file(const ChooserRequest& request) {
    return choose(request, true);
}

std::optional<std::string> QtUi::choose_directory(const std::string& title,
                                                  const std::string& initial_dir) {
    QString start =
        initial_dir.empty() ? QString() : QString::fromStdString(fs_.host_path(initial_dir));
    QString dir = QFileDialog::getExistingDirectory(owner(parent_), display_text(title), start);
    if (dir.isEmpty())
        return std::nullopt;
    return fs_.program_path(program_text(dir));
}

void QtUi::busy(bool on) {
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtUi::beep() {
    QApplication::beep();
}

void QtUi::process_events() {
    QCoreApplication::processEvents();
}

}  // namespace qv
