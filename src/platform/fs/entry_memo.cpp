#include "platform/fs/entry_memo.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/fs/inotify_events.h"
#include "platform/fs/listing_cache.h"

namespace qv::entry_memo {
namespace {

// Whether this process may search every folder whatever its permissions (root, or a process
// given CAP_DAC_OVERRIDE or CAP_DAC_READ_SEARCH): no change of permissions then changes what a
// look-up finds. This program never gives up a capability once started.
bool searches_every_folder() {
    static const bool every = [] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
        constexpr std::uint32_t search = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
        return ::syscall(SYS_capget, &header, data) == 0 && (data[0].effective & search) != 0;
    }();
    return every;
}

class Memo {
  public:
    // Never destroyed, as the listing cache is not: file work done while the program ends still
    // finds it.
    static Memo& instance() {
        static Memo& memo = *new Memo;
        return memo;
    }

    Found look(const std::string& dir, std::string_view name) {
        if (name.empty() || name == "." || name == ".." ||
            name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos)
            return {};
        std::lock_guard lock(mutex_);
        if (folders_.size() >= max_folders)
            reset();
        if (!start())
            return {};
        catch_up();
        Folder* f = trusted(dir);
        // A folder on the way that may not be searched (any more) is looked through from
        // scratch, as it answers then.
        if (!f ||
            (!searches_every_folder() && ::faccessat(AT_FDCWD, dir.c_str(), X_OK, AT_EACCESS) != 0))
            return {};
        return answer(*f, dir, name).found;
    }

  private:
    struct Answer {
        std::string asked;
        Found found;
        bool plain_dir = false;  // a folder, not a link to one
    };
    struct Folder {
        int watch = -1;
        // The value of links_lost_ when the path was last found to lead here.
        std::uint64_t trusted_at = 0;
        // By lower-cased name: an event for any spelling of the name drops them all.
        std::unordered_map<std::string, std::vector<Answer>> answers;
    };

    static constexpr std::size_t max_folders = 512;
    static constexpr std::size_t max_names = 4096;
    // Not IN_ATTRIB: a folder's watch with it makes the kernel mark every entry it knows of in
    // that folder, deleted ones included, which in a folder such as /tmp costs milliseconds on
    // every start of the program. Attributes change no name; the one that changes an answer,
    // who may search a folder on the way, is checked on each look-up instead.
    static constexpr std::uint32_t events = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                            IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

    // The inotify descriptor, and the mount table, whose change (a file system mounted over a
    // folder raises no event in its parent) drops every answer.
    bool start() {
        if (inotify_ >= 0)
            return true;
        if (failed_)
            return false;
        inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        mounts_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        if (inotify_ < 0 || mounts_ < 0) {
            failed_ = true;
            reset();
            return false;
        }
        read_mounts();
        return true;
    }

    // Reading the mount table is what clears its pending change.
    void read_mounts() {
        char buf[4096];
        ::lseek(mounts_, 0, SEEK_SET);
        while (::read(mounts_, buf, sizeof buf) > 0) {
        }
    }

    void reset() {
        if (inotify_ >= 0)
            ::close(inotify_);
        if (mounts_ >= 0)
            ::close(mounts_);
        inotify_ = mounts_ = -1;
        folders_.clear();
        by_watch_.clear();
        ++links_lost_;
    }

    // Brings the answers up to date with every change made so far: one poll when there is none.
    void catch_up() {
        pollfd fds[2] = {{inotify_, POLLIN, 0}, {mounts_, POLLPRI, 0}};
        int ready = 0;
        do
            ready = ::poll(fds, 2, 0);
        while (ready < 0 && errno == EINTR);
        if (ready < 0 || (fds[1].revents & (POLLPRI | POLLERR))) {
            reset();
            start();
            return;
        }
        if (fds[0].revents)
            drain();
    }

    void drain() {
        listing::read_events(inotify_, [this](const inotify_event& e, std::string_view entry) {
            if (e.mask & IN_Q_OVERFLOW) {
                forget_all();
                return true;
            }
            auto w = by_watch_.find(e.wd);
            if (w == by_watch_.end())
                return true;
            if (e.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                drop(std::string(w->second));
                return true;
            }
            Folder& f = folders_[w->second];
            if (auto it = f.answers.find(listing::lowered(entry)); it != f.answers.end()) {
                for (const Answer& a : it->second)
                    if (a.plain_dir)
                        ++links_lost_;
                f.answers.erase(it);
            }
            return true;
        });
    }

    // Events were lost: nothing found before can be trusted.
    void forget_all() {
        for (auto& [path, f] : folders_)
            f.answers.clear();
        ++links_lost_;
    }

    void drop(const std::string& path) {
        auto it = folders_.find(path);
        if (it == folders_.end())
            return;
        ::inotify_rm_watch(inotify_, it->second.watch);
        by_watch_.erase(it->second.watch);
        folders_.erase(it);
        ++links_lost_;
    }

    // The folder at PATH, watched from now on; nullptr where it cannot be (not a local file
    // system, no watch to be had, or one folder reached by two paths).
    Folder* watched(const std::string& path) {
        if (auto it = folders_.find(path); it != folders_.end())
            return &it->second;
        if (folders_.size() >= max_folders + 64)
            return nullptr;
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        int wd = -1;
        if (listing::changes_are_all_seen(fd))
            wd = ::inotify_add_watch(inotify_, ("/proc/self/fd/" + std::to_string(fd)).c_str(),
                                     events);
        ::close(fd);
        if (wd < 0 || by_watch_.contains(wd))
            return nullptr;
        by_watch_[wd] = path;
        Folder& f = folders_[path];
        f.watch = wd;
        return &f;
    }

    // The watched folder that DIR leads to now: each folder above it is watched, and holds an
    // answer, standing since before DIR was watched, that names the next as a folder in its
    // exact spelling. An event for that name drops the answer, and DIR is then watched anew.
    Folder* trusted(const std::string& dir) {
        // Nothing that leads from the root to a folder has gone since it was last walked.
        if (auto it = folders_.find(dir);
            it != folders_.end() && it->second.trusted_at == links_lost_)
            return &it->second;
        Folder* f = walked(dir);
        if (f)
            f->trusted_at = links_lost_;
        return f;
    }

    Folder* walked(const std::string& dir) {
        if (dir == "/")
            return watched(dir);
        const std::size_t slash = dir.rfind('/');
        if (slash == std::string::npos || slash + 1 == dir.size())
            return nullptr;
        const std::string parent = slash == 0 ? std::string("/") : dir.substr(0, slash);
        const std::string_view base = std::string_view(dir).substr(slash + 1);
        Folder* p = trusted(parent);
        if (!p)
            return nullptr;
        const Answer* known = find(*p, base);
        if (known && !(known->plain_dir && known->found.name == base))
            return nullptr;
        if (!known) {
            const Answer& a = answer(*p, parent, base);
            if (!a.plain_dir || a.found.name != base)
                return nullptr;
            // Whatever was watched under this path before the answer was made may be
            // another folder.
            drop(dir);
        }
        return watched(dir);
    }

    static const Answer* find(const Folder& f, std::string_view name) {
        auto it = f.answers.find(listing::lowered(name));
        if (it == f.answers.end())
            return nullptr;
        for (const Answer& a : it->second)
            if (a.asked == name)
                return &a;
        return nullptr;
    }

    // The entry NAME of the folder F (at DIR), from what is known or by looking; kept where it
    // may be.
    const Answer& answer(Folder& f, const std::string& dir, std::string_view name) {
        if (const Answer* a = find(f, name))
            return *a;
        scratch_ = Answer{std::string(name), {}, false};
        const bool keep = examine(dir, scratch_);
        if (!keep || !scratch_.found.known)
            return scratch_;
        if (f.answers.size() >= max_names) {
            f.answers.clear();
            ++links_lost_;
        }
        auto& same = f.answers[listing::lowered(name)];
        same.push_back(scratch_);
        return same.back();
    }

    // What host_path and facts find of DIR/NAME, where DIR is a folder: the name itself when it
    // exists as spelt; else the entry that differs from it only in letter case (the first in
    // byte order), when there is one. False where the answer may change without an event in
    // DIR: a link, whose target may come and go.
    static bool examine(const std::string& dir, Answer& a) {
        struct stat st {};
        const std::string given = listing::child(dir, a.asked);
        if (::lstat(given.c_str(), &st) == 0) {
            if (S_ISLNK(st.st_mode)) {
                a.found.known = true;
                if (::stat(given.c_str(), &st) == 0)
                    a.found.name = a.asked;
                return false;
            }
            a.found = {true, a.asked};
            a.plain_dir = S_ISDIR(st.st_mode);
            return true;
        }
        if (errno != ENOENT)
            return false;
        const std::optional<std::string> other = listing::case_match(dir, a.asked);
        if (!other) {
            a.found = {true, std::nullopt};
            return true;
        }
        if (::lstat(listing::child(dir, *other).c_str(), &st) != 0 || S_ISLNK(st.st_mode))
            return false;
        a.found = {true, *other};
        a.plain_dir = S_ISDIR(st.st_mode);
        return true;
    }

    std::mutex mutex_;
    int inotify_ = -1;
    int mounts_ = -1;
    bool failed_ = false;
    std::unordered_map<std::string, Folder> folders_;  // by host path
    std::unordered_map<int, std::string> by_watch_;
    // Counts the answers naming a folder that were dropped, and the folders dropped.
    std::uint64_t links_lost_ = 1;
    Answer scratch_;
};

}  // namespace

Found look(const std::string& dir, std::string_view name) {
    return Memo::instance().look(dir, name);
}

}  // namespace qv::entry_memo
