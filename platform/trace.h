#pragma once
// The debug trace channel: one line per camera command and a few more. Debug
// builds hand the lines to the installed sink (none by default); release
// builds discard them at compile time.

#include <functional>
#include <string>

namespace platform {

using TraceSink = std::function<void(const std::string&)>;

// Installs the sink that receives trace lines; an empty sink silences them.
void SetTraceSink(TraceSink sink);

#ifdef NDEBUG
inline void Trace(const char*, ...) {}
#else
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif

}  // namespace platform
