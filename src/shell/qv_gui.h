#pragma once

#include <QIcon>
#include <QLockFile>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "scenario/session.h"
#include "shell/batch_campaign.h"
#include "shell/services.h"
#include "shell/startup.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;

namespace qv {

struct QVGuiOptions {
    // The lock that tells a second running copy apart; empty: no check.
    QString lock_path;
    // An installed copy's demo workspace, offered when there is no qv-gui.ini yet.
    std::optional<DemoOffer> demo = std::nullopt;
};

// The options file named on the command line, made absolute (empty when none is): the first
// argument that is not an option. The About window shows the arguments all the same.
QString options_file_argument(const QStringList& args);

// The per-user lock file of qv-gui (runtime directory, else the temporary directory).
QString default_lock_path();

// The program's picture, as the window icon of the application and of the main window. The
// picture is decoded once: its pixmap stays in Qt's pixmap cache for the main window's copy.
QIcon program_icon();

// The main window. Menu entries keep their form names as objectNames; the entries of a menu
// array carry their index after the name: MnuFiles0..MnuFiles3 (3 is the separator),
// MnuScen0..MnuScen3, mnuadvopt0..mnuadvopt11, MnuBatch0..MnuBatch1.
class QVGui : public QMainWindow, public DocumentView {
    Q_OBJECT
  public:
    QVGui(Session& s, const ShellServices& services, QVGuiOptions options = {},
          QWidget* parent = nullptr);
    ~QVGui() override;

    // The start-up sequence: instance check, state table, run log, configuration (or the
    // first-run prompts), then the window shown and the default options file read.
    // Throws ProgramEnd where the program ends.
    void load();

    // The orderly exit (never returns).
    [[noreturn]] void fini();

    // Opens the window of a form name modeless, or brings it to the front when open.
    QWidget* open_form(const QString& form_name);

    // Refuses (after a message) while a window that holds values of the current scenario is
    // open, as File > Open does before it reads another options file.
    bool confirm_no_open_windows();
    // Before another options file is read: the open windows closed, and the unsaved changes
    // saved or given up (File > Open asks).
    bool ready_to_open_another();

    // The campaign of the Batch window, which outlives that window.
    BatchCampaign& batch() { return batch_; }

    void set_caption(const std::string& caption) override;
    void show_summary() override;

    // The options file (program form) that load() reads instead of the configured default one
    // (qv-gui FILE); the default one is read when it cannot be.
    void set_start_file(const std::string& path) { start_file_ = path; }
    // The INI file of qv-gui's own settings (the recent files); empty: the user's.
    void use_settings_file(const QString& path) { settings_file_ = path; }
    // Reads an options file of the recent-files list as File > Open reads a chosen one; one that
    // no longer exists is taken off the list instead, after a message.
    void open_recent(const QString& host_path);
    // The viewer window of a text file (host path), made or brought to the front.
    QWidget* open_viewer(const QString& host_path);

  signals:
    // The viewers' "Open with system viewer" asks for this.
    void systemViewerRequested(const QString& host_path);
    void runRequested();
    void reportsRequested();
    void viewMessageRequested();
    void viewOptionsRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void build_menus();
    void toggle_diagnostics();
    void fill_diagnostics();
    void show_last_run();
    void show_modified();
    void remember_current_file();
    void fill_recent_menu();

    Session& s_;
    ShellServices services_;
    QVGuiOptions options_;
    BatchCampaign batch_;
    std::unique_ptr<QLockFile> lock_;
    int load_count_ = 0;
    bool ending_ = false;
    bool second_copy_ = false;
    QMap<QString, QPointer<QWidget>> windows_;

    QLabel* picture_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* last_run_ = nullptr;
    QLabel* run_warning_ = nullptr;
    QPushButton* run_details_ = nullptr;
    QPushButton* view_msg_ = nullptr;
    QListWidget* region_list_ = nullptr;
    QListWidget* diag_list_ = nullptr;
    QPushButton* diag_button_ = nullptr;
    QAction* run_ = nullptr;
    QAction* reports_ = nullptr;
    QMenu* files_ = nullptr;
    std::string start_file_;
    QString settings_file_;
};

}  // namespace qv
