#pragma once
// The string table: the version menu item and the names of the kick-off
// timer ids (their ids are the timer ids of the adjustment windows).

#include <string>

#include "res/resource.h"

namespace res {

// The text of string `id` (UTF-8); empty when the table has no such string.
std::string LoadString(int id);

}  // namespace res
