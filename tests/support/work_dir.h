// A test's own working directory, and the files beside the test program.

#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace test_support {

// The folder of the running test program (the driver libraries, STD.DAT and
// the line program are built there).
inline std::filesystem::path BinDir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

inline std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A fresh, empty folder under the temporary directory, named after the test
// and the process, made the working directory (or its sub-folder `enter`)
// for the object's lifetime; then the previous one is restored and the
// folder removed with everything in it.
class WorkDir {
public:
    explicit WorkDir(std::string_view name, const std::filesystem::path& enter = {})
        : m_root(std::filesystem::temp_directory_path() / (std::string(name) + "_" + std::to_string(::getpid()))),
          m_previous(std::filesystem::current_path()) {
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root / enter);
        std::filesystem::current_path(m_root / enter);
    }
    ~WorkDir() {
        std::error_code ignored;  // a destructor must not throw
        std::filesystem::current_path(m_previous, ignored);
        std::filesystem::remove_all(m_root, ignored);
    }
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;

    const std::filesystem::path& Root() const { return m_root; }

private:
    std::filesystem::path m_root, m_previous;
};

}  // namespace test_support
