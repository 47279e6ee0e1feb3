#pragma once

#include <string>
#include <vector>

#include <QWidget>

#include "scenario/session.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListWidget;

namespace qv {

// The Sources window: all sources, or a list of source codes found by segment and fuel. It
// edits the scenario's source list in place and puts the list of its opening back on Cancel.
class SourcesDialog : public QWidget {
    Q_OBJECT
  public:
    explicit SourcesDialog(Session& s, QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void src_active();
    void segment_clicked(int index);
    void add(int index);
    void remove_selection();
    void append_lines(const std::vector<SourceRecord>& records);
    void cancel();
    // The three lists show the same entries line by line: a scroll of one scrolls the others.
    void scroll_together();

    Session& s_;
    int segindex_ = -1;
    int fuelindex_ = -1;
    std::string segcode_;
    std::vector<SourceRecord> savedsources_;
    bool savedselected_ = false;
    // The entries behind the lines of the three lists, in the same order.
    std::vector<SourceRecord> shown_;

    QButtonGroup* srcact_ = nullptr;
    QButtonGroup* segment_ = nullptr;
    QButtonGroup* fuel_ = nullptr;
    std::vector<QWidget*> choice_controls_;
    QListWidget* selected_ = nullptr;
    QListWidget* lstcodes_ = nullptr;
    QListWidget* codedesc_ = nullptr;
    QLabel* codes_label_ = nullptr;
    QLineEdit* seg_ = nullptr;
    bool scrolling_ = false;  // a scroll is being passed on to the other lists
};

}  // namespace qv
