// Reads arbitrary bytes as an options file and merges the scenario back into it: neither may
// crash, hang or leave a half-written file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/app_error.h"
#include "platform/console/console_ui.h"
#include "platform/fs/host_file_system.h"
#include "platform/program_end.h"
#include "scenario/options_file.h"
#include "scenario/session.h"
#include "scenario/state_table.h"

namespace {

// A reference database that knows every code: validation and source look-up take all of them.
class EverythingReference : public qv::ReferenceEngine {
  public:
    void open(const std::string&) override { open_ = true; }
    void close() override { open_ = false; }
    bool is_open() const override { return open_; }
    qv::QueryResult query(std::string_view) override {
        qv::QueryResult r;
        r.columns = {"COUNTY", "SCC", "EQUIP", "CLASSIFICATION", "Engine Type"};
        r.rows.push_back({"Some County", "2270002000", "Equip", "Class", "Diesel"});
        return r;
    }

  private:
    bool open_ = false;
};

const std::filesystem::path& work_dir() {
    static const std::filesystem::path dir = [] {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qvfuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        return std::filesystem::path(tmpl);
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qv::HostFileSystem fs;
    const std::filesystem::path file = work_dir() / "fuzz.opt";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fs.write_file(fs.program_path(file.string()), bytes);

    qv::ConsoleUi ui;
    EverythingReference ref;
    qv::Session s(ui, fs, ref);
    s.settings.msgbox_title = "US KQT QUARVEL MODEL";
    s.settings.model_dir = fs.program_path(work_dir().string());
    s.log.open_in_memory();
    qv::build_state_table(s.state_table);
    s.sc.option_file_dir = s.settings.model_dir;
    s.sc.option_file_name = "fuzz.opt";
    try {
        qv::read_options_file(s);
        s.sc.options_changed = s.sc.period_changed = s.sc.region_changed = true;
        s.sc.alloc_files_changed = s.sc.pop_files_changed = s.sc.growth_changed = true;
        s.sc.emfac_changed = true;
        s.sc.save_file_dir = s.settings.model_dir;
        s.sc.save_file_name = "out.opt";
        qv::write_options_file(s);
    } catch (const qv::ProgramEnd&) {
    } catch (const qv::ChooserStop&) {
    }
    return 0;
}
