#include "cli/campaign_outputs.h"

#include <sys/stat.h>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "platform/app_error.h"
#include "platform/fs/path_form.h"
#include "scenario/line_io.h"
#include "scenario/packets.h"
#include "scenario/text.h"

namespace qv::cli {

namespace {

// Host paths of result files, which a campaign keeps in a few directories of thousands of
// files. The host file system finds a name that differs in letter case by listing its
// directory, once per name; this lists each directory once and answers from that, with the
// same rule: the exact name when it exists, else the least name equal to it ignoring case.
class HostNames {
  public:
    explicit HostNames(const FileSystem& fs) : fs_(fs) {}

    std::string host_path(const std::string& program_path) {
        // A name read from an options file may hold "/" as well as a backslash: both separate.
        const auto cut = program_path.find_last_of("\\/");
        const std::string dir =
            cut == std::string::npos ? std::string{} : program_path.substr(0, cut);
        const std::string name = program_path.substr(cut == std::string::npos ? 0 : cut + 1);
        auto [at, added] = dirs_.try_emplace(dir);
        if (added)
            at->second = fs_.host_path(dir);
        const std::string& host_dir = at->second;
        const std::string exact = host_dir + "/" + name;
        // Once a directory has been listed, the listing answers for the names in it too: a
        // model that writes its results in another letter case would otherwise cost a failed
        // look-up per name.
        auto listed = listings_.find(host_dir);
        if (listed == listings_.end()) {
            struct stat st {};
            if (::lstat(exact.c_str(), &st) == 0)
                return exact;
            listed = list(host_dir);
        } else if (listed->second.exact.contains(name)) {
            return exact;
        }
        const auto& names = listed->second.by_upper;
        auto it = names.find(upper(name));
        return it == names.end() ? exact : host_dir + "/" + it->second;
    }

  private:
    struct Listing {
        std::set<std::string> exact;
        std::map<std::string, std::string> by_upper;  // the least name of each upper case
    };

    std::map<std::string, Listing>::iterator list(const std::string& host_dir) {
        auto at = listings_.try_emplace(host_dir).first;
        std::error_code ec;
        for (std::filesystem::directory_iterator d(host_dir, ec), end; !ec && d != end;
             d.increment(ec)) {
            const std::string n = d->path().filename().string();
            at->second.exact.insert(n);
            auto [slot, fresh] = at->second.by_upper.try_emplace(upper(n), n);
            if (!fresh && n < slot->second)
                slot->second = n;
        }
        return at;
    }

    const FileSystem& fs_;
    std::map<std::string, std::string> dirs_;
    std::map<std::string, Listing> listings_;
};

std::string program_form(const std::string& dir, const std::string& name) {
    return name.empty() ? std::string{} : join_path(dir, name);
}

}  // namespace

runs::OutputsOf run_files_reader(const CommonOptions& common) {
    auto session = std::make_shared<HeadlessSession>(common, nullptr);
    if (!session->set_up())
        throw runs::CampaignError(
            "the configuration could not be read; qvopt check on one of "
            "the scenarios shows why");
    auto names = std::make_shared<HostNames>(session->fs);
    return [session, names](const runs::CampaignEntry& entry) {
        Session& s = session->s;
        auto refuse = [&](const std::string& why) {
            return runs::CampaignError("line " + std::to_string(entry.line) + ": " + entry.path +
                                       ": " + why);
        };
        const std::string path = s.fs.program_path(entry.path);
        s.sc.option_file_dir = split_dir(path);
        s.sc.option_file_name = split_file_name(path);
        s.sc.message_dir.clear();
        s.sc.message_file_name.clear();
        s.sc.output_dir.clear();
        s.sc.output_file_name.clear();
        std::string bytes;
        try {
            bytes = s.fs.read_file(path);
        } catch (const AppError& e) {
            throw refuse("cannot be read: " + e.description());
        }
        LineReader in(std::move(bytes));
        bool found = false;
        const bool read = session->step([&] {
            while (!in.eof() && !found) {
                if (upper(ltrim(in.read())).rfind("/RUNFILES/", 0) == 0) {
                    read_runfiles_packet(s, in);
                    found = true;
                }
            }
        });
        if (!read)
            throw refuse("its /RUNFILES/ packet cannot be read");
        // The packet's reader has made both directories absolute, under model_dir when needed.
        runs::ScenarioOutputs outputs;
        if (!s.sc.message_file_name.empty())
            outputs.message =
                names->host_path(program_form(s.sc.message_dir, s.sc.message_file_name));
        if (!s.sc.output_file_name.empty())
            outputs.output_data =
                names->host_path(program_form(s.sc.output_dir, s.sc.output_file_name));
        if (outputs.output_data.empty())
            throw refuse("it names no output data file");
        return outputs;
    };
}

}  // namespace qv::cli
