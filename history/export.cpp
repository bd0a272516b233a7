#include "history/export.h"

#include "platform/format.h"


namespace history {
namespace {

// RFC 4180: a field with a comma, quote or line break is quoted, quotes
// doubled. A field that a spreadsheet would run as a formula (= + - @, or a
// tab or CR before one) is written as text, behind an apostrophe.
std::string Field(std::string s) {
    if (!s.empty() && std::string("=+-@\t\r").find(s[0]) != std::string::npos) s.insert(0, 1, '\'');
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

}  // namespace

std::string RunsAsCsv(const std::vector<RunDocument>& runs) {
    std::string out =
        "run_id,station,identification,started_at,ended_at,selection,items,result,error_message,"
        "measurements,failed_measurements,program_version,standards_hash\r\n";
    for (const RunDocument& r : runs) {
        int failed = 0;
        for (const RunMeasurement& m : r.measurements) failed += !m.passed;
        std::string items;
        for (const RunItemResult& i : r.items) {
            if (!items.empty()) items += ' ';
            items += i.item + "=" + std::to_string(i.result);
        }
        const std::string fields[] = {r.runId,
                                      r.station,
                                      r.identification,
                                      IsoUtc(r.startedAtMs),
                                      IsoUtc(r.endedAtMs),
                                      platform::Format("0x%04X", r.selection),
                                      items,
                                      std::to_string(r.result),
                                      r.errorMessage,
                                      std::to_string(r.measurements.size()),
                                      std::to_string(failed),
                                      r.programVersion,
                                      r.standardsHash};
        std::string row;
        for (const std::string& f : fields) {
            if (!row.empty()) row += ',';
            row += Field(f);
        }
        out += row + "\r\n";
    }
    return out;
}

}  // namespace history
