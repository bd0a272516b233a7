#pragma once
// Writes each run into the history, through a local queue that serves as its
// journal: the run is written into the queue first (before its result file,
// when it has one), then into the store, and only then taken out of the
// queue. A run whose store cannot be reached (the line's database server is
// down, or hangs) waits there and goes in, oldest first, with a later run or
// at the next start: the station goes on adjusting cameras meanwhile.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace history {

class HistoryWriter {
public:
    using Connect = std::function<std::unique_ptr<HistoryStore>(std::string* error)>;

    // `budget`: how long one run may spend bringing the queue in; what is
    // left waits for the next run.
    HistoryWriter(Connect connect, std::string queueDir,
                  std::chrono::milliseconds budget = std::chrono::milliseconds(3000));

    struct Outcome {
        bool written = false;     // this run is in the store
        bool lost = false;        // this run could be neither stored nor queued
        std::size_t pending = 0;  // queue entries not in the store (this one included), unreadable ones too
        std::string error;        // why the store (or the queue) could not take them
    };
    // Puts the run into the queue (or replaces its entry there), so that it
    // survives the program's end before Record; false with a reason when the
    // queue cannot be written.
    bool Journal(const RunDocument& run, std::string* error);
    // The run, finished: journalled, stored, taken out of the queue.
    Outcome Record(const RunDocument& run);
    // Opens the store and brings the whole queue in (at start-up); `written`
    // tells whether the store took everything.
    Outcome Flush();
    std::size_t Pending() const;

    // What the queue holds, oldest first: each entry's file and its run, or
    // why it cannot be read (such an entry is kept aside as *.rejected).
    struct Entry {
        std::string file;
        std::optional<RunDocument> run;
        std::string error;
    };
    std::vector<Entry> Queue() const;

private:
    HistoryStore* Store(std::string* error);
    std::string EntryName(const RunDocument& run) const;
    // Writes the queued runs in order, all but `skipRunId`'s; false at the
    // first that does not go in, or when the budget is spent (`bounded`).
    bool DrainQueue(std::string* error, const std::string& skipRunId = {}, bool bounded = true);

    Connect connect_;
    std::string queueDir_;
    std::chrono::milliseconds budget_;
    std::unique_ptr<HistoryStore> store_;
};

}  // namespace history
