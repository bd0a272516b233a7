#include "platform/library.h"

#include <dlfcn.h>

namespace platform {

std::unique_ptr<SharedLibrary> SharedLibrary::Open(const std::string& name, std::string* error) {
    // RTLD_LOCAL keeps the library's symbols to itself; RTLD_NOW reports a
    // broken library here rather than at its first call.
    void* h = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
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
