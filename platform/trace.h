#pragma once
// The diagnostics channel: one line per camera command, and why a history
// write or a file failed. The lines go to the installed sink; with none
// installed they are discarded before they are even formatted. The programs
// install a file or stderr as their settings say; tests install their own.

#include <functional>
#include <string>

namespace platform {

using TraceSink = std::function<void(const std::string&)>;

// Installs the sink that receives trace lines; an empty sink silences them.
void SetTraceSink(TraceSink sink);

// Appends each line, with the time, to `path`, within a tenth of a second
// (a killed program may lose that much); once the file passes 8 MiB it
// becomes `path`.1 (replacing the one before) and a new file begins. A file
// that cannot be opened sends the lines to stderr instead.
void TraceToFile(const std::string& path);
void TraceToStderr();

void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace platform
