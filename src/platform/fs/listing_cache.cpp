#include "platform/fs/listing_cache.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/fs/inotify_events.h"

namespace qv::listing {
namespace {

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_ascii_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::int64_t mtime_ns_of(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

std::int64_t realtime_ns() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Measured on these machines: one look-up of a missing name costs about what reading 2.5
// entries of a listing does, and a folder's size on disk runs to about 30 bytes an entry.
constexpr double probe_cost_in_entries = 2.5;
constexpr double bytes_per_entry = 30;

// How many spellings a name has that differ only in ASCII letter case.
double case_variants(std::string_view name) {
    const auto letters = std::count_if(name.begin(), name.end(), is_ascii_letter);
    return letters > 40 ? 1e12 : static_cast<double>(std::uint64_t{1} << letters);
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

class Cache {
  public:
    // Never destroyed, so that file work done while the program ends (by the destructor of
    // another static object) still finds it; its one descriptor ends with the process.
    static Cache& instance() {
        static Cache& cache = *new Cache;
        return cache;
    }

    std::optional<std::string> case_match(const std::string& dir, std::string_view name) {
        const std::int64_t began = realtime_ns();
        struct stat st {};
        if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return std::nullopt;
        const Key key{st.st_dev, st.st_ino};
        const std::string lower = lowered(name);
        std::lock_guard lock(mutex_);
        drain_events();
        Folder& f = folders_[key];
        if (f.listed && f.watch < 0 && f.mtime_ns != mtime_ns_of(st))
            forget(f);
        if (f.listed || f.watch >= 0)
            if (auto known = f.names.find(lower); known != f.names.end())
                return first(known->second);
        if (f.listed)
            return std::nullopt;

        const double variants = case_variants(name);
        const double entries = std::max(1.0, static_cast<double>(st.st_size) / bytes_per_entry);
        const bool probing = (f.probes + variants) * probe_cost_in_entries <= entries;
        if (probing && (f.watch >= 0 || f.unwatchable)) {
            f.probes += variants;
            return first(probe(dir, name, f, lower));
        }
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return std::nullopt;
        std::unique_ptr<DIR, DirCloser> d(::fdopendir(fd));
        if (!d) {
            ::close(fd);
            return std::nullopt;
        }
        struct stat held {};
        // The path may lead to another folder by now: only the one opened is listed and kept.
        if (::fstat(fd, &held) != 0 || Key{held.st_dev, held.st_ino} != key)
            return first(probe(dir, name, f, {}));
        if (f.watch < 0 && !f.unwatchable)
            f.unwatchable = !watch(fd, f, key);
        if (probing) {
            f.probes += variants;
            return first(probe(dir, name, f, lower));
        }
        return list(d.get(), f, lower, mtime_ns_of(held), began);
    }

    void entries_changed(const std::string& dir) {
        std::lock_guard lock(mutex_);
        if (kept_by_time_ == 0)
            return;
        struct stat st {};
        if (::stat(dir.c_str(), &st) != 0)
            return;
        auto it = folders_.find(Key{st.st_dev, st.st_ino});
        if (it != folders_.end() && it->second.listed && it->second.watch < 0)
            forget(it->second);
    }

    void set_watching(bool on) {
        std::lock_guard lock(mutex_);
        watching_ = on;
    }

  private:
    using Key = std::pair<dev_t, ino_t>;
    struct Folder {
        bool listed = false;
        int watch = -1;             // inotify watch; -1: kept by modification time
        std::int64_t mtime_ns = 0;  // kept by time: the time it was listed with
        bool unwatchable = false;   // no watch can be set on it
        double probes = 0;          // case variants looked up instead of a listing
        // Lower-cased name: every entry of that name, in byte order. Listed, every name of the
        // folder; watched but not listed, the names asked about.
        std::unordered_map<std::string, std::vector<std::string>> names;
    };

    static std::optional<std::string> first(const std::vector<std::string>& entries) {
        if (entries.empty())
            return std::nullopt;
        return entries.front();
    }

    // A name not asked about in a folder that is not listed stays unknown.
    static void add(Folder& f, std::string_view entry) {
        auto known = f.names.find(lowered(entry));
        if (known == f.names.end() && !f.listed)
            return;
        auto& same = known != f.names.end() ? known->second : f.names[lowered(entry)];
        auto at = std::lower_bound(same.begin(), same.end(), entry);
        if (at == same.end() || *at != entry)
            same.insert(at, std::string(entry));
    }

    static void remove(Folder& f, std::string_view entry) {
        auto it = f.names.find(lowered(entry));
        if (it == f.names.end())
            return;
        auto& same = it->second;
        same.erase(std::remove(same.begin(), same.end(), entry), same.end());
        if (same.empty() && f.listed)
            f.names.erase(it);
    }

    void forget(Folder& f) {
        if (f.listed && f.watch < 0)
            --kept_by_time_;
        if (f.watch >= 0) {
            ::inotify_rm_watch(inotify_, f.watch);
            watched_.erase(f.watch);
        }
        f.listed = false;
        f.watch = -1;
        f.names.clear();
    }

    // Every entry of `dir` spelt as `name` is apart from letter case, by looking each spelling
    // up; kept under `lower` when the folder is watched (the watch was set before), else not
    // kept at all, so nothing can be stale.
    static std::vector<std::string> probe(const std::string& dir, std::string_view name, Folder& f,
                                          const std::string& lower) {
        std::vector<std::size_t> letters;
        for (std::size_t i = 0; i < name.size(); ++i)
            if (is_ascii_letter(name[i]))
                letters.push_back(i);
        std::vector<std::string> found;
        std::string spelt(name);
        for (std::uint64_t mask = 0; mask < (std::uint64_t{1} << letters.size()); ++mask) {
            for (std::size_t j = 0; j < letters.size(); ++j) {
                const char c = ascii_lower(name[letters[j]]);
                spelt[letters[j]] = (mask >> j & 1) ? static_cast<char>(c - 'a' + 'A') : c;
            }
            struct stat st {};
            if (::lstat(child(dir, spelt).c_str(), &st) == 0)
                found.push_back(spelt);
        }
        std::sort(found.begin(), found.end());
        if (f.watch >= 0 && !lower.empty())
            f.names[lower] = found;
        return found;
    }

    std::optional<std::string> list(DIR* d, Folder& f, const std::string& lower,
                                    std::int64_t mtime_ns, std::int64_t began) {
        f.names.clear();
        f.listed = true;
        while (const dirent* e = ::readdir(d))
            add(f, e->d_name);
        std::optional<std::string> found;
        if (auto hit = f.names.find(lower); hit != f.names.end())
            found = first(hit->second);
        if (f.watch >= 0)
            return found;
        if (mtime_ns + tick_of(mtime_ns) + settled_ns <= began) {
            f.mtime_ns = mtime_ns;
            ++kept_by_time_;
        } else {
            f.listed = false;
            f.names.clear();
        }
        return found;
    }

    // Sets the watch on the folder open as `fd` before it is read, so that every change made
    // after the listing began is among the events.
    bool watch(int fd, Folder& f, const Key& key) {
        if (!watching_ || watched_.size() >= max_watches || !changes_are_all_seen(fd))
            return false;
        if (inotify_ < 0 && !inotify_failed_) {
            inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            inotify_failed_ = inotify_ < 0;
        }
        if (inotify_ < 0)
            return false;
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        const int wd = ::inotify_add_watch(
            inotify_, self.c_str(),
            IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_ONLYDIR);
        if (wd < 0)
            return false;
        f.watch = wd;
        watched_[wd] = key;
        return true;
    }

    // Brings every watched listing up to date with the events queued so far.
    void drain_events() {
        if (inotify_ < 0)
            return;
        listing::read_events(inotify_, [this](const inotify_event& e, std::string_view entry) {
            if (e.mask & IN_Q_OVERFLOW) {
                drop_every_watch();
                return false;
            }
            auto w = watched_.find(e.wd);
            if (w == watched_.end())
                return true;
            Folder& f = folders_[w->second];
            if (e.mask & (IN_IGNORED | IN_DELETE_SELF | IN_UNMOUNT))
                forget(f);
            else if (e.mask & (IN_CREATE | IN_MOVED_TO))
                add(f, entry);
            else if (e.mask & (IN_DELETE | IN_MOVED_FROM))
                remove(f, entry);
            return true;
        });
    }

    // Events were lost: no watched listing can be trusted.
    void drop_every_watch() {
        for (auto& [wd, key] : watched_) {
            Folder& f = folders_[key];
            f.listed = false;
            f.watch = -1;
            f.names.clear();
        }
        watched_.clear();
        ::close(inotify_);
        inotify_ = -1;
    }

    // A folder time of a whole second comes from a file system that keeps whole seconds (or
    // two, as FAT does): a change within the tick of such a time leaves the time as it was, so
    // a listing is kept by it only once that tick is over.
    static std::int64_t tick_of(std::int64_t mtime_ns) {
        return mtime_ns % 1'000'000'000 == 0 ? 2'000'000'000 : 0;
    }

    static constexpr std::int64_t settled_ns = 50'000'000;
    static constexpr std::size_t max_watches = 512;

    std::mutex mutex_;
    std::map<Key, Folder> folders_;
    int inotify_ = -1;
    bool inotify_failed_ = false;
    std::unordered_map<int, Key> watched_;
    std::size_t kept_by_time_ = 0;
    bool watching_ = true;
};

}  // namespace

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = ascii_lower(c);
    return out;
}

std::string child(const std::string& dir, std::string_view name) {
    std::string out = dir;
    if (out.empty() || out.back() != '/')
        out += '/';
    out += name;
    return out;
}

std::optional<std::string> case_match(const std::string& dir, std::string_view name) {
    return Cache::instance().case_match(dir, name);
}

void entries_changed(const std::string& dir) {
    Cache::instance().entries_changed(dir);
}

void set_watching(bool on) {
    Cache::instance().set_watching(on);
}

}  // namespace qv::listing
