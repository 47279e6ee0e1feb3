#include "cli/qvopt.h"

int main(int argc, char** argv) {
    return qv::cli::run_qvopt(argc, argv);
}
