#include "runs/campaign.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>

#include "platform/fs/path_form.h"
#include "scenario/session.h"

namespace qv::runs {

namespace {

namespace fs = std::filesystem;

std::string trim_blanks(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// Splits on CR LF, LF or CR, as the options files are read.
std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

// An absolute path, with "/" alone between its parts and no "." or ".." part, is its own
// normal form: a campaign's thousands of such paths need no taking apart.
bool is_normal_absolute(const std::string& p) {
    if (p.empty() || p[0] != '/')
        return false;
    if (p.size() == 1)
        return true;
    for (std::size_t i = 0; i < p.size();) {
        const std::size_t end = std::min(p.find('/', i + 1), p.size());
        const std::string_view part = std::string_view(p).substr(i + 1, end - i - 1);
        if (part.empty() || part == "." || part == "..")
            return false;
        i = end;
    }
    return true;
}

std::string describe(const CampaignEntry& e) {
    return "line " + std::to_string(e.line) + " (" + e.path + ")";
}

}  // namespace

Campaign parse_campaign(const std::string& list_path, const std::string& text) {
    Campaign c;
    c.list_path = list_path;
    const fs::path base = fs::path(list_path).parent_path();
    const auto lines = split_lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string name = trim_blanks(lines[i]);
        if (name.empty() || name[0] == '#')
            continue;
        if (name.find('\0') != std::string::npos)
            throw CampaignError(list_path + ": line " + std::to_string(i + 1) +
                                " holds a NUL character");
        fs::path p(name);
        if (p.is_relative())
            p = base / p;
        c.entries.push_back({static_cast<int>(i + 1), name, p.lexically_normal().string()});
    }
    return c;
}

Campaign read_campaign(const std::string& list_path) {
    return parse_campaign(list_path, read_regular_file(list_path, "the list file"));
}

std::string read_regular_file(const std::string& path, const std::string& what) {
    auto refused = [&](const std::string& why) {
        return CampaignError(path + ": cannot read " + what + ": " + why);
    };
    // Looked at before it is opened, and opened without waiting: a FIFO would block the open
    // until a writer came, and a directory or a device has no text to give.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw refused(std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        throw refused("it is a directory");
    if (!S_ISREG(st.st_mode))
        throw refused("it is not a regular file");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        throw refused(std::strerror(errno));
    std::string text;
    bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    int error = 0;
    char buffer[65536];
    while (regular) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = errno;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!regular)
        throw refused("it is not a regular file");
    if (error != 0)
        throw refused(std::strerror(error));
    return text;
}

std::string same_file_key(const std::string& host_path) {
    std::string p = host_path;
    for (char& ch : p) {
        if (ch == '\\')
            ch = '/';
        else if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    }
    if (is_normal_absolute(p))
        return p;
    fs::path path(p);
    if (path.is_relative())
        path = fs::current_path() / path;
    return path.lexically_normal().string();
}

std::vector<ScenarioOutputs> check_distinct_outputs(const Campaign& campaign,
                                                    const OutputsOf& outputs_of) {
    std::vector<ScenarioOutputs> all;
    all.reserve(campaign.entries.size());
    // Which entry writes each file: a message file of one entry may also be another's output.
    std::map<std::string, std::size_t> writer;
    for (std::size_t i = 0; i < campaign.entries.size(); ++i) {
        const CampaignEntry& entry = campaign.entries[i];
        all.push_back(outputs_of(entry));
        for (const std::string* file : {&all.back().message, &all.back().output_data}) {
            if (file->empty())
                continue;
            auto [it, fresh] = writer.emplace(same_file_key(*file), i);
            if (!fresh && it->second != i)
                throw CampaignError(campaign.list_path + ": " +
                                    describe(campaign.entries[it->second]) + " and " +
                                    describe(entry) + " would both write " + *file);
        }
    }
    return all;
}

ScenarioOutputs scenario_outputs(const Session& s) {
    // A relative name is taken against model_dir, where the model runs.
    auto host = [&](const std::string& dir, const std::string& name) -> std::string {
        if (name.empty())
            return {};
        std::string path = dir.empty() ? name : join_path(dir, name);
        const bool absolute =
            path[0] == '\\' || path[0] == '/' || (path.size() > 1 && path[1] == ':');
        if (!absolute)
            path = join_path(s.settings.model_dir, path);
        return s.fs.host_path(path);
    };
    return {host(s.sc.message_dir, s.sc.message_file_name),
            host(s.sc.output_dir, s.sc.output_file_name)};
}

}  // namespace qv::runs
