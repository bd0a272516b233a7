#include "history/history_writer.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "platform/file_write.h"
#include "platform/format.h"

namespace history {

namespace fs = std::filesystem;

namespace {

constexpr const char* kQueued = ".json";
constexpr const char* kRejected = ".rejected";  // a queue file that is not a run: kept aside for a person

std::vector<fs::path> QueuedFiles(const std::string& dir) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.is_regular_file(ec) && e.path().extension() == kQueued) files.push_back(e.path());
    std::sort(files.begin(), files.end());  // names start with the run's time
    return files;
}

}  // namespace

HistoryWriter::HistoryWriter(Connect connect, std::string queueDir)
    : connect_(std::move(connect)), queueDir_(std::move(queueDir)) {}

std::size_t HistoryWriter::Pending() const { return QueuedFiles(queueDir_).size(); }

HistoryStore* HistoryWriter::Store(std::string* error) {
    if (!store_) store_ = connect_(error);
    return store_.get();
}

bool HistoryWriter::Enqueue(const RunDocument& run, std::string* error) {
    std::error_code ec;
    fs::create_directories(queueDir_, ec);
    const std::string name = platform::Format("%s/%015lld-%s%s", queueDir_.c_str(),
                                              static_cast<long long>(run.startedAtMs), run.runId.c_str(), kQueued);
    if (platform::WriteFileReplacing(name, ToJson(run)) == platform::WriteError::None) return true;
    if (error) *error += (error->empty() ? "" : "; ") + std::string("the run could not be queued in ") + queueDir_;
    return false;
}

bool HistoryWriter::DrainQueue(std::string* error) {
    for (const fs::path& file : QueuedFiles(queueDir_)) {
        const auto text = platform::ReadWholeFile(file.string());
        std::string why;
        const auto run = text ? FromJson(*text, &why) : std::nullopt;
        std::error_code ec;
        if (!run) {
            fs::rename(file, fs::path(file).replace_extension(kRejected), ec);
            continue;
        }
        HistoryStore* store = Store(error);
        if (!store) return false;
        // A run that went in before its file could be removed goes in once.
        const auto stored = store->Contains(run->runId, error);
        if (!stored || (!*stored && !store->Write(*run, error))) {
            store_.reset();
            return false;
        }
        fs::remove(file, ec);
    }
    return true;
}

HistoryWriter::Outcome HistoryWriter::Record(const RunDocument& run) {
    Outcome o;
    if (DrainQueue(&o.error)) {
        if (HistoryStore* store = Store(&o.error); store && store->Write(run, &o.error)) {
            o.written = true;
            return o;
        }
        store_.reset();
    }
    Enqueue(run, &o.error);
    o.pending = Pending();
    return o;
}

HistoryWriter::Outcome HistoryWriter::Flush() {
    Outcome o;
    o.written = Store(&o.error) && DrainQueue(&o.error);
    o.pending = Pending();
    return o;
}

}  // namespace history
