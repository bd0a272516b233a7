#pragma once
// Writes each run into the history. When the store cannot be reached (the
// line's database server is down), the run waits as a file in a local queue
// and goes in, oldest first, with the next run that reaches the store again:
// the station goes on adjusting cameras meanwhile.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "history/history_store.h"

namespace history {

class HistoryWriter {
public:
    using Connect = std::function<std::unique_ptr<HistoryStore>(std::string* error)>;

    HistoryWriter(Connect connect, std::string queueDir);

    struct Outcome {
        bool written = false;  // this run is in the store
        std::size_t pending = 0;  // runs still waiting in the queue (this one included)
        std::string error;     // why the store could not take them
    };
    Outcome Record(const RunDocument& run);
    // Opens the store and brings the queue in (at start-up); `written` tells
    // whether the store took everything.
    Outcome Flush();
    std::size_t Pending() const;

private:
    HistoryStore* Store(std::string* error);
    bool Enqueue(const RunDocument& run, std::string* error);
    // Writes the queued runs in order; false at the first that does not go in.
    bool DrainQueue(std::string* error);

    Connect connect_;
    std::string queueDir_;
    std::unique_ptr<HistoryStore> store_;
};

}  // namespace history
