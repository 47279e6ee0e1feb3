#pragma once

#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/batch/quiet_ui.h"
#include "scenario/scenario_compare.h"
#include "scenario/session.h"

class QLabel;
class QTableWidget;

namespace qv {

// What comparing a scenario with another options file found: the differences, or why the other
// file could not be compared.
struct Comparison {
    std::vector<Difference> differences;
    std::string failure;
};

// Reads the options file at `path` (program path) into a session of its own with the settings
// and services of S, answering its boxes with `quiet`; null, with why in `failure`, when the
// read could not be completed.
std::unique_ptr<Session> read_in_own_session(const Session& s, QuietUi& quiet,
                                             const std::string& path, std::string& failure);

// The scenario of S as it stands (unsaved edits included) against the options file at `other`
// (program path), read in a session of its own as File > Open would read it. Neither S nor
// either file changes.
Comparison compare_with_file(const Session& s, const std::string& other);

// The chooser of File > "Compare with..."; nullopt when the user cancelled.
std::optional<std::string> choose_file_to_compare(Session& s);

// An empty table of differences: packet, field and the two sides under their headings.
QTableWidget* difference_table(QWidget* parent, const char* name, const QString& a_heading,
                               const QString& b_heading);
// Fills a table of four columns (packet, field, one side, the other) with one row per
// difference, the packet named on the first row of its group only.
void fill_difference_table(QTableWidget* table, const std::vector<Difference>& differences);

// "Compare": the differences between the window's scenario and another options file, one row
// per difference grouped by packet, with their count in the caption; "No differences" when
// there are none. Esc closes it.
class CompareWindow : public QWidget {
    Q_OBJECT
  public:
    explicit CompareWindow(Session& s, QWidget* parent = nullptr);

    // Compares with the options file at `other` (program path) and shows what it found.
    void compare_with(const std::string& other);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    Session& s_;
    std::string other_;
    QLabel* heading_ = nullptr;
    QLabel* none_ = nullptr;
    QTableWidget* table_ = nullptr;
};

}  // namespace qv
