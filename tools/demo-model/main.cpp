// qv-demo-model OPTIONSFILE: a small stand-in for the model console program. It reads the options
// file, checks that the packets a run needs are there, prints its progress, and writes the message
// file and the output data file that the "/RUNFILES/" packet names. The output data file ends in
// a table of made-up figures, one row per region, that depend on the region, the episode year and
// the title, so that the variants of a batch give different files; none of it is an emission
// estimate.
//
// QV_DEMO_MODEL_SECONDS sets how long a run takes (a decimal number of seconds, 0 to 86400), so
// that batches can be watched; unset, a run takes 1.2 s.
//
// Every path is opened exactly as written, as the model does: "\" is an ordinary character here
// and letter case counts, so a name the front end wrote in the wrong case fails the run.
//
// Exit status: 0 done; 2 bad command line or QV_DEMO_MODEL_SECONDS, unreadable options file or
// missing packet or name; 3 a result file could not be written.

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string trim(const std::string& s) {
    const char* blanks = " \t\r";
    auto b = s.find_first_not_of(blanks);
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

struct Entry {
    std::string key, value;
};

// Packets by upper-cased header, each with its "key : value" lines; "*" lines are comments.
std::map<std::string, std::vector<Entry>> read_packets(const std::string& bytes) {
    std::map<std::string, std::vector<Entry>> packets;
    std::vector<Entry>* current = nullptr;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        start = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);

        const std::string t = trim(line);
        if (t.empty() || t[0] == '*')
            continue;
        if (t.size() > 1 && t.front() == '/' && t.back() == '/') {
            const std::string name = upper(t);
            current = name == "/END/" ? nullptr : &packets[name];
            continue;
        }
        if (!current)
            continue;
        auto colon = line.find(':');
        if (colon == std::string::npos)
            current->push_back({trim(line), {}});
        else
            current->push_back({trim(line.substr(0, colon)), trim(line.substr(colon + 1))});
    }
    return packets;
}

std::string value_of(const std::vector<Entry>& packet, const std::string& key) {
    for (const auto& e : packet)
        if (upper(e.key) == upper(key))
            return e.value;
    return {};
}

constexpr int progress_steps = 4;

void progress(const std::string& text, std::chrono::milliseconds pause) {
    std::cout << text << std::endl;
    std::this_thread::sleep_for(pause);
}

// The pause after each progress line: the run's length from QV_DEMO_MODEL_SECONDS, spread over
// the steps. Empty when the variable holds no number in range.
std::optional<std::chrono::milliseconds> step_pause(const char* seconds) {
    if (!seconds)
        return std::chrono::milliseconds(300);
    char* end = nullptr;
    const double value = std::strtod(seconds, &end);
    if (end == seconds || *end != '\0' || !std::isfinite(value) || value < 0 || value > 86400)
        return std::nullopt;
    return std::chrono::milliseconds(std::llround(value * 1000 / progress_steps));
}

// FNV-1a: a stable spread of made-up figures over regions, years and titles.
std::uint64_t mix(const std::string& text) {
    std::uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : text)
        h = (h ^ c) * 1099511628211ULL;
    return h;
}

std::string fixed(double value, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return buf;
}

// One row per region: units, hours of use and three pollutants in tons, all invented.
std::string made_up_table(const std::vector<std::string>& regions, const std::string& year,
                          const std::string& title) {
    std::string table =
        "Made-up figures (demo stand-in, not emission estimates)\r\n"
        "Region,Units,Hours,HC tons,NOx tons,CO tons\r\n";
    for (const auto& region : regions) {
        const std::uint64_t h = mix(region + "|" + year + "|" + title);
        const double units = 1000 + static_cast<double>(h % 90000);
        const double hours = units * (200 + static_cast<double>((h >> 17) % 600));
        const double hc = hours * (1 + static_cast<double>((h >> 29) % 50)) * 1e-7;
        const double nox = hours * (2 + static_cast<double>((h >> 37) % 80)) * 1e-7;
        const double co = hours * (5 + static_cast<double>((h >> 47) % 300)) * 1e-7;
        table += region + "," + fixed(units, 0) + "," + fixed(hours, 0) + "," + fixed(hc, 3) + "," +
                 fixed(nox, 3) + "," + fixed(co, 3) + "\r\n";
    }
    return table;
}

// The whole file, or nothing with the reason in `why`.
std::optional<std::string> read_literally(const std::string& path, std::string& why) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    return bytes;
}

bool write_literally(const std::string& path, const std::string& bytes, std::string& why) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out << bytes;
    if (out)
        out.close();
    if (!out) {
        why = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: qv-demo-model OPTIONSFILE\n";
        return 2;
    }
    const std::string file = argv[1];
    const char* seconds = std::getenv("QV_DEMO_MODEL_SECONDS");
    const auto pause = step_pause(seconds);
    if (!pause) {
        std::cerr << "qv-demo-model: QV_DEMO_MODEL_SECONDS=" << seconds
                  << " is not a number of seconds from 0 to 86400\n";
        return 2;
    }
    std::string why;
    const auto bytes = read_literally(file, why);
    if (!bytes) {
        std::cerr << "qv-demo-model: cannot read " << file << ": " << why << '\n';
        return 2;
    }
    std::map<std::string, std::vector<Entry>> packets = read_packets(*bytes);
    for (const char* name : {"/RUNFILES/", "/OPTIONS/", "/PERIOD/", "/REGION/"}) {
        if (!packets.count(name)) {
            std::cerr << "qv-demo-model: " << file << ": no " << name << " packet\n";
            return 2;
        }
    }
    const auto& runfiles = packets["/RUNFILES/"];
    const std::string message = value_of(runfiles, "MESSAGE");
    const std::string output = value_of(runfiles, "OUTPUT DATA");
    for (const auto& [key, path] : {std::pair{"MESSAGE", message}, {"OUTPUT DATA", output}}) {
        if (path.empty()) {
            std::cerr << "qv-demo-model: " << file << ": no " << key << " file in /RUNFILES/\n";
            return 2;
        }
    }

    const auto& period = packets["/PERIOD/"];
    const std::string title = value_of(packets["/OPTIONS/"], "Title 1");
    const std::string period_text = value_of(period, "Period type") + ", " +
                                    value_of(period, "Summation type") + ", " +
                                    value_of(period, "Year of episode");
    std::string regions;
    std::vector<std::string> region_codes;
    for (const auto& e : packets["/REGION/"]) {
        if (upper(e.key) == "REGION LEVEL" || e.value.empty())
            continue;
        regions += (regions.empty() ? "" : " ") + e.value;
        region_codes.push_back(e.value);
    }

    progress("qv-demo-model: reading " + file, *pause);
    progress("Scenario: " + title, *pause);
    progress("Period: " + period_text, *pause);
    progress("Computing emissions for " + std::to_string(region_codes.size()) + " region(s)",
             *pause);

    const std::string body = "Title: " + title + "\r\nPeriod: " + period_text +
                             "\r\nRegions: " + regions + "\r\nRun completed\r\n";
    if (!write_literally(
            message, "qv-demo-model message file\r\nOptions file: " + file + "\r\n" + body, why) ||
        !write_literally(
            output,
            "qv-demo-model output data\r\n" + body +
                made_up_table(region_codes, value_of(period, "Year of episode"), title),
            why)) {
        std::cerr << "qv-demo-model: cannot write the result files: " << why << '\n';
        return 3;
    }
    std::cout << "Run completed" << std::endl;
    return 0;
}
