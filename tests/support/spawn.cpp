#include "support/spawn.h"

#include <fcntl.h>
#include <spawn.h>

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

}  // namespace qv::test
