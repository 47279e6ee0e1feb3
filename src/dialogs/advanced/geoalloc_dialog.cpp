#include "dialogs/advanced/geoalloc_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "dialogs/advanced/list_rules.h"
#include "dialogs/advanced/pick_file.h"
#include "platform/fs/path_form.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"

namespace qv {

namespace {

const ListWindowLayout geoalloc_layout = {
    .form = "geoalloc",
    .caption = "Geographic Allocation",
    .list = "lstalloc",
    .frame_caption = "Allocation Files",
    .edit = "SelEdit",
    .replace = "Command1",
    .add = "cmdAddDel0",
    .add_caption = "Add...",
    .del = "cmdAddDel1",
    .ok = "cmdfin0",
    .cancel = "cmdfin1",
};

const char* const alloc_filter = "ALLOC (*.alo)|*.alo|XREF (*.xrf)|*.xrf|All files (*.*)|*.*";
const char* const alloc_title = "Select Allocation file";

}  // namespace

GeoallocDialog::GeoallocDialog(Session& s, QWidget* parent)
    : FileListWindow(s, geoalloc_layout, s.list_dialogs.geoalloc_cancelled, parent),
      alloc_files_changed_before_(s.sc.alloc_files_changed) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Allocation Lookup table"), this);
    label->setObjectName("Label1");
    txtalloc_ = new QLineEdit(this);
    txtalloc_->setObjectName("txtalloc");
    auto* lookup = new QPushButton(QStringLiteral("Change Look up"), this);
    lookup->setObjectName("cmdlookup");
    lookup->setAutoDefault(false);
    row->addWidget(label);
    row->addWidget(txtalloc_, 1);
    row->addWidget(lookup);
    top_->addLayout(row);
    connect(lookup, &QPushButton::clicked, this, &GeoallocDialog::change_lookup);

    adjustSize();
    center_form(this);
    set_program_text(txtalloc_, s.sc.run_files[rf::alloc_xref]);
    refill();
}

void GeoallocDialog::refill() {
    fill(list_files(s_.sc.alloc_files_work));
}

void GeoallocDialog::entry_clicked() {
    const int row = list_->currentRow();
    if (row >= 0 && static_cast<std::size_t>(row) < s_.sc.alloc_files_work.size())
        set_program_text(edit_, s_.sc.alloc_files_work[static_cast<std::size_t>(row)]->allocfile);
}

void GeoallocDialog::change_lookup() {
    std::optional<std::string> path = pick_file(
        s_, open_request(alloc_title, alloc_filter, 2, join_path(s_.settings.data_dir, "allocate")),
        true);
    if (path)
        set_program_text(txtalloc_, *path);
}

void GeoallocDialog::add_file() {
    std::optional<std::string> path = pick_file(
        s_, open_request(alloc_title, alloc_filter, 1, join_path(s_.settings.data_dir, "ALLOCATE")),
        false);
    if (!path)
        return;
    if (!accept_added_file(s_, *path)) {
        // A missing file still counts as a touch of the list.
        changed_ = true;
        return;
    }
    if (add_alloc_file(s_, s_.sc.alloc_files_work, *path)) {
        refill();
        changed_ = true;
    }
}

void GeoallocDialog::delete_selected() {
    remove_positions(s_.sc.alloc_files_work, selected_rows());
    refill();
    changed_ = true;
}

void GeoallocDialog::replace() {
    if (replace_list_file(s_, s_.sc.alloc_files_work, list_->currentRow(), edit_text(),
                          " Not Found")) {
        refill();
        changed_ = true;
    }
}

bool GeoallocDialog::ok_step() {
    const std::string lookup = program_text(txtalloc_);
    if (!named_file_exists(s_, lookup)) {
        report_missing_file(s_, lookup);
        return false;
    }
    s_.sc.run_files[rf::alloc_xref] = lookup;
    s_.sc.alloc_files_changed = true;
    return true;
}

void GeoallocDialog::cancel_step() {
    s_.sc.alloc_files_changed = alloc_files_changed_before_;
}

void GeoallocDialog::closing_step() {
    close_alloc_visit(s_, cancelled_, changed_);
}

}  // namespace qv
