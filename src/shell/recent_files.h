#pragma once

#include <QMenu>
#include <QString>
#include <QStringList>

namespace qv {

// How many recently opened options files the File menu lists.
inline constexpr int recent_files_kept = 8;

// The list with `path` first and once, at most recent_files_kept long.
QStringList with_recent(QStringList list, const QString& path);

// The recent-files list in qv-gui's own settings (never in qv-gui.ini): `settings_file` names an
// INI file to keep it in; empty, the user's qv-gui settings.
QStringList read_recent_files(const QString& settings_file);
void write_recent_files(const QString& settings_file, const QStringList& list);

// A menu that shows an entry whose action carries the `missing` property greyed, while it can
// still be chosen (a recent file that no longer exists, removed when chosen).
class GreyingMenu : public QMenu {
  public:
    using QMenu::QMenu;
    static constexpr const char* missing = "qvMissing";

  protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
};

}  // namespace qv
