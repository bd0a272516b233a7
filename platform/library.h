#pragma once
// Loading a shared library by file name and looking up its exports.

#include <memory>
#include <string>

namespace platform {

class SharedLibrary {
public:
    // Loads `name`: a bare name is the library beside the program when there
    // is one, else whatever the dynamic loader finds by that name. Returns
    // null and fills `error` on failure.
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
