#pragma once

// Packets of options-file fixtures, written once: every builder returns CR LF lines from the
// header to "/END/". A value line is its label, ":" and, when there is one, a blank and the
// value, so "Season of year     :" stays without a trailing blank.

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace qv::test::fixture {

// Any packet: the header, the lines given, "/END/".
std::string packet(const std::string& header, std::initializer_list<std::string> lines = {});

struct OptionsValues {
    std::string title1 = "one";
    std::string title2 = "two";
    std::string rvp = "9.0";
    std::string oxygen = "0.0";
    std::string gas_sulfur = "0.0339";
    std::string diesel_sulfur = "0.2484";
    std::optional<std::string> marine_sulfur{};  // no line when unset
    std::string cng_sulfur = "0.003";
    std::string min_temp = "60.0";
    std::string max_temp = "84.0";
    std::string avg_temp = "75.0";
    std::string altitude = "LOW";
    std::string etoh_blend = "0.0";
    std::string etoh_volume = "0.0";
};
std::string options(const OptionsValues& v = {});

struct PeriodValues {
    std::string type = "Annual";
    std::string summation = "Typical day";
    std::string year = "2020";
    std::string season{};
    std::string month{};
    std::string day = "Weekday";
    std::string growth_year = "2020";
    std::string tech_year = "2020";
    // Empty values as the writer writes them, with a blank after the ":".
    bool as_written = false;
};
std::string period(const PeriodValues& v = {});

// "/REGION/" with its level line and the entries as given (whole lines).
std::string region(const std::string& level, std::initializer_list<std::string> entries = {});

// "/RUNFILES/" naming the message and output data files, after the lines of `before`.
std::string runfiles(const std::string& message, const std::string& output,
                     std::initializer_list<std::string> before = {});

// The three file lists every read asks for, each empty.
std::string empty_file_lists();
// The same lists with one California file each, as absolute "c:\\data\\..." paths.
std::string california_file_lists();

// The "/OPTIONS/", "/PERIOD/" and "/REGION/" packets of a plain scenario (US TOTAL, so no
// reference database is needed).
std::string plain_options_period_region();

// A scenario that reads without messages and without a reference database: "/RUNFILES/" with
// the two files, the plain packets and the empty file lists.
std::string plain_scenario(const std::string& message, const std::string& output);

// The lines of `lines` from the one equal to `header` to the next "/END/" (or the last line);
// empty when no line equals `header`.
std::vector<std::string> packet_lines(const std::vector<std::string>& lines,
                                      const std::string& header);

}  // namespace qv::test::fixture
