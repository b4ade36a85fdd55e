// The sounds lock between processes, on a bare device root.
#include "settings-store/SoundsLock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/Foundation/NSRunLoop.h"
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

TEST(SoundsLock, NestedCallsHoldItUntilTheOutermostReleasesAndOthersWaitForThat) {
  Phone phone{"", true};
  lockSounds();
  lockSounds();
  unlockSounds();
  EXPECT_FALSE(freeForAnotherProcess(phone));
  unlockSounds();
  EXPECT_TRUE(freeForAnotherProcess(phone));

  // Another process holds it for a second: the caller waits that second, not the bound.
  pid_t holder = fork();
  if (holder == 0) {
    int fd = open(phone.at(kSoundsLockPath).c_str(), O_RDWR);
    flock(fd, LOCK_EX);
    usleep(1000 * 1000);
    _exit(0);
  }
  ASSERT_TRUE(eventually(5, [&] { return !freeForAnotherProcess(phone); }));
  double start = monotonicSeconds();
  lockSounds();
  double waited = monotonicSeconds() - start;
  unlockSounds();
  waitpid(holder, nullptr, 0);
  EXPECT_GT(waited, 0.5);
  EXPECT_LT(waited, 5);
}

TEST(SoundsLock, ALinkInItsPlaceIsNeitherFollowedNorKept) {
  Phone phone{"", true};
  std::filesystem::create_symlink(phone.at("/victim"), phone.at(kSoundsLockPath));
  lockSounds();
  EXPECT_FALSE(phone.exists("/victim"));
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(phone.at(kSoundsLockPath))));
  EXPECT_FALSE(freeForAnotherProcess(phone));
  unlockSounds();
}

}  // namespace
