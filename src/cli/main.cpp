// qvopt: the command-line companion. Builds the services its commands use, then hands over to
// the command line.
#include <iostream>

#include "cli/qvopt.h"
#include "platform/hash/openssl_hasher.h"
#include "platform/process/posix_model_launcher.h"

int main(int argc, char** argv) {
    const qv::OpensslHasher hasher;
    qv::PosixModelLauncher launcher;
    return qv::cli::run_qvopt(argc, argv, std::cout, std::cerr, {hasher, launcher});
}
