#pragma once

// An options file for the scenario dialog tests, in the form the writer gives its packets,
// and helpers to compare saved files.

#include <QApplication>
#include <QWidget>
#include <QtTest/QTest>

#include <string>
#include <vector>

#include "scenario/line_io.h"
#include "scenario/options_file.h"
#include "support/workspace.h"

namespace qv::test {

inline std::string scenario_file(const std::string& stage2_packet) {
    return crlf({"Written by Quarvel interface at 1/1/2001 1:00:00 AM",
                 "* options for the dialog tests"}) +
           fixture::runfiles("c:\\out\\run.msg", "c:\\out\\run.out") +
           fixture::options({.title1 = "FIRST TITLE",
                             .title2 = "SECOND TITLE",
                             .oxygen = "0.35",
                             .marine_sulfur = "0.25",
                             .etoh_blend = "10",
                             .etoh_volume = "10"}) +
           fixture::period({.type = "Monthly",
                            .month = "July",
                            .day = "Weekend",
                            .growth_year = "2018",
                            .tech_year = "",
                            .as_written = true}) +
           fixture::region("COUNTY", {"Los Angeles CA     : 06037"}) +
           fixture::california_file_lists() + stage2_packet;
}

inline const std::string stage2_50 = fixture::packet("/STAGE II/", {"Control Factor     : 50"});

// Loads the file, saves it once unchanged and reads the saved file back, so that the packets
// every save rewrites are already in their written form. Returns the bytes of that file.
inline std::string load_canonical(Workspace& w, const std::string& bytes) {
    w.county("06037", "Los Angeles");
    w.load("model/run.opt", bytes);
    EXPECT_TRUE(update_default_option_file(w.s));
    std::string canonical = w.read("model/run.opt");
    w.load("model/run.opt", canonical);
    w.ui.clear();
    return canonical;
}

// The lines of `after` that differ from the same line of `before` (both must have as many).
inline std::vector<std::string> changed_lines(const std::string& before, const std::string& after) {
    std::vector<std::string> a = split_lines(before), b = split_lines(after), r;
    EXPECT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i])
            r.push_back(b[i]);
    return r;
}

// Shows a window and makes it the active one, so that focus moves behave as for a user.
inline bool show_active(QWidget* window) {
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

template <typename T>
T* child(QWidget* window, const char* name) {
    T* w = window->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

}  // namespace qv::test
