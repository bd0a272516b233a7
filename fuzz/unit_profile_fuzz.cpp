// Unit profile files, as `--unit` hands them to the simulator: any text
// either gives a unit that the simulator can build a camera of, or a
// message fit to be printed.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/simulator.h"
#include "sim/unit_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A larger file is refused unread.
    if (size > sim::kMaxProfileFileBytes) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto unit = sim::ProfileFromText("units/fuzz.profile", text, &error);
    if (!unit) {
        const std::string shown = sim::Printable(error);
        if (shown.empty()) std::abort();
        for (unsigned char c : shown)
            if (c < 0x20 || c == 0x7F) {
                std::fprintf(stderr, "message not printable: %s\n", shown.c_str());
                std::abort();
            }
        return 0;
    }
    // The unit leaves the factory with its memories and goes on the bus.
    sim::Simulator& s = sim::Sim();
    s.ClearDevices();
    if (s.AddCamera(*unit) == 0) {
        std::fprintf(stderr, "a unit read from its file cannot be built: %s\n", s.LastError().c_str());
        std::abort();
    }
    return 0;
}
