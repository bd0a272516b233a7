#include "platform/library.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

TEST(SharedLibrary, LoadsByNameAndFindsExport) {
    std::string error;
    auto lib = platform::SharedLibrary::Open("libm.so.6", &error);
    ASSERT_TRUE(lib) << error;
    auto cosine = lib->Function<double (*)(double)>("cos");
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(lib->Symbol("no_such_export_here"), nullptr);
}

TEST(SharedLibrary, MissingLibraryGivesNullAndAReason) {
    std::string error;
    EXPECT_EQ(platform::SharedLibrary::Open("libNoSuchLibrary.so", &error), nullptr);
    EXPECT_FALSE(error.empty());
}

// A bare name is taken from the first folder that holds a file of that name;
// a folder of that name is no library; a name with a slash is a path.
TEST(LibrarySearch, FirstFolderWithTheFileWinsElseTheLoadersSearch) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("library_search_" + std::to_string(::getpid()));
    fs::remove_all(root);
    for (const char* f : {"beside", "maker", "sim", "sim/libLvxStor.so"}) fs::create_directories(root / f);
    std::ofstream(root / "maker/libLvxStor.so") << "x";
    std::ofstream(root / "beside/other.so") << "x";
    const std::string beside = (root / "beside").string(), maker = (root / "maker/").string(),
                      sim = (root / "sim").string();

    struct Case {
        std::string name;
        std::vector<std::string> folders;
        std::string expected;
    } cases[] = {
        {"libLvxStor.so", {beside, maker, sim}, maker + "libLvxStor.so"},
        {"libLvxStor.so", {beside, sim}, "libLvxStor.so"},  // a folder named so is skipped
        {"other.so", {beside, maker}, beside + "/other.so"},
        {"libLvxStor.so", {"", maker}, maker + "libLvxStor.so"},
        {"./libLvxStor.so", {maker}, "./libLvxStor.so"},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::ResolveLibrary(c.name, c.folders), c.expected) << c.name;
    fs::remove_all(root);

    // The program's own folder first, then the maker's, then the installed simulator's.
    const std::vector<std::string> order = platform::LibrarySearchFolders();
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[0], fs::read_symlink("/proc/self/exe").parent_path().string() + "/");
    EXPECT_EQ(order[1], std::string(IMAGEADJUST_MAKER_DRIVER_DIR) + "/");
    EXPECT_EQ(order[2], (fs::path(order[0]) / IMAGEADJUST_SIM_FROM_BIN).lexically_normal().string() + "/");
}

}  // namespace
