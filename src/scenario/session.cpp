#include "scenario/session.h"

#include <ctime>

#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "platform/program_end.h"
#include "scenario/text.h"

namespace qv {

Session::Session(Ui& u, FileSystem& f, ReferenceEngine& r)
    : ui(u), fs(f), reference(r), now_text(general_date_time_now) {}

Button Session::message(const std::string& text, Icon icon, Buttons buttons) {
    return ui.message(text, settings.msgbox_title, icon, buttons);
}

void Session::untitled_message(const std::string& text) {
    ui.message(text, std::nullopt);
}

void Session::set_caption_for_current_file() {
    if (view)
        view->set_caption("US KQT QUARVEL MODEL (" + lower(sc.option_file_name) + ")");
}

void Session::back_to_app_dir() {
    try {
        fs.set_current_dir(settings.app_dir);
    } catch (const AppError&) {
    }
}

void Session::show_summary() {
    if (view)
        view->show_summary();
}

void Session::fini() {
    log.write("Ending run");
    log.write("****************************");
    log.close();
    throw ProgramEnd{true};
}

void Session::end_program() {
    throw ProgramEnd{false};
}

std::string Session::option_file_path() const {
    return join_path(sc.option_file_dir, sc.option_file_name);
}

std::string general_date_time_now() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    int hour = tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d:%02d %s", tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_year + 1900, hour, tm.tm_min, tm.tm_sec, tm.tm_hour < 12 ? "AM" : "PM");
    return buf;
}

}  // namespace qv
