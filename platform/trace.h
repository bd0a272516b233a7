#pragma once
// The debug trace channel: one line per camera command and a few more. The
// lines go to the installed sink; with none installed, as in the station's
// programs, they are discarded before they are even formatted. Tests install
// a sink in any build type.

#include <functional>
#include <string>

namespace platform {

using TraceSink = std::function<void(const std::string&)>;

// Installs the sink that receives trace lines; an empty sink silences them.
void SetTraceSink(TraceSink sink);

void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace platform
