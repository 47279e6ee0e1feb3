#pragma once

#include <QDialog>
#include <memory>
#include <optional>
#include <string>

#include "dialogs/batch/quiet_ui.h"
#include "dialogs/batch/variant_plan.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace qv {

class Session;

// "Make variants": one options file per variant of the scenario S holds (per state of its
// region, per chosen state, per county of chosen states, per year), written into a folder the
// user picks with DIR/campaign.txt listing them. The scenario S holds is left as it was. Returns
// the host path of the campaign list written, or nothing when the user cancelled or nothing was
// written.
std::optional<std::string> make_variants(Session& s, QWidget* parent);

// The dialog behind make_variants. It shows the files it will write as the choices change and
// writes them on OK; the scenario of the session is the template and is never changed.
class MakeVariantsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit MakeVariantsDialog(Session& s, QWidget* parent = nullptr);
    ~MakeVariantsDialog() override;

    // Writes the files after the checks and questions; closes the dialog when they are written.
    void ok();
    const std::optional<std::string>& list_path() const { return list_path_; }

  private:
    VariantRequest request() const;
    // The folder typed, as a host path; a relative one is taken against the template's folder.
    std::string folder() const;
    void refresh();
    void browse();

    Session& s_;
    // Copies of the session: one shows the county queries' failures, one checks quietly.
    std::unique_ptr<Session> queries_;
    QuietUi quiet_ui_;
    std::unique_ptr<Session> quiet_;
    VariantPlanner planner_;
    std::optional<std::string> list_path_;

    QButtonGroup* region_ = nullptr;
    QListWidget* states_ = nullptr;
    QLineEdit* years_ = nullptr;
    QLineEdit* growth_years_ = nullptr;
    QLineEdit* tech_years_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QLabel* count_ = nullptr;
    QTreeWidget* preview_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace qv
