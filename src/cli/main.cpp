// qvopt: the command-line companion. Builds the services its commands use, then hands over to
// the command line.
#include <iostream>

#include <sys/prctl.h>
#include <unistd.h>

#include "cli/qvopt.h"
#include "platform/hash/openssl_hasher.h"
#include "platform/process/posix_model_launcher.h"

int main(int argc, char** argv) {
    // What a model starts stays a descendant of qvopt when its parent ends before it (a
    // daemon's double fork), instead of passing to init.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const qv::OpensslHasher hasher;
    qv::PosixModelLauncher launcher;
    return qv::cli::run_qvopt(argc, argv, std::cout, std::cerr,
                              {hasher, launcher, STDOUT_FILENO, true});
}
