#include "shell/qv_gui.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPixmapCache>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "platform/program_end.h"
#include "platform/qt/program_ending.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "scenario/config.h"
#include "scenario/options_file.h"
#include "scenario/state_table.h"
#include "shell/application.h"
#include "shell/batch_window.h"
#include "shell/compare_window.h"
#include "shell/file_menu.h"
#include "shell/last_run.h"
#include "shell/recent_files.h"
#include "shell/run_record_window.h"
#include "shell/startup.h"
#include "shell/summary.h"
#include "shell/text_viewer_window.h"
#include "shell/unsaved_changes.h"
#include "shell/window_factory.h"

// Resources of a static library are registered by name, outside any namespace.
static void init_shell_resources() {
    Q_INIT_RESOURCE(qv_gui);
}

namespace qv {

namespace {

struct FormItem {
    const char* caption;
    const char* form;
};

const FormItem scenario_items[] = {{"&Options", "Options"},
                                   {"&Period", "Periodfrm"},
                                   {"&Region", "Region"},
                                   {"&Sources", "sorces"}};

const FormItem advanced_items[] = {{"Geographic &Allocation", "geoalloc"},
                                   {"&Temporal Allocation", "frmtemporal"},
                                   {"&Growth", "frmgrow"},
                                   {"&Equip. Population", "frmEquip"},
                                   {"&Phase In", "frmTech"},
                                   {"Emission &Factors", "Emiss"},
                                   {"&Deterioration Factors", "Deterior"},
                                   {"A&ctivity", "frmActiv"},
                                   {"&U.S. Counties FIPS", "frmUSCountiesFIPS"},
                                   {"&Retrofit", "frmRetrofit"},
                                   {"&Daily Temp/RVP", "frmDaily"},
                                   {"&Optional Output", "frmoptout"}};

QAction* item(QMenu* menu, const QString& name, const QString& caption) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    return a;
}

}  // namespace

QString options_file_argument(const QStringList& args) {
    for (const QString& a : args)
        if (!a.isEmpty() && !a.startsWith('-'))
            return QFileInfo(a).absoluteFilePath();
    return {};
}

QString default_lock_path() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + "/qv-gui.lock";
}

namespace {

// Decoded once, and read as the PNG it is: no image format plugin is loaded to find out what
// the file holds.
QPixmap program_picture() {
    const QString key = QStringLiteral("qv-gui/program-picture");
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        QImageReader reader(QStringLiteral(":/qv-gui/qv-gui.png"), "png");
        reader.setAutoDetectImageFormat(false);
        picture = QPixmap::fromImageReader(&reader);
        QPixmapCache::insert(key, picture);
    }
    return picture;
}

}  // namespace

QIcon program_icon() {
    init_shell_resources();
    return QIcon(program_picture());
}

QVGui::QVGui(Session& s, const ShellServices& services, QVGuiOptions options, QWidget* parent)
    : QMainWindow(parent), s_(s), services_(services), options_(std::move(options)), batch_(s) {
    init_shell_resources();
    setObjectName("QVGui");
    setWindowIcon(program_icon());
    s_.view = this;

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    picture_ = new QLabel(central);
    picture_->setObjectName("Picture1");
    picture_->setPixmap(
        program_picture().scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    layout->addWidget(picture_, 0, Qt::AlignHCenter);

    summary_ = new QLabel(central);
    summary_->setObjectName("VerLbl");
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setBold(true);
    summary_->setFont(fixed);
    summary_->setTextFormat(Qt::PlainText);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(summary_);

    // The latest run's record, under the output line.
    last_run_ = new QLabel(central);
    last_run_->setObjectName("LastRunLbl");
    run_warning_ = new QLabel(central);
    run_warning_->setObjectName("RunWarningLbl");
    QPalette warn = run_warning_->palette();
    warn.setColor(QPalette::WindowText, warning_colour());
    run_warning_->setPalette(warn);
    for (QLabel* l : {last_run_, run_warning_}) {
        l->setFont(fixed);
        l->setTextFormat(Qt::PlainText);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        l->setVisible(false);
    }
    layout->addWidget(last_run_);
    // What changed, file by file and field by field, in the Run Record window.
    run_details_ = new QPushButton("Details...", central);
    run_details_->setObjectName("RunWarningDetails");
    run_details_->setVisible(false);
    connect(run_details_, &QPushButton::clicked, this, [this] {
        if (auto* window = qobject_cast<RunRecordWindow*>(open_form("RunRecord")))
            window->refresh();
    });
    auto* warning_row = new QHBoxLayout;
    warning_row->addWidget(run_warning_, 1);
    warning_row->addWidget(run_details_);
    layout->addLayout(warning_row);

    view_msg_ = new QPushButton("&View Message File", central);
    view_msg_->setObjectName("View_Msg");
    view_msg_->setEnabled(false);
    view_msg_->setVisible(false);
    connect(view_msg_, &QPushButton::clicked, this, &QVGui::viewMessageRequested);
    layout->addWidget(view_msg_, 0, Qt::AlignHCenter);

    // Diagnostics, shown with F11.
    auto* diag = new QHBoxLayout;
    region_list_ = new QListWidget(central);
    region_list_->setObjectName("LstRegionB");
    diag_list_ = new QListWidget(central);
    diag_list_->setObjectName("LstDiag");
    diag_button_ = new QPushButton("Diag", central);
    diag_button_->setObjectName("CmdDiag");
    for (QWidget* w : {static_cast<QWidget*>(region_list_), static_cast<QWidget*>(diag_list_),
                       static_cast<QWidget*>(diag_button_)}) {
        w->setVisible(false);
        diag->addWidget(w);
    }
    connect(diag_button_, &QPushButton::clicked, this, &QVGui::fill_diagnostics);
    layout->addLayout(diag);
    layout->addStretch();
    setCentralWidget(central);

    build_menus();
    // The window sees every key before its controls do.
    qApp->installEventFilter(this);
    resize(760, 280);
}

QVGui::~QVGui() {
    if (qApp)
        qApp->removeEventFilter(this);
    if (s_.view == this)
        s_.view = nullptr;
}

void QVGui::build_menus() {
    files_ = new GreyingMenu("&File", this);
    menuBar()->addMenu(files_);
    files_->setObjectName("MenuFiles");
    const char* file_captions[] = {"&Open...", "&Save", "Save &as..."};
    const QKeySequence file_keys[] = {QKeySequence("Ctrl+O"), QKeySequence("Ctrl+S"),
                                      QKeySequence("Ctrl+Shift+S")};
    for (int i = 0; i < 3; ++i) {
        QAction* a = item(files_, QString("MnuFiles%1").arg(i), file_captions[i]);
        a->setShortcut(file_keys[i]);
        connect(a, &QAction::triggered, this, [this, i] {
            if (i == 0 && !ready_to_open_another())
                return;
            file_menu(s_, i);
        });
    }
    connect(item(files_, "MnuCompare", "&Compare with..."), &QAction::triggered, this, [this] {
        if (auto other = choose_file_to_compare(s_))
            if (auto* window = qobject_cast<CompareWindow*>(open_form("Compare")))
                window->compare_with(*other);
    });
    files_->addSeparator()->setObjectName("MnuFiles3");
    // The recent files come between the two separators (fill_recent_menu).
    files_->addSeparator()->setObjectName("MnuRecentEnd");
    QAction* exit = item(files_, "MnuExit", "E&xit");
    exit->setShortcut(QKeySequence("Ctrl+Q"));
    connect(exit, &QAction::triggered, this, [this] {
        if (confirm_unsaved_changes(s_, batch_, Leaving::closing))
            fini();
    });
    connect(files_, &QMenu::aboutToShow, this, &QVGui::fill_recent_menu);

    QMenu* scen = menuBar()->addMenu("&Scenario");
    scen->setObjectName("MenuScen");
    for (int i = 0; i < 4; ++i) {
        QString form = scenario_items[i].form;
        connect(item(scen, QString("MnuScen%1").arg(i), scenario_items[i].caption),
                &QAction::triggered, this, [this, i, form] {
                    if (i == 1)
                        s_.log.write("Period selected");
                    open_form(form);
                });
    }

    QMenu* model = menuBar()->addMenu("&Model");
    model->setObjectName("MenuModel");
    run_ = item(model, "MnuRun", "&Run with filename.ext");
    reports_ = item(model, "MnuAcc", "Re&ports");
    connect(run_, &QAction::triggered, this, [this] {
        if (!refuse_incomplete_read(s_))
            emit runRequested();
    });
    connect(reports_, &QAction::triggered, this, &QVGui::reportsRequested);
    connect(model, &QMenu::aboutToShow, this,
            [this] { run_->setText(display_text(run_caption(s_.sc.option_file_name))); });

    QMenu* adv = menuBar()->addMenu("&Advanced options");
    adv->setObjectName("MenuAdvopt");
    for (int i = 0; i < 12; ++i) {
        QString form = advanced_items[i].form;
        connect(item(adv, QString("mnuadvopt%1").arg(i), advanced_items[i].caption),
                &QAction::triggered, this, [this, form] { open_form(form); });
    }

    QMenu* batch = menuBar()->addMenu("&Batch");
    batch->setObjectName("MenuBatch");
    for (int i = 0; i < 2; ++i)
        connect(item(batch, QString("MnuBatch%1").arg(i),
                     i == 0 ? "&Select option files" : "&Run Batch"),
                &QAction::triggered, this, [this, i] {
                    auto* window = qobject_cast<BatchWindow*>(open_form("Batch"));
                    if (window && i == 1)
                        window->run_batch();
                });

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("MenuHelp");
    QAction* guide = item(help, "MnuHelp", "&Help");
    guide->setShortcut(QKeySequence(Qt::Key_F1));
    connect(guide, &QAction::triggered, this, [this] { open_form("Help"); });
    connect(item(help, "MnuAbout", "&About"), &QAction::triggered, this,
            [this] { open_form("about"); });
    connect(item(help, "MnuCur", "&Current"), &QAction::triggered, this,
            [this] { open_form("Current"); });
    connect(item(help, "MnuRunRecord", "Run Record"), &QAction::triggered, this,
            [this] { open_form("RunRecord"); });
    QAction* diag = item(help, "MnuDiag", "&Diag");
    diag->setEnabled(false);
    connect(diag, &QAction::triggered, this, [this] { open_form("frmdiag"); });
}

void QVGui::load() {
    ShellSettings& cfg = s_.settings;
    cfg.msgbox_title = "US KQT QUARVEL MODEL";
    if (!lock_ && !options_.lock_path.isEmpty()) {
        lock_ = std::make_unique<QLockFile>(options_.lock_path);
        if (!lock_->tryLock(0)) {
            if (s_.message(already_running_text(), Icon::None, Buttons::YesNo) == Button::No)
                Session::end_program();
            second_copy_ = true;
        }
    }
    s_.state_table.clear();
    build_state_table(s_.state_table);
    if (load_count_ != 0)
        return;

    try {
        s_.log.open(s_.fs, join_path(cfg.files_dir(), "region.txt"));
        s_.log.write("Starting new run");
        ++load_count_;
        center_form(this);
        // A second copy would open exactly over the first one.
        if (second_copy_)
            move(pos() + QPoint(48, 48));
        s_.sc.pop_files_changed = false;
        s_.sc.save_file_name.clear();

        const std::string ini = join_path(cfg.files_dir(), "qv-gui.ini");
        if (!file_exists(s_.fs, ini, attr_normal) &&
            !(options_.demo && offer_demo_workspace(s_, *options_.demo))) {
            first_run_setup(s_);
            reports_->setEnabled(!cfg.access_exe.empty());
        } else {
            cfg.config_path = ini;
            ConfigOutcome outcome = read_config_file(s_);
            reports_->setEnabled(outcome.reports_enabled);
            run_->setEnabled(outcome.run_enabled);
        }

        show();
        BusyPointer busy(s_.ui);
        s_.set_caption_for_current_file();
        const std::string default_name = s_.sc.option_file_name;
        // A file named on the command line comes instead of the default one; when it cannot be
        // read (after its message), the default one is read as always.
        if (start_file_.empty() || !read_options_file_at(s_, start_file_)) {
            s_.sc.option_file_name = default_name;
            s_.sc.option_file_dir = cfg.model_dir;
            read_options_file(s_);
        }
        s_.set_caption_for_current_file();
    } catch (const AppError& e) {
        s_.log.write(std::to_string(e.number()) + " Main error ");
        s_.log.close();
        // The window stays up with whatever state was reached, also when the failure came
        // before it was shown: a hidden program could never be ended by the user.
        if (!isVisible())
            show();
    }
}

bool QVGui::confirm_no_open_windows() {
    // A window that is open holds values of the current scenario and would write them into the
    // next one when it closes.
    static const QStringList viewers = {"about", "Current", "frmdiag",  "Batch",
                                        "Help",  "Compare", "RunRecord"};
    for (auto it = windows_.cbegin(); it != windows_.cend(); ++it) {
        if (!viewers.contains(it.key()) && it.value() && it.value()->isVisible()) {
            s_.message("Close the open windows before opening another options file.",
                       Icon::Exclamation);
            show_to_front(it.value());
            return false;
        }
    }
    return true;
}

bool QVGui::ready_to_open_another() {
    return confirm_no_open_windows() && confirm_unsaved_changes(s_, batch_, Leaving::opening);
}

void QVGui::fini() {
    ending_ = true;
    s_.fini();
}

QWidget* QVGui::open_form(const QString& form_name) {
    QPointer<QWidget>& open = windows_[form_name];
    if (!open) {
        const WindowContext context{services_, batch_, [this] { return ready_to_open_another(); }};
        open = create_window(form_name, s_, this, &context);
    }
    if (open)
        show_to_front(open);
    return open;
}

void QVGui::set_caption(const std::string& caption) {
    // "[*]": the window system shows the modified marker there while a save would change the
    // file (show_modified).
    setWindowTitle(display_text(caption) + "[*]");
    show_modified();
    remember_current_file();
}

void QVGui::show_modified() {
    setWindowModified(has_unsaved_changes(s_));
    // Two copies on two files of one name are told apart by the file's folder.
    setToolTip(s_.sc.option_file_dir.empty() ? QString()
                                             : QFile::decodeName(QByteArray::fromStdString(
                                                   s_.fs.host_path(s_.sc.option_file_dir))));
}

void QVGui::remember_current_file() {
    if (s_.read_incomplete || !s_.clean || s_.sc.option_file_name.empty())
        return;
    const QString path =
        QFile::decodeName(QByteArray::fromStdString(s_.fs.host_path(s_.option_file_path())));
    if (!QFileInfo::exists(path))
        return;
    const QStringList list = read_recent_files(settings_file_);
    const QStringList now = with_recent(list, path);
    if (now != list)
        write_recent_files(settings_file_, now);
}

void QVGui::fill_recent_menu() {
    QAction* end = files_->findChild<QAction*>("MnuRecentEnd");
    for (QAction* a : files_->actions())
        if (a->objectName().startsWith("MnuRecent") && a != end)
            delete a;
    const QStringList list = read_recent_files(settings_file_);
    end->setVisible(!list.isEmpty());
    for (int i = 0; i < list.size(); ++i) {
        const QString& path = list[i];
        auto* a = new QAction(QString("&%1 ").arg(i + 1) + elided_path(files_, path, 420), files_);
        a->setObjectName(QString("MnuRecent%1").arg(i));
        a->setToolTip(path);
        a->setProperty(GreyingMenu::missing, !QFileInfo::exists(path));
        connect(a, &QAction::triggered, this, [this, path] { open_recent(path); });
        files_->insertAction(end, a);
    }
    files_->setToolTipsVisible(true);
}

void QVGui::open_recent(const QString& host_path) {
    if (!QFileInfo::exists(host_path)) {
        QStringList list = read_recent_files(settings_file_);
        list.removeAll(host_path);
        write_recent_files(settings_file_, list);
        s_.message(program_text(host_path) + " no longer exists. It is taken off the list.",
                   Icon::Exclamation);
        return;
    }
    if (!ready_to_open_another())
        return;
    try {
        open_options_file(s_, s_.fs.program_path(program_text(host_path)));
    } catch (const AppError&) {
        s_.back_to_app_dir();
    }
}

QWidget* QVGui::open_viewer(const QString& host_path) {
    std::function<void()> outside;
    if (system_viewer_available())
        outside = [this, host_path] { emit systemViewerRequested(host_path); };
    return TextViewerWindow::open(this, host_path, outside);
}

void QVGui::show_summary() {
    SummaryLines lines = summary_lines(s_);
    view_msg_->setEnabled(lines.message_found);
    view_msg_->setVisible(lines.message_found);
    summary_->setText(display_text(lines.text()));
    show_last_run();
    show_modified();
    // Shown at once, also while a run keeps the event loop busy.
    centralWidget()->layout()->activate();
    summary_->repaint();
}

void QVGui::show_last_run() {
    const LastRunLines lines = last_run_lines(s_, services_.hasher);
    last_run_->setText(display_text(lines.last_run));
    last_run_->setVisible(!lines.last_run.empty());
    run_warning_->setText(display_text(lines.warning));
    run_warning_->setVisible(!lines.warning.empty());
    run_details_->setVisible(!lines.warning.empty());
}

bool QVGui::eventFilter(QObject* watched, QEvent* event) {
    // Back in the window after work elsewhere: the inputs may have changed meanwhile.
    if (event->type() == QEvent::WindowActivate && watched == this) {
        show_last_run();
        show_modified();
    }
    // Every window of qv-gui, dialogs and boxes too, opens inside the screen's free area.
    if (event->type() == QEvent::Show) {
        auto* shown = qobject_cast<QWidget*>(watched);
        if (shown && (shown->windowType() == Qt::Window || shown->windowType() == Qt::Dialog))
            fit_to_screen(shown);
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return false;
    switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_F11:
            toggle_diagnostics();
            return true;
        case Qt::Key_F12:
            emit viewOptionsRequested();
            return true;
        default:
            return false;
    }
}

void QVGui::toggle_diagnostics() {
    for (QWidget* w : {static_cast<QWidget*>(region_list_), static_cast<QWidget*>(diag_list_),
                       static_cast<QWidget*>(diag_button_)})
        w->setVisible(w->isHidden());
}

void QVGui::fill_diagnostics() {
    DiagLists lists = diag_lists(s_.sc);
    diag_list_->clear();
    for (const auto& t : lists.states)
        diag_list_->addItem(display_text(t));
    region_list_->clear();
    for (const auto& t : lists.regions)
        region_list_->addItem(display_text(t));
}

void QVGui::closeEvent(QCloseEvent* event) {
    // The program is already ending (its windows are being closed): nothing more to log or ask.
    if (ending_ || program_ending()) {
        event->accept();
        return;
    }
    if (!confirm_unsaved_changes(s_, batch_, Leaving::closing)) {
        event->ignore();
        return;
    }
    fini();
}

}  // namespace qv
