// imageadjust-history: the line's history, queried and exported.
//
//   imageadjust-history [--db FILE | --pg CONNINFO] [--format csv|json]
//                       [--id IDENTIFICATION] [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--failures]

#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "history/export.h"
#include "history/history_store.h"

namespace {

void Usage(std::ostream& out) {
    out << "Usage: imageadjust-history [--db FILE | --pg CONNINFO] [--format csv|json]\n"
           "                           [--id IDENTIFICATION] [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--failures]\n"
           "\n"
           "Prints the runs of a station history (default: HISTORY.DB in the working\n"
           "directory) that match, oldest first: CSV with one row per run after a header\n"
           "line, or a JSON array of run documents. --from and --to are local days, both\n"
           "included; --failures keeps the runs that did not end OK. Options take their\n"
           "value as the next word or after =: --format=json.\n"
           "\n"
           "  --version  the version, the build's revision and the driver library\n"
           "  --help     this text\n";
}

// Local midnight of a YYYY-MM-DD day, Unix ms; `dayAfter` gives the next midnight.
std::optional<std::int64_t> LocalMidnight(const std::string& day, bool dayAfter) {
    std::tm tm{};
    int consumed = 0;
    if (std::sscanf(day.c_str(), "%4d-%2d-%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &consumed) != 3 ||
        consumed != static_cast<int>(day.size()) || tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1 ||
        tm.tm_mday > 31)
        return std::nullopt;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    if (dayAfter) ++tm.tm_mday;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<std::int64_t>(t) * 1000;
}

}  // namespace

int main(int argc, char** argv) {
    std::string db = "HISTORY.DB", pg, format = "csv";
    history::RunQuery query;
    const std::vector<std::string> args = cli::SplitValueOptions(
        std::vector<std::string>(argv + 1, argv + argc), {"--db", "--pg", "--format", "--id", "--from", "--to"});
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 < args.size()) return args[++i];
            std::cerr << "imageadjust-history: " << a << " needs a value\n";
            return std::nullopt;
        };
        std::optional<std::string> v;
        if (a == "--help" || a == "-h") {
            Usage(std::cout);
            return 0;
        } else if (a == "--version") {
            std::cout << cli::VersionText("imageadjust-history");
            return 0;
        } else if (a == "--failures") {
            query.failuresOnly = true;
            continue;
        } else if (a != "--db" && a != "--pg" && a != "--format" && a != "--id" && a != "--from" && a != "--to") {
            std::cerr << "imageadjust-history: unknown option \"" << a << "\"\n\n";
            Usage(std::cerr);
            return 2;
        }
        if (!(v = value())) return 2;
        if (a == "--db") db = *v;
        if (a == "--pg") pg = *v;
        if (a == "--id") query.identification = *v;
        if (a == "--format") {
            if (*v != "csv" && *v != "json") {
                std::cerr << "imageadjust-history: --format is csv or json\n";
                return 2;
            }
            format = *v;
        }
        if (a == "--from" || a == "--to") {
            const auto t = LocalMidnight(*v, a == "--to");
            if (!t) {
                std::cerr << "imageadjust-history: " << a << " takes a day as YYYY-MM-DD\n";
                return 2;
            }
            (a == "--from" ? query.fromMs : query.toMs) = *t;
        }
    }

    std::string error;
    if (pg.empty() && !std::filesystem::exists(db)) {
        std::cerr << "imageadjust-history: " << db << ": no such history\n";
        return 1;
    }
    auto store = pg.empty() ? history::OpenSqliteStore(db, &error) : history::OpenPostgresStore(pg, &error);
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
