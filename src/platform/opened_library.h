#pragma once

#include <dlfcn.h>

#include <string>

namespace qv {

// A shared library opened when it is first needed instead of at program start, for one that
// most runs never use: the program then neither maps it nor resolves its symbols to start.
// Kept open until the program ends. `soname` is the name the dynamic loader knows it by.
class OpenedLibrary {
  public:
    explicit OpenedLibrary(const char* soname)
        : handle_(::dlopen(soname, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
        if (!handle_)
            failure_ = soname + std::string(" cannot be loaded");
    }
    OpenedLibrary(const OpenedLibrary&) = delete;
    OpenedLibrary& operator=(const OpenedLibrary&) = delete;

    // Points `function` (declared with the type of its declaration) at the library's function
    // of that name; at nullptr, with failure() saying which, when the library or it is missing.
    template <typename F>
    void find(F*& function, const char* name) {
        void* found = handle_ ? ::dlsym(handle_, name) : nullptr;
        if (!found && failure_.empty())
            failure_ = std::string(name) + " is missing";
        function = reinterpret_cast<F*>(found);
    }

    // Empty while everything asked for was found.
    const std::string& failure() const { return failure_; }

  private:
    void* handle_;
    std::string failure_;
};

}  // namespace qv
