#include "dialogs/scenario/sources_rules.h"

#include <algorithm>

#include "platform/app_error.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv {

const std::array<const char*, segment_count> segment_captions = {
    "All Segments", "Recreational", "Construction", "Industrial",      "Lawn && Garden",
    "Agricultural", "Commercial",   "Logging",      "Airport Service", "Underground Mining",
    "Oil Field",    "Railway",      "Marine Rec",   "Option1",
};

const std::array<const char*, fuel_count> fuel_captions = {"All Fuels", "Diesel", "SI", "Option1",
                                                           "Option1"};

std::string segment_code(int index) {
    if (index == 0)
        return "00000";
    if (index >= 1 && index <= 10) {
        std::string two = std::to_string(index);
        if (two.size() < 2)
            two = "0" + two;
        return two + "000";
    }
    if (index == 11)
        return "22850";
    if (index == 12)
        return "22820";
    return "";
}

std::string equipstr(std::string_view s) {
    std::string r(s);
    for (std::size_t i = r.size(); i-- > 0 && r[i] == '0';)
        r[i] = '#';
    return r;
}

std::string selection(int Index, int lseg, std::string_view segcode, int fuelindex) {
    if (lseg >= 0 && lseg <= 10) {
        const std::string c = Index == add_equipment ? equipstr(segcode) : std::string(segcode);
        switch (fuelindex) {
            case 0:
                return "##[!8]##" + c;
            case 1:
                return "##7##" + c;
            case 2:
                return "##[!7-8]##" + c;
            default:
                return "";
        }
    }
    if (lseg == 11 || lseg == 12) {
        std::string tail;
        switch (fuelindex) {
            case 0:
                tail = Index == add_equipment ? "#####" : "00000";
                break;
            case 1:
                tail = lseg == 11 ? "02015" : "20000";
                break;
            case 2:
                tail = lseg == 11 ? "0[3-8]015" : "[0-1][0-5]0##";
                break;
            default:
                return "";
        }
        return std::string(segcode) + tail;
    }
    return "";
}

std::string marinequery(int Index, int fuelindex) {
    const std::string other_marine =
        "[Equipment Types].SCC Like \"2282######\" And [Equipment Types].SCC <> \"2282000000\" "
        "And [Equipment Types].SCC <> \"2282020000\"";
    std::string condition;
    if (Index == add_segment && fuelindex == 0)
        condition = "(([Equipment Types].SCC=\"2282000000\"));";
    else if (Index == add_segment && fuelindex == 1)
        condition = "(([Equipment Types].SCC=\"2282020000\"));";
    else if (fuelindex == 2)
        condition = "((" + other_marine + " And [Equipment Types].[Engine Type] <> \"Diesel\"));";
    else if (Index == add_equipment && fuelindex == 0)
        condition = "((" + other_marine + "));";
    else if (Index == add_equipment && fuelindex == 1)
        condition = "((" + other_marine + " And [Equipment Types].[Engine Type] = \"Diesel\"));";
    else
        return "";
    return "Select DISTINCTROW [Equipment Types].SCC,[Equipment Types].EQUIP,"
           "[Equipment Types].CLASSIFICATION,[Equipment Types].[Engine Type] FROM [Equipment "
           "Types] WHERE " +
           condition;
}

std::string add_query_head() {
    return "SELECT DISTINCTROW SCC,EQUIP,CLASSIFICATION,[Engine Type] from [EQUIPMENT TYPES] "
           "WHERE SCC LIKE ";
}

std::string add_query(Session& s, int Index, int segindex, int fuelindex,
                      std::string_view segcode) {
    if (segindex == 12)
        return marinequery(Index, fuelindex);
    if (segindex == 0) {
        const std::string p1 = selection(Index, 0, "00000", fuelindex);
        const std::string p2 = selection(Index, 11, "22850", fuelindex);
        const std::string p3 = selection(Index, 12, "22820", fuelindex);
        s.log.write("selector1 <" + p2 + ">");
        s.log.write("selector2 <" + p3 + ">");
        return add_query_head() + access_literal(p1) + " OR SCC LIKE " + access_literal(p2) +
               " OR SCC LIKE " + access_literal(p3) + ";";
    }
    return add_query_head() + access_literal(selection(Index, segindex, segcode, fuelindex)) + ";";
}

std::size_t source_count(const Scenario& sc) {
    return sc.source_list.empty() ? 0 : sc.source_list.size() - 1;
}

std::vector<SourceRecord> listed_sources(const Scenario& sc) {
    return {sc.source_list.begin(),
            sc.source_list.begin() + static_cast<std::ptrdiff_t>(source_count(sc))};
}

void set_listed_sources(Scenario& sc, const std::vector<SourceRecord>& entries) {
    sc.source_list = entries;
    sc.source_list.emplace_back();
}

std::string code_desc_line(const SourceRecord& r) {
    return r.scc + " " + r.description;
}

std::vector<SourceRecord> add_sources(Session& s, int Index, int segindex, int fuelindex,
                                      std::string_view segcode) {
    std::vector<SourceRecord> added;
    if (segindex == -1) {
        s.untitled_message("No Equipment selected");
        return added;
    }
    if (fuelindex == -1) {
        s.untitled_message("No Fuel Selected");
        return added;
    }
    BusyPointer busy(s.ui);
    try {
        const std::string q = add_query(s, Index, segindex, fuelindex, segcode);
        s.log.write("Now print SQL");
        s.log.write(q);
        open_reference_db(s);
        QueryResult rows = s.reference.query(q);
        s.log.write("Tried open recordset");
        if (rows.empty()) {
            close_reference_db(s);
            s.log.write(std::string(segment_captions.at(segindex)) + " " +
                        fuel_captions.at(fuelindex));
            s.log.write("None found ");
            s.ui.beep();
            return added;
        }
        s.log.write("Addsel ");
        Scenario& sc = s.sc;
        if (sc.source_list.empty())
            sc.source_list.emplace_back();
        for (std::size_t i = 0; i < rows.rows.size(); ++i) {
            const std::string scc = rows.field(i, "SCC").value_or("");
            const std::string code = fit(scc, 10);
            const std::size_t n = source_count(sc);
            if (std::any_of(sc.source_list.begin(), sc.source_list.begin() + n,
                            [&](const SourceRecord& r) { return r.scc == code; }))
                continue;
            if (Index == add_equipment && right(scc, 5) == "20000")
                continue;
            const std::string equip = rows.field(i, "EQUIP").value_or("");
            const std::string d = equip + " " + rows.field(i, "CLASSIFICATION").value_or("") + " " +
                                  rows.field(i, "Engine Type").value_or("");
            if (n >= max_sources)
                throw AppError(err::overflow, "Overflow");
            s.log.write("?????");
            s.log.write("\t" + scc + "\t" + equip);
            // The new entry takes the empty slot, and a new empty slot follows it.
            sc.source_list[n] = SourceRecord{code, d};
            sc.source_list.emplace_back();
            added.push_back(sc.source_list[n]);
        }
        s.log.write("Found " + std::to_string(rows.rows.size()) + " ");
        close_reference_db(s);
    } catch (const AppError&) {
        close_reference_db(s);
        s.message("Addsel Error ");
    }
    return added;
}

}  // namespace qv
