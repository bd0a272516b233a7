// imageadjust-history: the line's history, queried and exported, and the
// runs waiting in the station's queue listed or brought in.
//
//   imageadjust-history [--db FILE | --pg CONNINFO] [--format csv|json]
//                       [--id IDENTIFICATION] [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--failures]
//   imageadjust-history [--db FILE | --pg CONNINFO] --queue | --flush

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/station_folder.h"
#include "history/export.h"
#include "history/history_settings.h"
#include "history/history_store.h"

namespace fs = std::filesystem;

namespace {

void Usage(std::ostream& out) {
    out << "Usage: imageadjust-history [--station DIR | --db FILE | --pg CONNINFO] [--format csv|json]\n"
           "                           [--id IDENTIFICATION] [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--failures]\n"
           "       imageadjust-history [--station DIR | --db FILE | --pg CONNINFO] --queue | --flush\n"
           "\n"
           "Prints the runs of a station history that match, oldest first: CSV with one\n"
           "row per run after a header line, or a JSON array of run documents. The\n"
           "history is the one HISTORY.INI of the station folder names (HISTORY.DB\n"
           "without it), or the SQLite file --db or the PostgreSQL database --pg names.\n"
           "It is only read: never created, migrated or written.\n"
           "\n"
           "  --station DIR      the station folder (default: $IMAGEADJUST_STATION, else\n"
           "                     the working folder when it holds STD.DAT, HISTORY.INI or\n"
           "                     HISTORY.DB, else ~/.local/share/imageadjust); it is\n"
           "                     never created\n"
           "  --format csv|json  CSV (default) or JSON\n"
           "  --id ID            one camera's runs\n"
           "  --from, --to DAY   local days, both included\n"
           "  --failures         the runs that did not end OK\n"
           "  --queue            list the runs waiting in the station's queue folder\n"
           "                     (HISTORY.INI's queue; with --db FILE, FILE.queue)\n"
           "  --flush            bring the queued runs into the history, as a station does\n"
           "\n"
           "  --version          the version, the build's revision and the driver library\n"
           "  --help             this text\n"
           "\n"
           "Options take their value as the next word or after =: --format=json.\n"
           "\n"
           "Exit status: 0 done, 1 the history or queue could not be read or taken in\n"
           "whole, 2 a command line it refuses.\n";
}

// Local midnight of a YYYY-MM-DD day that exists, Unix ms; `dayAfter` gives
// the next midnight.
std::optional<std::int64_t> LocalMidnight(const std::string& day, bool dayAfter) {
    int year = 0, month = 0, mday = 0, consumed = 0;
    if (day.size() != 10 || std::sscanf(day.c_str(), "%4d-%2d-%2d%n", &year, &month, &mday, &consumed) != 3 ||
        consumed != 10 || day[4] != '-' || day[7] != '-' || year < 1970)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = mday;
    tm.tm_isdst = -1;
    std::tm check = tm;
    // mktime rolls 2026-02-31 over into March: a day that does not exist is refused.
    if (std::mktime(&check) == static_cast<std::time_t>(-1) || check.tm_year != tm.tm_year ||
        check.tm_mon != tm.tm_mon || check.tm_mday != tm.tm_mday)
        return std::nullopt;
    if (dayAfter) ++tm.tm_mday;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<std::int64_t>(t) * 1000;
}

int Refuse(const std::string& why) {
    std::cerr << "imageadjust-history: " << why << "\n\n";
    Usage(std::cerr);
    return 2;
}

int ListQueue(const history::HistoryWriter& writer) {
    for (const auto& e : writer.Queue()) {
        std::cout << e.file;
        if (e.run)
            std::cout << "\t" << e.run->runId << "\t" << e.run->identification << "\t" << history::IsoUtc(e.run->startedAtMs)
                      << "\t" << e.run->result << "\n";
        else
            std::cout << "\tUNREADABLE\t" << e.error << "\n";
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> given;
    const std::set<std::string> valued = {"--station", "--db", "--pg", "--format", "--id", "--from", "--to"};
    const std::set<std::string> flags = {"--failures", "--queue", "--flush"};
    const std::vector<std::string> args = cli::SplitValueOptions(
        std::vector<std::string>(argv + 1, argv + argc), {"--station", "--db", "--pg", "--format", "--id", "--from", "--to"});
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            Usage(std::cout);
            return 0;
        }
        if (a == "--version") {
            std::cout << cli::VersionText("imageadjust-history");
            return 0;
        }
        if (!valued.count(a) && !flags.count(a)) return Refuse("unknown option \"" + a + "\"");
        if (given.count(a)) return Refuse(a + " is given twice");
        if (valued.count(a) && i + 1 >= args.size()) return Refuse(a + " needs a value");
        given[a] = valued.count(a) ? args[++i] : std::string();
    }
    auto has = [&](const char* o) { return given.count(o) > 0; };
    if (has("--db") + has("--pg") + has("--station") > 1)
        return Refuse("--station, --db and --pg each name a history: give one");
    if (has("--queue") && has("--flush")) return Refuse("--queue and --flush: give one");
    const bool queueWork = has("--queue") || has("--flush");
    for (const char* o : {"--format", "--id", "--from", "--to", "--failures"})
        if (queueWork && has(o)) return Refuse(std::string(o) + " selects runs of the history, not of the queue");

    history::RunQuery query;
    query.identification = given["--id"];
    query.failuresOnly = has("--failures");
    const std::string format = has("--format") ? given["--format"] : "csv";
    if (format != "csv" && format != "json") return Refuse("--format is csv or json");
    for (const char* o : {"--from", "--to"}) {
        if (!has(o)) continue;
        const auto t = LocalMidnight(given[o], std::string(o) == "--to");
        if (!t) return Refuse(std::string(o) + " takes a day that exists, as YYYY-MM-DD");
        (std::string(o) == "--from" ? query.fromMs : query.toMs) = *t;
    }
    if (query.fromMs && query.toMs && *query.fromMs >= *query.toMs) return Refuse("--from is after --to");

    // The history as the station has it, unless named here: the station
    // folder chosen as the station chooses it, but never made.
    if (!has("--db") && !has("--pg")) {
        const fs::path here = fs::current_path();
        std::error_code ec;
        const bool historyHere = fs::exists(history::kSettingsFile, ec) || fs::exists("HISTORY.DB", ec);
        const char* env = std::getenv("IMAGEADJUST_STATION");
        const fs::path folder = !has("--station") && !(env && *env) && historyHere
                                    ? here
                                    : station::ChooseFolder(given["--station"], env, std::getenv("XDG_DATA_HOME"),
                                                            std::getenv("HOME"), here);
        if (!fs::is_directory(folder, ec) || ::chdir(folder.c_str()) != 0) {
            std::cerr << "imageadjust-history: no station folder " << folder.string() << "\n";
            return 1;
        }
    }
    std::string settingsError;
    history::HistorySettings settings = history::LoadHistorySettingsOrDefaults(history::kSettingsFile, &settingsError);
    history::InstallDiagnostics(settings);
    if (!settingsError.empty()) std::cerr << "imageadjust-history: " << settingsError << "\n";
    if (has("--db")) {
        settings.store = history::HistorySettings::Store::Sqlite;
        settings.sqliteFile = given["--db"];
        settings.queue = given["--db"] + ".queue";
    } else if (has("--pg")) {
        settings.store = history::HistorySettings::Store::Postgres;
        settings.postgres = given["--pg"];
    }

    if (queueWork) {
        const auto writer = history::MakeWriter(settings);
        if (has("--queue")) return ListQueue(*writer);
        const std::size_t before = writer->Pending();
        const auto o = writer->Flush();
        std::cout << (before - std::min(before, o.pending)) << " run(s) stored, " << o.pending << " left in "
                  << settings.queue << "\n";
        if (!o.written) std::cerr << "imageadjust-history: " << o.error << "\n";
        return o.written && o.pending == 0 ? 0 : 1;
    }

    std::string error;
    if (settings.store == history::HistorySettings::Store::Sqlite && !std::filesystem::exists(settings.sqliteFile)) {
        std::cerr << "imageadjust-history: " << settings.sqliteFile << ": no such history\n";
        return 1;
    }
    auto store = history::Connector(settings, true)(&error);
    if (!store) {
        std::cerr << "imageadjust-history: " << error << "\n";
        return 1;
    }
    const auto runs = store->Query(query, &error);
    if (!runs) {
        std::cerr << "imageadjust-history: " << error << "\n";
        return 1;
    }
    std::cout << (format == "csv" ? history::RunsAsCsv(*runs) : history::ToJsonArray(*runs));
    return 0;
}
