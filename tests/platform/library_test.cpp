#include "platform/library.h"

#include <gtest/gtest.h>

#include <cmath>

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

}  // namespace
