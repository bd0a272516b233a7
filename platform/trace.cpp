#include "platform/trace.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdint>
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
constexpr std::int64_t kFlushNs = 100'000'000;  // lines reach the file within this

std::int64_t NowNs(timespec* ts) {
    clock_gettime(CLOCK_REALTIME, ts);
    return std::int64_t{ts->tv_sec} * 1'000'000'000 + ts->tv_nsec;
}

// "2026-12-08 13:42:24.123 " in local time; the calendar part is worked out
// once a second, as the command trace has thousands of lines a second.
std::string Stamp(const timespec& ts) {
    thread_local time_t second = -1;
    thread_local char day[64];
    if (ts.tv_sec != second) {
        std::tm tm{};
        localtime_r(&ts.tv_sec, &tm);
        std::snprintf(day, sizeof day, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                      tm.tm_hour, tm.tm_min, tm.tm_sec);
        second = ts.tv_sec;
    }
    return Format("%s.%03ld ", day, ts.tv_nsec / 1'000'000);
}

// Lines may come from the driver's own thread as well. Written through a
// buffer that is flushed at least every tenth of a second, and at the end.
class FileSink {
public:
    explicit FileSink(std::string path) : path_(std::move(path)) {}
    ~FileSink() {
        if (file_) std::fclose(file_);
    }
    void operator()(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        timespec ts{};
        const std::int64_t now = NowNs(&ts);
        if (!file_ || size_ > kRotateBytes) Reopen();
        std::FILE* out = file_ ? file_ : stderr;
        std::string text = Stamp(ts) + line;
        if (line.empty() || line.back() != '\n') text += '\n';
        std::fwrite(text.data(), 1, text.size(), out);
        size_ += static_cast<long>(text.size());
        if (now - flushed_ >= kFlushNs || out == stderr) {
            std::fflush(out);
            flushed_ = now;
        }
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
        size_ = ::stat(path_.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
        if (file_) std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
    }

    std::string path_;
    std::FILE* file_ = nullptr;
    long size_ = 0;
    std::int64_t flushed_ = 0;
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
        timespec ts{};
        NowNs(&ts);
        std::fputs((Stamp(ts) + line).c_str(), stderr);
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
