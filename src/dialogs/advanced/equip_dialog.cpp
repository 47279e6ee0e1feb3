#include "dialogs/advanced/equip_dialog.h"

#include "dialogs/advanced/list_rules.h"
#include "dialogs/advanced/pick_file.h"
#include "platform/fs/path_form.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"

namespace qv {

namespace {

const ListWindowLayout equip_layout = {
    .form = "frmEquip",
    .caption = "Equipment Population",
    .list = "lstEquip",
    .edit = "SelEdit",
    .replace = "Replace",
    .add = "CmdAdd",
    .add_caption = "Add...",
    .del = "CmdDel",
    .ok = "CmdLeave1",
    .cancel = "CmdLeave0",
};

}  // namespace

EquipDialog::EquipDialog(Session& s, QWidget* parent)
    : FileListWindow(s, equip_layout, s.list_dialogs.equip_cancelled, parent) {
    adjustSize();
    center_form(this);
    fill(list_files(s.sc.pop_files));
}

void EquipDialog::entry_clicked() {
    if (QListWidgetItem* item = list_->currentItem())
        set_program_text(edit_, program_text(item));
}

void EquipDialog::add_file() {
    append_picked(
        open_request("Select Allocation file", "Equip Files (*.pop)|*.pop|All files (*.*)|*.*", 1,
                     join_path(s_.settings.data_dir, "pop")),
        false);
}

void EquipDialog::replace() {
    // Shown again from the working list, which drops earlier Adds and Deletes of this visit.
    if (replace_list_file(s_, s_.sc.pop_files_work, list_->currentRow(), edit_text(),
                          " does not exist"))
        fill(list_files(s_.sc.pop_files_work));
}

void EquipDialog::closing_step() {
    if (cancelled_)
        s_.sc.pop_files_work.copy_from(s_.sc.pop_files);
    else
        commit_pop_files(s_.sc, entries());
}

}  // namespace qv
