#include "shell/compare_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "dialogs/batch/quiet_ui.h"
#include "dialogs/batch/session_copy.h"
#include "platform/program_end.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv {

std::unique_ptr<Session> read_in_own_session(const Session& s, QuietUi& quiet,
                                             const std::string& path, std::string& failure) {
    auto copy = session_copy(s, quiet);
    // A fresh scenario: a packet the file lacks must not show the window's values.
    copy->sc = Scenario{};
    copy->file_stamp.reset();
    copy->sc.option_file_name = split_file_name(path);
    copy->sc.option_file_dir = split_dir(path);
    bool read = false;
    try {
        read_options_file(*copy);
        read = !copy->read_incomplete;
    } catch (const ProgramEnd&) {
    } catch (const ChooserStop&) {
    }
    if (read)
        return copy;
    failure = path + " could not be read: " + quiet.first_message();
    return nullptr;
}

Comparison compare_with_file(const Session& s, const std::string& other) {
    Comparison result;
    QuietUi quiet;
    if (auto copy = read_in_own_session(s, quiet, other, result.failure))
        result.differences = compare_scenarios(compared_side(s), compared_side(*copy));
    return result;
}

std::optional<std::string> choose_file_to_compare(Session& s) {
    ChooserRequest request;
    request.title = "Compare with";
    request.filter = "Option files (*.opt)|*.opt|All files (*.*)|*.*";
    request.initial_dir = s.sc.option_file_dir;
    return s.ui.open_file(request);
}

QTableWidget* difference_table(QWidget* parent, const char* name, const QString& a_heading,
                               const QString& b_heading) {
    auto* table = new QTableWidget(0, 4, parent);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels({"Packet", "Field", a_heading, b_heading});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->setVisible(false);
    table->setWordWrap(false);
    return table;
}

void fill_difference_table(QTableWidget* table, const std::vector<Difference>& differences) {
    table->setRowCount(static_cast<int>(differences.size()));
    const std::string* packet = nullptr;
    int row = 0;
    for (const auto& d : differences) {
        const bool first = !packet || *packet != d.packet;
        packet = &d.packet;
        const std::string cells[4] = {first ? d.packet : "", d.field, d.a.value_or(""),
                                      d.b.value_or("")};
        for (int col = 0; col < 4; ++col) {
            auto* item = new QTableWidgetItem(display_text(cells[col]));
            item->setToolTip(display_text(cells[col]));
            if (col == 0) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            // A side that lacks the item or holds no value says so, in grey.
            if (col >= 2 && trim(cells[col]).empty()) {
                item->setText("(none)");
                item->setForeground(Qt::gray);
            }
            table->setItem(row, col, item);
        }
        ++row;
    }
    table->resizeColumnsToContents();
    table->resizeRowsToContents();
    // The two sides share the room that is left.
    for (int col : {2, 3})
        table->horizontalHeader()->setSectionResizeMode(col, QHeaderView::Stretch);
}

CompareWindow::CompareWindow(Session& s, QWidget* parent) : QWidget(parent, Qt::Window), s_(s) {
    setObjectName("Compare");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Compare");

    auto* layout = new QVBoxLayout(this);
    heading_ = new QLabel(this);
    heading_->setObjectName("CompareFiles");
    heading_->setTextFormat(Qt::PlainText);
    heading_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    heading_->setWordWrap(true);
    layout->addWidget(heading_);

    none_ = new QLabel("No differences", this);
    none_->setObjectName("NoDifferences");
    none_->setAlignment(Qt::AlignCenter);
    none_->setVisible(false);
    layout->addWidget(none_, 1);

    table_ = difference_table(this, "CompareTable", "This file", "The other");
    layout->addWidget(table_, 1);

    auto* buttons = new QHBoxLayout;
    auto* other = new QPushButton("&Other file...", this);
    other->setObjectName("cmdOther");
    connect(other, &QPushButton::clicked, this, [this] {
        if (auto chosen = choose_file_to_compare(s_))
            compare_with(*chosen);
    });
    auto* again = new QPushButton("&Refresh", this);
    again->setObjectName("cmdRefresh");
    connect(again, &QPushButton::clicked, this, [this] {
        if (!other_.empty())
            compare_with(other_);
    });
    auto* close_button = new QPushButton("&Close", this);
    close_button->setObjectName("cmdClose");
    close_button->setDefault(true);
    connect(close_button, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(other);
    buttons->addStretch();
    buttons->addWidget(again);
    buttons->addWidget(close_button);
    layout->addLayout(buttons);

    resize(900, 480);
    center_form(this);
}

void CompareWindow::compare_with(const std::string& other) {
    other_ = other;
    Comparison found;
    {
        BusyPointer busy(s_.ui);
        found = compare_with_file(s_, other);
    }
    const std::string self = s_.option_file_path();
    heading_->setText(display_text("This file: " + self +
                                   " (as it stands in the window, unsaved changes included)\n" +
                                   "The other: " + other));
    fill_difference_table(table_, found.differences);
    const std::size_t n = found.differences.size();
    const QString name = display_text(qv::lower(split_file_name(other)));
    if (!found.failure.empty()) {
        none_->setText(display_text(found.failure));
        setWindowTitle("Compare with " + name);
    } else {
        none_->setText("No differences");
        setWindowTitle(
            QString("Compare with %1: %2 difference%3").arg(name).arg(n).arg(n == 1 ? "" : "s"));
    }
    none_->setVisible(n == 0);
    table_->setVisible(n != 0);
}

void CompareWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

}  // namespace qv
