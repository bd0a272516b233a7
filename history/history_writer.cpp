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

std::vector<fs::path> QueuedFiles(const std::string& dir, bool rejectedToo = false) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.is_regular_file(ec) &&
            (e.path().extension() == kQueued || (rejectedToo && e.path().extension() == kRejected)))
            files.push_back(e.path());
    std::sort(files.begin(), files.end());  // names start with the run's time
    return files;
}

std::optional<RunDocument> ReadEntry(const fs::path& file, std::string* why) {
    platform::ReadError readError = platform::ReadError::None;
    const auto text = platform::ReadRegularFile(file.string(), 64 << 20, &readError);
    if (!text) {
        *why = "cannot be read";
        return std::nullopt;
    }
    return FromJson(*text, why);
}

}  // namespace

HistoryWriter::HistoryWriter(Connect connect, std::string queueDir, std::chrono::milliseconds budget)
    : connect_(std::move(connect)), queueDir_(std::move(queueDir)), budget_(budget) {}

std::size_t HistoryWriter::Pending() const { return QueuedFiles(queueDir_, true).size(); }

std::vector<HistoryWriter::Entry> HistoryWriter::Queue() const {
    std::vector<Entry> entries;
    for (const fs::path& file : QueuedFiles(queueDir_, true)) {
        Entry e{file.string(), std::nullopt, {}};
        if (file.extension() == kRejected || !(e.run = ReadEntry(file, &e.error))) {
            std::string why;
            if (file.extension() == kRejected && !ReadEntry(file, &why)) e.error = why;
            if (e.error.empty()) e.error = "kept aside: not a run the history can take";
            e.run.reset();
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

HistoryStore* HistoryWriter::Store(std::string* error) {
    if (!store_) store_ = connect_(error);
    return store_.get();
}

std::string HistoryWriter::EntryName(const RunDocument& run) const {
    return platform::Format("%s/%015lld-%s%s", queueDir_.c_str(), static_cast<long long>(run.startedAtMs),
                            run.runId.c_str(), kQueued);
}

bool HistoryWriter::Journal(const RunDocument& run, std::string* error) {
    std::error_code ec;
    fs::create_directories(queueDir_, ec);
    // Not synced: the journal is for a station that is killed, whose writes
    // the system still has. A crash of the machine itself may lose the last
    // entries, as it may the SQLite history's last runs; never half of one.
    if (platform::WriteFileReplacing(EntryName(run), ToJson(run), false) == platform::WriteError::None) return true;
    if (error) *error += (error->empty() ? "" : "; ") + std::string("the run could not be queued in ") + queueDir_;
    return false;
}

bool HistoryWriter::DrainQueue(std::string* error, const std::string& skipRunId, bool bounded) {
    const auto deadline = bounded ? std::chrono::steady_clock::now() + budget_ : std::chrono::steady_clock::time_point::max();
    for (const fs::path& file : QueuedFiles(queueDir_)) {
        std::string why;
        const auto run = ReadEntry(file, &why);
        std::error_code ec;
        if (!run) {
            // Not lost and not in the way: it stays in the queue folder, counted.
            fs::rename(file, fs::path(file).replace_extension(kRejected), ec);
            continue;
        }
        if (run->runId == skipRunId) continue;
        if (std::chrono::steady_clock::now() >= deadline) {
            if (error) *error = "the queue is being brought in over several runs";
            return false;
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
    std::string queueError;
    if (Journal(run, &queueError)) {
        DrainQueue(&o.error);
        const fs::path entry = EntryName(run);
        std::error_code ec;
        o.written = !fs::exists(entry, ec) && !fs::exists(fs::path(entry).replace_extension(kRejected), ec);
    } else {
        // The queue is full or cannot be made: the older runs as far as they
        // go, then this one straight into the store. An entry journalled
        // earlier for this run stays until the run is in.
        DrainQueue(&o.error, run.runId);
        if (HistoryStore* store = Store(&o.error); store && store->Write(run, &o.error)) {
            o.written = true;
            std::error_code ec;
            fs::remove(EntryName(run), ec);
        } else {
            store_.reset();
        }
    }
    if (!o.written && o.error.empty()) o.error = "the history did not take the run";
    if (!queueError.empty() && !o.written) {
        o.lost = true;
        o.error += "; " + queueError;
    }
    o.pending = Pending();
    return o;
}

HistoryWriter::Outcome HistoryWriter::Flush() {
    Outcome o;
    // At start-up the whole queue: no camera is waiting yet.
    o.written = Store(&o.error) && DrainQueue(&o.error, {}, false);
    o.pending = Pending();
    return o;
}

}  // namespace history
