#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <string>
#include <vector>

#include "scenario/session.h"

namespace qv {

// The object names and captions that tell the list windows apart.
struct ListWindowLayout {
    const char* form = nullptr;
    const char* caption = nullptr;
    const char* list = nullptr;
    const char* frame_caption = nullptr;  // nullptr: the list stands without a frame
    const char* edit_label = nullptr;     // nullptr: the edit box has no label
    const char* edit_label_name = nullptr;
    const char* edit = nullptr;
    const char* replace = nullptr;
    const char* add = nullptr;
    const char* add_caption = nullptr;
    const char* del = nullptr;
    const char* ok = nullptr;
    const char* cancel = nullptr;
};

// The windows that edit a list of input files: a list with several entries selectable, an edit
// box with Replace, Add... and Delete, then OK and Cancel. OK, Cancel and Esc record in
// `cancelled` (which outlives the window) how the visit ended; every close, the close box
// included, runs the window's closing step.
class FileListWindow : public QWidget {
    Q_OBJECT

  public:
    FileListWindow(Session& s, const ListWindowLayout& layout, bool& cancelled,
                   QWidget* parent = nullptr);

  protected:
    virtual void add_file() = 0;
    // By default removes the selected entries from the screen list.
    virtual void delete_selected();
    virtual void replace() = 0;
    virtual void entry_clicked() = 0;
    virtual void closing_step() = 0;
    // OK's own test before it closes; false keeps the window open.
    virtual bool ok_step() { return true; }
    virtual void cancel_step() {}

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // Fills the list with program texts; returns the entries as program texts.
    void fill(const std::vector<std::string>& entries);
    std::vector<std::string> entries() const;
    std::vector<int> selected_rows() const;
    std::string edit_text() const;
    // Runs the chooser and appends an existing file it returns to the screen list.
    void append_picked(const ChooserRequest& request, bool check_83);

    Session& s_;
    QVBoxLayout* top_;  // above the list: room for a window's own rows
    QListWidget* list_;
    QLineEdit* edit_;
    QLabel* edit_label_ = nullptr;
    bool& cancelled_;

  private:
    void ok();
    void cancel();
};

}  // namespace qv
