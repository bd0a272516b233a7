#include "history/history_settings.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <iterator>
#include <sstream>

#include "platform/file_write.h"
#include "platform/trace.h"

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
        static const char* const kKeys[] = {"store", "sqlite_file", "postgresql", "station", "queue",
                                            "postgresql_timeout", "diagnostics"};
        if (std::find(std::begin(kKeys), std::end(kKeys), key) == std::end(kKeys))
            return fail("unknown key '" + key + "'");
        if (value.empty()) return fail("'" + key + "' has no value");
        if (key == "store") {
            if (value == "sqlite")
                s.store = HistorySettings::Store::Sqlite;
            else if (value == "postgresql")
                s.store = HistorySettings::Store::Postgres;
            else
                return fail("store is sqlite or postgresql");
        } else if (key == "sqlite_file") {
            s.sqliteFile = value;
        } else if (key == "postgresql") {
            s.postgres = value;
        } else if (key == "station") {
            s.station = value;
        } else if (key == "queue") {
            s.queue = value;
        } else if (key == "postgresql_timeout") {
            // libpq waits at least 2 s for a connection whatever it is told.
            int seconds = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (ec != std::errc() || end != value.data() + value.size() || seconds < 2 || seconds > 60)
                return fail("postgresql_timeout is a number of seconds from 2 to 60");
            s.postgresTimeoutS = seconds;
        } else {
            s.diagnostics = value;
        }
    }
    if (s.store == HistorySettings::Store::Postgres && s.postgres.empty())
        return fail("store = postgresql needs a postgresql connection string");
    return s;
}

HistorySettings LoadHistorySettingsOrDefaults(const std::string& path, std::string* error) {
    std::string why;
    if (auto s = LoadHistorySettings(path, &why)) {
        if (error) error->clear();
        return *s;
    }
    HistorySettings defaults;
    if (error) *error = why + "; the runs go to " + defaults.sqliteFile + " until the file is mended";
    return defaults;
}

HistoryWriter::Connect Connector(const HistorySettings& settings, bool readOnly) {
    if (settings.store == HistorySettings::Store::Sqlite) {
        const std::string file = settings.sqliteFile;
        return [file, readOnly](std::string* error) { return OpenSqliteStore(file, error, readOnly); };
    }
    const PostgresOptions options{settings.postgresTimeoutS, readOnly};
    return [conninfo = settings.postgres, options](std::string* error) {
        return OpenPostgresStore(conninfo, error, options);
    };
}

std::unique_ptr<HistoryWriter> MakeWriter(const HistorySettings& settings) {
    return std::make_unique<HistoryWriter>(Connector(settings), settings.queue,
                                           std::chrono::seconds(settings.postgresTimeoutS));
}

void InstallDiagnostics(const HistorySettings& settings) {
    const char* env = std::getenv("IMAGEADJUST_DIAGNOSTICS");
    const std::string where = env && *env ? env : settings.diagnostics;
    if (where == "off")
        platform::SetTraceSink({});
    else if (where == "stderr")
        platform::TraceToStderr();
    else
        platform::TraceToFile(where);
}

std::string StationName(const HistorySettings& settings) {
    if (!settings.station.empty()) return settings.station;
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) != 0 || !*host) return "station";
    return host;
}

}  // namespace history
