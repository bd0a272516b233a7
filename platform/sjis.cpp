#include "platform/sjis.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace platform {

namespace {

// Converts with iconv, replacing what does not convert. `step` is the number
// of input bytes skipped after an invalid sequence.
std::string Convert(const char* to, const char* from, const std::string& in, const std::string& replacement,
                    bool* lossless) {
    if (lossless) *lossless = true;
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        if (lossless) *lossless = false;
        return in;
    }
    std::string out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[512];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: skip one character of input and mark it.
            if (lossless) *lossless = false;
            out += replacement;
            size_t skip = 1;
            if (std::string(from) == "UTF-8") {
                unsigned char c = static_cast<unsigned char>(*src);
                skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            }
            if (skip > srcLeft) skip = srcLeft;
            src += skip;
            srcLeft -= skip;
        }
    }
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    ::iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, static_cast<size_t>(dst - buf));
    ::iconv_close(cd);
    return out;
}

}  // namespace

std::string ToShiftJis(const std::string& utf8, bool* lossless) {
    return Convert("CP932", "UTF-8", utf8, "?", lossless);
}

std::string FromShiftJis(const std::string& sjis) { return Convert("UTF-8", "CP932", sjis, "\xEF\xBF\xBD", nullptr); }

}  // namespace platform
