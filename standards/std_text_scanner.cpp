#include "standards/std_text_scanner.h"

namespace {

// Texts longer than this are not standards files; the search refuses them.
constexpr std::size_t kMaxSearchLength = 2000;

bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; }

bool IsTokenChar(char c, bool hexLetters) { return IsNumberChar(c) || (hexLetters && c >= 'A' && c <= 'F'); }

bool IsStop(char c) { return (c >= 'A' && c <= 'Z') || c == '\r' || c == '\n'; }

}  // namespace

bool StdTextScanner::FindKeyword(std::string_view keyword) {
    const std::size_t len = m_text.size();
    if (len < 1 || len > kMaxSearchLength || m_pos > len) return false;
    // The keyword must end before the last character of the text.
    for (std::size_t i = m_pos; i + keyword.size() < len; ++i) {
        if (m_text.compare(i, keyword.size(), keyword) == 0) {
            m_pos = i + keyword.size();
            return true;
        }
    }
    return false;
}

std::optional<std::string> StdTextScanner::Scan(bool hexLetters) {
    const std::size_t len = m_text.size();
    std::size_t i = m_pos;
    // Skip to the token; a letter or a line end stops before it.
    while (i < len && !IsTokenChar(m_text[i], hexLetters)) {
        if (IsStop(m_text[i])) return std::nullopt;
        ++i;
    }
    const std::size_t start = i;
    while (i < len && IsTokenChar(m_text[i], hexLetters)) ++i;
    if (i >= len) {
        m_pos = len + 1;
        return std::nullopt;
    }
    m_pos = i + 1;  // past the character that ended the token
    return std::string(m_text.substr(start, i - start));
}
