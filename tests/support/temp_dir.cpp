#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qv::test {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qvtest-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& relative, const std::string& bytes) const {
    auto p = path_ / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << bytes;
    return p.string();
}

std::string TempDir::read(const std::string& relative) const {
    return read_file(path_ / relative);
}

std::string read_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void copy_demo_model(const std::filesystem::path& to, DemoCopy what) {
    namespace fs = std::filesystem;
    fs::create_directories(to.parent_path());
    fs::copy(fs::path(QV_BINARY_DIR) / "examples/demo/model", to, fs::copy_options::recursive);
    if (what.no_results) {
        fs::create_directories(to / "outputs");
        fs::remove(to / "outputs/demo.msg");
        fs::remove(to / "outputs/demo.out");
    }
    if (what.model_program)
        fs::copy_file(fs::path(QV_BINARY_DIR) / "tools/demo-model/qv-demo-model",
                      to / "qv-demo-model");
}

}  // namespace qv::test
