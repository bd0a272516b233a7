#include "app/command_line.h"

#include <algorithm>

#include "app/build_info.h"
#include "camera/lvx_driver.h"
#include "platform/library.h"

namespace cli {

std::vector<std::string> SplitValueOptions(const std::vector<std::string>& args,
                                           std::initializer_list<std::string_view> valueOptions) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool done = false;
        for (std::string_view name : valueOptions) {
            if (a == name) {
                out.push_back(a);
                if (i + 1 < args.size()) out.push_back(args[++i]);
                done = true;
            } else if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
                out.push_back(std::string(name));
                out.push_back(a.substr(name.size() + 1));
                done = true;
            }
            if (done) break;
        }
        if (!done) out.push_back(a);
    }
    return out;
}

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        std::string entry = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        // Blanks after a comma go, as people type them; any other blank
        // stays part of the entry, for the caller to refuse.
        if (start > 0) entry.erase(0, std::min(entry.size(), entry.find_first_not_of(" \t")));
        entries.push_back(entry);
        if (comma == std::string::npos) return entries;
        start = comma + 1;
    }
}

std::string VersionText(const std::string& program) {
    const std::vector<std::string> folders = platform::LibrarySearchFolders();
    const std::string driver = platform::ResolveLibrary(LVX_DRIVER_LIBRARY_NAME, folders);
    std::string text = program + " " + build_info::kVersion + "\nrevision " + build_info::kRevision + "\n";
    if (driver.find('/') != std::string::npos) return text + "driver library " + driver + "\n";
    // None of the station's folders holds it: say where it was looked for.
    text += "driver library " + driver + ", from the system's library search (not in";
    for (const std::string& folder : folders) text += " " + folder;
    return text + ")\n";
}

}  // namespace cli
