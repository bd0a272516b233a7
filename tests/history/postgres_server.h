// A real PostgreSQL server for the store tests: a fresh cluster in a
// temporary folder, listening on the loopback address only, for the whole
// test program. The server refuses to run as root, so as root it runs as
// the postgres user. Tests skip, saying why, where no server can be started.

#pragma once

#include <string>

namespace test_support {

// The libpq connection string of a fresh database on the server (started on
// first use), or empty with the reason in `why`.
std::string FreshPostgresDatabase(std::string* why);

// What a line's server does to its stations: "stop" and "start" it, "hang"
// it (SIGSTOP to the server and its every process) and "resume" it. False
// when it could not be done.
bool ControlPostgres(const std::string& what);

// Ends the test program after so long (a station that hangs must fail the
// test, not hold it), letting the server go on and stop first.
void FailAfter(unsigned seconds);

}  // namespace test_support
