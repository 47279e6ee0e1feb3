// qv-demo-model OPTIONSFILE: a small stand-in for the model console program. It reads the options
// file, checks that the packets a run needs are there, prints its progress, and writes the message
// file and the output data file that the "/RUNFILES/" packet names.
//
// Exit status: 0 done; 2 bad command line, unreadable options file or missing packet or name;
// 3 a result file could not be written.

#include <chrono>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/app_error.h"
#include "platform/fs/host_file_system.h"

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

void progress(const std::string& text) {
    std::cout << text << std::endl;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: qv-demo-model OPTIONSFILE\n";
        return 2;
    }
    const std::string file = argv[1];
    qv::HostFileSystem fs;

    std::map<std::string, std::vector<Entry>> packets;
    try {
        packets = read_packets(fs.read_file(fs.program_path(file)));
    } catch (const qv::AppError& e) {
        std::cerr << "qv-demo-model: cannot read " << file << ": " << e.description() << '\n';
        return 2;
    }
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
    int region_count = 0;
    for (const auto& e : packets["/REGION/"]) {
        if (upper(e.key) == "REGION LEVEL" || e.value.empty())
            continue;
        regions += (regions.empty() ? "" : " ") + e.value;
        ++region_count;
    }

    progress("qv-demo-model: reading " + file);
    progress("Scenario: " + title);
    progress("Period: " + period_text);
    progress("Computing emissions for " + std::to_string(region_count) + " region(s)");

    const std::string body = "Title: " + title + "\r\nPeriod: " + period_text +
                             "\r\nRegions: " + regions + "\r\nRun completed\r\n";
    try {
        fs.write_file(message,
                      "qv-demo-model message file\r\nOptions file: " + file + "\r\n" + body);
        fs.write_file(output, "qv-demo-model output data\r\n" + body);
    } catch (const qv::AppError& e) {
        std::cerr << "qv-demo-model: cannot write the result files: " << e.description() << '\n';
        return 3;
    }
    std::cout << "Run completed" << std::endl;
    return 0;
}
