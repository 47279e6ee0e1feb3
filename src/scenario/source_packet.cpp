#include "platform/app_error.h"
#include "scenario/options_file.h"
#include "scenario/packets.h"
#include "scenario/query_text.h"
#include "scenario/text.h"

namespace qv {

namespace {
constexpr std::string_view source_head =
    "SELECT DISTINCTROW  [Equipment Types].SCC, [Equipment Types].EQUIP,[Equipment "
    "Types].[Engine Type], [Equipment Types].Classification FROM [Equipment Types] WHERE "
    "(SCC=";
constexpr std::string_view source_tail = ");";
}  // namespace

std::string source_query(std::string_view code) {
    return access_query(source_head, code, source_tail);
}

namespace {

std::string text_field(const QueryResult& rows, std::string_view name) {
    auto v = rows.field(0, name);
    if (!v)
        throw AppError(err::invalid_null, "Invalid use of Null");
    return *v;
}

}  // namespace

void get_source_options(Session& s, LineReader& in) {
    Scenario& sc = s.sc;
    sc.source_list.assign(1, SourceRecord{});
    // The code of the last look-up taken, whose query text a failure logs.
    const std::string* queried = nullptr;
    // Each step is guarded: a failure is logged and the reader goes on with the next step.
    auto guarded = [&](auto&& step) {
        try {
            step();
        } catch (const std::exception& e) {
            s.log.write("get_source_options error " + std::string(e.what()));
            s.log.write(queried ? source_query(*queried) : std::string());
        }
    };

    open_reference_db(s);
    sc.source_subset = true;
    // The packet's lines are read first and their codes looked up together; then each line is
    // taken in turn, with what its read and its look-up gave, as if it were read just then.
    struct Line {
        std::string code;
        std::exception_ptr read_failure;
        bool ends = false;
    };
    std::vector<Line> lines;
    PacketEnd end("/SOURCE CATEGORY/");
    while (!in.eof()) {
        Line& l = lines.emplace_back();
        std::string line;
        try {
            line = in.read();
        } catch (...) {
            l.read_failure = std::current_exception();
        }
        if ((l.ends = packet_ends(in, end, line)))
            break;
        l.code = line.size() > 20 ? ltrim(line.substr(20, 20)) : std::string();
    }
    std::vector<std::string_view> codes;
    codes.reserve(lines.size());
    for (const Line& l : lines)
        if (!l.ends)
            codes.push_back(l.code);
    std::vector<QueryOutcome> outcomes =
        s.reference.query_each_value(source_head, codes, source_tail);

    int taken = 0, refused = 0;
    std::size_t looked_up = 0;
    for (const Line& l : lines) {
        guarded([&] {
            if (l.read_failure)
                std::rethrow_exception(l.read_failure);
        });
        if (l.ends)
            break;
        const std::string& code = l.code;
        QueryOutcome& outcome = outcomes[looked_up++];
        queried = &code;
        QueryResult rows;
        guarded([&] {
            if (outcome.failure)
                std::rethrow_exception(outcome.failure);
            rows = std::move(outcome.rows);
        });
        bool found = false;
        guarded([&] { found = !rows.empty() && text_field(rows, "SCC") == code; });
        if (found) {
            ++taken;
            guarded([&] { sc.source_list.resize(static_cast<std::size_t>(taken) + 1); });
            SourceRecord& slot = sc.source_list[static_cast<std::size_t>(taken) - 1];
            guarded([&] { slot.scc = fit(text_field(rows, "SCC"), 10); });
            guarded([&] {
                slot.description = text_field(rows, "EQUIP") + " " +
                                   text_field(rows, "CLASSIFICATION") + " " +
                                   text_field(rows, "Engine Type");
            });
            continue;
        }
        ++refused;
        if (refused < 6) {
            s.message("Invalid SCC code found in /SOURCE CATEGORY/ Packet: \n" +
                          std::string(27, ' ') + code + "\nSkipping this entry.",
                      Icon::Information);
            continue;
        }
        s.message(
            "It appears the /SOURCE CATEGORY/ Packet is corrupt.\nPerhaps the /END/ keyword is "
            "missing.",
            Icon::Information);
        close_reference_db(s);
        if (!choose_option_file(s))
            s.read_incomplete = true;
        // The chosen file has been read in full: nothing more of the old file belongs to it.
        throw ReadSuperseded{};
    }
    close_reference_db(s);
}

void write_source_packet(Session& s, LineWriter& out) {
    const Scenario& sc = s.sc;
    if (!sc.source_subset)
        return;
    out.line("/SOURCE CATEGORY/");
    for (std::size_t i = 0; i + 1 < sc.source_list.size(); ++i)
        out.line(std::string(19, ' ') + ":" + sc.source_list[i].scc);
    out.line("/END/");
}

}  // namespace qv
