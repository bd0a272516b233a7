#include "platform/file_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace platform {

namespace {

// Whether an existing file may be written by this process.
bool Writable(const std::string& path, const struct stat& st) {
    if ((st.st_mode & 0222) == 0) return false;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace

WriteError WriteFileReplacing(const std::string& path, const std::string& bytes, bool synced) {
    struct stat old{};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && !Writable(path, old)) return WriteError::CannotCreate;

    std::string tmp = path + kTemporaryInfix + "XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return WriteError::CannotCreate;
    // Held until the file is closed: a temporary file that nobody holds was
    // left by a writer that died.
    ::flock(fd, LOCK_EX);
    // mkstemp creates 0600: the file gets the old one's permissions, or those
    // of any new file.
    mode_t mode = old.st_mode & 0777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);

    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            ::unlink(tmp.c_str());
            return WriteError::WriteFailed;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (synced && ::fsync(fd) != 0) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return WriteError::WriteFailed;
    }
    // Renamed while still held, so that no clean-up takes it for abandoned.
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return WriteError::CannotReplace;
    }
    return ::close(fd) == 0 ? WriteError::None : WriteError::WriteFailed;
}

std::size_t RemoveAbandonedTemporaries(const std::string& dir,
                                       const std::function<bool(const std::string& target)>& ours) {
    std::size_t removed = 0;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return 0;
    const std::string infix = kTemporaryInfix;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        // <target>.tmp and mkstemp's six characters.
        const std::size_t at = name.size() >= infix.size() + 6 ? name.size() - infix.size() - 6 : std::string::npos;
        if (at == std::string::npos || at == 0 || name.compare(at, infix.size(), infix) != 0 || !ours(name.substr(0, at)))
            continue;
        const std::string path = dir + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st{};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::unlink(path.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(d);
    return removed;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return ss.str();
}

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes, ReadError* error) {
    auto fail = [error](ReadError e) -> std::optional<std::string> {
        if (error) *error = e;
        return std::nullopt;
    };
    auto missingOr = [](int err) {
        return err == ENOENT || err == ENOTDIR ? ReadError::Missing : ReadError::ReadFailed;
    };

    // What is not a regular file is refused by its name, unopened; the file
    // opened is checked again, as it may have been swapped meanwhile, and
    // opened without waiting, as it may now be a FIFO.
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return fail(missingOr(errno));
    if (!S_ISREG(st.st_mode)) return fail(ReadError::NotRegular);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(missingOr(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0) return fail(ReadError::ReadFailed);
    if (!S_ISREG(st.st_mode)) return fail(ReadError::NotRegular);
    if (static_cast<std::size_t>(st.st_size) > maxBytes) return fail(ReadError::TooLarge);

    // The file may grow while it is read: one byte beyond the limit tells.
    std::string text;
    char chunk[4096];
    while (text.size() <= maxBytes) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(ReadError::ReadFailed);
        if (n == 0) break;
        text.append(chunk, std::min(static_cast<std::size_t>(n), maxBytes + 1 - text.size()));
    }
    if (text.size() > maxBytes) return fail(ReadError::TooLarge);
    if (error) *error = ReadError::None;
    return text;
}

}  // namespace platform
