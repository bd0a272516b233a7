#include "standards/std_text_scanner.h"

namespace {

// Texts longer than this are not standards files; the search refuses them.
constexpr std::size_t kMaxSearchLength = 2000;

bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; }

bool IsTokenChar(char c, bool hexLetters) { return IsNumberChar(c) || (hexLetters && c >= 'A' && c <= 'F'); }

bool IsStop(char c) { return (c >= 'A' && c <= 'Z') || c == '\r' || c == '\n'; }

}  // namespace

bool StdTextScanner::FindKeyword(std::string_view keyword) {
    const std::size_t len = text_.size();
    if (len < 1 || len > kMaxSearchLength || pos_ > len) return false;
    // The keyword must end before the last character of the text.
    for (std::size_t i = pos_; i + keyword.size() < len; ++i) {
        if (text_.compare(i, keyword.size(), keyword) == 0) {
            pos_ = i + keyword.size();
            return true;
        }
    }
    return false;
}

std::optional<std::string> StdTextScanner::Scan(bool hexLetters) {
    const std::size_t len = text_.size();
    std::size_t i = pos_;
    // Skip to the token; a letter or a line end stops before it.
    while (i < len && !IsTokenChar(text_[i], hexLetters)) {
        if (IsStop(text_[i])) return std::nullopt;
        ++i;
    }
    const std::size_t start = i;
    while (i < len && IsTokenChar(text_[i], hexLetters)) ++i;
    if (i >= len) {
        pos_ = len + 1;
        return std::nullopt;
    }
    pos_ = i + 1;  // past the character that ended the token
    return std::string(text_.substr(start, i - start));
}
