#include "platform/trace.h"

#include <cstdarg>

#include "platform/format.h"

namespace platform {

namespace {
TraceSink& Sink() {
    static TraceSink sink;
    return sink;
}
}  // namespace

void SetTraceSink(TraceSink sink) { Sink() = std::move(sink); }

void Trace(const char* format, ...) {
    if (!Sink()) return;
    va_list args;
    va_start(args, format);
    std::string line = VFormat(format, args);
    va_end(args);
    Sink()(line);
}

}  // namespace platform
