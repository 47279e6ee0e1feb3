#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "qvopt_demo.h"

namespace qv::cli {
namespace {

using QvoptDiff = test::QvoptDemo;
using Edits = std::vector<std::pair<std::string, std::string>>;

std::string edited(std::string text, const Edits& edits) {
    for (const auto& [from, to] : edits) {
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos)
            text.replace(at, from.size(), to);
    }
    return text;
}

const std::string demo_region =
    "Region Level       : STATE\r\nCalifornia         : 06000\r\nNevada             : "
    "32000\r\nOregon             : 41000\r\n";
const std::string demo_sources =
    "/SOURCE CATEGORY/\r\n                   :2270002000\r\n                   :2265004010\r\n"
    "                   :2282010005\r\n/END/\r\n";

TEST_F(QvoptDiff, PairsOfScenariosGiveTheirDifferencesFieldByField) {
    const std::string demo = test::read_file(opt);
    const std::string alloc_xref = (model / "data/allocate/allocate.xrf").string();
    // The demo as written on another machine: LF and "/" separators.
    std::string unix_form = demo;
    std::replace(unix_form.begin(), unix_form.end(), '\\', '/');
    std::erase(unix_form, '\r');

    const struct Row {
        const char* name;
        std::string a;
        std::string b;
        int exit;
        std::string out;
    } rows[] = {
        {"the same file saved on Windows and elsewhere", unix_form,
         edited("Written by Quarvel interface at 1/2/2026 3:04:05 PM\r\n" + demo,
                {{"data\\allocate\\allocate.xrf", alloc_xref},
                 {"outputs\\demo.msg", "OUTPUTS\\DEMO.MSG"},
                 {"Fuel RVP for gas   : 8.0", "Fuel RVP for gas   : 8"}}),
         0, ""},
        {"options", demo,
         edited(demo, {{"Fuel RVP for gas   : 8.0", "Fuel RVP for gas   : 7.8"},
                       {"Altitude of region : LOW", "Altitude of region : HIGH"}}),
         1, "/OPTIONS/\n  Fuel RVP for gas: 8.0 -> 7.8\n  Altitude: Low -> High\n"},
        {"period", demo,
         edited(demo, {{"Year of episode    : 2025", "Year of episode    : 2030"},
                       {"Season of year     : Summer", "Season of year     : Winter"}}),
         1, "/PERIOD/\n  Season: Summer -> Winter\n  Episode year: 2025 -> 2030\n"},
        {"stage II", demo, edited(demo, {{"Control Factor     : 0.0", "Control Factor     : 45"}}),
         1, "/STAGE II/\n  Stage II Control %: 0.0 -> 45\n"},
        {"a county removed and one added",
         edited(demo, {{demo_region, "Region Level       : COUNTY\r\nx : 32003\r\nx : 06037\r\n"}}),
         edited(demo, {{demo_region, "Region Level       : COUNTY\r\nx : 32003\r\nx : 41051\r\n"}}),
         1, "/REGION/\n  - Los Angeles County CA 06037\n  + Multnomah County OR 41051\n"},
        {"a code list and all sources", demo, edited(demo, {{demo_sources, ""}}), 1,
         "/SOURCE CATEGORY/\n  packet only in A\n  Sources: Selected sources -> All Sources\n"
         "  - 2270002000 All Construction and Mining Construction and Mining Diesel\n"
         "  - 2265004010 Lawn Mowers Lawn and Garden 4-Stroke\n"
         "  - 2282010005 Inboard/Sterndrive Recreational Marine 4-Stroke\n"},
        {"file entries added and changed", demo,
         edited(demo,
                {{"RETROFIT           : ", "RETROFIT           : data\\retro\\r.dat"},
                 {"data\\pop\\or.pop", "data\\pop\\or.pop\r\nPopulation File : data\\pop\\wa.pop"},
                 {"data\\emsfac\\exhthc.emf", "data\\emsfac\\exhthc2.emf"}}),
         1,
         "/RUNFILES/\n  + RETROFIT: data\\retro\\r.dat\n/POP FILES/\n"
         "  + Population File: data\\pop\\wa.pop\n/EMFAC FILES/\n"
         "  THC exhaust: data\\emsfac\\exhthc.emf -> data\\emsfac\\exhthc2.emf\n"},
        {"a line outside packets", demo,
         edited(demo, {{"* Lines outside packets, like these, are kept when the scenario is saved.",
                        "* A cooler summer."}}),
         1,
         "outside packets\n"
         "  - * Lines outside packets, like these, are kept when the scenario is saved.\n"
         "  + * A cooler summer.\n"},
        {"a packet only one file has", demo,
         edited(demo,
                {{"/MODELYEAR OUT/\r\nEXHAUST BMY OUT    : \r\nEVAP BMY OUT       : \r\n/END/\r\n",
                  ""}}),
         1, "/MODELYEAR OUT/\n  packet only in A\n"},
    };
    for (const auto& r : rows) {
        const std::string a = dir.write("model/a.opt", r.a);
        const std::string b = dir.write("model/b.opt", r.b);
        std::string out, err;
        EXPECT_EQ(qvopt({"diff", a, b}, &out, &err), r.exit) << r.name << "\n" << err;
        EXPECT_EQ(out, r.out) << r.name;
        EXPECT_EQ(err, "") << r.name;
    }

    // JSON: one object per difference, null for the side that lacks the item.
    const std::string a = dir.write("model/a.opt", rows[4].a);
    const std::string b = dir.write("model/b.opt", rows[4].b);
    std::string out;
    ASSERT_EQ(qvopt({"diff", "--json", a, b}, &out), 1);
    EXPECT_EQ(nlohmann::json::parse(out), nlohmann::json::parse(R"([
        {"packet": "/REGION/", "field": "county", "a": "Los Angeles County CA 06037", "b": null},
        {"packet": "/REGION/", "field": "county", "a": null, "b": "Multnomah County OR 41051"}])"));
}

TEST_F(QvoptDiff, AFileThatCannotBeComparedIsAnErrorNamingIt) {
    const std::string missing = (model / "missing.opt").string();
    const std::string not_options = dir.write("model/notes.opt", "hello\r\n");
    const std::string not_record = dir.write("model/x.run.json", "{\"format\": \"other/2\"}");
    const struct {
        std::string b;
        int exit;
        std::string error_start;
    } rows[] = {
        {missing, 2, "qvopt diff: " + missing + ": no such file\n"},
        {model.string(), 2, "qvopt diff: " + model.string() + ": cannot be read\n"},
        {not_record, 2, "qvopt diff: " + not_record + ": not a run record: format other/2"},
        // The read asks for another options file, as show would: exit 4, never "no differences".
        {not_options, 4,
         not_options + ":\nmessage (exclamation, US KQT QUARVEL MODEL): No packets"},
    };
    for (const auto& r : rows) {
        std::string out, err;
        EXPECT_EQ(qvopt({"diff", opt, r.b}, &out, &err), r.exit) << r.b;
        EXPECT_EQ(out, "") << r.b;
        EXPECT_EQ(err.rfind(r.error_start, 0), 0u) << err;
    }
}

}  // namespace
}  // namespace qv::cli
