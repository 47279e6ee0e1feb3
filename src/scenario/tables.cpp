#include "scenario/scenario.h"

namespace qv {

const std::array<const char*, run_file_count> run_file_key_texts = {
    "ALLOC XREF      ", "ACTIVITY        ", "EXH TECHNOLOGY  ", "EVP TECHNOLOGY  ",
    "SEASONALITY     ", "REGIONS         ", "MESSAGE         ", "OUTPUT DATA     ",
    "KPZ2 RDL        ", "LNV             ", "US COUNTIES FIPS", "RETROFIT        ",
    "EXHAUST BMY OUT ", "EVAP BMY OUT    ", "DAILY TEMPS/RVP "};

const char* const emission_type_list =
    "THC EXHAUST|CO EXHAUST|NOX EXHAUST|PM EXHAUST|BSFC|CRANKCASE|SPILLAGE|DIURNAL|TANK PERM|"
    "NON-RM HOSE PERM|RM FILL NECK PERM|RM SUPPLY/RETURN|RM VENT PERM|HOT SOAKS|RUNINGLOSS";

const std::array<const char*, emission_type_count> emission_type_labels = {
    "THC exhaust",       "CO exhaust",       "NOX exhaust",  "PM exhaust", "BSFC",
    "Crankcase",         "Spillage",         "Diurnal",      "Tank Perm",  "Non-RM Hose Perm",
    "RM Fill Neck Perm", "RM Supply/Return", "RM Vent Perm", "Hot Soaks",  "RuningLoss"};

const std::array<const char*, 4> season_names = {"Winter", "Spring", "Summer", "Autumn"};
const std::array<const char*, 12> month_names = {"January",   "February", "March",    "April",
                                                 "May",       "June",     "July",     "August",
                                                 "September", "October",  "November", "December"};
const std::array<const char*, 2> day_names = {"Weekday", "Weekend"};
const std::array<const char*, 4> region_level_words = {"50STATE", "STATE", "COUNTY", "US TOTAL"};

const std::array<OptionBox, 11> option_boxes = {{
    {"fulrvp", " Fuel RVP for gas", &Scenario::fulrvpstr},
    {"pcoxygen", "Oxygen weight %", &Scenario::pcoxygenstr},
    {"so2gas", "Gas Sulfur %", &Scenario::so2gasstr},
    {"so2diesel", "Diesel Sulfur %", &Scenario::so2dieselstr},
    {"so2marinediesel", "Marine Diesel Sulfur %", &Scenario::so2marinedieselstr},
    {"cngsulfur", "CNG/LPG Sulfur %", &Scenario::so2cngstr},
    {"Mintemp", "Minimum temp (F)", &Scenario::mintempstr},
    {"Maxtemp", "Maximum temp (F)", &Scenario::maxtempstr},
    {"Avgtemp", "Average temp (F)", &Scenario::avgtempstr},
    {"EtOHvolPct", "EtOH volume %", &Scenario::etohvolpctstr},
    {"BlendMktShare", "EtOH blend mkt %", &Scenario::blendmktsharestr},
}};

}  // namespace qv
