#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/app_error.h"
#include "platform/program_end.h"
#include "scenario/packets.h"
#include "support/workspace.h"

namespace qv {
namespace {

using test::crlf;
using test::Workspace;

const std::string kTitle = "US KQT QUARVEL MODEL";
const std::string kCheck = "\nPlease check Scenario: Options.";
const std::string kMissing = "CAUTION: Missing ethanol blend info." + kCheck;
const std::string kMismatch =
    "CAUTION: Oxygen content mismatch with Ethanol Blend Mkt Share & Vol %." + kCheck;
const std::string kBadBlend = "CAUTION: Incorrect ethanol blend market share info." + kCheck;
const std::string kBadVolume = "CAUTION: Incorrect ethanol blend volume percent info." + kCheck;

using Lines = std::vector<std::string>;

std::string join_crlf(const Lines& lines) {
    std::string r;
    for (const auto& l : lines)
        r += l + "\r\n";
    return r;
}

// The value lines of an "/OPTIONS/" packet up to and including the altitude line.
Lines options_head(const std::string& oxygen, bool marine) {
    Lines l = {"Title 1            : first run", "Title 2            : Second Title",
               "Fuel RVP for gas   : 9.0",       "Oxygen Weight %    : " + oxygen,
               "Gas sulfur %       : 0.0339",    "Diesel sulfur %    : 0.0015"};
    if (marine)
        l.push_back("Marine Dsl sulfur %: 0.0435");
    for (const char* v :
         {"CNG/LPG sulfur %   : 0.003", "Minimum temper. (F): 60", "Maximum temper. (F): 84",
          "Average temper. (F): 75", "Altitude of region : low"})
        l.push_back(v);
    return l;
}

Lines options_packet(const std::string& oxygen, bool marine, const std::string& blend,
                     const std::string& volume) {
    Lines l = options_head(oxygen, marine);
    l.push_back("EtOH Blend % Mkt   : " + blend);
    l.push_back("EtOH Vol %         : " + volume);
    l.push_back("/END/");
    return l;
}

class OptionsPacket : public ::testing::Test {
  protected:
    void read(const Lines& lines) {
        LineReader in(join_crlf(lines));
        read_options_packet(w.s, in);
    }
    // Every message shown was a caution box of the program's title.
    void expect_cautions(const Lines& texts) {
        EXPECT_EQ(w.ui.messages(), texts);
        for (const auto& c : w.ui.calls()) {
            EXPECT_EQ(c.title, kTitle);
            EXPECT_EQ(c.icon, Icon::Exclamation);
            EXPECT_EQ(c.buttons, Buttons::Ok);
        }
    }
    Workspace w;
};

TEST_F(OptionsPacket, ReadsEveryPositionUpperCasedWithAndWithoutMarineLine) {
    for (bool marine : {true, false}) {
        SCOPED_TRACE(marine ? "with marine line" : "without marine line");
        Workspace fresh;
        fresh.s.sc.so2marinedieselstr = "OLD";
        LineReader in(join_crlf(options_packet("2.7", marine, "77", "10")));
        read_options_packet(fresh.s, in);
        const Scenario& sc = fresh.s.sc;
        EXPECT_EQ(sc.title1str, "FIRST RUN");
        EXPECT_EQ(sc.title2str, "SECOND TITLE");
        EXPECT_EQ(sc.fulrvpstr, "9.0");
        EXPECT_EQ(sc.pcoxygenstr, "2.7");
        EXPECT_EQ(sc.so2gasstr, "0.0339");
        EXPECT_EQ(sc.so2dieselstr, "0.0015");
        EXPECT_EQ(sc.so2marinedieselstr, marine ? "0.0435" : "");
        EXPECT_EQ(sc.so2cngstr, "0.003");
        EXPECT_EQ(sc.mintempstr, "60");
        EXPECT_EQ(sc.maxtempstr, "84");
        EXPECT_EQ(sc.avgtempstr, "75");
        EXPECT_EQ(sc.altitudestr, "LOW");
        EXPECT_EQ(sc.blendmktsharestr, "77");
        EXPECT_EQ(sc.etohvolpctstr, "10");
        // All fourteen positions were reached: no "Missing" caution, and d is within 0.1.
        EXPECT_TRUE(fresh.ui.messages().empty());
        EXPECT_TRUE(in.eof());
    }
}

TEST_F(OptionsPacket, MarineLineIsRecognisedInAnyCase) {
    Lines l = options_packet("0", true, "0", "0");
    l[6] = "marine sulfur      : 0.5";  // only the first six characters count
    read(l);
    EXPECT_EQ(w.s.sc.so2marinedieselstr, "0.5");
    EXPECT_EQ(w.s.sc.so2cngstr, "0.003");
}

TEST_F(OptionsPacket, ClearsOptionalValuesOfThePreviousScenario) {
    Scenario& sc = w.s.sc;
    sc.so2marinedieselstr = "0.1";
    sc.blendmktsharestr = "50";
    sc.etohvolpctstr = "10";
    sc.humidstr = "75";
    Lines l = options_head("0", false);
    l.push_back("/END/");
    read(l);
    EXPECT_EQ(sc.so2marinedieselstr, "");
    EXPECT_EQ(sc.blendmktsharestr, "");
    EXPECT_EQ(sc.etohvolpctstr, "");
    EXPECT_EQ(sc.humidstr, "75");  // not part of this packet
    EXPECT_TRUE(w.ui.messages().empty());
}

TEST_F(OptionsPacket, EndChecks) {
    struct Row {
        const char* name;
        Lines packet;
        Lines cautions;
    };
    auto ends_after_altitude = [](const std::string& oxygen, bool marine) {
        Lines l = options_head(oxygen, marine);
        l.push_back("/END/");
        return l;
    };
    auto ends_after_blend = [](const std::string& oxygen) {
        Lines l = options_head(oxygen, true);
        l.push_back("EtOH Blend % Mkt   : 77");
        l.push_back("/END/");
        return l;
    };
    const Row rows[] = {
        // |10 * 0.35 * 0.01 * 77 - 2.7| = 0.005
        {"matching oxygen", options_packet("2.7", true, "77", "10"), {}},
        // |2.695 - 3.5| = 0.805
        {"oxygen too high", options_packet("3.5", true, "77", "10"), {kMismatch}},
        {"oxygen 0 with ethanol", options_packet("0", true, "77", "10"), {kMismatch}},
        {"no ethanol, no oxygen", options_packet("0", false, "0", "0"), {}},
        {"just within 0.1", options_packet("2.79", true, "77", "10"), {}},
        {"ends after altitude, oxygen > 0", ends_after_altitude("2.0", true), {kMissing}},
        {"ends after altitude without marine", ends_after_altitude("2.0", false), {kMissing}},
        {"ends after altitude, oxygen 0", ends_after_altitude("0", true), {}},
        {"ends after altitude, oxygen 0.0", ends_after_altitude(" 0.0", false), {}},
        {"ends after blend line", ends_after_blend("2.7"), {kMissing}},
        // Lenient conversion of the ethanol values: leading number only.
        {"ethanol values with text", options_packet("2.7", true, "77%", "10 pct"), {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Workspace fresh;
        LineReader in(join_crlf(r.packet));
        read_options_packet(fresh.s, in);
        EXPECT_EQ(fresh.ui.messages(), r.cautions);
        for (const auto& c : fresh.ui.calls()) {
            EXPECT_EQ(c.title, kTitle);
            EXPECT_EQ(c.icon, Icon::Exclamation);
        }
    }
}

TEST_F(OptionsPacket, WrongEthanolLabelsGiveTheirCautionsAndLeaveTheValuesEmpty) {
    Lines l = options_packet("2.7", true, "77", "10");
    l[12] = "Ethanol share      : 77";
    l[13] = "Ethanol volume     : 10";
    read(l);
    // Both values stay empty, so the oxygen no longer matches either.
    expect_cautions({kBadBlend, kBadVolume, kMismatch});
    EXPECT_EQ(w.s.sc.blendmktsharestr, "");
    EXPECT_EQ(w.s.sc.etohvolpctstr, "");
}

TEST_F(OptionsPacket, EthanolLabelsAreComparedWithoutRegardToCase) {
    Lines l = options_packet("2.7", true, "77", "10");
    l[12] = "etoh blend % mkt   : 77";
    l[13] = "etoh vol %         : 10";
    read(l);
    EXPECT_TRUE(w.ui.messages().empty());
    EXPECT_EQ(w.s.sc.blendmktsharestr, "77");
    EXPECT_EQ(w.s.sc.etohvolpctstr, "10");
}

TEST_F(OptionsPacket, OnlyTheVolumeLabelWrong) {
    Lines l = options_packet("0", true, "0", "0");
    l[13] = "Volume             : 0";
    read(l);
    expect_cautions({kBadVolume});
}

TEST_F(OptionsPacket, NonNumericOxygenFailsTheReadAtTheEnd) {
    for (bool complete : {true, false}) {
        SCOPED_TRACE(complete ? "complete packet" : "ends after altitude");
        Workspace fresh;
        Lines l = complete ? options_packet("high", true, "77", "10") : options_head("", true);
        if (!complete)
            l.push_back("/END/");
        LineReader in(join_crlf(l));
        try {
            read_options_packet(fresh.s, in);
            ADD_FAILURE() << "no failure";
        } catch (const AppError& e) {
            EXPECT_EQ(e.number(), err::type_mismatch);
        }
        EXPECT_TRUE(fresh.ui.messages().empty());
        EXPECT_EQ(fresh.s.sc.title1str, "FIRST RUN");  // what was read stays
    }
}

TEST_F(OptionsPacket, ExtraLinesAreIgnoredAndReadingStopsAtTheEnd) {
    Lines l = options_packet("2.7", true, "77", "10");
    l.insert(l.end() - 1, "Humidity           : 80");
    l.insert(l.end() - 1, "Title 1            : overwritten?");
    l.back() = "/end/ of options";
    l.push_back("/PERIOD/");
    LineReader in(join_crlf(l));
    read_options_packet(w.s, in);
    EXPECT_EQ(w.s.sc.title1str, "FIRST RUN");
    EXPECT_EQ(w.s.sc.humidstr, "");
    EXPECT_TRUE(w.ui.messages().empty());
    EXPECT_EQ(in.read(), "/PERIOD/");
}

TEST_F(OptionsPacket, EndOfFileWithoutEndLineKeepsValuesAndSkipsTheChecks) {
    Lines l = options_head("2.0", true);
    l.resize(8);
    read(l);
    EXPECT_EQ(w.s.sc.so2cngstr, "0.003");
    EXPECT_EQ(w.s.sc.mintempstr, "");
    EXPECT_TRUE(w.ui.messages().empty());
}

TEST_F(OptionsPacket, WriterWritesTheLabelsInOrderAndValuesAsTheyStand) {
    Scenario& sc = w.s.sc;
    sc.title1str = "My run";
    sc.title2str = "";
    sc.fulrvpstr = "9.0";
    sc.pcoxygenstr = "2.7";
    sc.so2gasstr = "0.0339";
    sc.so2dieselstr = "0.0015";
    sc.so2marinedieselstr = "0.0435";
    sc.so2cngstr = "0.003";
    sc.mintempstr = "60";
    sc.maxtempstr = "84";
    sc.avgtempstr = "75";
    sc.altitudestr = "low";
    sc.blendmktsharestr = "77";
    sc.etohvolpctstr = "10";
    sc.humidstr = "80";
    LineWriter out;
    write_options_packet(w.s, out);
    EXPECT_EQ(out.bytes(),
              crlf({"/OPTIONS/", "Title 1            : My run",
                    "Title 2            : ", "Fuel RVP for gas   : 9.0", "Oxygen Weight %    : 2.7",
                    "Gas sulfur %       : 0.0339", "Diesel sulfur %    : 0.0015",
                    "Marine Dsl sulfur %: 0.0435", "CNG/LPG sulfur %   : 0.003",
                    "Minimum temper. (F): 60", "Maximum temper. (F): 84", "Average temper. (F): 75",
                    "Altitude of region : low", "EtOH Blend % Mkt   : 77",
                    "EtOH Vol %         : 10", "/END/"}));
}

TEST_F(OptionsPacket, RoundTripKeepsTheMarineLineOnlyWhenThereWasOne) {
    for (bool marine : {true, false}) {
        SCOPED_TRACE(marine ? "with marine line" : "without marine line");
        Workspace fresh;
        Lines packet = options_packet("2.7", marine, "77", "10");
        LineReader in(join_crlf(packet));
        read_options_packet(fresh.s, in);
        LineWriter out;
        write_options_packet(fresh.s, out);
        Lines expected = {"/OPTIONS/"};
        for (const auto& l : packet)
            expected.push_back(l.substr(0, 21) + line_value(l));
        expected.back() = "/END/";
        EXPECT_EQ(out.bytes(), join_crlf(expected));
    }
}

// "/PERIOD/"

Lines period_packet(const std::string& type, const std::string& summation,
                    const std::string& season, const std::string& month, const std::string& day) {
    return {"Period type        : " + type,
            "Summation type     : " + summation,
            "Year of episode    : 2020",
            "Season of year     : " + season,
            "Month of year      : " + month,
            "Weekday or weekend : " + day,
            "Year of growth calc: 2021",
            "Year of tech sel   : 2022",
            "/END/"};
}

class PeriodPacket : public ::testing::Test {
  protected:
    void read(const Lines& lines) {
        LineReader in(join_crlf(lines));
        read_period_packet(w.s, in);
    }
    Workspace w;
};

TEST_F(PeriodPacket, ReadsKindsSummationAndYearsAndLogsTheYears) {
    read(period_packet("Monthly", "Period total", "", "March", "Weekend"));
    const Scenario& sc = w.s.sc;
    EXPECT_EQ(sc.period_type, 1);
    EXPECT_EQ(sc.summation_type, 1);
    EXPECT_EQ(sc.episode_year, "2020");
    EXPECT_EQ(sc.season_of_year, 2);
    EXPECT_EQ(sc.month_of_year, 2);
    EXPECT_EQ(sc.weekday_or_weekend, 1);
    EXPECT_EQ(sc.growth_calc_year, "2021");
    EXPECT_EQ(sc.tech_sel_year, "2022");
    EXPECT_EQ(w.s.log.lines(), Lines({" Get period options 2020", " Get period options 2021",
                                      " Get period options 2022"}));
    EXPECT_TRUE(w.ui.messages().empty());
}

TEST_F(PeriodPacket, PeriodAndSummationWords) {
    struct Row {
        const char* type;
        const char* summation;
        int period_type;
        int summation_type;
    } rows[] = {
        {"Annual", "Typical day", 0, 0},
        {"monthly", "typical day", 1, 0},
        {"SEASONAL", "Period total", 2, 1},
        {"semi-annual total", "a typical day", 0, 0},  // containment, not equality
        {"Annual Monthly", "Typical day", 0, 0},       // first kind that matches wins
        {"Seasonal/Monthly", "Typical day, period total", 1, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.type);
        Workspace fresh;
        LineReader in(join_crlf(period_packet(r.type, r.summation, "", "", "Weekday")));
        read_period_packet(fresh.s, in);
        EXPECT_EQ(fresh.s.sc.period_type, r.period_type);
        EXPECT_EQ(fresh.s.sc.summation_type, r.summation_type);
    }
}

TEST_F(PeriodPacket, SeasonMonthAndDayWords) {
    struct Row {
        const char* season;
        const char* month;
        const char* day;
        int season_of_year;
        int month_of_year;       // starts at 9
        int weekday_or_weekend;  // starts at 1
    } rows[] = {
        {"Winter", "January", "Weekday", 0, 0, 0},
        {"spring", "december", "weekend", 1, 11, 1},
        {"Summer", "", "", 2, 5, 1},                 // empty month reads June
        {"Autumn", "Brumaire", "Holiday", 3, 9, 1},  // no month or day named: unchanged
        {"", "May June", "  Weekday  ", 2, 5, 0},    // the last month in table order wins
        {"Fall", "June May", "Weekday Weekend", 2, 5, 1},
        {"Winter and Autumn", "SEPTEMBER", "weekday", 3, 8, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.season) + "/" + r.month + "/" + r.day);
        Workspace fresh;
        fresh.s.sc.season_of_year = 0;
        fresh.s.sc.month_of_year = 9;
        fresh.s.sc.weekday_or_weekend = 1;
        LineReader in(join_crlf(period_packet("Annual", "Typical day", r.season, r.month, r.day)));
        read_period_packet(fresh.s, in);
        EXPECT_EQ(fresh.s.sc.season_of_year, r.season_of_year);
        EXPECT_EQ(fresh.s.sc.month_of_year, r.month_of_year);
        EXPECT_EQ(fresh.s.sc.weekday_or_weekend, r.weekday_or_weekend);
    }
}

TEST_F(PeriodPacket, ReadsThroughItsEndLineOnly) {
    Lines l = period_packet("Annual", "Typical day", "", "", "Weekday");
    l.back() = "anything on the ninth line";
    l.push_back("/OPTIONS/");
    LineReader in(join_crlf(l));
    read_period_packet(w.s, in);
    EXPECT_EQ(in.read(), "/OPTIONS/");
}

TEST_F(PeriodPacket, UnknownKindOrSummationEndsTheProgram) {
    struct Row {
        Lines packet;
        const char* message;
    } rows[] = {
        {period_packet("Hourly", "Typical day", "", "", ""), "Period type not recognized HOURLY6"},
        {period_packet("", "Typical day", "", "", ""), "Period type not recognized 0"},
        {period_packet("  bi weekly  ", "Typical day", "", "", ""),
         "Period type not recognized BI WEEKLY9"},
        {period_packet("Annual", "Weekly sum", "", "", ""), "Summation type not Known WEEKLY SUM"},
        {period_packet("Annual", "", "", "", ""), "Summation type not Known "},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.message);
        Workspace fresh;
        LineReader in(join_crlf(r.packet));
        try {
            read_period_packet(fresh.s, in);
            ADD_FAILURE() << "the program did not end";
        } catch (const ProgramEnd& e) {
            EXPECT_FALSE(e.fini);
        }
        EXPECT_EQ(fresh.ui.messages(), Lines({r.message}));
        ASSERT_EQ(fresh.ui.calls().size(), 1u);
        EXPECT_EQ(fresh.ui.calls()[0].title, kTitle);
        EXPECT_EQ(fresh.ui.calls()[0].icon, Icon::None);
        // Ended at once: nothing logged, the log left open.
        EXPECT_TRUE(fresh.s.log.lines().empty());
        EXPECT_TRUE(fresh.s.log.is_open());
    }
}

TEST_F(PeriodPacket, EndOfFileInsideThePacketIsAPeriodError) {
    struct Row {
        std::size_t lines_present;
        Lines log;
    } rows[] = {
        {0, {"***************Period error 62", ""}},
        {4,
         {" Get period options 2020", "***************Period error 62", "Season of year     : "}},
        // Only the "/END/" line is missing.
        {8,
         {" Get period options 2020", " Get period options 2021", " Get period options 2022",
          "***************Period error 62", "Year of tech sel   : 2022"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.lines_present);
        Workspace fresh;
        Lines l = period_packet("Annual", "Typical day", "", "", "Weekday");
        l.resize(r.lines_present);
        LineReader in(join_crlf(l));
        try {
            read_period_packet(fresh.s, in);
            ADD_FAILURE() << "the program did not end";
        } catch (const ProgramEnd& e) {
            EXPECT_FALSE(e.fini);
        }
        EXPECT_EQ(fresh.ui.messages(), Lines({"***************Period error 62"}));
        ASSERT_EQ(fresh.ui.calls().size(), 1u);
        EXPECT_EQ(fresh.ui.calls()[0].title, kTitle);
        EXPECT_EQ(fresh.s.log.lines(), r.log);
        EXPECT_FALSE(fresh.s.log.is_open());
        fresh.s.log.write("after the end");
        EXPECT_EQ(fresh.s.log.lines(), r.log);
    }
}

TEST_F(PeriodPacket, WriterWritesTheWordsOfEachKind) {
    struct Row {
        int period_type, summation_type, season, month, day;
        const char* type_word;
        const char* summation_word;
        const char* season_word;
        const char* month_word;
        const char* day_word;
    } rows[] = {
        {0, 0, 1, 3, 0, "Annual", "Typical day", "", "", "Weekday"},
        {1, 1, 1, 5, 1, "Monthly", "Period total", "", "June", "Weekend"},
        {1, 0, 0, 0, 0, "Monthly", "Typical day", "", "January", "Weekday"},
        {1, 0, 0, 11, 0, "Monthly", "Typical day", "", "December", "Weekday"},
        {2, 1, 3, 4, 0, "Seasonal", "Period total", "Autumn", "", "Weekday"},
        {2, 0, 0, 4, 1, "Seasonal", "Typical day", "Winter", "", "Weekend"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.type_word);
        Workspace fresh;
        Scenario& sc = fresh.s.sc;
        sc.period_type = r.period_type;
        sc.summation_type = r.summation_type;
        sc.season_of_year = r.season;
        sc.month_of_year = r.month;
        sc.weekday_or_weekend = r.day;
        sc.episode_year = "2020";
        sc.growth_calc_year = "2021";
        sc.tech_sel_year = "";
        LineWriter out;
        const std::size_t logged = fresh.s.log.lines().size();
        write_period_packet(fresh.s, out);
        EXPECT_EQ(fresh.s.log.lines().size(), logged + 1);
        EXPECT_EQ(fresh.s.log.lines().back(), "Entering Period form load");
        EXPECT_EQ(
            out.bytes(),
            crlf({"/PERIOD/", std::string("Period type        : ") + r.type_word,
                  std::string("Summation type     : ") + r.summation_word,
                  "Year of episode    : 2020", std::string("Season of year     : ") + r.season_word,
                  std::string("Month of year      : ") + r.month_word,
                  std::string("Weekday or weekend : ") + r.day_word, "Year of growth calc: 2021",
                  "Year of tech sel   : ", "/END/"}));

        // What is written reads back to the same period.
        Workspace again;
        LineReader in(out.bytes());
        in.read();
        read_period_packet(again.s, in);
        EXPECT_EQ(again.s.sc.period_type, r.period_type);
        EXPECT_EQ(again.s.sc.summation_type, r.summation_type);
        if (r.period_type == 2) {
            EXPECT_EQ(again.s.sc.season_of_year, r.season);
        }
        if (r.period_type == 1) {
            EXPECT_EQ(again.s.sc.month_of_year, r.month);
        }
        EXPECT_EQ(again.s.sc.weekday_or_weekend, r.day);
    }
}

// "/STAGE II/"

TEST(Stage2Packet, ReaderTakesTheLastValueLine) {
    struct Row {
        Lines packet;
        const char* value;
        bool present;
    } rows[] = {
        {{"Control Factor     : 77.5", "/END/"}, "77.5", true},
        {{"Control Factor     : 10", "Control Factor     : abc", "/end/"}, "ABC", true},
        {{"Control Factor     :", "/END/"}, "", true},
        {{"/END/"}, "OLD", false},
        {{"Control Factor     : 5"}, "5", true},  // end of file closes the packet
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.value);
        Workspace w;
        w.s.sc.stage2str = "OLD";
        LineReader in(join_crlf(r.packet));
        read_stage2_packet(w.s, in);
        EXPECT_EQ(w.s.sc.stage2str, r.value);
        EXPECT_EQ(w.s.sc.stage2_present, r.present);
        EXPECT_TRUE(in.eof());
    }
}

TEST(Stage2Packet, WriterWritesTheValueOnlyWhenPresent) {
    struct Row {
        bool present;
        const char* value;
        const char* written;
        const char* value_after;
    } rows[] = {
        {true, "77.5", "77.5", "77.5"},
        {false, "77.5", "0.0", "77.5"},
        {true, "", "0", "0"},
        {false, "", "0.0", "0"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.value) + (r.present ? " present" : " absent"));
        Workspace w;
        w.s.sc.stage2_present = r.present;
        w.s.sc.stage2str = r.value;
        LineWriter out;
        write_stage2_packet(w.s, out);
        EXPECT_EQ(out.bytes(),
                  crlf({"/STAGE II/", std::string("Control Factor     : ") + r.written, "/END/"}));
        EXPECT_EQ(w.s.sc.stage2str, r.value_after);
    }
}

TEST(Stage2Packet, ValueReadAndThenClearedIsWrittenAsZero) {
    Workspace w;
    LineReader in(crlf({"Control Factor     : 12.5", "/END/"}));
    read_stage2_packet(w.s, in);
    LineWriter first;
    write_stage2_packet(w.s, first);
    EXPECT_EQ(first.bytes(), crlf({"/STAGE II/", "Control Factor     : 12.5", "/END/"}));
    w.s.sc.stage2_present = false;
    LineWriter second;
    write_stage2_packet(w.s, second);
    EXPECT_EQ(second.bytes(), crlf({"/STAGE II/", "Control Factor     : 0.0", "/END/"}));
}

}  // namespace
}  // namespace qv
