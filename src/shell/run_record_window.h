#pragma once

#include <QWidget>

#include "platform/hash.h"
#include "runs/run_record.h"
#include "scenario/session.h"

class QLabel;
class QTableWidget;

namespace qv {

// "Run Record": the record of the current scenario's latest run, its facts above a table of
// every file it names (file, role, size, date, short hash, changed since the run), the changed
// rows standing out. Modeless; Refresh reads the record and the disk again.
class RunRecordWindow : public QWidget {
    Q_OBJECT
  public:
    RunRecordWindow(Session& s, const Hasher& hasher, QWidget* parent = nullptr);

    void refresh();
    // Shows the record at RECORD_PATH (host path) instead of the current scenario's.
    void show_record(const std::string& record_path);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void show_scenario_changes(const runs::RecordStatus& status);

    Session& s_;
    const Hasher& hasher_;
    std::string record_path_;  // empty: the current scenario's record
    QLabel* facts_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* changes_label_ = nullptr;
    QTableWidget* changes_ = nullptr;
};

}  // namespace qv
