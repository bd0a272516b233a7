#pragma once
// The structured record of one camera run as the line's history keeps it,
// and as the JSON beside the result file holds it: which station ran what,
// when, under which standards, each item's result and time, and every
// measurement an item judged with its limits and verdict.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/run_record.h"

namespace history {

// The JSON document's "schema" value; history/run_document.schema.json
// describes it.
inline constexpr const char* kDocumentSchema = "imageadjust-run/1";

struct RunDocument {
    std::string runId;           // unique over every station of a line
    std::string station;         // the station's name (host name unless set)
    std::string identification;  // the camera's, when the run read it
    std::int64_t startedAtMs = 0, endedAtMs = 0;  // Unix time, milliseconds
    std::uint16_t selection = 0;                  // the item selection word
    std::vector<std::string> selectedItems;       // item keys, in run order
    int result = 0;                               // 1 or the error number
    std::string errorMessage;                     // the number's message; empty for 1
    std::string programVersion;
    std::string standardsHash;  // SHA-256 of STD.DAT as the run found it, hex
    // Item times are offsets from startedAtMs.
    std::vector<RunItemResult> items;
    std::vector<RunMeasurement> measurements;

    bool operator==(const RunDocument&) const = default;
};

std::string ToJson(const RunDocument& doc);
// Several runs as one JSON array of documents.
std::string ToJsonArray(const std::vector<RunDocument>& runs);
// nullopt with a reason in `error` for text that is not such a document.
std::optional<RunDocument> FromJson(const std::string& text, std::string* error = nullptr);

// A new run id: time, station and randomness, so that ids from several
// stations never collide.
std::string NewRunId(const std::string& station, std::int64_t startedAtMs);

// "2026-12-08T13:42:24.123Z".
std::string IsoUtc(std::int64_t unixMs);

}  // namespace history
