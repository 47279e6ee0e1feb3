#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/qvopt.h"
#include "support/temp_dir.h"

namespace qv::test {

namespace fs = std::filesystem;

// qvopt on a copy of the demo workspace, with the stand-in model beside demo.opt.
struct QvoptDemo : ::testing::Test {
    const fs::path start_dir = fs::current_path();
    test::TempDir dir;
    fs::path model = dir.path() / "model";
    std::string opt = (model / "demo.opt").string();
    fs::path record = model / "outputs/demo.out.run.json";

    void SetUp() override {
        test::copy_demo_model(model, {.model_program = true});
        fs::create_directories(model / "outputs");
    }
    void TearDown() override { fs::current_path(start_dir); }

    // The output and the error output together, unless `error` takes the latter.
    int qvopt(std::vector<std::string> args, std::string* output = nullptr,
              std::string* error = nullptr) {
        args.insert(args.begin(),
                    {"qvopt", "--model-dir", model.string(), "--model-exe", "qv-demo-model"});
        std::ostringstream out, err;
        const int status = cli::run_qvopt(args, out, err);
        fs::current_path(start_dir);
        if (output)
            *output = error ? out.str() : out.str() + err.str();
        if (error)
            *error = err.str();
        return status;
    }
};

}  // namespace qv::test
