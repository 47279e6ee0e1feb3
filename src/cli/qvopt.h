#pragma once

namespace qv::cli {

// The qvopt command line; returns the exit status.
int run_qvopt(int argc, char** argv);

}  // namespace qv::cli
