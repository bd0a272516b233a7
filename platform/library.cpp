#include "platform/library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <sys/stat.h>

#include <climits>
#include <filesystem>

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

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::vector<std::string> LibrarySearchFolders() {
    const std::string program = ProgramFolder();
    std::vector<std::string> folders;
    if (!program.empty()) folders.push_back(program);
#ifdef IMAGEADJUST_MAKER_DRIVER_DIR
    folders.push_back(std::string(IMAGEADJUST_MAKER_DRIVER_DIR) + "/");
#endif
#ifdef IMAGEADJUST_SIM_FROM_BIN
    if (!program.empty())
        folders.push_back((std::filesystem::path(program) / IMAGEADJUST_SIM_FROM_BIN).lexically_normal().string() + "/");
#endif
    return folders;
}

std::string ResolveLibrary(const std::string& name, const std::vector<std::string>& folders) {
    if (name.find('/') != std::string::npos) return name;
    for (std::string folder : folders) {
        if (folder.empty()) continue;
        if (folder.back() != '/') folder += '/';
        if (IsFile(folder + name)) return folder + name;
    }
    return name;
}

std::unique_ptr<SharedLibrary> SharedLibrary::Open(const std::string& name, std::string* error) {
    // The folders are tried here rather than left to the program's run path,
    // which the loader follows only when the program itself calls dlopen,
    // and an interposed dlopen (a sanitizer's, say) does not.
    const std::string path = ResolveLibrary(name, LibrarySearchFolders());
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
