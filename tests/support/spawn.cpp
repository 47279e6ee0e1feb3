#include "support/spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

#include <cerrno>
#include <fstream>
#include <thread>

extern char** environ;

namespace qv::test {

pid_t spawn(std::vector<std::string> args, const std::string& out, const std::string& err,
            std::optional<std::vector<std::string>> env) {
    auto pointers = [](std::vector<std::string>& words) {
        std::vector<char*> p;
        for (auto& w : words)
            p.push_back(w.data());
        p.push_back(nullptr);
        return p;
    };
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = env ? pointers(*env) : std::vector<char*>{};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err.empty())
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env ? envp.data() : environ) !=
        0)
        pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool ends_within(pid_t pid, std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    for (;;) {
        if (::kill(pid, 0) != 0 && errno == ESRCH)
            return true;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text;
        std::getline(stat, text);
        const auto paren = text.rfind(')');
        if (paren != std::string::npos && paren + 2 < text.size() &&
            (text[paren + 2] == 'Z' || text[paren + 2] == 'X'))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace qv::test
