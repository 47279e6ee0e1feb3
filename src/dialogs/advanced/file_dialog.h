#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/advanced/file_dialog_forms.h"
#include "scenario/session.h"

namespace qv {

// The family of advanced dialogs that name one or two files: per row a text box and a button
// that runs the chooser, then OK and Cancel. The form data tells the members apart; Optional Output
// adds its check box.
class FileDialog : public QWidget {
    Q_OBJECT

  public:
    FileDialog(Session& s, const FileDialogForm& form_data, QWidget* parent = nullptr);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Esc acts as Cancel.
    void keyPressEvent(QKeyEvent* event) override;
    // What a close that was not cancelled stores (the dialogs with store_on_close).
    virtual void closing_step();
    // Puts a section between the file rows and the buttons.
    void add_section(QWidget* section);

    Session& s_;

  private:
    void change(std::size_t row);
    void ok();
    void cancel();
    void store_rows();
    std::string box_text(std::size_t row) const;

    const FileDialogForm& form_data_;
    std::vector<QLineEdit*> boxes_;
    QVBoxLayout* body_;
    std::string chooser_name_;  // the chooser's remembered file name
    bool cancelled_ = false;
    bool changed_ = false;  // a pick filled a box during this visit
    bool placed_ = false;
};

// Optional Output: the KPZ file and the by-model-year request, stored on every close but Cancel.
class OptionalOutputDialog : public FileDialog {
    Q_OBJECT

  public:
    explicit OptionalOutputDialog(Session& s, QWidget* parent = nullptr);

  protected:
    void closing_step() override;

  private:
    QCheckBox* chkbmy_;
};

// The window of one of the seven forms (frmActiv, frmUSCountiesFIPS, frmDaily, frmRetrofit,
// frmTech, frmtemporal, frmoptout); nullptr for any other name.
QWidget* create_file_dialog(const std::string& form, Session& s, QWidget* parent);
// The same as a window-factory entry.
std::function<QWidget*(Session&, QWidget*)> file_dialog_factory(const std::string& form);

}  // namespace qv
