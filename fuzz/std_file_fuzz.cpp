// STD.DAT as the station reads it: any text of a file it accepts scans
// without fault, and a record once written reads back as the same record.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "standards/std_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    StandardData read;
    ParseStandards(text, read);
    // A longer file is refused before it is scanned.
    if (size > kStdMaxBytes) return 0;

    // What the OK button writes for this record must read back as the same
    // record, or the next start loses or shifts the operator's standards.
    // Writing rounds to the formats' places, so the record read back is
    // compared by what it writes.
    const std::string written = FormatStandards(read);
    if (written.size() > kStdMaxBytes) return 0;  // refused by the writer
    StandardData again;
    ParseStandards(written, again);
    const std::string rewritten = FormatStandards(again);
    if (rewritten != written) {
        std::fprintf(stderr, "written:\n%s\nread back and written again:\n%s\n", written.c_str(), rewritten.c_str());
        std::abort();
    }
    return 0;
}
