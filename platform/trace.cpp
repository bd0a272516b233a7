#include "platform/trace.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>

#include "platform/format.h"

namespace platform {

namespace {
TraceSink& Sink() {
    static TraceSink sink;
    return sink;
}

constexpr long kRotateBytes = 8L << 20;

// "2026-12-08 13:42:24.123 " in local time.
std::string Stamp() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    localtime_r(&ts.tv_sec, &tm);
    return Format("%04d-%02d-%02d %02d:%02d:%02d.%03ld ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                  tm.tm_min, tm.tm_sec, ts.tv_nsec / 1'000'000);
}

// Lines may come from the driver's own thread as well.
class FileSink {
public:
    explicit FileSink(std::string path) : path_(std::move(path)) {}
    ~FileSink() {
        if (file_) std::fclose(file_);
    }
    void operator()(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!file_ || std::ftell(file_) > kRotateBytes) Reopen();
        std::FILE* out = file_ ? file_ : stderr;
        std::fputs((Stamp() + line).c_str(), out);
        if (line.empty() || line.back() != '\n') std::fputc('\n', out);
        std::fflush(out);
    }

private:
    void Reopen() {
        if (file_) {
            std::fclose(file_);
            file_ = nullptr;
            std::rename(path_.c_str(), (path_ + ".1").c_str());
        }
        struct stat st{};
        if (::stat(path_.c_str(), &st) == 0 && st.st_size > kRotateBytes)
            std::rename(path_.c_str(), (path_ + ".1").c_str());
        file_ = std::fopen(path_.c_str(), "a");
    }

    std::string path_;
    std::FILE* file_ = nullptr;
    std::mutex mutex_;
};

}  // namespace

void SetTraceSink(TraceSink sink) { Sink() = std::move(sink); }

void TraceToFile(const std::string& path) {
    auto sink = std::make_shared<FileSink>(path);
    SetTraceSink([sink](const std::string& line) { (*sink)(line); });
}

void TraceToStderr() {
    SetTraceSink([](const std::string& line) {
        std::fputs((Stamp() + line).c_str(), stderr);
        if (line.empty() || line.back() != '\n') std::fputc('\n', stderr);
    });
}

void Trace(const char* format, ...) {
    if (!Sink()) return;
    va_list args;
    va_start(args, format);
    std::string line = VFormat(format, args);
    va_end(args);
    Sink()(line);
}

}  // namespace platform
