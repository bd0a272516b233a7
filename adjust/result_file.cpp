#include "adjust/result_file.h"

#include <filesystem>

#include "platform/file_write.h"
#include "platform/sjis.h"

std::string ResultFileName(const std::uint8_t* identification, std::size_t length) {
    // The name comes from bytes the camera sends: keep it inside the working
    // directory and the file system's rules. Printable ASCII stays as it is.
    std::string name;
    for (std::size_t i = 1; i < length && i <= 13; ++i) {
        std::uint8_t c = identification[i];
        if (c == 0) break;
        bool safe = c >= 0x20 && c < 0x7F && c != '/' && c != '\\';
        name += safe ? static_cast<char>(c) : '_';
    }
    if (name.empty()) return {};
    return name + ".dat";
}

bool WriteResultFile(const std::string& name, const std::string& log) {
    // The new file takes the old one's place by renaming, which a read-only
    // file would not stop: ask its permissions first.
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(name, ec);
    constexpr fs::perms kWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if (fs::exists(status) && (status.permissions() & kWrite) == fs::perms::none) return false;
    return platform::WriteFileReplacing(name, platform::ToShiftJis(log)) == platform::WriteError::None;
}
