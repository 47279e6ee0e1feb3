#include <sys/prctl.h>

#include "cli/qvopt.h"

int main(int argc, char** argv) {
    // What a model starts stays a descendant of qvopt when its parent ends before it (a
    // daemon's double fork), instead of passing to init.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    return qv::cli::run_qvopt(argc, argv);
}
