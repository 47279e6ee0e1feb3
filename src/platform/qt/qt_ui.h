#pragma once

#include <QLineEdit>
#include <QListWidgetItem>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "platform/fs.h"
#include "platform/ui.h"

namespace qv {

// The filter "desc|pattern|desc|pattern" in Qt's "desc (pattern);;desc (pattern)" form.
QString qt_filter(const std::string& filter);
// The text of program bytes for a widget: UTF-8 when valid, else Latin-1.
QString display_text(const std::string& bytes);
// Widget text back to program bytes (UTF-8).
std::string program_text(const QString& text);

// The start name of a file chooser: a bare file name as it is, a path (program form) as the
// host path it names.
QString chooser_start_name(const FileSystem& fs, const std::string& name);

// Shows program bytes in a box or list line and remembers them, so that text the user left as it
// was gives the very same bytes back (a Windows-1252 path shown as Latin-1 stays Windows-1252).
void set_program_text(QLineEdit* box, const std::string& bytes);
std::string program_text(const QLineEdit* box);
QListWidgetItem* program_item(const std::string& bytes);
std::string program_text(const QListWidgetItem* item);

// The Ui of qv-gui: Qt message boxes and file dialogs, the busy pointer, the beep.
class QtUi : public Ui {
  public:
    explicit QtUi(FileSystem& fs) : fs_(fs) {}

    // The window that boxes and choosers belong to.
    void set_parent(QWidget* parent) { parent_ = parent; }

    Button message(const std::string& text, const std::optional<std::string>& title, Icon icon,
                   Buttons buttons) override;
    std::optional<std::string> open_file(const ChooserRequest& request) override;
    std::optional<std::string> save_file(const ChooserRequest& request) override;
    std::vector<std::string> open_files(const ChooserRequest& request) override;
    std::optional<std::string> choose_directory(const std::string& title,
                                                const std::string& initial_dir) override;
    void busy(bool on) override;
    void beep() override;
    void process_events() override;

  private:
    std::optional<std::string> choose(const ChooserRequest& request, bool save);
    FileSystem& fs_;
    QPointer<QWidget> parent_;
};

}  // namespace qv
