#include "shell/model_run_window.h"

#include "platform/qt/program_ending.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"

namespace qv {

namespace {

// The system's fixed font, and failing that any monospaced one, so that columns line up.
QFont fixed_pitch_font() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({font.family(), "DejaVu Sans Mono", "Monospace"});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

}  // namespace

QString elapsed_text(qint64 milliseconds) {
    const qint64 seconds = milliseconds / 1000;
    return QString("Elapsed time: %1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
}

QString run_status_text(const runs::RunFacts& facts) {
    if (!facts.was_started) {
        // The failure reads "the model could not be started (error N: reason)".
        const auto detail = facts.failure.find(" (");
        return "The model could not be started" +
               (detail == std::string::npos ? QString()
                                            : display_text(facts.failure.substr(detail)));
    }
    const QString how = QString::fromStdString(runs::exit_description(facts));
    if (facts.stopped == runs::StopReason::user)
        return "Stopped by the user, " + how;
    if (!facts.failure.empty())
        return "Failed: " + display_text(facts.failure);
    return "Finished, " + how;
}

QString dropped_lines_text(long long dropped, const QString& log) {
    QString text = QString("%1 earlier lines are not shown: the window keeps the last %2.")
                       .arg(dropped)
                       .arg(ModelRunWindow::max_lines);
    if (!log.isEmpty())
        text += " The whole output is in " + log + ".";
    return text;
}

ModelRunWindow::ModelRunWindow(Session& s, QWidget* parent) : QWidget(parent, Qt::Window), s_(s) {
    setObjectName("ModelRun");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Model run");

    command_ = new QLabel(this);
    command_->setObjectName("lblCommand");
    directory_ = new QLabel(this);
    directory_->setObjectName("lblDirectory");
    dropped_ = new QLabel(this);
    dropped_->setObjectName("lblDropped");
    dropped_->setVisible(false);
    for (QLabel* label : {command_, directory_, dropped_}) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setWordWrap(true);
    }
    output_ = new QPlainTextEdit(this);
    output_->setObjectName("txtOutput");
    output_->setReadOnly(true);
    output_->setFont(fixed_pitch_font());
    output_->setMaximumBlockCount(max_lines);
    elapsed_ = new QLabel(elapsed_text(0), this);
    elapsed_->setObjectName("lblElapsed");
    status_ = new QLabel(this);
    status_->setObjectName("lblStatus");
    // A failure names files and paths: it wraps rather than being cut off.
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    stop_ = new QPushButton("&Stop", this);
    stop_->setObjectName("cmdStop");
    stop_->setEnabled(false);
    auto* close_button = new QPushButton("&Close", this);
    close_button->setObjectName("cmdClose");

    connect(stop_, &QPushButton::clicked, this, [this] {
        if (running_ && confirm_stop())
            emit stopConfirmed();
    });
    connect(close_button, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(command_);
    layout->addWidget(directory_);
    layout->addWidget(dropped_);
    layout->addWidget(output_, 1);
    layout->addWidget(status_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(elapsed_);
    bottom->addStretch(1);
    bottom->addWidget(stop_);
    bottom->addWidget(close_button);
    layout->addLayout(bottom);

    resize(720, 420);
    // Beside the main window, so that the summary it refreshes at the end stays in sight.
    place_beside(this, parentWidget());
}

void ModelRunWindow::begin(const QString& command, const QString& directory, const QString& log) {
    command_->setText("Command: " + command);
    directory_->setText("Directory: " + directory);
    output_->clear();
    pending_.clear();
    lines_ = 0;
    log_ = log;
    dropped_->clear();
    dropped_->setVisible(false);
    status_->setText("Running");
    clock_.start();
    elapsed_->setText(elapsed_text(0));
    running_ = true;
    stop_->setEnabled(true);
}

void ModelRunWindow::append_output(const QString& line) {
    ++lines_;
    pending_.push_back(line);
    if (pending_.size() > static_cast<std::size_t>(max_lines))
        pending_.pop_front();
}

void ModelRunWindow::show_pending() {
    if (pending_.empty())
        return;
    QStringList block;
    block.reserve(static_cast<qsizetype>(pending_.size()));
    for (QString& line : pending_)
        block.append(std::move(line));
    pending_.clear();
    output_->appendPlainText(block.join('\n'));
    output_->verticalScrollBar()->setValue(output_->verticalScrollBar()->maximum());
    if (lines_ > max_lines) {
        dropped_->setText(dropped_lines_text(lines_ - max_lines, log_));
        dropped_->setVisible(true);
    }
}

void ModelRunWindow::tick() {
    show_pending();
    if (running_)
        elapsed_->setText(elapsed_text(clock_.elapsed()));
}

void ModelRunWindow::finish(const QString& status) {
    tick();
    running_ = false;
    stop_->setEnabled(false);
    status_->setText(status);
}

bool ModelRunWindow::confirm_stop() {
    return s_.message(
               "Stop the model run?\n\nThe model and every program it started will be "
               "ended; its message and output files may be incomplete.",
               Icon::Question, Buttons::YesNo) == Button::Yes;
}

void ModelRunWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

// Closing the window while the model runs is a Stop: the window is the only way to see or end
// the run.
void ModelRunWindow::closeEvent(QCloseEvent* event) {
    if (!running_ || program_ending()) {
        event->accept();
        return;
    }
    if (confirm_stop()) {
        emit stopConfirmed();
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace qv
