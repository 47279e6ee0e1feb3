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
    return crlf({
               "Written by Quarvel interface at 1/1/2001 1:00:00 AM",
               "* options for the dialog tests",
               "/RUNFILES/",
               "MESSAGE            : c:\\out\\run.msg",
               "OUTPUT DATA        : c:\\out\\run.out",
               "/END/",
               "/OPTIONS/",
               "Title 1            : FIRST TITLE",
               "Title 2            : SECOND TITLE",
               "Fuel RVP for gas   : 9.0",
               "Oxygen Weight %    : 0.35",
               "Gas sulfur %       : 0.0339",
               "Diesel sulfur %    : 0.2484",
               "Marine Dsl sulfur %: 0.25",
               "CNG/LPG sulfur %   : 0.003",
               "Minimum temper. (F): 60.0",
               "Maximum temper. (F): 84.0",
               "Average temper. (F): 75.0",
               "Altitude of region : LOW",
               "EtOH Blend % Mkt   : 10",
               "EtOH Vol %         : 10",
               "/END/",
               "/PERIOD/",
               "Period type        : Monthly",
               "Summation type     : Typical day",
               "Year of episode    : 2020",
               "Season of year     : ",
               "Month of year      : July",
               "Weekday or weekend : Weekend",
               "Year of growth calc: 2018",
               "Year of tech sel   : ",
               "/END/",
               "/REGION/",
               "Region Level       : COUNTY",
               "Los Angeles CA     : 06037",
               "/END/",
               "/ALLOC FILES/",
               "Allocation File    : c:\\data\\allocate\\ca_pop.alo",
               "/END/",
               "/POP FILES/",
               "Population File    : c:\\data\\pop\\ca.pop",
               "/END/",
               "/EMFAC FILES/",
               "THC exhaust        : c:\\data\\emsfac\\exhthc.emf",
               "/END/",
           }) +
           stage2_packet;
}

inline const std::string stage2_50 = crlf({"/STAGE II/", "Control Factor     : 50", "/END/"});

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
