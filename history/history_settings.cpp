#include "history/history_settings.h"

#include <unistd.h>

#include <climits>
#include <sstream>

#include "platform/file_write.h"

namespace history {
namespace {

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

}  // namespace

std::optional<HistorySettings> LoadHistorySettings(const std::string& path, std::string* error) {
    HistorySettings s;
    const auto text = platform::ReadWholeFile(path);
    if (!text) return s;
    std::istringstream in(*text);
    std::string raw;
    int lineNo = 0;
    auto fail = [&](const std::string& why) -> std::optional<HistorySettings> {
        if (error) *error = path + ":" + std::to_string(lineNo) + ": " + why;
        return std::nullopt;
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        const std::string line = Trim(raw.substr(0, raw.find('#')));
        if (line.empty()) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) return fail("expected 'key = value'");
        const std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
        if (key == "store") {
            if (value == "sqlite")
                s.store = HistorySettings::Store::Sqlite;
            else if (value == "postgresql")
                s.store = HistorySettings::Store::Postgres;
            else
                return fail("store is sqlite or postgresql");
        } else if (key == "sqlite_file" && !value.empty()) {
            s.sqliteFile = value;
        } else if (key == "postgresql") {
            s.postgres = value;
        } else if (key == "station") {
            s.station = value;
        } else if (key == "queue" && !value.empty()) {
            s.queue = value;
        } else {
            return fail("unknown key '" + key + "'");
        }
    }
    if (s.store == HistorySettings::Store::Postgres && s.postgres.empty())
        return fail("store = postgresql needs a postgresql connection string");
    return s;
}

HistoryWriter::Connect Connector(const HistorySettings& settings) {
    if (settings.store == HistorySettings::Store::Sqlite) {
        const std::string file = settings.sqliteFile;
        return [file](std::string* error) { return OpenSqliteStore(file, error); };
    }
    std::string conninfo = settings.postgres;
    if (conninfo.find("connect_timeout") == std::string::npos) conninfo += " connect_timeout=3";
    return [conninfo](std::string* error) { return OpenPostgresStore(conninfo, error); };
}

std::string StationName(const HistorySettings& settings) {
    if (!settings.station.empty()) return settings.station;
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) != 0 || !*host) return "station";
    return host;
}

}  // namespace history
