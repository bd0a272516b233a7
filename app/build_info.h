#pragma once
// The program version and the git revision the programs were built from.

namespace build_info {
extern const char* const kVersion;
extern const char* const kRevision;
}  // namespace build_info
