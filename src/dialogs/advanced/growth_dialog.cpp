#include "dialogs/advanced/growth_dialog.h"

#include "dialogs/advanced/list_rules.h"
#include "dialogs/advanced/pick_file.h"
#include "platform/fs/path_form.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/window_util.h"

namespace qv {

namespace {

const ListWindowLayout growth_layout = {
    .form = "frmgrow",
    .caption = "Growth",
    .list = "lstGrow",
    .edit_label = "Current Selection",
    .edit_label_name = "current_label",
    .edit = "txtgrow",
    .replace = "Replace",
    .add = "CmdAdd",
    .add_caption = "Add...",
    .del = "CmdDel",
    .ok = "CmdLeave1",
    .cancel = "CmdLeave0",
};

}  // namespace

GrowthDialog::GrowthDialog(Session& s, QWidget* parent)
    : FileListWindow(s, growth_layout, s.list_dialogs.growth_cancelled, parent) {
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { entry_clicked(); });
    // Replace hides the box and its label; they keep their room, so that the buttons stay put.
    for (QWidget* hidden_by_replace :
         {static_cast<QWidget*>(edit_), static_cast<QWidget*>(edit_label_)}) {
        QSizePolicy policy = hidden_by_replace->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        hidden_by_replace->setSizePolicy(policy);
    }
    adjustSize();
    center_form(this);
    // All slots but the spare last one; a list never sized has none.
    const auto& files = s.sc.growth_files;
    fill(std::vector<std::string>(files.begin(), files.empty() ? files.end() : files.end() - 1));
    edit_->clear();
}

void GrowthDialog::entry_clicked() {
    for (int row : selected_rows()) {
        // Replace may have hidden the box; a new choice brings it back.
        edit_label_->show();
        edit_->show();
        edit_->setFocus();
        set_program_text(edit_, program_text(list_->item(row)));
        s_.list_dialogs.growth_sel_index = row;
    }
}

void GrowthDialog::add_file() {
    append_picked(
        open_request("Select Growth file", "Growth Files (*.grw)|*.grw|All files (*.*)|*.*", 1,
                     join_path(s_.settings.data_dir, "growth")),
        true);
}

void GrowthDialog::replace() {
    const std::string text = edit_text();
    if (text.empty())
        return;
    if (!named_file_exists(s_, text)) {
        s_.untitled_message(text + " does not exist.");
        return;
    }
    edit_->hide();
    edit_label_->hide();
    if (list_->item(s_.list_dialogs.growth_sel_index)) {
        delete list_->takeItem(s_.list_dialogs.growth_sel_index);
        list_->insertItem(s_.list_dialogs.growth_sel_index, program_item(text));
    }
}

void GrowthDialog::closing_step() {
    if (!cancelled_)
        commit_growth_files(s_.sc, entries());
}

}  // namespace qv
