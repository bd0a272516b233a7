#pragma once
// What the three programs' command lines share: --name=value as well as
// --name value, comma lists with blanks after the commas, and --version.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The words of a command line with each "--name=value" of an option in
// `valueOptions` made the two words "--name" "value". A word that is the
// value of the option before it is left as it is, whatever it holds.
std::vector<std::string> SplitValueOptions(const std::vector<std::string>& args,
                                           std::initializer_list<std::string_view> valueOptions);

// The entries of a comma-separated list, the blanks after each comma
// dropped; an empty entry stays, for the caller to refuse.
std::vector<std::string> SplitList(const std::string& list);

// What --version prints: the program and its version, the git revision of
// the build and the driver library that the program would load.
std::string VersionText(const std::string& program);

}  // namespace cli
