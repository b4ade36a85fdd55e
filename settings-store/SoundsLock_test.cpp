// The sounds lock between processes, on a bare device root.
#include "settings-store/SoundsLock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/Phone.h"

namespace {

// Whether another process could take the lock now.
bool freeForAnotherProcess(const Phone& phone) {
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(phone.at(kSoundsLockPath).c_str(), O_RDWR);
    _exit(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Nested calls hold it until the outermost releases; a link in its place is not followed.
TEST(SoundsLock, NestedCallsHoldItUntilTheOutermostReleasesAndALinkIsNotFollowed) {
  Phone phone{"", true};
  std::filesystem::create_symlink(phone.at("/victim"), phone.at(kSoundsLockPath));
  lockSounds();
  lockSounds();
  unlockSounds();
  EXPECT_FALSE(freeForAnotherProcess(phone));
  unlockSounds();
  EXPECT_TRUE(freeForAnotherProcess(phone));
  EXPECT_FALSE(phone.exists("/victim"));
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(phone.at(kSoundsLockPath))));
}

}  // namespace
