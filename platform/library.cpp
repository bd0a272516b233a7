#include "platform/library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace platform {

namespace {

// The folder of the running program, with a trailing slash, or "".
std::string ProgramFolder() {
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    std::string exe(path, static_cast<size_t>(n));
    return exe.substr(0, exe.rfind('/') + 1);
}

}  // namespace

std::unique_ptr<SharedLibrary> SharedLibrary::Open(const std::string& name, std::string* error) {
    // A bare name means the library beside the program first. The loader's
    // own search would find it through the program's run path too, but only
    // when the program itself calls dlopen, which an interposed dlopen (a
    // sanitizer's, say) does not.
    std::string path = name;
    if (name.find('/') == std::string::npos) {
        std::string beside = ProgramFolder() + name;
        if (!beside.empty() && ::access(beside.c_str(), F_OK) == 0) path = beside;
    }
    // RTLD_LOCAL keeps the library's symbols to itself; RTLD_NOW reports a
    // broken library here rather than at its first call.
    void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        if (error) {
            const char* e = ::dlerror();
            *error = e ? e : "dlopen failed";
        }
        return nullptr;
    }
    return std::unique_ptr<SharedLibrary>(new SharedLibrary(h));
}

SharedLibrary::~SharedLibrary() {
    if (handle_) ::dlclose(handle_);
}

void* SharedLibrary::Symbol(const char* name) const {
    ::dlerror();
    return ::dlsym(handle_, name);
}

}  // namespace platform
