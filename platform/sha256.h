#pragma once
// SHA-256 of a byte string, as lower-case hex: the fingerprint of the
// standards a run was made under.

#include <string>
#include <string_view>

namespace platform {

std::string Sha256Hex(std::string_view bytes);

}  // namespace platform
