// CopyFile as the callers run it: two paths, a byte copy that replaces the destination.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/Phone.h"

namespace {

namespace fs = std::filesystem;

class CopyFile : public testing::Test {
 protected:
  Outcome copy(std::vector<std::string> arguments) {
    for (auto& argument : arguments) argument = phone.at("/" + argument);
    arguments.insert(arguments.begin(), "CopyFile");
    return phone.run(arguments);
  }
  Phone phone{"", true};
};

TEST_F(CopyFile, ReplacesTheDestinationWholeAndKeepsItsMode) {
  std::string binary("caff\0\1\0\0 bytes \xff\xfe", 16);
  phone.write("/src", binary);
  phone.write("/dst", "a much longer destination that must not survive in any part");
  chmod(phone.at("/dst").c_str(), 0640);
  EXPECT_TRUE(copy({"src", "dst"}).exited(0));
  EXPECT_EQ(phone.read("/dst"), binary);
  EXPECT_EQ(fs::status(phone.at("/dst")).permissions(), fs::perms(0640));
  EXPECT_TRUE(phone.run({"/bin/sh", "-c", builtProgram("CopyFile") + " src new <&-"}, {.directory = phone.root()}).exited(0))
      << "run with no standard input";
  EXPECT_EQ(phone.read("/new"), binary);
  EXPECT_EQ(std::distance(fs::directory_iterator(phone.root()), fs::directory_iterator()), 5) << "no temporary left";
}

TEST_F(CopyFile, FailuresLeaveTheDestinationAsItWasAndSaySo) {
  phone.write("/dst", "original");
  phone.write("/src", "data");
  fs::create_directory(phone.at("/directory"));
  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {"missing.orig", "dst"}, {"directory", "dst"}, {"src", "no-such-directory/dst"}, {"src", "directory"}}) {
    Outcome run = copy(arguments);
    EXPECT_NE(run.status, 0) << arguments[0];
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  EXPECT_EQ(phone.read("/dst"), "original");
  EXPECT_TRUE(fs::is_empty(phone.at("/directory")));
  for (const auto& arguments : std::vector<std::vector<std::string>>{{}, {"src"}, {"src", "a", "b"}}) {
    Outcome run = copy(arguments);
    EXPECT_TRUE(run.exited(64));
    EXPECT_EQ(run.err.rfind("usage: CopyFile", 0), 0u) << run.err;
  }
}

}  // namespace
