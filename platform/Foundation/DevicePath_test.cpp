// The device root as the phone's programs take it: a path under it stays one shell word
// whatever the root's name holds; a root that cannot be quoted, or no root on a machine that
// is no phone, is refused before anything is touched; -h and --help only print the usage.
#include "platform/Foundation/DevicePath.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/Phone.h"

namespace {

TEST(DevicePath, APathInACommandLineIsOneWordWhateverTheRootHolds) {
  for (const char* root : {"/tmp/My Phone", "/tmp/a;touch x;b", "/tmp/it's $(id) `id` \"q\" \\ * ~"}) {
    setenv("MUTARO_DEVICE_ROOT", root, 1);
    EXPECT_EQ(runProgram({"/bin/sh", "-c", "printf %s " + shellDevicePath("/var/x")}).out, std::string(root) + "/var/x");
  }
  unsetenv("MUTARO_DEVICE_ROOT");
}

TEST(DevicePath, ProgramsRefuseAnUnquotableRootAndAMachineThatIsNoPhone) {
  if (std::filesystem::exists("/Applications/Mutaro.app")) GTEST_SKIP() << "this machine holds the bundle";
  for (const char* program : {"Mutarod", "Mutarodh", "Mutaro", "Vibrate"}) {
    for (std::string root : {"", "/tmp/a\nb"}) {
      Outcome run = runProgram({builtProgram(program), "1"}, {.environment = {{"MUTARO_DEVICE_ROOT", root}}});
      EXPECT_GT(run.status, 0) << program;
      EXPECT_TRUE(contains(run.err, root.empty() ? ": runs on the phone" : ": refusing the device root")) << run.err;
    }
    Outcome help = runProgram({builtProgram(program), "--help"}, {.environment = {{"MUTARO_DEVICE_ROOT", ""}}});
    EXPECT_TRUE(help.exited(0) && help.out.rfind(builtProgram(program) + " ", 0) == 0) << program << help.out;
  }
  Outcome status = runProgram({builtProgram("phonesim"), "status", "/tmp/a\nb"});
  EXPECT_TRUE(status.exited(1) && contains(status.err, "refusing the device root")) << status.err;
}

}  // namespace
