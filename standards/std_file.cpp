#include "standards/std_file.h"

#include <cmath>
#include <cstdlib>
#include <type_traits>
#include <variant>

#include "platform/format.h"
#include "standards/std_fields.h"
#include "standards/std_text_scanner.h"

using platform::Format;

namespace {

// Unsigned fields print with %d, as the file always had them: a value above
// 2^31 - 1 prints negative and reads back to the same bits.
int AsInt(std::uint32_t v) { return static_cast<int>(v); }

// One value as the file prints it, with what follows it.
std::string Print(const StandardField& f, const StandardData& d) {
    return std::visit(
        [&f](const auto* v) -> std::string {
            using T = std::remove_cv_t<std::remove_pointer_t<decltype(v)>>;
            if constexpr (std::is_same_v<T, double>) {
                return Format(f.format, *v);
            } else if constexpr (std::is_same_v<T, std::uint32_t>) {
                return Format(f.format, AsInt(*v));
            } else if constexpr (std::is_same_v<T, std::uint8_t>) {
                return Format(f.format, static_cast<int>(*v));
            } else {
                // A text goes in as it is, in place of its "%s".
                const std::string_view format = f.format;
                const std::size_t at = format.find("%s");
                return std::string(format.substr(0, at)) + *v + std::string(format.substr(at + 2));
            }
        },
        f.At(d));
}

// One value scanned into its field; no value leaves the field as it was.
void Scan(StdTextScanner& s, const StandardField& f, StandardData& d) {
    std::visit(
        [&s](auto* field) {
            using T = std::remove_pointer_t<decltype(field)>;
            if constexpr (std::is_same_v<T, std::string>) {
                // The record holds at most four characters; a longer token is cut.
                if (auto t = s.ScanText()) *field = t->substr(0, kSensInitialMaxChars);
                return;
            }
            const auto t = s.ScanNumber();
            if (!t) return;
            if constexpr (std::is_same_v<T, double>) {
                // Beyond the range of a double is no value: infinity would be
                // written back as "inf", which reads as no number and shifts
                // every value after it.
                const double v = std::strtod(t->c_str(), nullptr);
                if (std::isfinite(v)) *field = v;
            } else if constexpr (std::is_same_v<T, std::uint32_t>) {
                *field = static_cast<std::uint32_t>(AtoiClamped(*t));
            } else {
                *field = static_cast<std::uint8_t>(AtoiClamped(*t) & 0xFF);
            }
        },
        f.At(d));
}

}  // namespace

std::string FormatStandards(const StandardData& d) {
    std::string out;
    std::string_view line;
    for (const StandardField& f : StandardFields()) {
        if (f.line != line) {
            line = f.line;
            out += std::string(line) + " ";
        }
        out += Print(f, d);
    }
    return out;
}

void ParseStandards(std::string_view text, StandardData& d) {
    StdTextScanner s(text);
    const auto& fields = StandardFields();
    for (auto f = fields.begin(); f != fields.end();) {
        // A line's values are read only when its keyword is found after the
        // values before it.
        const std::string_view line = f->line;
        const bool found = s.FindKeyword(std::string(line) + " ");
        for (; f != fields.end() && f->line == line; ++f)
            if (found) Scan(s, *f, d);
    }
}
