#pragma once
// Loading a shared library by file name and looking up its exports.

#include <memory>
#include <string>
#include <vector>

namespace platform {

// Where a bare library name is looked for, in this order, before the
// dynamic loader's own search: beside the running program (the build
// tree), the camera maker's folder on a line PC, then the installed
// simulated driver's folder (relative to the program).
std::vector<std::string> LibrarySearchFolders();
// The file that `name` resolves to: a name with a slash as it is; a bare
// name in the first of `folders` that holds a file of that name, else the
// name itself, for the loader's search (LD_LIBRARY_PATH, ld.so.cache).
std::string ResolveLibrary(const std::string& name, const std::vector<std::string>& folders);

class SharedLibrary {
public:
    // Loads `name`, a bare name resolved along LibrarySearchFolders().
    // Returns null and fills `error` on failure.
    static std::unique_ptr<SharedLibrary> Open(const std::string& name, std::string* error = nullptr);

    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The address of an exported symbol, or null.
    void* Symbol(const char* name) const;

    template <typename Fn>
    Fn Function(const char* name) const {
        return reinterpret_cast<Fn>(Symbol(name));
    }

private:
    explicit SharedLibrary(void* handle) : handle_(handle) {}
    void* handle_;
};

}  // namespace platform
