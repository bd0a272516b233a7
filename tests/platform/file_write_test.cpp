#include "platform/file_write.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class FileWriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/filewriteXXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    void TearDown() override {
        ::chmod(dir_.c_str(), 0755);
        fs::remove_all(dir_);
    }
    std::string dir_;
};

TEST_F(FileWriteTest, ReplacesWholeFileAndLeavesNoTemporary) {
    std::string path = dir_ + "/STD.DAT";
    ASSERT_EQ(platform::WriteFileReplacing(path, "old content that is longer"), platform::WriteError::None);
    ASSERT_EQ(platform::WriteFileReplacing(path, "new"), platform::WriteError::None);
    EXPECT_EQ(platform::ReadWholeFile(path), std::optional<std::string>("new"));
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir_)) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(FileWriteTest, FailureLeavesOldFileIntact) {
    if (::geteuid() == 0) {
        // root ignores directory permissions; make the target a directory instead.
        std::string path = dir_ + "/busy";
        fs::create_directory(path);
        fs::create_directory(path + "/x");
        EXPECT_NE(platform::WriteFileReplacing(path, "data"), platform::WriteError::None);
        EXPECT_TRUE(fs::is_directory(path + "/x"));
        return;
    }
    std::string path = dir_ + "/STD.DAT";
    ASSERT_EQ(platform::WriteFileReplacing(path, "keep me"), platform::WriteError::None);
    ::chmod(dir_.c_str(), 0555);
    EXPECT_EQ(platform::WriteFileReplacing(path, "lost?"), platform::WriteError::CannotCreate);
    EXPECT_EQ(platform::ReadWholeFile(path), std::optional<std::string>("keep me"));
}

// A file that opening for writing would refuse is kept, for root too: a file
// without any write bit is read-only for everyone. A writable file keeps its
// permissions through the replacement.
TEST_F(FileWriteTest, ReadOnlyFileIsKeptAndAWritableOneKeepsItsMode) {
    const std::string path = dir_ + "/result.dat";
    for (mode_t mode : {0444, 0400, 0555}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(platform::WriteFileReplacing(path, "old"), platform::WriteError::None);
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        EXPECT_EQ(platform::WriteFileReplacing(path, "new"), platform::WriteError::CannotCreate);
        EXPECT_EQ(platform::ReadWholeFile(path), std::optional<std::string>("old"));
        ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    }
    ASSERT_EQ(::chmod(path.c_str(), 0620), 0);
    ASSERT_EQ(platform::WriteFileReplacing(path, "new"), platform::WriteError::None);
    EXPECT_EQ(platform::ReadWholeFile(path), std::optional<std::string>("new"));
    struct stat st{};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0620u);
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir_)) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(FileWriteTest, MissingDirectoryCannotCreateAndMissingFileCannotBeRead) {
    EXPECT_EQ(platform::WriteFileReplacing(dir_ + "/no/such/file", "x"), platform::WriteError::CannotCreate);
    EXPECT_FALSE(platform::ReadWholeFile(dir_ + "/absent").has_value());
}

// What a killed writer left is removed; a write under way (its file held)
// and files of other names are not.
TEST_F(FileWriteTest, OnlyAbandonedTemporariesOfOurTargetsAreRemoved) {
    const fs::path dir = dir_;
    for (const char* name : {"A.dat.tmpAbC123", "B.dat.tmpXyZ789", "notes.txt.tmpAbC123", "A.dat.tmp"})
        std::ofstream(dir / name) << "x";
    const int held = ::open((dir / "B.dat.tmpXyZ789").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const auto ours = [](const std::string& target) { return target.size() > 4 && target.substr(target.size() - 4) == ".dat"; };
    EXPECT_EQ(platform::RemoveAbandonedTemporaries(dir_, ours), 1u);
    ::close(held);
    EXPECT_FALSE(fs::exists(dir / "A.dat.tmpAbC123"));
    for (const char* kept : {"B.dat.tmpXyZ789", "notes.txt.tmpAbC123", "A.dat.tmp"}) EXPECT_TRUE(fs::exists(dir / kept)) << kept;
}

}  // namespace
