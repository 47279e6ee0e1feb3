#include "platform/reference/loaded_copies.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/fs/fd_io.h"
#include "platform/fs/user_config.h"

namespace qv::reference {

namespace {

namespace fs = std::filesystem;

// Copies kept at most: each file of a campaign's few reference databases, as it stands.
constexpr std::size_t kept_at_most = 8;

// A 64-bit sum of the bytes, eight at a time: it tells a copy cut short or damaged on disk from
// a sound one, not a copy made to deceive (whoever can write the cache can write the files).
std::uint64_t sum_of(std::string_view bytes) {
    std::uint64_t h = 0x9e3779b97f4a7c15ull ^ bytes.size();
    std::size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        std::uint64_t w;
        std::memcpy(&w, bytes.data() + at, 8);
        h = (h ^ w) * 0xff51afd7ed558ccdull;
        h ^= h >> 32;
    }
    std::uint64_t w = 0;
    if (at < bytes.size())
        std::memcpy(&w, bytes.data() + at, bytes.size() - at);
    h = (h ^ w) * 0xc4ceb9fe1a85ec53ull;
    return h ^ (h >> 29);
}

std::string hex(std::uint64_t v) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, v >>= 4)
        text[static_cast<std::size_t>(i)] = digits[v & 15];
    return text;
}

// Empty where the user has no cache folder (no home, or a relative one): nothing is kept then,
// rather than a folder in whatever folder the command runs in.
fs::path folder() {
    const fs::path cache = user_cache_dir();
    return cache.is_absolute() ? cache / "reference" : fs::path();
}

// The first line of a kept copy: what it is a copy of, and the sum of the image after it.
std::string header(std::string_view file, std::string_view stamp, std::string_view image) {
    std::string line = "qv-gui reference copy 1 ";
    line += hex(sum_of(image));
    line += ' ';
    line += stamp;
    line += ' ';
    line += file;
    line += '\n';
    return line;
}

fs::path entry(std::string_view file, std::string_view stamp) {
    std::string key(file);
    key += '\n';
    key += stamp;
    return folder() / (hex(sum_of(key)) + ".db");
}

bool read_all(int fd, std::string& out) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Removes the oldest copies past kept_at_most.
void prune() {
    std::error_code ec;
    std::vector<std::pair<fs::file_time_type, fs::path>> copies;
    for (const auto& e : fs::directory_iterator(folder(), ec))
        if (e.path().extension() == ".db")
            copies.emplace_back(e.last_write_time(ec), e.path());
    if (copies.size() <= kept_at_most)
        return;
    std::sort(copies.begin(), copies.end());
    for (std::size_t i = 0; i + kept_at_most < copies.size(); ++i)
        fs::remove(copies[i].second, ec);
}

}  // namespace

std::optional<std::string> take_loaded_copy(std::string_view file, std::string_view stamp) {
    if (folder().empty())
        return std::nullopt;
    const int fd = ::open(entry(file, stamp).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    const bool read = read_all(fd, bytes);
    ::close(fd);
    const std::size_t end = bytes.find('\n');
    if (!read || end == std::string::npos)
        return std::nullopt;
    const std::string first_line = bytes.substr(0, end + 1);
    bytes.erase(0, end + 1);
    if (first_line != header(file, stamp, bytes))
        return std::nullopt;
    return bytes;
}

void keep_loaded_copy(std::string_view file, std::string_view stamp, std::string_view image) {
    if (folder().empty())
        return;
    std::error_code ec;
    fs::create_directories(folder(), ec);
    ::chmod(folder().c_str(), 0700);
    const fs::path to = entry(file, stamp);
    fs::path part = to;
    part += "." + std::to_string(::getpid()) + ".part";
    const int fd =
        ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    const bool written = write_all(fd, header(file, stamp, image)) && write_all(fd, image);
    if (::close(fd) != 0 || !written || ::rename(part.c_str(), to.c_str()) != 0) {
        fs::remove(part, ec);
        return;
    }
    prune();
}

}  // namespace qv::reference
