#include "adjust/result_file.h"

#include <filesystem>

#include "platform/file_write.h"
#include "platform/format.h"
#include "platform/sjis.h"

std::string IdentificationText(const std::uint8_t* identification, std::size_t length) {
    // The text ends at the first zero byte, as the camera's string does. A
    // byte that cannot stand in a file name as it is (or is '%') becomes %XX,
    // which reads back to the same bytes: two identifications never give one
    // name, and the usual letters and digits stay as they are.
    std::string text;
    bool erased = true;
    for (std::size_t i = 1; i < length && i <= 13; ++i) {
        const std::uint8_t c = identification[i];
        if (c == 0) break;
        erased = erased && c == 0xFF;
        if (c >= 0x20 && c < 0x7F && c != '/' && c != '\\' && c != '%')
            text += static_cast<char>(c);
        else
            text += platform::Format("%%%02X", c);
    }
    // An erased EEPROM identifies no camera: every such camera would share it.
    if (erased) return {};
    return text;
}

std::string ResultFileName(const std::uint8_t* identification, std::size_t length) {
    const std::string text = IdentificationText(identification, length);
    return text.empty() ? text : text + ".dat";
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
