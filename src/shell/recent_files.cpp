#include "shell/recent_files.h"

#include <QAction>
#include <QSettings>
#include <QStyleOptionMenuItem>
#include <memory>

namespace qv {

namespace {

constexpr const char* recent_key = "recentFiles";

std::unique_ptr<QSettings> open_settings(const QString& settings_file) {
    return settings_file.isEmpty()
               ? std::make_unique<QSettings>("qv-gui", "qv-gui")
               : std::make_unique<QSettings>(settings_file, QSettings::IniFormat);
}

}  // namespace

QStringList with_recent(QStringList list, const QString& path) {
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > recent_files_kept)
        list.removeLast();
    return list;
}

QStringList read_recent_files(const QString& settings_file) {
    QStringList list = open_settings(settings_file)->value(recent_key).toStringList();
    list.removeAll(QString());
    return list.mid(0, recent_files_kept);
}

void write_recent_files(const QString& settings_file, const QStringList& list) {
    open_settings(settings_file)->setValue(recent_key, list);
}

void GreyingMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const {
    QMenu::initStyleOption(option, action);
    if (!action || !action->property(missing).toBool())
        return;
    for (auto group : {QPalette::Active, QPalette::Inactive})
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                          QPalette::HighlightedText})
            option->palette.setColor(group, role, option->palette.color(QPalette::Disabled, role));
}

}  // namespace qv
