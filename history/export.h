#pragma once
// The history as a file for a spreadsheet or another program: CSV, one row
// per run after a header line, or JSON, an array of run documents.

#include <string>
#include <vector>

#include "history/run_document.h"

namespace history {

std::string RunsAsCsv(const std::vector<RunDocument>& runs);

}  // namespace history
