#pragma once
// The STD.DAT scanner: keyword search, number scan and text scan over one
// text with one shared scan position. Its quirks are part of the file format
// that stations in the field rely on, so they are kept:
// - a keyword is searched from the position left by the previous values;
// - an upper-case letter, CR or LF stops a scan before any token, so a line
//   with fewer values leaves the fields after them unread;
// - a token that runs into the end of the text yields nothing, so a number
//   last in the file without a line end is not read.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class StdTextScanner {
public:
    explicit StdTextScanner(std::string_view text) : m_text(text) {}

    // Searches `keyword` from the position; found: the position moves past it.
    bool FindKeyword(std::string_view keyword);
    // A token of digits, "." and "-".
    std::optional<std::string> ScanNumber() { return Scan(false); }
    // As ScanNumber, but the letters A-F belong to the token too.
    std::optional<std::string> ScanText() { return Scan(true); }

    std::size_t Position() const { return m_pos; }

private:
    std::optional<std::string> Scan(bool hexLetters);

    std::string_view m_text;
    std::size_t m_pos = 0;
};
