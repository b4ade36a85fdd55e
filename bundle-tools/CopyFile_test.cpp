#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

void writeFile(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

class CopyFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/copyfile-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs CopyFile with `arguments` as the caller's shell would; returns the exit status and
  // keeps what it wrote to standard error.
  int copyFile(const std::string& arguments) {
    std::string command = std::string(MUTARO_BIN_DIR "/CopyFile ") + arguments + " 2>" +
                          (dir_ / "stderr").string();
    int status = std::system(command.c_str());
    stderr_ = readFile(dir_ / "stderr");
    fs::remove(dir_ / "stderr");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }
  int fileCount() const {
    return static_cast<int>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }

  fs::path dir_;
  std::string stderr_;
};

TEST_F(CopyFileTest, ReplacesAnExistingDestinationAndKeepsItsMode) {
  std::string binary("caff\0\1\0\0 bytes \xff\xfe", 16);
  writeFile(path("src"), binary);
  writeFile(path("dst"), "a much longer destination that must not survive in any part");
  chmod(path("dst").c_str(), 0640);

  EXPECT_EQ(copyFile(path("src") + " " + path("dst")), 0);
  EXPECT_EQ(readFile(path("dst")), binary);
  struct stat info;
  ASSERT_EQ(stat(path("dst").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(fileCount(), 2);  // no temporary file left behind
  EXPECT_TRUE(stderr_.empty());
}

TEST_F(CopyFileTest, CreatesAMissingDestinationAndCopiesEmptyFiles) {
  writeFile(path("src"), "");
  EXPECT_EQ(copyFile(path("src") + " " + path("new")), 0);
  ASSERT_TRUE(fs::exists(path("new")));
  EXPECT_EQ(fs::file_size(path("new")), 0u);
}

TEST_F(CopyFileTest, ReplacesTheFileALinkNames) {
  writeFile(path("src"), "new");
  writeFile(path("real"), "old");
  fs::create_symlink(path("real"), path("link"));
  EXPECT_EQ(copyFile(path("src") + " " + path("link")), 0);
  EXPECT_TRUE(fs::is_symlink(path("link")));
  EXPECT_EQ(readFile(path("real")), "new");
}

TEST_F(CopyFileTest, UnreadableSourceLeavesTheDestinationAsItWas) {
  writeFile(path("dst"), "original");
  fs::create_directory(path("directory"));

  for (const char* source : {"missing.orig", "directory"}) {
    SCOPED_TRACE(source);
    EXPECT_NE(copyFile(path(source) + " " + path("dst")), 0);
    EXPECT_EQ(readFile(path("dst")), "original");
    EXPECT_EQ(std::count(stderr_.begin(), stderr_.end(), '\n'), 1) << stderr_;
    EXPECT_NE(stderr_.find(source), std::string::npos) << stderr_;
  }
  EXPECT_EQ(fileCount(), 2);
}

TEST_F(CopyFileTest, UnwritableDestinationFailsWithAMessage) {
  writeFile(path("src"), "data");
  EXPECT_NE(copyFile(path("src") + " " + path("no-such-directory/dst")), 0);
  EXPECT_FALSE(stderr_.empty());
  fs::create_directory(path("dst-directory"));
  EXPECT_NE(copyFile(path("src") + " " + path("dst-directory")), 0);
  EXPECT_TRUE(fs::is_directory(path("dst-directory")));
  EXPECT_TRUE(fs::is_empty(path("dst-directory")));
}

TEST_F(CopyFileTest, WrongArgumentCountPrintsUsage) {
  writeFile(path("src"), "data");
  for (std::string arguments : {std::string(""), path("src"),
                                path("src") + " " + path("a") + " " + path("b")}) {
    SCOPED_TRACE(arguments);
    EXPECT_NE(copyFile(arguments), 0);
    EXPECT_EQ(stderr_.rfind("usage: CopyFile", 0), 0u) << stderr_;
  }
  EXPECT_EQ(fileCount(), 1);
}

}  // namespace
