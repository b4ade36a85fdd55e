// Linked into every test binary. libfaketime's per-process semaphore and shared memory in /dev/shm
// outlive a process killed with SIGKILL, and a later process of the same id then cannot start
// under faketime ("sem_open: File exists"): before and after each run, stale ones are removed.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

namespace {

void removeStaleFakeClockSegments() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
    std::string name = entry.path().filename().string();
    for (const std::string prefix : {"sem.faketime_sem_", "faketime_shm_"}) {
      char* end = nullptr;
      long pid = name.rfind(prefix, 0) == 0 ? std::strtol(name.c_str() + prefix.size(), &end, 10) : 0;
      if (pid > 0 && *end == '\0' && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) std::filesystem::remove(entry.path(), error);
    }
  }
}

class FakeClockCleanup : public testing::Environment {
 public:
  void SetUp() override { removeStaleFakeClockSegments(); }
  void TearDown() override { removeStaleFakeClockSegments(); }
};

[[maybe_unused]] testing::Environment* const registered = testing::AddGlobalTestEnvironment(new FakeClockCleanup);

}  // namespace
